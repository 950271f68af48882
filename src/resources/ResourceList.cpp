#include "resources/ResourceList.h"

#include <algorithm>
#include <numeric>
#include <utility>

ResourceList::ResourceList(QObject *parent)
    : QAbstractTableModel(parent), m_formats(LocaleFormats::fromLocale(QLocale::system())),
      m_collator(makeListCollator(QLocale::system()))
{
}

int ResourceList::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : count(); }

int ResourceList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount + extraColumnCount();
}

void ResourceList::setExtraColumns(ExtraColumns columns)
{
    if (const int old = extraColumnCount(); old > 0) {
        beginRemoveColumns(QModelIndex(), ColumnCount, ColumnCount + old - 1);
        m_extra = ExtraColumns{};
        endRemoveColumns();
    }
    if (const int added = int(columns.titles.size()); added > 0) {
        beginInsertColumns(QModelIndex(), ColumnCount, ColumnCount + added - 1);
        m_extra = std::move(columns);
        endInsertColumns();
    }
}

QString ResourceList::columnTitle(int column)
{
    static const char *const titles[ColumnCount] = {"Status",    "Resource", "IP Address",
                                                    "Workgroup", "Message",  "Last Test"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(titles[column]) : QString();
}

QVariant ResourceList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section >= ColumnCount ? m_extra.titles.value(section - ColumnCount) : columnTitle(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant ResourceList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const ResourceRow &r = m_rows[std::size_t(index.row())];
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (col >= ColumnCount)
            return m_extra.text ? m_extra.text(r, col - ColumnCount) : QString();
        return SortText(r, col);
    case Qt::ToolTipRole:
        if (m_toolTip)
            if (QString tip = m_toolTip(r); !tip.isEmpty())
                return tip;
        return {};
    case Qt::TextAlignmentRole:
        // Numbers line up on the right.
        if (col >= ColumnCount)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::DecorationRole:
        if (col == colStatus && r.imageIndex >= 0 && r.imageIndex < m_images.size())
            return m_images[r.imageIndex];
        return {};
    case Qt::CheckStateRole:
        if (col == colStatus)
            return r.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::BackgroundRole:
        // Other cells keep the view's own background (the theme's Base,
        // white on light themes), so that the theme's text stays readable.
        return col == m_sortColumn ? QVariant(m_tint) : QVariant();
    default:
        return {};
    }
}

bool ResourceList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != colStatus || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ResourceList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == colStatus)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

int ResourceList::append(ResourceRow row)
{
    const int at = count();
    row.id = m_nextId++;
    if (m_rowByIdValid)
        m_rowById.emplace(row.id, at);
    beginInsertRows(QModelIndex(), at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
    return at;
}

void ResourceList::setRows(std::vector<ResourceRow> rows)
{
    beginResetModel();
    m_rowByIdValid = false;
    m_rows = std::move(rows);
    for (ResourceRow &r : m_rows)
        r.id = m_nextId++;
    endResetModel();
}

void ResourceList::removeAt(int i)
{
    if (i < 0 || i >= count())
        return;
    beginRemoveRows(QModelIndex(), i, i);
    m_rowByIdValid = false;
    m_rows.erase(m_rows.begin() + i);
    endRemoveRows();
}

void ResourceList::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rowByIdValid = false;
    m_rows.clear();
    endResetModel();
}

int ResourceList::rowOfId(std::uint64_t id, int hint) const
{
    if (hint >= 0 && hint < count() && m_rows[std::size_t(hint)].id == id)
        return hint;
    if (!m_rowByIdValid) {
        m_rowById.clear();
        m_rowById.reserve(m_rows.size());
        for (int i = 0; i < count(); ++i)
            m_rowById.emplace(m_rows[std::size_t(i)].id, i);
        m_rowByIdValid = true;
    }
    const auto it = m_rowById.find(id);
    return it == m_rowById.end() ? -1 : it->second;
}

void ResourceList::emitRowChanged(int i) { emit dataChanged(index(i, 0), index(i, columnCount() - 1)); }

void ResourceList::emitCheckColumnChanged()
{
    if (!m_rows.empty())
        emit dataChanged(index(0, colStatus), index(count() - 1, colStatus), {Qt::CheckStateRole});
}

void ResourceList::setSubItem(int i, int subItem, const QString &text)
{
    if (i < 0 || i >= count() || subItem < 0)
        return;
    QStringList &items = m_rows[std::size_t(i)].subItems;
    while (items.size() <= subItem)
        items.append(QString());
    items[subItem] = text;
    emit dataChanged(index(i, subItem + 1), index(i, subItem + 1));
}

void ResourceList::setResult(int i, std::optional<PingResult> result)
{
    if (i < 0 || i >= count())
        return;
    ResourceRow &row = m_rows[std::size_t(i)];
    if (result) {
        if (!row.history)
            row.history = std::make_shared<ResultHistory>();
        row.history->add(*result);
    }
    row.result = std::move(result);
    // The extra columns are computed from the result and its history.
    if (extraColumnCount() > 0)
        emit dataChanged(index(i, ColumnCount), index(i, columnCount() - 1));
}

void ResourceList::setImageIndex(int i, int image)
{
    if (i < 0 || i >= count())
        return;
    m_rows[std::size_t(i)].imageIndex = image;
    emit dataChanged(index(i, colStatus), index(i, colStatus));
}

void ResourceList::setChecked(int i, bool checked)
{
    if (i < 0 || i >= count())
        return;
    m_rows[std::size_t(i)].checked = checked;
    emit dataChanged(index(i, colStatus), index(i, colStatus), {Qt::CheckStateRole});
}

void ResourceList::checkAll()
{
    for (ResourceRow &r : m_rows)
        r.checked = true;
    emitCheckColumnChanged();
}

void ResourceList::uncheckAll()
{
    for (ResourceRow &r : m_rows)
        r.checked = false;
    emitCheckColumnChanged();
}

void ResourceList::invertChecks()
{
    for (ResourceRow &r : m_rows)
        r.checked = !r.checked;
    emitCheckColumnChanged();
}

int ResourceList::indexOfResource(const QString &name) const
{
    auto foldAscii = [](char16_t c) -> char16_t { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    for (int i = 0; i < count(); ++i) {
        const QString cell = m_rows[std::size_t(i)].subItem(siResource);
        if (cell.size() != name.size())
            continue;
        bool same = true;
        for (qsizetype k = 0; k < cell.size() && same; ++k)
            same = foldAscii(cell[k].unicode()) == foldAscii(name[k].unicode());
        if (same)
            return i;
    }
    return -1;
}

void ResourceList::setLocaleFormats(const LocaleFormats &fmt)
{
    m_formats = fmt;
    m_collator = makeListCollator(fmt.locale);
}

void ResourceList::columnClicked(int column)
{
    // The extra columns are shown, not sorted by.
    if (column < 0 || column >= ColumnCount)
        return;
    if (column == m_sortColumn) {
        m_sortDescending = !m_sortDescending;
    } else {
        m_sortColumn = column;
        m_sortDescending = false;
    }
    sortRows();
    // The tint follows the sorted column.
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(count() - 1, columnCount() - 1), {Qt::BackgroundRole});
}

void ResourceList::sortRows()
{
    // With no column chosen every comparison is equal: the order stays.
    if (m_sortColumn < 0 || m_rows.size() < 2)
        return;

    // A bottom-up merge sort: stable, and safe with a comparison that mixes
    // dates, numbers and text (which need not be transitive). Where it is
    // not, the outcome depends on the order the sort starts from, so it
    // always starts from the order in which the rows were loaded or added
    // (their ids): the same column and direction then always give the same
    // order, and equal rows stay in load order.
    const std::size_t n = m_rows.size();
    std::vector<std::pair<std::uint64_t, int>> byId(n);
    for (std::size_t k = 0; k < n; ++k)
        byId[k] = {m_rows[k].id, int(k)};
    std::sort(byId.begin(), byId.end());

    // Keys by load rank, so that the merge runs over neighbouring keys.
    std::vector<SortKey> keys;
    keys.reserve(n);
    for (const auto &[id, row] : byId)
        keys.push_back(SortKey::make(SortText(m_rows[std::size_t(row)], m_sortColumn), m_formats, m_collator));

    const int sign = m_sortDescending ? -1 : 1;
    auto less = [&](int a, int b) { return sign * keys[std::size_t(a)].compare(keys[std::size_t(b)]) < 0; };
    std::vector<int> order(n), buffer(n);
    std::iota(order.begin(), order.end(), 0);
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                buffer[k++] = less(order[j], order[i]) ? order[j++] : order[i++];
            while (i < mid)
                buffer[k++] = order[i++];
            while (j < hi)
                buffer[k++] = order[j++];
        }
        order.swap(buffer);
    }
    for (int &rank : order)
        rank = byId[std::size_t(rank)].second; // back to the row it ranks

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(n);
    std::vector<ResourceRow> sorted;
    sorted.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        newRowOf[std::size_t(order[k])] = int(k);
        sorted.push_back(std::move(m_rows[std::size_t(order[k])]));
    }
    m_rows.swap(sorted);
    m_rowByIdValid = false;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &idx : from)
        to.append(index(newRowOf[std::size_t(idx.row())], idx.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
