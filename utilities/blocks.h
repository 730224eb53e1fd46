// Arrays of fixed-size records kept in blocks of the block table.
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "platform/memory.h"
#include "platform/records.h"

namespace kestra::blocks {

// The first `count` records of a block, or nothing when the block does not hold that many.
// A null reference holds no records.
template <typename T>
std::optional<std::span<T>> Records(mem::Ref ref, std::size_t count) {
    if (count == 0) return std::span<T>();
    if (count > mem::kMaxBlockSize / sizeof(T)) return std::nullopt;
    std::byte* bytes = mem::At(ref, 0, count * sizeof(T));
    if (!bytes) return std::nullopt;
    return std::span<T>(&RecordAt<T>(bytes), count);
}

// The records of a block, as many as it holds whole, at most `count`.
template <typename T>
std::span<T> RecordsUpTo(mem::Ref ref, std::size_t count) {
    std::size_t whole = mem::Size(ref) / sizeof(T);
    std::size_t n = std::min(count, whole);
    if (n == 0) return {};
    return std::span<T>(&RecordAt<T>(mem::Data(ref)), n);
}

template <typename T>
std::vector<T> Copy(std::span<const T> records) {
    return std::vector<T>(records.begin(), records.end());
}

// A new global block holding the records; 0 when it cannot be allocated.
template <typename T>
HGLOBAL NewGlobal(std::span<const T> records) {
    HGLOBAL handle = GlobalAlloc(GHND, records.size_bytes());
    if (!handle) return 0;
    if (!records.empty()) std::memcpy(mem::Data(handle), records.data(), records.size_bytes());
    return handle;
}

}  // namespace kestra::blocks
