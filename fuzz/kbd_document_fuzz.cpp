// The keyboard document reader on any bytes: a model or a reason, never a crash; a model it
// accepts is saved and read back to the same text, and its undo snapshot (placement records
// and current geometry) comes back the same too.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "keyboard_editor/kbd_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    auto model = clavon::ParseKbd(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), error);
    if (!model) return 0;
    const QByteArray saved = clavon::SaveKbd(*model);
    auto again = clavon::ParseKbd(saved, error);
    if (!again || clavon::SaveKbd(*again) != saved) std::abort();
    const QByteArray snapshot = clavon::SnapshotKbd(*model);
    auto restored = clavon::ParseKbd(snapshot, error);
    if (!restored || clavon::SnapshotKbd(*restored) != snapshot) std::abort();
    return 0;
}
