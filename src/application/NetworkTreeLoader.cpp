#include "application/NetworkTreeLoader.h"

#include "discovery/NetworkNeighborhood.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace {

// Workgroups, computers and shares; shares are not opened.
constexpr int kShareDepth = 3;

} // namespace

NetworkTreeLoader::NetworkTreeLoader(SourceProvider source, QString computerName, QObject *parent)
    : QObject(parent), m_sourceProvider(std::move(source)), m_computerName(std::move(computerName))
{
    m_nodes[kRoot] = Node{};
}

NetworkTreeLoader::~NetworkTreeLoader() = default;

bool NetworkTreeLoader::listing(int node) const
{
    const auto it = m_nodes.find(node);
    return it != m_nodes.end() && it->second.listing;
}

void NetworkTreeLoader::list(int id)
{
    const auto it = m_nodes.find(id);
    if (it == m_nodes.end() || it->second.listing || it->second.listed || it->second.depth >= kShareDepth)
        return;
    Node &node = it->second;
    node.listing = true;
    if (!m_source)
        m_source = m_sourceProvider();
    const std::weak_ptr<Alive> alive = m_alive;
    QThreadPool::globalInstance()->start(
        [this, id, alive, source = m_source, parent = node.parent, item = node.item, computerName = m_computerName] {
            std::shared_ptr<NeighborhoodFolder> folder;
            QList<NetworkItem> items;
            try {
                folder = parent ? parent->open(item) : source->rootFolder(computerName);
                if (folder)
                    items = folder->items();
            } catch (...) {
                folder.reset(); // nothing to show below this node
                items.clear();
            }
            // Back on the loader's thread, where alone it is checked and used;
            // after the program's end there is nobody left to tell.
            QCoreApplication *app = QCoreApplication::instance();
            if (!app)
                return;
            QMetaObject::invokeMethod(
                app,
                [this, id, alive, folder, items] {
                    if (alive.lock())
                        listed(id, folder, items);
                },
                Qt::QueuedConnection);
        });
}

void NetworkTreeLoader::listed(int id, std::shared_ptr<NeighborhoodFolder> folder, const QList<NetworkItem> &items)
{
    Node &node = m_nodes[id];
    node.listing = false;
    node.listed = true;
    QList<NetworkTreeChild> children;
    for (const NetworkItem &item : items) {
        const int child = m_nextId++;
        m_nodes[child] = Node{node.depth + 1, item, folder, false, false};
        children.append(NetworkTreeChild{child, itemDisplayText(item), node.depth + 1 < kShareDepth});
    }
    emit childrenListed(id, children);
}
