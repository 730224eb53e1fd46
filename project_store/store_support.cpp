// Blocks, the image sink and the string pool.
#include <cstring>
#include <limits>
#include <string>

#include "project_store/store.h"
#include "string_table/string_table.h"

namespace kestra::store {

// ---- Resolving references

std::optional<std::span<std::byte>> BytesAt(Ref ref, std::size_t size) {
    if (size == 0) return std::span<std::byte>();
    std::byte* bytes = mem::At(ref, 0, size);
    if (!bytes) return std::nullopt;
    return std::span<std::byte>(bytes, size);
}

std::optional<std::string_view> TextAt(Ref ref) {
    auto block = mem::Bytes(ref);
    if (block.empty()) return std::nullopt;
    const char* start = reinterpret_cast<const char*>(block.data());
    const void* end = std::memchr(start, 0, block.size());
    return std::string_view(start, end ? static_cast<const char*>(end) - start : block.size());
}

// ---- Sink

void Sink::u8(std::uint8_t v) {
    if (writer_)
        writer_->u8(v);
    else
        size_ += 1;
}
void Sink::u16(std::uint16_t v) {
    if (writer_)
        writer_->u16(v);
    else
        size_ += 2;
}
void Sink::u32(std::uint32_t v) {
    if (writer_)
        writer_->u32(v);
    else
        size_ += 4;
}
void Sink::bytes(std::span<const std::byte> data) {
    if (writer_)
        writer_->bytes(data);
    else
        size_ += data.size();
}
void Sink::zeros(std::size_t n) {
    if (writer_)
        writer_->zeros(n);
    else
        size_ += n;
}
void Sink::cstring(std::string_view text) {
    bytes(AsBytes(text));
    u8(0);
}
std::span<std::byte> Sink::room(std::size_t n) {
    if (writer_) return writer_->reserve(n);
    size_ += n;
    return {};
}
void Sink::finish() const {
    if (writer_) writer_->finish();
}

std::uint16_t Fit16(std::size_t n, std::string_view what) {
    if (n > 0xFFFF)
        throw ImageError(
            0, std::string(what) + " of " + std::to_string(n) + " bytes is too long for the image");
    return static_cast<std::uint16_t>(n);
}

void Sink::length16(std::size_t n, std::string_view what) {
    u16(Fit16(n, what));
}

void Sink::length8(std::size_t n, std::string_view what) {
    if (n > 0xFF)
        throw ImageError(position(), std::string(what) + " of " + std::to_string(n) +
                                         " bytes is too long for the image");
    u8(static_cast<std::uint8_t>(n));
}

// ---- String pool

void StringPool::read(ImageReader& in, std::uint16_t count) {
    texts_.clear();
    in.needBytes(count, 1, "string pool");
    texts_.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) texts_.push_back(in.cstring("pool string").data());
}

const char* StringPool::text(std::uint16_t index) const {
    return index < texts_.size() ? texts_[index] : "";
}

Ref ReadBlob(LoadContext& c, bool keepEmpty) {
    const std::uint32_t length = c.in.u32("blob length");
    auto bytes = c.in.take(length, "blob");
    return length || keepEmpty ? c.blocks.blob(bytes) : 0;
}

void WriteBlob(Sink& out, Ref blob) {
    auto bytes = mem::Blob(blob).value_or(std::span<std::byte>());
    out.u32(static_cast<std::uint32_t>(bytes.size()));
    out.bytes(bytes);
}

std::uint16_t LoadContext::translate(std::uint16_t index) const {
    return StrTabAddText(pool.text(index), key);
}

}  // namespace kestra::store

namespace kestra::store {

char* Scratch() {
    static char buffer[kScratchSize];
    return buffer;
}

void WriteStringPool(SaveContext& c) {
    char* text = Scratch();
    const std::uint16_t count = c.project.record.stringCount;
    for (std::uint32_t id = 0; id < count; ++id) {
        text[0] = 0;
        StrTabGetText(static_cast<WORD>(id), c.key, text, kScratchSize - 1, 0);
        c.out.cstring(std::string_view(text, strnlen(text, kScratchSize - 1)));
    }
}

}  // namespace kestra::store
