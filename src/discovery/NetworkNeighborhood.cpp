#include "discovery/NetworkNeighborhood.h"

#include "base/NetworkText.h"

QString itemDisplayText(const NetworkItem &item)
{
    QString name = item.displayName;
    if (const qsizetype zero = name.indexOf(QChar(0)); zero >= 0)
        name.truncate(zero);
    qsizetype first = 0, last = name.size();
    while (first < last && name[first] == QLatin1Char(' '))
        ++first;
    while (last > first && name[last - 1] == QLatin1Char(' '))
        --last;
    return cleanNetworkText(QStringView(name).sliced(first, last - first));
}

TNetworkNeighborhood::TNetworkNeighborhood(NeighborhoodSource &source, const QString &computerName)
{
    try {
        enumerate(source, computerName);
    } catch (...) {
        // All or nothing: whatever went wrong, no part of the walk is kept.
        Clear();
        throw ECannotFindNetwork(QStringLiteral("Cannot find network neiborhood"));
    }
}

TNetworkNeighborhood::~TNetworkNeighborhood() { Clear(); }

int TNetworkNeighborhood::Add(const QString &text)
{
    const int index = TStringObjectList::Add(text);
    PutObject(index, new TNetworkWorkgroup);
    return index;
}

void TNetworkNeighborhood::Clear()
{
    for (int i = 0; i < GetCount(); ++i) {
        delete GetObject(i);
        PutObject(i, nullptr);
    }
    TStringObjectList::Clear();
    m_identifiers.clear();
}

void TNetworkNeighborhood::enumerate(NeighborhoodSource &source, const QString &computerName)
{
    const std::unique_ptr<NeighborhoodFolder> root = source.rootFolder(computerName);
    if (!root)
        throw ECannotFindNetwork(QString());
    enumerateFolder(*root, *this, true);
    for (int i = 0; i < GetCount(); ++i) {
        const auto *item = static_cast<const NetworkItem *>(GetData(i));
        const std::unique_ptr<NeighborhoodFolder> folder = root->open(*item);
        auto *computers = dynamic_cast<TStringObjectList *>(GetObject(i));
        if (!folder || !computers)
            throw ECannotFindNetwork(QString());
        enumerateFolder(*folder, *computers, false);
    }
}

void TNetworkNeighborhood::enumerateFolder(NeighborhoodFolder &folder, TStringObjectList &list, bool keepIdentifiers)
{
    list.BeginUpdate();
    struct End {
        TStringObjectList &list;
        ~End() { list.EndUpdate(); }
    } end{list};
    list.Clear();
    for (const NetworkItem &item : folder.items()) {
        const int index = list.Add(itemDisplayText(item));
        if (keepIdentifiers) {
            m_identifiers.push_back(std::make_unique<NetworkItem>(item));
            list.SetData(index, m_identifiers.back().get());
        }
    }
}
