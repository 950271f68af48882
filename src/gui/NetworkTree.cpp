#include "gui/NetworkTree.h"

#include <QMouseEvent>

namespace {

constexpr int kNodeRole = Qt::UserRole;

// The texts from the top of the tree down to ITEM.
QStringList pathOf(const QTreeWidgetItem *item)
{
    QStringList out;
    for (; item; item = item->parent())
        out.prepend(item->text(0));
    return out;
}

// The paths of ITEM and of the nodes below it that are open.
void collectOpen(const QTreeWidgetItem *item, QSet<QStringList> &out)
{
    if (!item->isExpanded())
        return;
    out.insert(pathOf(item));
    for (int i = 0; i < item->childCount(); ++i)
        collectOpen(item->child(i), out);
}

} // namespace

NetworkTree::NetworkTree(NetworkTreeLoader *loader, QWidget *parent) : QTreeWidget(parent), m_loader(loader)
{
    setObjectName(QStringLiteral("Tree"));
    setHeaderHidden(true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    connect(this, &QTreeWidget::itemExpanded, this, &NetworkTree::expanded);
    connect(m_loader, &NetworkTreeLoader::childrenListed, this, &NetworkTree::childrenListed);
    addNode(nullptr, NetworkTreeChild{NetworkTreeLoader::kRoot, m_loader->rootText(), true});
}

QTreeWidgetItem *NetworkTree::addNode(QTreeWidgetItem *parent, const NetworkTreeChild &node)
{
    auto *item = parent ? new QTreeWidgetItem(parent, QStringList(node.text))
                        : new QTreeWidgetItem(this, QStringList(node.text));
    item->setData(0, kNodeRole, node.id);
    // Whether a node has children is known only once it is opened.
    item->setChildIndicatorPolicy(node.expandable ? QTreeWidgetItem::ShowIndicator
                                                  : QTreeWidgetItem::DontShowIndicator);
    m_items.insert(node.id, item);
    return item;
}

void NetworkTree::expanded(QTreeWidgetItem *item)
{
    const QVariant id = item->data(0, kNodeRole);
    if (!id.isValid() || m_asked.contains(id.toInt()))
        return;
    ask(item, id.toInt());
}

void NetworkTree::ask(QTreeWidgetItem *item, int id)
{
    m_asked.insert(id);
    // A line that says the node is being listed, which cannot be picked.
    auto *searching = new QTreeWidgetItem(item, QStringList(QStringLiteral("Searching...")));
    searching->setFlags(Qt::ItemIsEnabled);
    m_loader->list(id);
}

void NetworkTree::refresh()
{
    QTreeWidgetItem *root = m_items.value(NetworkTreeLoader::kRoot);
    if (!root)
        return;
    m_reopen.clear();
    collectOpen(root, m_reopen);
    m_reselect = currentItem() && currentItem() != root ? pathOf(currentItem()) : QStringList();
    const bool open = root->isExpanded();
    m_loader->refresh();
    m_items.clear();
    m_items.insert(NetworkTreeLoader::kRoot, root);
    m_asked.clear();
    qDeleteAll(root->takeChildren());
    root->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (open)
        ask(root, NetworkTreeLoader::kRoot);
}

void NetworkTree::childrenListed(int node, const QList<NetworkTreeChild> &children)
{
    QTreeWidgetItem *item = m_items.value(node);
    if (!item)
        return;
    qDeleteAll(item->takeChildren());
    QList<QTreeWidgetItem *> reopen;
    for (const NetworkTreeChild &child : children) {
        QTreeWidgetItem *added = addNode(item, child);
        const QStringList path = pathOf(added);
        if (m_reopen.remove(path))
            reopen.append(added);
        if (!m_reselect.isEmpty() && path == m_reselect) {
            setCurrentItem(added);
            m_reselect.clear();
        }
    }
    if (children.isEmpty())
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    // Opened once all are there: opening one asks the loader at once.
    for (QTreeWidgetItem *open : reopen)
        open->setExpanded(true);
}

void NetworkTree::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        if (QTreeWidgetItem *item = itemAt(event->position().toPoint())) {
            if (item->flags() & Qt::ItemIsSelectable)
                setCurrentItem(item);
        }
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}
