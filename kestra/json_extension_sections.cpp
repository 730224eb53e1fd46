// The extension record and what follows it: network folders, page extension blobs, bitmaps
// and shapes, resources, tags, languages and the closing blocks.
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "kestra/json_records.h"
#include "kestra/json_walk.h"
#include "utilities/services.h"

namespace kestra::json {
namespace {

namespace ex = records::ext;
namespace nd = records::node;

std::uint32_t ExtValue(Walk& w, std::size_t at, std::size_t width) {
    return Le(w.c.recordBytes(w.ext), at, width);
}

// Whether a section is there: exporting, as the image says; importing, as the document says,
// checked against the record word that announces it when that word is a member.
bool Present(Walk& w, std::string_view name, bool imagePresent) {
    return w.c.exporting() ? imagePresent : w.c.has(name);
}

void RequireAgreement(Walk& w, std::string_view name, bool announced, std::string_view word) {
    if (w.c.exporting() || announced == w.c.has(name)) return;
    w.c.failAt(name, announced ? "is missing, while " + std::string(word) + " announces it"
                               : "needs " + std::string(word) + " in the extension record");
}

// ---- Network folders

constexpr std::uint32_t kUnnamedNodeKind = 2;  // loading leaves the names of such nodes alone

// A node of a folder; with `named`, loading reads its name index.
void FolderNode(Codec& c, bool named) {
    const RecordAt node = c.record("", records::kNetworkNode);
    if (named)
        c.stringIndex({"nameString"}, c.recordValue(node, nd::kName, 2), StringRule::IfNonzero);
}

// Loading reads the names of the active folder's nodes: on a network (record byte 411
// nonzero) those of folder B, a child's own or, when it stores children, theirs, except below
// a child of the unnamed kind; otherwise those of folder A's children.
void NetworkFolders(Walk& w) {
    Codec& c = w.c;
    const bool onNetwork = c.recordBytes(w.project)[records::project::kOnNetwork] != 0;
    const std::size_t aAt = records::project::kNodeA;
    if (c.recordBytes(w.project)[aAt + nd::kFlags] & 1) {
        const std::size_t n =
            c.array("networkFolderA", Le(c.recordBytes(w.project), aAt + nd::kChildCount, 2),
                    [&](std::size_t) { FolderNode(c, !onNetwork); });
        c.patch(w.project, aAt + nd::kChildCount, 2, n, "networkFolderA");
    } else if (!c.exporting() && c.has("networkFolderA")) {
        c.failAt("networkFolderA", "needs bit 0 of projectRecord/nodeA/flags");
    }
    const std::size_t bAt = ex::kNodeB;
    if (!(c.recordBytes(w.ext)[bAt + nd::kFlags] & 1)) {
        if (!c.exporting() && c.has("networkFolderB"))
            c.failAt("networkFolderB", "needs bit 0 of extensionRecord/nodeB/flags");
        return;
    }
    std::vector<RecordAt> kids;
    const std::size_t n =
        c.array("networkFolderB", ExtValue(w, bAt + nd::kChildCount, 2), [&](std::size_t) {
            c.beginObject("");
            const bool withChildren =
                c.exporting() ? (c.peek(64)[nd::kFlags] & 1) : (c.peekNumber("flags") & 1);
            kids.push_back(c.fields(records::kNetworkNode,
                                    withChildren ? std::vector<std::string_view>{"childCount"}
                                                 : std::vector<std::string_view>{}));
            if (withChildren)
                c.markUsed("children");
            else if (!c.exporting() && c.has("children"))
                c.failAt("children", "needs bit 0 of flags");
            const auto kid = c.recordBytes(kids.back());
            if (onNetwork && !withChildren && Le(kid, nd::kKind, 2) != kUnnamedNodeKind)
                c.stringIndex({"nameString"}, Le(kid, nd::kName, 2), StringRule::IfNonzero);
            c.keepEnd();
            c.endObject();
        });
    c.patch(w.ext, bAt + nd::kChildCount, 2, n, "networkFolderB");
    c.revisit("networkFolderB", [&](std::size_t i) {
        const auto kid = c.recordBytes(kids[i]);
        if (!(kid[nd::kFlags] & 1)) return;
        const bool named = onNetwork && Le(kid, nd::kKind, 2) != kUnnamedNodeKind;
        c.reopenObject();
        const std::size_t m = c.array("children", Le(kid, nd::kChildCount, 2),
                                      [&](std::size_t) { FolderNode(c, named); });
        c.patch(kids[i], nd::kChildCount, 2, m, "children");
        c.endRevisit();
    });
}

// ---- Page extension blobs

void PageBlobs(Walk& w) {
    Codec& c = w.c;
    const bool blobs = ExtValue(w, ex::kPageBlobs, 2) != 0;
    const bool second = ExtValue(w, ex::kBlobFlags, 1) & 1;
    c.revisit("pages", [&](std::size_t) {
        c.reopenObject();
        if (blobs) {
            c.hex32("extension1");
            if (second) c.hex32("extension2");
        }
        if (!c.exporting()) {
            if (!blobs && c.has("extension1"))
                c.failAt("extension1", "needs a nonzero pageExtensions in the extension record");
            if (!(blobs && second) && c.has("extension2"))
                c.failAt("extension2",
                         "needs pageExtensions and bit 0 of blobFlags in the extension record");
        }
        c.endRevisit();
    });
}

// ---- Bitmaps and shapes

constexpr std::size_t kCoreHeader = 12, kInfoHeader = 40;

// A packed bitmap: its header as members, palette and rows as base64.
void Dib(Codec& c) {
    c.beginObject("dib");
    std::uint32_t headerSize;
    if (c.exporting()) {
        headerSize = Le(c.peek(4), 0, 4);
    } else {
        bool sized = false;
        c.peekInside("header", [&] { sized = c.has("size"); });
        headerSize = sized ? kCoreHeader : kInfoHeader;
    }
    if (headerSize < kCoreHeader) c.fail("bitmap header shorter than 12 bytes");
    const bool info = headerSize == kInfoHeader;
    c.beginObject("header");
    const RecordAt header = c.fields(info ? records::kInfoHeader : records::kCoreHeader);
    if (!info) {
        headerSize = Le(c.recordBytes(header), 0, 4);
        if (headerSize < kCoreHeader || headerSize == kInfoHeader)
            c.failAt("size",
                     "must be at least 12 and not 40 (write a 40-byte header without "
                     "\"size\")");
        if (c.exporting() ? headerSize > kCoreHeader : c.has("extra"))
            c.hexBytes("extra", headerSize - kCoreHeader, headerSize - kCoreHeader);
        if (!c.exporting() && c.position() - header.offset != headerSize)
            c.failAt("extra", "must fill the header to its size");
    }
    c.endObject();
    const auto h = c.recordBytes(header);
    std::int64_t width, height;
    std::uint32_t bits;
    if (info) {
        width = static_cast<std::int32_t>(Le(h, 4, 4));
        height = static_cast<std::int32_t>(Le(h, 8, 4));
        bits = Le(h, 14, 2);
    } else {
        width = Le(h, 4, 2);
        height = Le(h, 6, 2);
        bits = Le(h, 10, 2);
    }
    if (width < 0) c.fail("bitmap width is negative");
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
    const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(height));
    const std::size_t palette = PaletteSize(h.data());
    const auto shown = c.base64("palette", palette, palette);
    if (shown.size() != palette)
        c.failAt("palette", "holds " + std::to_string(shown.size()) +
                                " bytes; the header calls "
                                "for " +
                                std::to_string(palette));
    if (rowBytes != 0 && rows > 0xFFFFFFFFull / rowBytes) c.fail("bitmap is too large");
    const std::size_t size = static_cast<std::size_t>(rows * rowBytes);
    const auto pixels = c.base64("bits", size, size);
    if (pixels.size() != size)
        c.failAt("bits", "holds " + std::to_string(pixels.size()) +
                             " bytes; the header calls "
                             "for " +
                             std::to_string(size));
    c.endObject();
}

bool StoresData(std::span<const std::uint8_t> head) {
    return Le(head, 17, 2) != 0 || (Le(head, 15, 2) & 0x1000) || head[0] != '#';
}

void Bitmaps(Walk& w) {
    Codec& c = w.c;
    const bool present = Present(w, "bitmaps", ExtValue(w, ex::kBitmapCount, 2) != 0);
    if (!present) {
        if (!c.exporting() && c.has("shapes"))
            c.failAt("shapes", "are stored only with at least one bitmap");
        return;
    }
    const std::size_t n =
        c.optionalArray("bitmaps", ExtValue(w, ex::kBitmapCount, 2), [&](std::size_t) {
            c.beginObject("");
            const RecordAt head = c.fields(records::kBitmapHead);
            if (StoresData(c.recordBytes(head)))
                Dib(c);
            else if (!c.exporting() && c.has("dib"))
                c.failAt("dib",
                         "is stored only when dataFlag is nonzero, bit 12 of attributes is "
                         "set or nameMark is not 35 ('#')");
            c.endObject();
        });
    c.patch(w.ext, ex::kBitmapCount, 2, n, "bitmaps");
    const std::size_t shapes = c.array("shapes", ExtValue(w, ex::kShapeCount, 2), [&](std::size_t) {
        c.beginObject("");
        const RecordAt head = c.fields(records::kShapeHead);
        const std::size_t points =
            c.array("points", Le(c.recordBytes(head), 17, 2), [&](std::size_t) { c.hex("", 10); });
        c.patch(head, 17, 2, points, "points");
        c.cstring("name");
        c.endObject();
    });
    c.patch(w.ext, ex::kShapeCount, 2, shapes, "shapes");
}

// ---- Resources

void Resources(Walk& w) {
    Codec& c = w.c;
    const bool announced = ExtValue(w, ex::kResourcesPresent, 4) != 0;
    RequireAgreement(w, "resources", announced, "resourcesPresent");
    if (!announced) return;
    const bool third = ExtValue(w, ex::kBlobFlags, 1) & 1;
    c.beginObject("resources");
    const RecordAt head = c.fields(records::kResourceHead);
    std::size_t stored = 0;
    c.fixedArray("slots", 9, [&](std::size_t i) {
        const bool present =
            c.exporting() ? Le(c.recordBytes(head), 12 + 2 * i, 2) != 0 : !c.currentIsNull();
        if (!present) return;
        c.patch(head, 12 + 2 * i, 2, 1, "slots");
        ++stored;
        c.beginObject("");
        c.fields(records::kResource);
        c.text32("textA");
        c.text32("textB");
        if (third) c.hex32("blobC");
        c.endObject();
    });
    c.patch(head, 0, 2, stored, "slots");
    c.endObject();
}

// ---- Tags, languages and the closing blocks

// Tags are written as a tree ("tagTree", each tag with its "children") when the table is one:
// nonzero keys, each used once, and every tag right after its parent or a sibling's subtree
// (the order a walk of the tree gives). Otherwise as the flat table ("tags"), each tag with its
// parent's key.
constexpr std::size_t kTagSize = 45, kTagName = 2, kParentKey = 36;
constexpr std::size_t kMaxTagDepth = 32;  // deeper tables stay flat

void TagName(Codec& c, const RecordAt& tag) {
    c.stringIndex({"nameString"}, c.recordValue(tag, kTagName, 2), StringRule::IfNonzero);
}

std::optional<std::vector<std::vector<std::size_t>>> TagTree(std::span<const std::uint8_t> tags,
                                                             std::size_t count) {
    std::vector<std::vector<std::size_t>> children(count + 1);  // the last: the roots
    std::vector<std::size_t> open;                              // the tags above the next one
    std::vector<std::uint32_t> keys;
    for (std::size_t i = 0; i < count; ++i) {
        const auto tag = tags.subspan(i * kTagSize, kTagSize);
        const std::uint32_t key = Le(tag, 0, 2), parent = Le(tag, kParentKey, 2);
        if (key == 0 || std::find(keys.begin(), keys.end(), key) != keys.end()) return {};
        keys.push_back(key);
        while (!open.empty() && Le(tags.subspan(open.back() * kTagSize), 0, 2) != parent)
            open.pop_back();
        if (parent != 0 && open.empty()) return {};
        children[open.empty() ? count : open.back()].push_back(i);
        open.push_back(i);
        if (open.size() > kMaxTagDepth) return {};
    }
    return children;
}

class TagTreeWalk {
  public:
    explicit TagTreeWalk(Codec& c) : c_(c) {}

    // Exporting: the tags below `node` (whose key is `parent`) as stored in `tree`.
    void write(std::string_view name, const std::vector<std::vector<std::size_t>>& tree,
               std::size_t node, std::uint32_t parent) {
        c_.array(name, tree[node].size(), [&](std::size_t i) {
            const std::size_t tag = tree[node][i];
            c_.beginObject("");
            const RecordAt at = c_.fields(records::kTagElement, {"parentKey"});
            c_.patch(at, kParentKey, 2, parent, "parentKey");
            TagName(c_, at);
            if (!tree[tag].empty()) write("children", tree, tag, c_.recordValue(at, 0, 2));
            c_.endObject();
        });
    }

    // Importing: the tags of `name` and below, in the order of a walk; their number.
    std::size_t read(std::string_view name, std::uint32_t parent, std::size_t depth = 1) {
        if (depth > kMaxTagDepth)
            c_.failAt(name, "nests tags more than " + std::to_string(kMaxTagDepth) +
                                " deep; write such a table as flat tags");
        std::size_t total = 0;
        c_.optionalArray(name, 0, [&](std::size_t) {
            c_.beginObject("");
            const RecordAt tag = c_.fields(records::kTagElement, {"parentKey"});
            c_.patch(tag, kParentKey, 2, parent, "parentKey");
            const std::uint32_t key = c_.recordValue(tag, 0, 2);
            if (key == 0 || std::find(keys_.begin(), keys_.end(), key) != keys_.end())
                c_.failAt("key", "must be nonzero and used by one tag only in a tag tree");
            TagName(c_, tag);
            keys_.push_back(key);
            total += 1 + read("children", key, depth + 1);
            c_.endObject();
        });
        return total;
    }

  private:
    Codec& c_;
    std::vector<std::uint32_t> keys_;
};

void Tags(Walk& w) {
    Codec& c = w.c;
    const std::size_t at = ex::kTagCount;
    const bool present =
        c.exporting() ? ExtValue(w, ex::kTagSlot, 4) != 0 : c.has("tags") || c.has("tagTree");
    if (!present) return;
    std::size_t n;
    if (c.exporting()) {
        const std::size_t count = ExtValue(w, at, 2);
        const auto tree = TagTree(c.peek(count * kTagSize), count);
        if (tree) {
            TagTreeWalk(c).write("tagTree", *tree, count, 0);
            n = count;
        } else {
            n = c.array("tags", count, [&](std::size_t) {
                c.beginObject("");
                TagName(c, c.fields(records::kTagElement));
                c.endObject();
            });
        }
    } else {
        if (c.has("tags") && c.has("tagTree"))
            c.failAt("tagTree", "cannot stand beside tags: give the tags one way");
        n = c.has("tagTree") ? TagTreeWalk(c).read("tagTree", 0)
                             : c.optionalArray("tags", 0, [&](std::size_t) {
                                   c.beginObject("");
                                   TagName(c, c.fields(records::kTagElement));
                                   c.endObject();
                               });
    }
    c.patch(w.ext, at, 2, n, !c.exporting() && c.has("tagTree") ? "tagTree" : "tags");
    c.patch(w.ext, ex::kTagSlot, 4, 1, "tags");
}

// The text entries of a language: one per page in set 1, one per resource slot in set 2. Every
// language has as many as the second one, and set 1 as many as there are pages.
void TextSet(Walk& w, std::string_view name, std::size_t count, bool pages, std::size_t& agreed,
             bool first) {
    Codec& c = w.c;
    const std::size_t n = c.array(name, count, [&](std::size_t) {
        c.beginObject("");
        c.fields(records::kTextEntryValues);
        if (pages) {
            c.text32("text");
            c.hex32("extension");
        } else {
            c.text32("textA");
            c.text32("textB");
        }
        c.endObject();
    });
    if (first) agreed = n;
    if (n != agreed)
        c.failAt(name, "must have " + std::to_string(agreed) +
                           " entries, as many as the second language's");
    if (first && pages && n != w.pages)
        c.refuseAt(name, "must have " + std::to_string(w.pages) + " entries, one per page");
}

void Languages(Walk& w) {
    Codec& c = w.c;
    const std::size_t count = ExtValue(w, ex::kLanguageCount, 1);
    if (!(c.exporting() ? count > 1 : c.has("languages"))) {
        if (!c.exporting() && count > 1)
            c.failAt("extensionRecord", "languageCount above 1 needs a languages member");
        return;
    }
    const std::size_t n = c.array("languages", count, [&](std::size_t i) {
        c.beginObject("");
        const RecordAt language = c.fields(records::kLanguage);
        c.stringIndex({"nameString"}, c.recordValue(language, 0, 2), StringRule::IfNonzero);
        if (i > 0) {
            c.markUsed("set1");
            c.markUsed("set2");
        }
        c.keepEnd();
        c.endObject();
    });
    if (n < 2) c.failAt("languages", "must hold at least two languages");
    c.patch(w.ext, ex::kLanguageCount, 1, n, "languages");
    std::size_t set1 = 0, set2 = 0;
    c.revisit("languages", [&](std::size_t i) {
        if (i == 0) return;
        c.reopenObject();
        TextSet(w, "set1", ExtValue(w, ex::kSet1Count, 2), true, set1, i == 1);
        TextSet(w, "set2", ExtValue(w, ex::kSet2Count, 2), false, set2, i == 1);
        c.endRevisit();
    });
    c.patch(w.ext, ex::kSet1Count, 2, set1, "set1");
    c.patch(w.ext, ex::kSet2Count, 2, set2, "set2");
}

void ClosingBlocks(Walk& w) {
    Codec& c = w.c;
    if (Present(w, "codeBlock", ExtValue(w, ex::kCodeBlock, 4) != 0)) {
        c.put8(1);
        auto [countAt, count] = c.count8();
        const std::size_t n = c.array("codeBlock", count, [&](std::size_t) { c.u16(""); });
        c.patch(countAt, 0, 1, n, "codeBlock");
        c.patch(w.ext, ex::kCodeBlock, 4, 1, "codeBlock");
    }
    const bool tail = ExtValue(w, ex::kTailLength, 4) != 0 && ExtValue(w, ex::kTail, 4) != 0;
    if (Present(w, "tail", tail)) {
        const auto bytes = c.hexBytes("tail", ExtValue(w, ex::kTailLength, 4), 0xFFFFFFFF);
        if (bytes.empty()) c.failAt("tail", "is empty; leave the member out instead");
        c.patch(w.ext, ex::kTailLength, 4, bytes.size(), "tail");
        c.patch(w.ext, ex::kTail, 4, 1, "tail");
    }
    if (Present(w, "table264", ExtValue(w, ex::kTable264, 4) != 0)) {
        c.zeros(8);
        c.hex("table264", 264);
        c.patch(w.ext, ex::kTable264, 4, 1, "table264");
    }
    if (Present(w, "wordGroups", ExtValue(w, ex::kWordList, 4) != 0)) {
        auto [groupsAt, groups] = c.count16();
        const std::size_t g = c.array("wordGroups", groups, [&](std::size_t) {
            auto [wordsAt, words] = c.count16();
            const std::size_t n = c.array("", words, [&](std::size_t) { c.u16(""); });
            c.patch(wordsAt, 0, 2, n, "wordGroups");
        });
        c.patch(groupsAt, 0, 2, g, "wordGroups");
        c.patch(w.ext, ex::kWordList, 4, 1, "wordGroups");
    }
    if (Present(w, "block124", ExtValue(w, ex::kBlock124, 4) != 0)) {
        c.put32(124);
        c.hex("block124", 120);
        c.patch(w.ext, ex::kBlock124, 4, 1, "block124");
    }
}

}  // namespace

void WalkExtensionSections(Walk& w) {
    Codec& c = w.c;
    bool nodeB, bitmaps, tags, languages, tail;
    if (c.exporting()) {
        const auto e = c.peek(records::kExtensionRecord.size);
        nodeB = e[ex::kNodeB + nd::kFlags] & 1;
        bitmaps = Le(e, ex::kBitmapCount, 2) != 0;
        tags = Le(e, ex::kTagSlot, 4) != 0;
        languages = e[ex::kLanguageCount] > 1;
        tail = Le(e, ex::kTailLength, 4) != 0 && Le(e, ex::kTail, 4) != 0;
    } else {
        nodeB = false;
        c.peekInside("extensionRecord",
                     [&] { c.peekInside("nodeB", [&] { nodeB = c.peekFlag("flags"); }); });
        bitmaps = c.has("bitmaps");
        tags = c.has("tags") || c.has("tagTree");
        languages = c.has("languages");
        tail = c.has("tail");
    }
    std::vector<std::string_view> computed;
    if (nodeB) computed.push_back("nodeB.childCount");
    if (bitmaps) computed.push_back("shapeCount");
    if (tags) computed.push_back("tagFolder.count");
    if (languages) {
        computed.push_back("languageCount");
        computed.push_back("set1Count");
        computed.push_back("set2Count");
    }
    if (tail) computed.push_back("tailLength");
    c.beginObject("extensionRecord");
    w.ext = c.fields(records::kExtensionRecord, computed);
    c.stringIndex({"tagFolder", "nameString"}, ExtValue(w, ex::kTagName, 2), StringRule::IfNonzero);
    for (std::size_t i = 0; i < ex::kTextStrings; ++i)
        c.stringIndex({"textString" + std::to_string(i + 1)},
                      ExtValue(w, ex::kTextString1 + 2 * i, 2), StringRule::IfNonzero);
    c.endObject();

    NetworkFolders(w);
    const bool options = ExtValue(w, ex::kOptionFlags, 4) & 7;
    if (Present(w, "optionBlock", options && ExtValue(w, ex::kOptionBlock, 4) != 0)) {
        if (!c.exporting() && !options)
            c.failAt("optionBlock", "needs one of bits 0 to 2 of optionFlags");
        c.patch(w.ext, ex::kOptionBlock, 4, 1, "optionBlock");
        WalkOptionBlock(w);
    }
    PageBlobs(w);
    Bitmaps(w);
    Resources(w);
    const bool listed = ExtValue(w, ex::kList195, 4) != 0 || ExtValue(w, ex::kList199, 4) != 0 ||
                        ExtValue(w, ex::kList203, 4) != 0;
    RequireAgreement(w, "listSection", listed, "a nonzero listSection195, 199 or 203");
    if (listed) WalkListSection(c);
    Tags(w);
    Languages(w);
    ClosingBlocks(w);
}

}  // namespace kestra::json
