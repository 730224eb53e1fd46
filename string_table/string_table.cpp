#include "string_table/string_table.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "kestra/project.h"

namespace {

struct Text {
    std::string text;
    std::uint32_t references = 0;
};

class ProjectTable {
  public:
    // The table follows the project's own count: a lower count drops identifiers above it.
    void followCount(const kestra::ProjectBlock& project) {
        std::size_t count = project.record.stringCount;
        if (count >= texts_.size()) return;
        for (std::size_t id = count; id < texts_.size(); ++id) index_.erase(texts_[id].text);
        texts_.resize(count);
    }

    WORD add(std::string_view text) {
        if (auto found = index_.find(std::string(text)); found != index_.end()) {
            ++texts_[found->second].references;
            return found->second;
        }
        if (texts_.size() >= kNoStringId) return kNoStringId;
        auto id = static_cast<WORD>(texts_.size());
        texts_.push_back({std::string(text), 1});
        index_.emplace(texts_.back().text, id);
        return id;
    }

    Text* find(WORD id) { return id < texts_.size() ? &texts_[id] : nullptr; }
    std::size_t size() const { return texts_.size(); }

  private:
    std::vector<Text> texts_;
    std::unordered_map<std::string, WORD> index_;
};

struct Service {
    std::mutex mutex;
    std::map<const void*, ProjectTable> tables;
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
    auto& table = service().tables[project];
    table.followCount(blockOf(project));
    return table;
}

void release(Text& text) {
    if (text.references > 0) --text.references;
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

BOOL StrTabAddReference(void*, WORD id, void* project) {
    if (!project) return FALSE;
    std::lock_guard lock(service().mutex);
    Text* text = tableOf(project).find(id);
    if (!text) return FALSE;
    ++text->references;
    return TRUE;
}

BOOL StrTabGetText(WORD id, void* project, char* destination, DWORD room, DWORD flag) {
    if (!project) return FALSE;
    std::lock_guard lock(service().mutex);
    Text* text = tableOf(project).find(id);
    if (!text) {
        if (destination && room > 0) destination[0] = 0;
        return FALSE;
    }
    if (destination) {
        if (room == 0) return FALSE;
        std::size_t n = std::min<std::size_t>(text->text.size(), room - 1);
        std::memcpy(destination, text->text.data(), n);
        destination[n] = 0;
    }
    if (flag == 1) release(*text);
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
    Text* text = tableOf(project).find(id);
    return text ? text->references : 0;
}

void StrTabDiscard(void* project) {
    std::lock_guard lock(service().mutex);
    service().tables.erase(project);
}

}  // extern "C"
