#include "string_table/string_table.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "kestra/project.h"

namespace {

// One project's texts: their bytes one after the other in one buffer (so adding a text costs no
// allocation of its own), a record per identifier, and an open-addressing index from a text to
// its identifier that is rebuilt only when it fills up or texts are dropped.
class ProjectTable {
  public:
    // The table follows the project's own count: a lower count drops identifiers above it.
    void followCount(const kestra::ProjectBlock& project) {
        const std::size_t count = project.record.stringCount;
        if (count >= texts_.size()) return;
        bytes_.resize(count == 0 ? 0 : texts_[count].at);
        texts_.resize(count);
        rebuildIndex(slots_.size());
    }

    WORD add(std::string_view text) {
        const std::size_t hash = hashOf(text);
        std::size_t slot = find(text, hash);
        if (slots_[slot] != kNoStringId) {
            ++texts_[slots_[slot]].references;
            return slots_[slot];
        }
        return addNew(text, hash, slot);
    }

    // Adds a text the table does not hold yet; false, with nothing changed, when it holds it
    // already or is full.
    bool addIfNew(std::string_view text) {
        const std::size_t hash = hashOf(text);
        const std::size_t slot = find(text, hash);
        return slots_[slot] == kNoStringId && addNew(text, hash, slot) != kNoStringId;
    }

    bool known(WORD id) const { return id < texts_.size(); }
    std::string_view text(WORD id) const {
        const Text& t = texts_[id];
        return {bytes_.data() + t.at, t.length};
    }
    std::uint32_t& references(WORD id) { return texts_[id].references; }
    std::size_t size() const { return texts_.size(); }

  private:
    struct Text {
        std::uint32_t at;  // of the text in bytes_
        std::uint32_t length;
        std::uint32_t references;
        std::uint32_t hash;  // the low bits of hashOf(), which are all an index uses
    };

    // Adds a text that find() did not find, with the empty slot it gave; its new identifier,
    // or kNoStringId when the table is full.
    WORD addNew(std::string_view text, std::size_t hash, std::size_t slot) {
        if (texts_.size() >= kNoStringId) return kNoStringId;
        const auto id = static_cast<WORD>(texts_.size());
        texts_.push_back({static_cast<std::uint32_t>(bytes_.size()),
                          static_cast<std::uint32_t>(text.size()), 1,
                          static_cast<std::uint32_t>(hash)});
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        if (2 * texts_.size() > slots_.size()) {
            rebuildIndex(4 * texts_.size());
        } else {
            slots_[slot] = id;
        }
        return id;
    }

    static std::size_t hashOf(std::string_view text) { return std::hash<std::string_view>{}(text); }

    // The slot holding the text's identifier, or the empty slot where it would go.
    std::size_t find(std::string_view text, std::size_t hash) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const WORD id = slots_[slot];
            if (id == kNoStringId ||
                (texts_[id].hash == static_cast<std::uint32_t>(hash) && this->text(id) == text))
                return slot;
        }
    }

    // An index of at least `capacity` slots (a power of two, at most half full) for every text,
    // from the hashes kept with the texts. Texts are distinct, so each goes to the first empty
    // slot from its hash on.
    void rebuildIndex(std::size_t capacity) {
        std::size_t size = 16;
        while (size < capacity) size *= 2;
        static_assert(std::size_t{kNoStringId} * 4 <= 0xFFFFFFFFu);  // a mask fits in a kept hash
        slots_.assign(size, kNoStringId);
        const std::size_t mask = size - 1;
        for (std::size_t id = 0; id < texts_.size(); ++id) {
            std::size_t slot = texts_[id].hash & mask;
            while (slots_[slot] != kNoStringId) slot = (slot + 1) & mask;
            slots_[slot] = static_cast<WORD>(id);
        }
    }

    std::vector<char> bytes_;
    std::vector<Text> texts_;
    std::vector<WORD> slots_ = std::vector<WORD>(16, kNoStringId);
};

struct Service {
    std::mutex mutex;
    std::map<const void*, ProjectTable> tables;
    // The table used last: a loader or a save asks for the same one thousands of times.
    const void* lastProject = nullptr;
    ProjectTable* lastTable = nullptr;
};

Service& service() {
    static Service* instance = new Service;
    return *instance;
}

kestra::ProjectBlock& blockOf(void* project) {
    return kestra::RecordAt<kestra::ProjectBlock>(project);
}

// The project's table, brought in line with the project's count.
ProjectTable& tableOf(void* project) {
    Service& s = service();
    if (s.lastProject != project) {
        s.lastTable = &s.tables[project];
        s.lastProject = project;
    }
    s.lastTable->followCount(blockOf(project));
    return *s.lastTable;
}

struct TextList {
    std::vector<std::string> texts;
};

}  // namespace

extern "C" {

WORD StrTabAddText(const char* text, void* project) {
    if (!project) return kNoStringId;
    std::lock_guard lock(service().mutex);
    auto& table = tableOf(project);
    WORD id = table.add(text ? text : "");
    blockOf(project).record.stringCount = static_cast<std::uint16_t>(table.size());
    return id;
}

DWORD StrTabAddNewTexts(void* project, const char* const* texts, DWORD n, WORD* first) {
    if (!project) return 0;
    std::lock_guard lock(service().mutex);
    auto& table = tableOf(project);
    if (first) *first = static_cast<WORD>(table.size());
    DWORD added = 0;
    while (added < n && table.addIfNew(texts[added] ? texts[added] : "")) ++added;
    blockOf(project).record.stringCount = static_cast<std::uint16_t>(table.size());
    return added;
}

BOOL StrTabAddReference(void*, WORD id, void* project) {
    return StrTabAddReferences(id, project, 1);
}

BOOL StrTabAddReferences(WORD id, void* project, DWORD count) {
    return StrTabAddReferenceCounts(project, &id, &count, 1);
}

BOOL StrTabAddReferenceCounts(void* project, const WORD* ids, const DWORD* counts, DWORD n) {
    if (!project) return FALSE;
    std::lock_guard lock(service().mutex);
    ProjectTable& table = tableOf(project);
    BOOL known = TRUE;
    for (DWORD i = 0; i < n; ++i) {
        if (!table.known(ids[i])) {
            known = FALSE;
            continue;
        }
        std::uint32_t& references = table.references(ids[i]);
        references += std::min(counts[i], 0xFFFFFFFFu - references);
    }
    return known;
}

BOOL StrTabGetText(WORD id, void* project, char* destination, DWORD room, DWORD flag) {
    if (!project) return FALSE;
    std::lock_guard lock(service().mutex);
    ProjectTable& table = tableOf(project);
    if (!table.known(id)) {
        if (destination && room > 0) destination[0] = 0;
        return FALSE;
    }
    if (destination) {
        if (room == 0) return FALSE;
        const std::string_view text = table.text(id);
        std::size_t n = std::min<std::size_t>(text.size(), room - 1);
        if (n) std::memcpy(destination, text.data(), n);
        destination[n] = 0;
    }
    std::uint32_t& references = table.references(id);
    if (flag == 1 && references > 0) --references;
    return TRUE;
}

BOOL StrTabVisitTexts(void* project, DWORD count, StrTabTextVisitor visit, void* context) {
    if (!project) return FALSE;
    std::lock_guard lock(service().mutex);
    const ProjectTable& table = tableOf(project);
    for (DWORD id = 0; id < count; ++id) {
        const std::string_view text =
            id < kNoStringId && table.known(static_cast<WORD>(id)) ? table.text(static_cast<WORD>(id))
                                                                    : std::string_view();
        visit(context, text.data(), static_cast<DWORD>(text.size()));
    }
    return TRUE;
}

std::uintptr_t StrTabListPrepare(void*) {
    return reinterpret_cast<std::uintptr_t>(new TextList);
}

BOOL StrTabListAdd(std::uintptr_t list, const char* text) {
    if (!list) return FALSE;
    reinterpret_cast<TextList*>(list)->texts.emplace_back(text ? text : "");
    return TRUE;
}

DWORD StrTabListFormat(std::uintptr_t list, char* destination, DWORD room) {
    if (!list || !destination || room == 0) return 0;
    std::string line;
    for (const auto& text : reinterpret_cast<TextList*>(list)->texts) {
        if (!line.empty()) line += " / ";
        line += text;
    }
    std::size_t n = std::min<std::size_t>(line.size(), room - 1);
    std::memcpy(destination, line.data(), n);
    destination[n] = 0;
    return static_cast<DWORD>(n);
}

void StrTabListRelease(std::uintptr_t list) {
    delete reinterpret_cast<TextList*>(list);
}

DWORD StrTabReferenceCount(WORD id, void* project) {
    if (!project) return 0;
    std::lock_guard lock(service().mutex);
    ProjectTable& table = tableOf(project);
    return table.known(id) ? table.references(id) : 0;
}

void StrTabDiscard(void* project) {
    Service& s = service();
    std::lock_guard lock(s.mutex);
    s.tables.erase(project);
    if (s.lastProject == project) {
        s.lastProject = nullptr;
        s.lastTable = nullptr;
    }
}

}  // extern "C"
