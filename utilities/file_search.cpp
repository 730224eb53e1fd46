// Locating files: along the standard search path (FindFile and the INI and help file names of
// a module), and through the chain of folders of the directory-chain search (FindFirst,
// FindNext, FileFindInterrupt).
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/module.h"
#include "utilities/services.h"

namespace kp = kestra::platform;

namespace {

constexpr DWORD kStageMask = 0x7FFF;
constexpr DWORD kLastStage = 3;

// Copies text and its zero into a buffer of `size` bytes; false when it does not fit.
bool copyInto(const std::string& text, char* buffer, std::size_t size) {
    if (!buffer || text.size() + 1 > size) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

// The module's file name with the text after its last "." replaced by the extension.
BOOL companionFileName(HMODULE module, const char* extension, char* buffer, int size) {
    std::string path = kp::ModulePath(module);
    if (path.empty() || size <= 0) return FALSE;
    std::string name(kp::FileNamePart(path));
    auto dot = name.rfind('.');
    name = (dot == std::string::npos ? name + "." : name.substr(0, dot + 1)) + extension;
    if (!copyInto(name, buffer, static_cast<std::size_t>(size))) return FALSE;
    return FindFile(buffer, size, 0);
}

// The one directory-chain search that may run at a time.
struct SearchState {
    HMODULE module;
    std::string firstFolder;  // stage 0: the folder of the path
    std::string name;         // what is looked for; may hold "*" and "?"
    std::string folder;       // the folder of the current stage
    DWORD stage;
    bool singleStage;
    std::vector<std::string> matches;
    std::size_t next = 0;
    std::string lastMatch;
};
std::unique_ptr<SearchState> search;

std::string stageFolder(const SearchState& state, DWORD stage) {
    switch (stage) {
        case 0:
            return state.firstFolder;
        case 1: {
            HMODULE module = state.module ? state.module : KESTRA_THIS_MODULE();
            return std::string(kp::FolderPart(kp::ModulePath(module)));
        }
        case 2:
            return kp::WindowsFolder();
        case 3:
            return kp::SystemFolder();
        default:
            return {};
    }
}

// Enters a stage: makes its folder the current one and lists the matches there.
void enterStage(SearchState& state, DWORD stage) {
    state.stage = stage;
    state.matches.clear();
    state.next = 0;
    state.folder = kp::ToNativePath(stageFolder(state, stage));
    if (state.folder.empty() || chdir(state.folder.c_str()) != 0) return;
    std::string pattern = kp::ToNativePath(state.name);
    std::string where = state.folder;
    if (auto cut = pattern.rfind('/'); cut != std::string::npos) {
        where = kp::JoinPath(where, pattern.substr(0, cut));
        pattern = pattern.substr(cut + 1);
        state.folder = where;
    }
    state.matches = kp::MatchingEntries(where, pattern);
}

// The next match from the current stage on; fills the path buffer.
int continueSearch(char* path) {
    SearchState& state = *search;
    for (;;) {
        while (state.next < state.matches.size()) {
            std::string full = kp::JoinPath(state.folder, state.matches[state.next++]);
            if (copyInto(full, path, MAX_PATH)) {
                state.lastMatch = full;
                return kFindFound;
            }
        }
        if (state.singleStage || state.stage >= kLastStage) break;
        enterStage(state, state.stage + 1);
    }
    FileFindInterrupt();
    return kFindNone;
}

}  // namespace

extern "C" {

BOOL FindFile(char* name, int size, DWORD) {
    if (!name || size >= static_cast<int>(MAX_PATH) || size <= 0) return FALSE;
    OemToCharA(name, name);
    auto found = kp::SearchPath(name);
    if (!found || !copyInto(*found, name, static_cast<std::size_t>(size))) return FALSE;
    CharToOemA(name, name);
    return TRUE;
}

BOOL GetIniFileName(HMODULE module, char* buffer, int size) {
    return companionFileName(module, "ini", buffer, size);
}

BOOL GetHelpFileName(HMODULE module, char* buffer, int size) {
    return companionFileName(module, "hlp", buffer, size);
}

int FindFirst(HMODULE module, char* path, DWORD, DWORD mode) {
    FileFindInterrupt();
    if (!path) return kFindNone;
    search = std::make_unique<SearchState>();
    search->module = module;
    search->singleStage = (mode & kFindSingleStage) != 0;
    const DWORD firstStage = mode & kStageMask;
    std::string given(path);
    if (firstStage == 0) {
        search->firstFolder = std::string(kp::FolderPart(given));
        if (search->firstFolder.empty()) search->firstFolder = ".";
        search->name = std::string(kp::FileNamePart(given));
    } else {
        search->name = given;
    }
    if (firstStage > kLastStage) {
        FileFindInterrupt();
        return kFindNone;
    }
    enterStage(*search, firstStage);
    return continueSearch(path);
}

int FindNext(char* path) {
    if (!search || !path) return kFindNone;
    return continueSearch(path);
}

void FileFindInterrupt() {
    search.reset();
}

}  // extern "C"
