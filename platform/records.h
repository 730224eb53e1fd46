// Little-endian field types for byte-exact records.
//
// A stored record is declared as a struct of these types (and of plain uint8_t and byte
// arrays), so that every member sits at the offset the record's table gives, with no
// padding and an alignment of one. Each record carries a static_assert on its size and on
// the offsets it names. Values are read and written through the types, never by casting a
// buffer to native integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace kestra {

template <typename T>
class LittleEndian {
    static_assert(std::is_integral_v<T>);

  public:
    using value_type = T;

    constexpr LittleEndian() = default;
    constexpr LittleEndian(T value) { store(value); }  // NOLINT: reads like the plain value

    constexpr operator T() const { return load(); }  // NOLINT
    constexpr T get() const { return load(); }
    constexpr LittleEndian& operator=(T value) {
        store(value);
        return *this;
    }
    constexpr LittleEndian& operator+=(T v) { return *this = static_cast<T>(load() + v); }
    constexpr LittleEndian& operator-=(T v) { return *this = static_cast<T>(load() - v); }
    constexpr LittleEndian& operator|=(T v) { return *this = static_cast<T>(load() | v); }
    constexpr LittleEndian& operator&=(T v) { return *this = static_cast<T>(load() & v); }

  private:
    using U = std::make_unsigned_t<T>;
    constexpr T load() const {
        U value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<U>(U{bytes_[i]} << (8 * i));
        return static_cast<T>(value);
    }
    constexpr void store(T value) {
        auto u = static_cast<U>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bytes_[i] = static_cast<std::uint8_t>(u >> (8 * i));
    }

    std::uint8_t bytes_[sizeof(T)] = {};
};

using le16 = LittleEndian<std::uint16_t>;
using le32 = LittleEndian<std::uint32_t>;
using les16 = LittleEndian<std::int16_t>;
using les32 = LittleEndian<std::int32_t>;

static_assert(sizeof(le16) == 2 && alignof(le16) == 1);
static_assert(sizeof(le32) == 4 && alignof(le32) == 1);

// Views a byte block as a record. The record type must be one of the byte-aligned record
// structs; the caller has checked that sizeof(Record) bytes are there.
template <typename Record>
Record& RecordAt(void* bytes) {
    static_assert(alignof(Record) == 1 && std::is_trivially_copyable_v<Record>);
    return *static_cast<Record*>(bytes);
}
template <typename Record>
const Record& RecordAt(const void* bytes) {
    static_assert(alignof(Record) == 1 && std::is_trivially_copyable_v<Record>);
    return *static_cast<const Record*>(bytes);
}

// Plain accessors for values at a computed offset.
inline std::uint16_t ReadLe16(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}
inline std::uint32_t ReadLe32(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
           (std::uint32_t{b[3]} << 24);
}
inline void WriteLe16(void* p, std::uint16_t v) {
    auto* b = static_cast<std::uint8_t*>(p);
    b[0] = static_cast<std::uint8_t>(v);
    b[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void WriteLe32(void* p, std::uint32_t v) {
    auto* b = static_cast<std::uint8_t*>(p);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace kestra
