// Copying a few bytes without a call: a loader that places tens of thousands of small blocks
// (a field's list, a label), and a saver that writes them out again, copy each with a few
// moves of whole words instead of calling the C library for a handful of bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kestra::mem {

// The most bytes CopySmall copies.
inline constexpr std::size_t kSmallCopy = 64;

// Copies n bytes, at most kSmallCopy, with a few moves of whole words that may overlap.
inline void CopySmall(std::byte* to, const std::byte* from, std::size_t n) {
    const auto move = [&](std::size_t at, auto word) {
        std::memcpy(&word, from + at, sizeof word);
        std::memcpy(to + at, &word, sizeof word);
    };
    using Word16 = std::array<std::uint64_t, 2>;
    if (n >= 32) {
        move(0, Word16{}), move(16, Word16{});
        move(n - 32, Word16{}), move(n - 16, Word16{});
    } else if (n >= 16) {
        move(0, Word16{}), move(n - 16, Word16{});
    } else if (n >= 8) {
        move(0, std::uint64_t{}), move(n - 8, std::uint64_t{});
    } else if (n >= 4) {
        move(0, std::uint32_t{}), move(n - 4, std::uint32_t{});
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

// Copies n bytes, a few inline and more with the C library.
inline void CopyBytes(std::byte* to, const std::byte* from, std::size_t n) {
    if (n <= kSmallCopy)
        CopySmall(to, from, n);
    else
        std::memcpy(to, from, n);
}

}  // namespace kestra::mem
