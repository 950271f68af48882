#pragma once

#include "base/Background.h"
#include "discovery/NeighborhoodSource.h"

#include <QList>
#include <QObject>
#include <QString>

#include <map>
#include <memory>

// A node of the network tree as the tree shows it.
struct NetworkTreeChild {
    int id = 0;
    QString text;
    bool expandable = false;
};

// Fills the network tree: the network, its workgroups, their computers and
// the computers' shares. A node's children are listed when asked for, in
// the background, so that a slow network never holds the window; they
// arrive through childrenListed on this object's thread. A node that cannot
// be listed has no children.
class NetworkTreeLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kRoot = 0;

    NetworkTreeLoader(std::shared_ptr<NeighborhoodSource> source, QString computerName, QObject *parent = nullptr);
    ~NetworkTreeLoader() override;

    QString rootText() const { return QStringLiteral("Entire Network"); }
    // Starts listing NODE's children unless that is under way or done.
    void list(int node);
    bool listing(int node) const;
    // Forgets every node but the root, and whatever listing is under way:
    // the root lists the network anew when it is next asked. Nodes get new
    // numbers from then on, so that nothing meant for a forgotten node
    // reaches one listed later.
    void refresh();

signals:
    void childrenListed(int node, const QList<NetworkTreeChild> &children);

private:
    struct Node {
        int depth = 0;
        NetworkItem item;                           // how the parent opens it
        std::shared_ptr<NeighborhoodFolder> parent; // null for the root
        bool listing = false;
        bool listed = false;
    };
    void listed(int node, std::shared_ptr<NeighborhoodFolder> folder, const QList<NetworkItem> &items);

    std::shared_ptr<NeighborhoodSource> m_source;
    QString m_computerName;
    std::map<int, Node> m_nodes;
    int m_nextId = kRoot + 1;
    // Results of work still running when the loader has gone are dropped.
    Background m_background{this};
};
