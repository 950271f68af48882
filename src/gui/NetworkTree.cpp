#include "gui/NetworkTree.h"

#include <QMouseEvent>

namespace {

constexpr int kNodeRole = Qt::UserRole;

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
    m_asked.insert(id.toInt());
    // A line that says the node is being listed, which cannot be picked.
    auto *searching = new QTreeWidgetItem(item, QStringList(QStringLiteral("Searching...")));
    searching->setFlags(Qt::ItemIsEnabled);
    m_loader->list(id.toInt());
}

void NetworkTree::childrenListed(int node, const QList<NetworkTreeChild> &children)
{
    QTreeWidgetItem *item = m_items.value(node);
    if (!item)
        return;
    qDeleteAll(item->takeChildren());
    for (const NetworkTreeChild &child : children)
        addNode(item, child);
    if (children.isEmpty())
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
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
