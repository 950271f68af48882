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

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QTreeWidgetItem *addNode(QTreeWidgetItem *parent, const NetworkTreeChild &node);
    void expanded(QTreeWidgetItem *item);
    void childrenListed(int node, const QList<NetworkTreeChild> &children);

    NetworkTreeLoader *m_loader;
    QHash<int, QTreeWidgetItem *> m_items;
    QSet<int> m_asked; // nodes whose children were asked for, once each
};
