#pragma once

#include "resources/ListCompare.h"
#include "resources/ResourceRow.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <QList>
#include <QStringList>
#include <functional>
#include <unordered_map>
#include <vector>

// The rows of the main list: the program's only store of resources. Other
// parts address rows by index and cell index, or by a row's id when they
// must survive edits made in the meantime.
class ResourceList : public QAbstractTableModel {
    Q_OBJECT
public:
    // Columns after the design's ones, shown only on request: their titles,
    // and what a cell shows for a row (COLUMN counts from the first extra
    // one). They are computed, never stored, so a session file never holds them.
    struct ExtraColumns {
        QStringList titles;
        std::function<QString(const ResourceRow &row, int column)> text;
    };

    enum Column {
        colStatus,
        colResource,
        colAddress,
        colWorkgroup,
        colMessage,
        colLastTest,
        ColumnCount
    };

    explicit ResourceList(QObject *parent = nullptr);

    // Item model
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows
    int count() const { return int(m_rows.size()); }
    const ResourceRow &row(int i) const { return m_rows.at(std::size_t(i)); }
    const std::vector<ResourceRow> &rows() const { return m_rows; }
    int append(ResourceRow row);
    void setRows(std::vector<ResourceRow> rows);
    void removeAt(int i);
    void clear();
    int rowOfId(std::uint64_t id, int hint = -1) const;

    // Cells (a short row grows to the sub-item written)
    void setSubItem(int i, int subItem, const QString &text);
    void setImageIndex(int i, int image);
    void setChecked(int i, bool checked);
    // The last test's record, kept in the row's history too; the cells that
    // show it are set apart.
    void setResult(int i, std::optional<PingResult> result);

    // Tick commands
    void checkAll();
    void uncheckAll();
    void invertChecks();

    // First row whose name equals Name, ignoring ASCII letter case only; -1 if none.
    int indexOfResource(const QString &name) const;

    // Sorting: the header click rule, and a sort with the current state.
    // A sort starts from the load and add order each time, so a column and
    // direction always give the same order; equal rows keep load order.
    int sortColumn() const { return m_sortColumn; }
    bool sortDescending() const { return m_sortDescending; }
    void columnClicked(int column);
    void sortRows();
    void setLocaleFormats(const LocaleFormats &fmt);
    const LocaleFormats &localeFormats() const { return m_formats; }

    // Look
    void setStatusImages(QList<QIcon> images) { m_images = std::move(images); }
    // Background of the sorted column's cells (see readableSortTint); the
    // other cells have none of their own.
    void setSortTint(const QColor &tint) { m_tint = tint; }

    static QString columnTitle(int column);

    // Extra columns after the design's ones; none (no titles) by default.
    void setExtraColumns(ExtraColumns columns);
    int extraColumnCount() const { return int(m_extra.titles.size()); }
    // A row's tooltip, from the row; none by default, and none where it
    // gives an empty text.
    void setRowToolTip(std::function<QString(const ResourceRow &row)> toolTip) { m_toolTip = std::move(toolTip); }

private:
    void emitRowChanged(int i);
    void emitCheckColumnChanged();

    std::vector<ResourceRow> m_rows;
    std::uint64_t m_nextId = 1;
    // Row of each id, rebuilt on demand after rows moved or went away.
    mutable std::unordered_map<std::uint64_t, int> m_rowById;
    mutable bool m_rowByIdValid = false;
    int m_sortColumn = -1;
    bool m_sortDescending = false;
    LocaleFormats m_formats;
    QCollator m_collator;
    QList<QIcon> m_images;
    QColor m_tint = QColor(255, 255, 225);
    ExtraColumns m_extra;
    std::function<QString(const ResourceRow &)> m_toolTip;
};
