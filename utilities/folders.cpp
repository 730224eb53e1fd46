// Parameter folders and network folders.
#include "utilities/folders.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/matrix_editor.h"

using kestra::FolderHeader;
using kestra::ListEntry;
using kestra::MatrixRow;
using kestra::NetworkNode;
namespace mem = kestra::mem;
namespace blocks = kestra::blocks;

namespace {

// ---------------------------------------------------------------------------------------------
// Parameter folders

// A folder being changed: its entries as a working copy, and the reference changes that take
// effect only when the changed entries are in place, so a failed change leaves everything as
// it was.
class FolderEdit {
  public:
    FolderEdit(FolderHeader& header, void* project)
        : header_(header), project_(project), numeric_(header.numeric != 0) {}

    // Reads the entries; false when the block does not hold the count it claims.
    bool load() {
        if (header_.count <= 0 || header_.block == 0u) return true;
        auto records = blocks::Records<ListEntry>(header_.block,
                                                  static_cast<std::size_t>(header_.count.get()));
        if (!records) return false;
        entries_.assign(records->begin(), records->end());
        loadedCount_ = entries_.size();
        return true;
    }

    std::vector<ListEntry>& entries() { return entries_; }
    bool numeric() const { return numeric_; }

    DWORD valueOf(const ListEntry& e) const {
        return numeric_ ? static_cast<DWORD>(e.value.get()) : e.textId.get();
    }
    bool holds(const ListEntry& e, DWORD value) const {
        return numeric_ ? e.value.get() == static_cast<std::int32_t>(value)
                        : e.textId.get() == static_cast<WORD>(value);
    }
    ListEntry single(int key, DWORD value) const {
        ListEntry e{};
        e.firstKey = static_cast<std::int16_t>(key);
        e.lastKey = static_cast<std::int16_t>(key);
        setValue(e, value);
        return e;
    }
    void setValue(ListEntry& e, DWORD value) const {
        if (numeric_)
            e.value = static_cast<std::int32_t>(value);
        else
            e.textId = static_cast<WORD>(value);
    }

    // String folders only: a reference to drop or to add once the change is in place.
    void release(DWORD value) {
        if (!numeric_ && static_cast<WORD>(value) != 0)
            releases_.push_back(static_cast<WORD>(value));
    }
    void reference(DWORD value) {
        if (!numeric_ && static_cast<WORD>(value) != 0)
            references_.push_back(static_cast<WORD>(value));
    }
    void erase(std::size_t at) {
        release(valueOf(entries_[at]));
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
    }
    void insert(std::size_t at, const ListEntry& e) {
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), e);
    }

    // Puts the entries in place: a changed number of entries gets a new block of the new size
    // (none when empty), the same number is written back into the block.
    bool commit() {
        if (entries_.size() > static_cast<std::size_t>(kMaxFolderEntries)) return false;
        if (entries_.size() != loadedCount_ || header_.block == 0u) {
            HGLOBAL replacement = 0;
            if (!entries_.empty()) {
                replacement = blocks::NewGlobal<ListEntry>(entries_);
                if (!replacement) return false;
            }
            HGLOBAL old = header_.block;
            header_.block = replacement;
            header_.count = static_cast<std::int16_t>(entries_.size());
            if (old) GlobalFree(old);
        } else if (!entries_.empty()) {
            std::memcpy(mem::Data(header_.block), entries_.data(),
                        entries_.size() * sizeof(ListEntry));
        }
        for (WORD id : references_) StrTabAddReference(nullptr, id, project_);
        for (WORD id : releases_) StrTabGetText(id, project_, nullptr, 0, 1);
        return true;
    }

  private:
    FolderHeader& header_;
    void* project_;
    bool numeric_;
    std::vector<ListEntry> entries_;
    std::size_t loadedCount_ = 0;
    std::vector<WORD> releases_;
    std::vector<WORD> references_;
};

std::optional<std::size_t> findRange(const std::vector<ListEntry>& entries, int key) {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].firstKey <= key && key <= entries[i].lastKey) return i;
    return std::nullopt;
}

// Takes the key out of the range at `at`, which holds it.
void cutKey(FolderEdit& edit, std::size_t at, int key) {
    auto& entries = edit.entries();
    ListEntry& range = entries[at];
    if (range.firstKey == key && range.lastKey == key) {
        edit.erase(at);
    } else if (range.firstKey == key) {
        range.firstKey = static_cast<std::int16_t>(key + 1);
    } else if (range.lastKey == key) {
        range.lastKey = static_cast<std::int16_t>(key - 1);
    } else {
        ListEntry upper = range;
        upper.firstKey = static_cast<std::int16_t>(key + 1);
        range.lastKey = static_cast<std::int16_t>(key - 1);
        edit.insert(at + 1, upper);
        edit.reference(edit.valueOf(upper));
    }
}

// Gives a key that no range holds the value, joining a neighbouring range where it can.
void insertKey(FolderEdit& edit, int key, DWORD value) {
    auto& entries = edit.entries();
    const std::size_t n = entries.size();
    std::size_t j = 0;
    while (j < n && entries[j].firstKey <= key) ++j;
    if (j < n && entries[j].firstKey == key + 1 && edit.holds(entries[j], value)) {
        entries[j].firstKey = static_cast<std::int16_t>(key);
        edit.release(value);
        if (j > 0 && entries[j - 1].lastKey == key - 1 && edit.holds(entries[j - 1], value)) {
            entries[j - 1].lastKey = entries[j].lastKey;
            edit.erase(j);
        }
        return;
    }
    if (j == n && n > 0 && entries[n - 1].lastKey == key - 1 && edit.holds(entries[n - 1], value)) {
        entries[n - 1].lastKey = static_cast<std::int16_t>(key);
        edit.release(value);
        return;
    }
    edit.insert(j, edit.single(key, value));
}

FolderHeader* folderOf(void* folder) {
    return folder ? &kestra::RecordAt<FolderHeader>(folder) : nullptr;
}

constexpr std::size_t kMatrixSetCount = offsetof(ParameterMatrix, setCount);
constexpr std::size_t kMatrixBase = offsetof(ParameterMatrix, setBase);
constexpr std::size_t kMatrixRowCount = offsetof(ParameterMatrix, rowCount);
constexpr std::size_t kMatrixRows = offsetof(ParameterMatrix, rows);
constexpr std::size_t kMatrixProject = offsetof(ParameterMatrix, project);
constexpr int kMatrixTextRoom = 256;

// ---------------------------------------------------------------------------------------------
// Network folders

constexpr int kMaxNetworkDepth = 8;

std::span<NetworkNode> children(const NetworkNode& node) {
    return blocks::RecordsUpTo<NetworkNode>(node.children, node.childCount);
}

// Frees the node's descendants, deepest first; every freed node is left without children.
// A block met twice (a damaged project) is freed once.
void freeDescendants(NetworkNode& node, std::set<HGLOBAL>& freed, int depth) {
    if (node.children != 0u && depth < kMaxNetworkDepth && !freed.count(node.children)) {
        freed.insert(node.children);
        for (NetworkNode& child : children(node)) freeDescendants(child, freed, depth + 1);
        GlobalFree(node.children);
    }
    node.childCount = 0;
    node.children = 0;
    node.flags &= static_cast<std::uint8_t>(~NetworkNode::kHasChildren);
}

void freeDescendants(NetworkNode& node) {
    std::set<HGLOBAL> freed;
    freeDescendants(node, freed, 0);
}

// Deep copy of the node's children into new blocks; false (with nothing left allocated) when a
// block cannot be allocated.
bool copyDescendants(NetworkNode& node, int depth) {
    if (node.children == 0u || node.childCount == 0) {
        node.children = 0;
        return true;
    }
    auto source = children(node);
    if (depth >= kMaxNetworkDepth || source.empty()) {
        node.children = 0;
        node.childCount = 0;
        return true;
    }
    HGLOBAL copy = blocks::NewGlobal<NetworkNode>(source);
    if (!copy) {
        node.children = 0;
        node.childCount = 0;
        return false;
    }
    node.children = copy;
    node.childCount = static_cast<std::uint16_t>(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (!copyDescendants(children(node)[i], depth + 1)) {
            // Children before i hold copies of their own; those after still share the source's.
            for (std::size_t done = 0; done < i; ++done) freeDescendants(children(node)[done]);
            GlobalFree(copy);
            node.children = 0;
            node.childCount = 0;
            return false;
        }
    }
    return true;
}

std::optional<std::size_t> findChild(const NetworkNode& folder, int key) {
    auto kids = children(folder);
    for (std::size_t i = 0; i < kids.size(); ++i)
        if (kids[i].nodeKey == static_cast<WORD>(key)) return i;
    return std::nullopt;
}

NetworkNode* nodeOf(void* node) {
    return node ? &kestra::RecordAt<NetworkNode>(node) : nullptr;
}

}  // namespace

extern "C" {

BOOL ExpGetValueFromFolder(void* folder, int key, DWORD* value, void* project) {
    FolderHeader* header = folderOf(folder);
    if (!header) return FALSE;
    FolderEdit edit(*header, project);
    if (!edit.load()) return FALSE;
    auto at = findRange(edit.entries(), static_cast<std::int16_t>(key));
    if (!at) return FALSE;
    if (value) *value = edit.valueOf(edit.entries()[*at]);
    return TRUE;
}

BOOL ExpPlaceValueInFolder(void* folder, int key, DWORD value, void* project) {
    FolderHeader* header = folderOf(folder);
    if (!header) return FALSE;
    key = static_cast<std::int16_t>(key);
    FolderEdit edit(*header, project);
    if (!edit.load()) return FALSE;
    auto& entries = edit.entries();
    if (entries.empty()) {
        entries.push_back(edit.single(key, value));
        return edit.commit();
    }
    if (entries.size() == 1 && entries[0].firstKey == key && entries[0].lastKey == key) {
        edit.release(edit.valueOf(entries[0]));
        edit.setValue(entries[0], value);
        return edit.commit();
    }
    if (auto at = findRange(entries, key)) {
        if (edit.holds(entries[*at], value)) {
            edit.release(value);
            return edit.commit();
        }
        cutKey(edit, *at, key);
    }
    insertKey(edit, key, value);
    return edit.commit();
}

BOOL ExpDeleteFolder(void* folder, void* project) {
    FolderHeader* header = folderOf(folder);
    if (!header) return FALSE;
    if (header->numeric == 0 && header->count > 0)
        for (const ListEntry& e : blocks::RecordsUpTo<ListEntry>(
                 header->block, static_cast<std::size_t>(header->count.get())))
            if (e.textId != 0) StrTabGetText(e.textId, project, nullptr, 0, 1);
    if (header->block != 0u) GlobalFree(header->block);
    header->block = 0;
    header->count = 0;
    return TRUE;
}

BOOL ExpDuplicateFolder(void* destination, const void* source, void* project) {
    if (!destination || !source) return FALSE;
    const FolderHeader from = kestra::RecordAt<FolderHeader>(source);
    FolderHeader& to = kestra::RecordAt<FolderHeader>(destination);
    to = from;
    to.block = 0;
    if (from.count <= 0 || from.block == 0u) return TRUE;
    auto entries =
        blocks::Records<ListEntry>(from.block, static_cast<std::size_t>(from.count.get()));
    HGLOBAL copy = entries ? GlobalAlloc(GHND, (entries->size() + 1) * sizeof(ListEntry)) : 0;
    if (!copy) {
        to.count = 0;
        return FALSE;
    }
    std::memcpy(mem::Data(copy), entries->data(), entries->size_bytes());
    to.block = copy;
    if (from.numeric == 0)
        for (const ListEntry& e : *entries)
            if (e.textId != 0) StrTabAddReference(nullptr, e.textId, project);
    return TRUE;
}

BOOL ExpValidateFolder(void* folder, int setCount, int base, void* project) {
    FolderHeader* header = folderOf(folder);
    if (!header) return FALSE;
    FolderEdit edit(*header, project);
    if (!edit.load()) return FALSE;
    auto& entries = edit.entries();
    const int highest = setCount - base - 1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (setCount <= 0 || entries[i].firstKey > highest) {
            while (entries.size() > i) edit.erase(entries.size() - 1);
            break;
        }
        if (entries[i].lastKey > highest) entries[i].lastKey = static_cast<std::int16_t>(highest);
    }
    return edit.commit();
}

BOOL ValidateParSets(void* matrix) {
    if (!matrix) return FALSE;
    const auto* record = static_cast<const std::uint8_t*>(matrix);
    const int setCount = static_cast<std::int16_t>(kestra::ReadLe16(record + kMatrixSetCount));
    const int base = static_cast<std::int16_t>(kestra::ReadLe16(record + kMatrixBase));
    const int rowCount = static_cast<std::int16_t>(kestra::ReadLe16(record + kMatrixRowCount));
    void* project =
        mem::At(kestra::ReadLe32(record + kMatrixProject), 0, kestra::kProjectBlockSize);
    auto rows = blocks::RecordsUpTo<MatrixRow>(kestra::ReadLe32(record + kMatrixRows),
                                               static_cast<std::size_t>(std::max(rowCount, 0)));
    for (MatrixRow& row : rows) {
        const bool numeric = row.folder.numeric != 0;
        for (int set = 0; set < setCount; ++set) {
            DWORD value = 0;
            if (!ExpGetValueFromFolder(&row.folder, set, &value, project)) {
                ExpPlaceValueInFolder(&row.folder, set, numeric ? 0 : StrTabAddText("", project),
                                      project);
            } else if (!numeric) {
                char text[kMatrixTextRoom] = "";
                if (value != 0)
                    StrTabGetText(static_cast<WORD>(value), project, text, kMatrixTextRoom - 1, 0);
                text[std::min<std::size_t>(row.maxTextLength, kMatrixTextRoom - 1)] = 0;
                ExpPlaceValueInFolder(&row.folder, set, StrTabAddText(text, project), project);
            }
        }
        ExpValidateFolder(&row.folder, setCount, base, project);
    }
    return TRUE;
}

BOOL ExpRegisterNetNodeData(void* folderNode, const void* node) {
    NetworkNode* folder = nodeOf(folderNode);
    if (!folder || !node) return FALSE;
    const NetworkNode incoming = kestra::RecordAt<NetworkNode>(node);
    if (folder->children == 0u) folder->childCount = 0;
    if (folder->childCount == 0) folder->children = 0;
    if (auto at = findChild(*folder, incoming.nodeKey)) {
        NetworkNode& child = children(*folder)[*at];
        if (child.children != incoming.children) freeDescendants(child);
        child = incoming;
        return TRUE;
    }
    const std::size_t count = children(*folder).size();
    HGLOBAL grown = folder->children != 0u
                        ? GlobalReAlloc(folder->children, (count + 1) * sizeof(NetworkNode), GHND)
                        : GlobalAlloc(GHND, sizeof(NetworkNode));
    if (!grown) return FALSE;
    folder->children = grown;
    folder->childCount = static_cast<std::uint16_t>(count + 1);
    children(*folder)[count] = incoming;
    return TRUE;
}

BOOL ExpGetNetNodeData(const void* folderNode, BOOL byKey, int keyOrPosition, void* node) {
    if (!folderNode || !node) return FALSE;
    const NetworkNode& folder = kestra::RecordAt<NetworkNode>(folderNode);
    auto kids = children(folder);
    std::optional<std::size_t> at;
    if (byKey)
        at = findChild(folder, keyOrPosition);
    else if (keyOrPosition >= 0 && static_cast<std::size_t>(keyOrPosition) < kids.size())
        at = static_cast<std::size_t>(keyOrPosition);
    if (!at) return FALSE;
    std::memcpy(node, &kids[*at], sizeof(NetworkNode));
    return TRUE;
}

BOOL ExpDeleteNetNodeData(void* folderNode, int key) {
    NetworkNode* folder = nodeOf(folderNode);
    if (!folder) return FALSE;
    auto at = findChild(*folder, key);
    if (!at) return FALSE;
    auto kids = children(*folder);
    freeDescendants(kids[*at]);
    std::vector<NetworkNode> rest(kids.begin(), kids.end());
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(*at));
    if (rest.empty()) {
        GlobalFree(folder->children);
        folder->children = 0;
        folder->childCount = 0;
        return TRUE;
    }
    HGLOBAL smaller = blocks::NewGlobal<NetworkNode>(rest);
    if (smaller) {
        GlobalFree(folder->children);
        folder->children = smaller;
    } else {
        std::memcpy(mem::Data(folder->children), rest.data(), rest.size() * sizeof(NetworkNode));
    }
    folder->childCount = static_cast<std::uint16_t>(rest.size());
    return TRUE;
}

BOOL ExpDuplicateNetworkFolder(void* destination, const void* source) {
    if (!destination || !source) return FALSE;
    NetworkNode copy = kestra::RecordAt<NetworkNode>(source);
    bool complete = copyDescendants(copy, 0);
    kestra::RecordAt<NetworkNode>(destination) = copy;
    return complete ? TRUE : FALSE;
}

BOOL ExpDeleteNetworkFolder(void* node) {
    NetworkNode* folder = nodeOf(node);
    if (!folder) return FALSE;
    freeDescendants(*folder);
    return TRUE;
}

}  // extern "C"
