#include "application/NetworkTreeLoader.h"

#include "discovery/NetworkNeighborhood.h"

namespace {

// Workgroups, computers and shares; shares are not opened.
constexpr int kShareDepth = 3;

} // namespace

NetworkTreeLoader::NetworkTreeLoader(std::shared_ptr<NeighborhoodSource> source, QString computerName, QObject *parent)
    : QObject(parent), m_source(std::move(source)), m_computerName(std::move(computerName))
{
    m_nodes[kRoot] = Node{};
}

NetworkTreeLoader::~NetworkTreeLoader() = default;

bool NetworkTreeLoader::listing(int node) const
{
    const auto it = m_nodes.find(node);
    return it != m_nodes.end() && it->second.listing;
}

void NetworkTreeLoader::refresh()
{
    m_background.stop();
    m_nodes.clear();
    m_nodes[kRoot] = Node{};
}

void NetworkTreeLoader::list(int id)
{
    const auto it = m_nodes.find(id);
    if (it == m_nodes.end() || it->second.listing || it->second.listed || it->second.depth >= kShareDepth)
        return;
    Node &node = it->second;
    node.listing = true;
    struct Listed {
        std::shared_ptr<NeighborhoodFolder> folder;
        QList<NetworkItem> items;
    };
    m_background.run(
        [source = m_source, parent = node.parent, item = node.item, computerName = m_computerName](std::stop_token) {
            Listed out;
            try {
                out.folder = parent ? parent->open(item) : source->rootFolder(computerName);
                if (out.folder)
                    out.items = out.folder->items();
            } catch (...) {
                out = Listed{}; // nothing to show below this node
            }
            return out;
        },
        [this, id](Listed result) { listed(id, result.folder, result.items); });
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
