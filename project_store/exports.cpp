// The exports of K32PRJ200. No exception crosses them: a damaged image or project becomes the
// failure result (with the message box the loading and saving exports show).
#include <cstring>
#include <optional>
#include <span>

#include "platform/message_box.h"
#include "platform/module.h"
#include "project_store/project_store.h"
#include "project_store/store.h"
#include "utilities/services.h"

using namespace kestra;

namespace {

constexpr const char* kLoadFailure = "Exception in geting project...";
constexpr const char* kSaveFailure = "Exception during save project...";
constexpr const char* kRepairToken = "fixrmenufield";
constexpr const char* kWithoutLaterSectionsToken = "501";
constexpr int kMaxToken = 32767;

bool byPointer(DWORD pointerFlag) {
    return LOWORD(pointerFlag) != 0;
}

// The bytes of an image or project passed by handle (locked for the scope) or by pointer (from
// the pointer to the end of the block that holds it).
class Passed {
  public:
    Passed(std::uintptr_t value, DWORD pointerFlag) {
        if (byPointer(pointerFlag)) {
            auto* address = reinterpret_cast<std::byte*>(value);
            if (auto where = mem::Locate(address))
                bytes_ = std::span<std::byte>(address, where->remaining);
            return;
        }
        if (value > 0xFFFFFFFFu) return;
        handle_ = static_cast<HGLOBAL>(value);
        if (auto* data = static_cast<std::byte*>(GlobalLock(handle_))) {
            locked_ = true;
            bytes_ = std::span<std::byte>(data, GlobalSize(handle_));
        }
    }
    ~Passed() {
        if (locked_) GlobalUnlock(handle_);
    }
    Passed(const Passed&) = delete;
    Passed& operator=(const Passed&) = delete;

    std::optional<std::span<std::byte>> bytes() const { return bytes_; }
    // The project block, when the bytes hold one whole.
    ProjectBlock* project() const {
        if (!bytes_ || bytes_->size() < kProjectBlockSize) return nullptr;
        return &RecordAt<ProjectBlock>(bytes_->data());
    }

  private:
    HGLOBAL handle_ = 0;
    bool locked_ = false;
    std::optional<std::span<std::byte>> bytes_;
};

unsigned loadFlags(const ProjectLoadOptions* options) {
    if (!options || !options->text) return 0;
    char* text = store::Scratch();
    std::strncpy(text, options->text, store::kScratchSize - 1);
    text[store::kScratchSize - 1] = 0;
    static char token[kMaxToken + 1];
    unsigned flags = 0;
    for (char* cursor = text; GetNextToken(token, &cursor, " ", kMaxToken);) {
        if (std::strcmp(token, kWithoutLaterSectionsToken) == 0)
            flags |= store::kLoadWithoutLaterSections;
        if (std::strcmp(token, kRepairToken) == 0) flags |= store::kLoadRepair;
    }
    return flags;
}

}  // namespace

extern "C" {

BOOL DllMain(HMODULE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) return GetAppFmalloc() ? TRUE : FALSE;
    return TRUE;
}

HGLOBAL GetProject(std::uintptr_t image, DWORD pointerFlag) {
    return GetProjectExt(image, pointerFlag, nullptr);
}

HGLOBAL GetProjectExt(std::uintptr_t image, DWORD pointerFlag, const ProjectLoadOptions* options) {
    try {
        Passed passed(image, pointerFlag);
        auto bytes = passed.bytes();
        if (!bytes) return 0;
        return store::LoadProjectImage(*bytes, loadFlags(options));
    } catch (...) {
        MessageBox(nullptr, kLoadFailure, "", MB_OK);
        return 0;
    }
}

DWORD SaveProject(std::uintptr_t project, DWORD pointerFlag, HGLOBAL* image) {
    if (!image) return 0;
    *image = 0;
    try {
        Passed passed(project, pointerFlag);
        ProjectBlock* block = passed.project();
        if (!block) return 0;
        return static_cast<DWORD>(store::SaveProjectImage(*block, block, image));
    } catch (...) {
        MessageBox(nullptr, kSaveFailure, "", MB_OK);
        return 0;
    }
}

DWORD SaveProjectElement(std::uintptr_t project, DWORD pointerFlag, HGLOBAL* image, DWORD kind,
                         const void* element) {
    if (!image) return 0;
    *image = 0;
    try {
        Passed passed(project, pointerFlag);
        if (!passed.project() || !element) return 0;
        if (LOWORD(kind) != kTagFolderElement)
            return static_cast<DWORD>(
                store::SaveNetworkImage(RecordAt<NetworkRecord>(element), image));
        const auto& folder = *static_cast<const TagFolderRecord*>(element);
        if (!folder.header) return 0;
        // The names belong to the folder's own project; the project argument stands in when
        // the folder names none.
        void* names = folder.project ? folder.project : passed.project();
        return static_cast<DWORD>(store::SaveTagFolderImage(*folder.header, names, image));
    } catch (...) {
        return 0;
    }
}

BOOL GetProjectElement(std::uintptr_t image, DWORD pointerFlag, DWORD kind, void* destination) {
    try {
        Passed passed(image, pointerFlag);
        auto bytes = passed.bytes();
        if (!bytes || !destination) return FALSE;
        if (LOWORD(kind) != kTagFolderElement)
            return store::LoadNetworkImage(*bytes, RecordAt<NetworkRecord>(destination)) ? TRUE
                                                                                         : FALSE;
        auto& folder = *static_cast<TagFolderRecord*>(destination);
        if (!folder.header) return FALSE;
        return store::LoadTagFolderImage(*bytes, *folder.header, folder.project) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

}  // extern "C"
