#pragma once

#include "base/Exception.h"
#include "discovery/NeighborhoodSource.h"

#include <QMap>
#include <QStringList>

#include <functional>
#include <stdexcept>

// A network of folders named by key; the root's key is "". Opening an item
// whose key names no folder fails, as do the items marked broken. Its
// snapshot is what its folders list, so that the scan and the tree see one
// network.
class FakeNeighborhood : public NeighborhoodSource {
public:
    QMap<QString, QList<NetworkItem>> folders;
    QString brokenKey;   // opening this item raises
    QString nullKey;     // opening this item gives nothing
    bool noRoot = false; // the root cannot be found
    bool nullRoot = false;
    QStringList opened;           // keys of the items opened, in order
    std::function<void()> onRoot; // runs when the root or a snapshot is asked for

    // Workgroups with computers (keys "wg:NAME", "pc:NAME"), each computer
    // with the given shares.
    static FakeNeighborhood office(const QList<std::pair<QString, QStringList>> &workgroups,
                                   const QStringList &shares = {})
    {
        FakeNeighborhood n;
        n.folders[QString()] = {};
        for (const auto &[workgroup, computers] : workgroups) {
            n.folders[QString()].append(NetworkItem{workgroup, QStringLiteral("wg:") + workgroup});
            QList<NetworkItem> &list = n.folders[QStringLiteral("wg:") + workgroup];
            for (const QString &c : computers) {
                list.append(NetworkItem{c, QStringLiteral("pc:") + c});
                for (const QString &s : shares)
                    n.folders[QStringLiteral("pc:") + c].append(NetworkItem{s, QStringLiteral("share:") + s});
                n.folders[QStringLiteral("pc:") + c]; // a computer without shares is a folder still
            }
        }
        return n;
    }

    class Folder : public NeighborhoodFolder {
    public:
        Folder(FakeNeighborhood &source, QString key) : m_source(source), m_key(std::move(key)) {}
        QList<NetworkItem> items() override { return m_source.folders.value(m_key); }
        std::unique_ptr<NeighborhoodFolder> open(const NetworkItem &item) override
        {
            m_source.opened << item.key;
            if (item.key == m_source.brokenKey || !m_source.folders.contains(item.key))
                throw std::runtime_error("cannot open");
            if (item.key == m_source.nullKey)
                return nullptr;
            return std::make_unique<Folder>(m_source, item.key);
        }

    private:
        FakeNeighborhood &m_source;
        QString m_key;
    };

    std::unique_ptr<NeighborhoodFolder> rootFolder(const QString &) override
    {
        if (onRoot)
            onRoot();
        if (noRoot)
            throw Exception(QStringLiteral("no network"));
        if (nullRoot)
            return nullptr;
        return std::make_unique<Folder>(*this, QString());
    }

    // The root's items as workgroups, each with its folder's items as
    // computers, names as the folders give them and no addresses; fails
    // where opening the root or a workgroup does.
    NetworkSnapshot snapshot(const QString &computerName) override
    {
        const std::unique_ptr<NeighborhoodFolder> root = rootFolder(computerName);
        if (!root)
            throw Exception(QStringLiteral("no root"));
        NetworkSnapshot out;
        for (const NetworkItem &workgroup : root->items()) {
            const std::unique_ptr<NeighborhoodFolder> folder = root->open(workgroup);
            if (!folder)
                throw Exception(QStringLiteral("no workgroup"));
            out.append(SnapshotWorkgroup{workgroup.displayName, {}});
            for (const NetworkItem &computer : folder->items())
                out.back().computers.append(SnapshotComputer{computer.displayName, QString()});
        }
        return out;
    }
};
