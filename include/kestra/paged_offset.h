// Paged offsets: an offset into an image as a 32 KB page number (from 1) and the offset inside
// the page, three bytes in all.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/records.h"

namespace kestra {

struct PagedOffset {
    std::uint8_t page;  // offset / 32768 + 1
    le16 inPage;        // offset % 32768

    static constexpr std::uint32_t kPageSize = 32768;
    // The largest offset three bytes can name.
    static constexpr std::uint32_t kMaxOffset = 254 * kPageSize + (kPageSize - 1);

    static std::optional<PagedOffset> encode(std::uint32_t offset) {
        if (offset > kMaxOffset) return std::nullopt;
        PagedOffset p{};
        p.page = static_cast<std::uint8_t>(offset / kPageSize + 1);
        p.inPage = static_cast<std::uint16_t>(offset % kPageSize);
        return p;
    }
    // The offset, or nothing for page 0 or an in-page offset of a whole page or more.
    std::optional<std::uint32_t> decode() const {
        if (page == 0 || inPage >= kPageSize) return std::nullopt;
        return (std::uint32_t{page} - 1) * kPageSize + inPage;
    }
};
static_assert(sizeof(PagedOffset) == 3);

}  // namespace kestra
