// Exports of the project family: the type 1 image, moving a reference, and the defaults.
#include <optional>
#include <span>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "plc_s5/address.h"
#include "plc_s5/export_guard.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/protocol.h"
#include "plc_s5/strings.h"
#include "plc_s5/type1_image.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

// The bytes behind a handle (locked for the guard's life) or behind a pointer into a block.
class HandleOrPointer {
  public:
    HandleOrPointer(std::uintptr_t value, DWORD pointerFlag) {
        if (LOWORD(pointerFlag)) {
            const void* pointer = reinterpret_cast<const void*>(value);
            if (auto where = mem::Locate(pointer))
                bytes_ = std::span(static_cast<std::byte*>(const_cast<void*>(pointer)),
                                   where->remaining);
        } else if (value <= 0xFFFFFFFFu) {
            lock_.emplace(static_cast<HGLOBAL>(value));
            bytes_ = lock_->bytes();
        }
    }
    std::span<std::byte> bytes() const { return bytes_; }

  private:
    std::optional<GlobalLockGuard> lock_;
    std::span<std::byte> bytes_;
};

void ShowWrongPlcType() {
    char caption[256] = {};
    HMODULE host = GetModuleHandle(strings::kHostModule);
    const bool hasCaption =
        host && LoadString(host, strings::kHostCaption, caption, sizeof caption) > 0;
    MessageBox(nullptr, DriverString(strings::kWrongPlcType).c_str(),
               hasCaption ? caption : nullptr, MB_OK | MB_ICONSTOP);
}

}  // namespace

extern "C" {

HGLOBAL GetProject(std::uintptr_t image, DWORD pointerFlag) {
    return Guarded<HGLOBAL>(0, [&]() -> HGLOBAL {
        HandleOrPointer source(image, pointerFlag);
        auto loaded = LoadType1Image(source.bytes());
        const HGLOBAL* handle = std::get_if<HGLOBAL>(&loaded);
        return handle ? *handle : 0;
    });
}

DWORD SaveProject(std::uintptr_t project, DWORD pointerFlag, HGLOBAL* image) {
    if (image) *image = 0;
    return Guarded<DWORD>(0, [&]() -> DWORD {
        HandleOrPointer source(project, pointerFlag);
        if (!image || source.bytes().size() < kProjectBlockSize) return 0;
        auto& block = RecordAt<ProjectBlock>(source.bytes().data());
        if (block.record.plcType != kPlcType) {
            ShowWrongPlcType();
            return 0;
        }
        std::size_t size = 0;
        auto saved = SaveType1Image(block, size);
        const HGLOBAL* handle = std::get_if<HGLOBAL>(&saved);
        if (!handle) return 0;
        *image = *handle;
        return static_cast<DWORD>(size);
    });
}

DWORD SizeofProject(const void* image) {
    if (!image) return 0;
    std::size_t room = sizeof(Type1Header);
    if (auto where = mem::Locate(image)) room = where->remaining;
    return PaddedSize(std::span(static_cast<const std::byte*>(image), room));
}

int MoveProjectAddress(uPLCADR* ref, const uPLCSETUP* setup, BOOL usePreferred, DWORD direction,
                       LONG amount, DWORD unit) {
    const ModelRow* row = RowOf(setup);
    if (!ref || !row) return -1;
    return MoveAddress(*row, *ref, usePreferred != 0, direction, amount, unit);
}

BOOL InitPlcDefaults(sTARGSETUP* project, const uPLCSETUP* network, uPLCSETUP* setup,
                     tagFIELDREC* field, DWORD mode) {
    return Guarded<BOOL>(FALSE, [&] {
        return InitDefaults(project, network, setup, field, LOWORD(mode)) ? TRUE : FALSE;
    });
}

}  // extern "C"
