#pragma once

#include "application/NetworkTreeLoader.h"

#include <QHash>
#include <QSet>
#include <QTreeWidget>

// The "Workstations" tree: the network, its workgroups, their computers and
// their shares, each level listed by the loader when the user first opens
// its parent, while the window goes on. A right click selects the node under
// the mouse; the selection stays visible without the focus.
class NetworkTree : public QTreeWidget {
public:
    NetworkTree(NetworkTreeLoader *loader, QWidget *parent = nullptr);

    // Reads the network anew from the top: every node the user had opened
    // opens again as it is listed, where a node of the same name stands in
    // the same place, and so is the selected node selected again; a tree
    // whose top was closed stays closed and is read when it is opened.
    void refresh();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QTreeWidgetItem *addNode(QTreeWidgetItem *parent, const NetworkTreeChild &node);
    void expanded(QTreeWidgetItem *item);
    void childrenListed(int node, const QList<NetworkTreeChild> &children);

    void ask(QTreeWidgetItem *item, int id);

    NetworkTreeLoader *m_loader;
    QHash<int, QTreeWidgetItem *> m_items;
    QSet<int> m_asked; // nodes whose children were asked for, once each
    // What a refresh opens and selects again, by the texts from the top.
    QSet<QStringList> m_reopen;
    QStringList m_reselect;
};
