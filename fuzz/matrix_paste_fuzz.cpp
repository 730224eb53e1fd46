// The matrix editor's paste text and multipage list over any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "utilities/matrix_text.h"

namespace ku = kestra::utilities;

namespace {

void pasteText(std::string_view text, std::size_t rows, std::size_t columns, std::size_t cell) {
    auto block = ku::ParseCellBlock(text, rows, columns, cell);
    if (block.size() > rows) std::abort();
    for (const auto& row : block) {
        if (row.empty() || row.size() > columns) std::abort();
        for (const auto& text : row)
            if (text.size() > cell) std::abort();
    }
    // What was copied reads back as the same block.
    if (cell == SIZE_MAX &&
        ku::ParseCellBlock(ku::FormatCellBlock(block), rows, columns, cell) != block)
        std::abort();
}

void multipageList(std::span<const std::byte> list, std::uint16_t key) {
    auto has = ku::MultipageHasKey(list, key);
    auto with = ku::MultipageWithKey(list, key);
    auto without = ku::MultipageWithoutKey(list, key);
    if (!has) return;
    if (with && ku::MultipageHasKey(*with, key) != true) std::abort();
    if (!without || ku::MultipageHasKey(*without, key) != false) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::size_t rows = data[1] % 40 + 1;
    const std::size_t columns = data[2] % 300 + 1;
    const std::size_t cell = data[3] < 128 ? data[3] : SIZE_MAX;
    std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);
    if (data[0] & 1)
        pasteText(text, rows, columns, cell);
    else
        multipageList(std::as_bytes(std::span(data + 4, size - 4)),
                      static_cast<std::uint16_t>(data[1] | (data[2] << 8)));
    return 0;
}
