// The card file table of "SSFDCProps.bin" on any bytes, with the names and field masks of
// whatever entries it accepts.
#include <cstdint>
#include <span>

#include "keyboard_editor/ssfdc_file_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto table = clavon::CSSFDCFileTable::Parse(std::span(data, size));
    if (!table) return 0;
    for (const auto& entry : table->Entries()) {
        volatile std::size_t length = entry.Name().size();
        volatile std::uint32_t mask = entry.FieldMask();
        (void)length;
        (void)mask;
    }
    volatile int subtype = table->FreeKeyboardSubtype();
    (void)subtype;
    return 0;
}
