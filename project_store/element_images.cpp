// Element images: a tag folder with its tag names as texts, or a network record with the
// children and grandchildren of its node.
#include <string_view>
#include <vector>

#include "project_store/store.h"
#include "string_table/string_table.h"

namespace kestra::store {
namespace {

constexpr DWORD kTagNameRoom = 255;

}  // namespace

std::size_t SaveTagFolderImage(const TagFolderHeader& folder, void* project, HGLOBAL* image) {
    auto tags = Records<TagElement>(folder.elements, folder.count);
    if (!tags) return 0;
    // One fetch serves both the measuring and the writing pass, so they agree on every name.
    std::vector<std::string> names;
    char name[kTagNameRoom + 1];
    for (const TagElement& tag : *tags) {
        if (tag.nameId == 0) continue;
        name[0] = 0;
        StrTabGetText(tag.nameId, project, name, kTagNameRoom, 0);
        names.emplace_back(name, strnlen(name, kTagNameRoom));
    }
    TagFolderHeader stored = folder;
    stored.elements = 0;
    std::size_t expected = sizeof(stored) + tags->size_bytes();
    for (const std::string& n : names) expected += n.size() + 1;
    return WriteNewImage(
        [&](Sink& out) {
            out.record(stored);
            out.bytes(std::as_bytes(*tags));
            for (const std::string& n : names) out.cstring(n);
        },
        image, expected);
}

std::size_t SaveNetworkImage(const NetworkRecord& record, HGLOBAL* image) {
    NetworkRecord stored = record;
    stored.node = StoredNode(record.node, true);
    thread_local std::size_t expected = 0;  // the last one's size
    return WriteNewImage(
        [&](Sink& out) {
            out.record(stored);
            WriteNetworkChildren(out, record.node, true);
        },
        image, expected);
}

// The whole image is read before anything of the destination changes.
bool LoadTagFolderImage(std::span<const std::byte> image, TagFolderHeader& folder, void* project) {
    ImageReader in(image);
    TagFolderHeader header = in.record<TagFolderHeader>("tag folder header");
    const std::size_t count = header.count;
    std::vector<TagElement> tags(count);
    auto stored = in.take(in.needBytes(count, sizeof(TagElement), "tag elements"), "tag elements");
    if (count) std::memcpy(tags.data(), stored.data(), stored.size());
    std::vector<std::string_view> names;
    for (const TagElement& tag : tags)
        names.push_back(tag.nameId != 0 ? in.cstring("tag name") : std::string_view());
    if (!project) return false;

    header.elements = count ? GlobalAlloc(GHND, count * sizeof(TagElement)) : 0;
    folder = header;
    if (count && !header.elements) {
        folder.count = 0;
        return false;
    }
    for (std::size_t i = 0; i < count; ++i)
        if (tags[i].nameId != 0) tags[i].nameId = StrTabAddText(names[i].data(), project);
    if (count) std::memcpy(mem::Data(header.elements), tags.data(), count * sizeof(TagElement));
    return true;
}

bool LoadNetworkImage(std::span<const std::byte> image, NetworkRecord& record) {
    ImageReader in(image);
    NetworkRecord loaded = in.record<NetworkRecord>("network record");
    Allocations blocks(nullptr);
    ReadNetworkChildren(in, blocks, loaded.node, true);
    blocks.keep();
    record = loaded;
    return true;
}

}  // namespace kestra::store
