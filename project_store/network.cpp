// Network folders (section 12), their names, and the children of a network element image.
#include "project_store/store.h"
#include "utilities/folders.h"

namespace kestra::store {
namespace {

constexpr std::uint16_t kUnnamedNodeKind = 2;  // children of this kind keep their name word

// The children a node stores, when its block holds them.
std::optional<std::span<NetworkNode>> storedChildren(const NetworkNode& node) {
    if (!node.storesChildren()) return std::span<NetworkNode>();
    return Records<NetworkNode>(node.children, node.childCount);
}

// Reads `count` nodes into a new global block; their own children are not read here.
std::vector<NetworkNode> readNodes(ImageReader& in, std::size_t count) {
    auto bytes =
        in.take(in.needBytes(count, sizeof(NetworkNode), "network nodes"), "network nodes");
    std::vector<NetworkNode> nodes(count);
    if (count) std::memcpy(nodes.data(), bytes.data(), bytes.size());
    for (NetworkNode& n : nodes) n.children = 0;
    return nodes;
}

Ref storeNodes(Allocations& blocks, std::span<const NetworkNode> nodes) {
    return nodes.empty() ? 0 : blocks.global(std::as_bytes(nodes));
}

}  // namespace

NetworkNode StoredNode(const NetworkNode& node, bool childrenStored) {
    NetworkNode s = node;
    if (childrenStored && !storedChildren(node)) s.childCount = 0;
    s.children = 0;
    return s;
}

void ReadNetworkChildren(ImageReader& in, Allocations& blocks, NetworkNode& node,
                         bool withGrandchildren) {
    node.children = 0;
    if (!node.storesChildren()) return;
    std::vector<NetworkNode> kids = readNodes(in, node.childCount);
    if (withGrandchildren)
        for (NetworkNode& kid : kids) {
            if (!kid.storesChildren()) continue;
            kid.children = storeNodes(blocks, readNodes(in, kid.childCount));
            if (!kid.children) kid.childCount = 0;
        }
    node.children = storeNodes(blocks, kids);
    if (!node.children) node.childCount = 0;
}

void WriteNetworkChildren(Sink& out, const NetworkNode& node, bool withGrandchildren) {
    auto kids = storedChildren(node);
    if (!kids) return;
    for (const NetworkNode& kid : *kids) out.record(StoredNode(kid, withGrandchildren));
    if (!withGrandchildren) return;
    for (const NetworkNode& kid : *kids)
        if (auto grandchildren = storedChildren(kid))
            for (const NetworkNode& g : *grandchildren) out.record(StoredNode(g, false));
}

void ReadNetworkFolders(LoadContext& c) {
    ReadNetworkChildren(c.in, c.blocks, c.project.record.nodeA, false);
    ReadNetworkChildren(c.in, c.blocks, c.project.ext.nodeB, true);
}

void WriteNetworkFolders(SaveContext& c) {
    WriteNetworkChildren(c.out, c.project.record.nodeA, false);
    WriteNetworkChildren(c.out, c.project.ext.nodeB, true);
}

// Node names are translated where they are names: node A's own, and the children of the
// active folder (on a network, the nodes below folder B's children, or a childless child
// itself); each translated node goes back into its folder by key.
void TranslateNodeNames(LoadContext& c) {
    ProjectRecord& r = c.project.record;
    c.translateIfSet(r.nodeA.nameId);
    NetworkNode& folder = r.onNetwork != 0 ? c.project.ext.nodeB : r.nodeA;
    NetworkNode child{};
    for (int at = 0; ExpGetNetNodeData(&folder, FALSE, at, &child); ++at) {
        if (r.onNetwork == 0) {
            c.translateIfSet(child.nameId);
            ExpRegisterNetNodeData(&folder, &child);
            continue;
        }
        if (child.nodeKind == kUnnamedNodeKind) continue;
        if (!child.storesChildren()) {
            c.translateIfSet(child.nameId);
            ExpRegisterNetNodeData(&folder, &child);
            continue;
        }
        NetworkNode grandchild{};
        for (int below = 0; ExpGetNetNodeData(&child, FALSE, below, &grandchild); ++below) {
            c.translateIfSet(grandchild.nameId);
            ExpRegisterNetNodeData(&child, &grandchild);
        }
    }
}

}  // namespace kestra::store
