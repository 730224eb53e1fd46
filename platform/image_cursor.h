// Cursors over byte images.
//
// ImageReader never reads past the end of its image: every read checks first and throws
// ImageError (with the offset and what was being read) when the bytes are not there, so a
// truncated or lying image is an error, never a crash. Counts read from an image are checked
// with needBytes() before anything is allocated for them.
//
// ImageWriter writes into a block whose size was computed beforehand and checks at finish()
// that the computation was exact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/records.h"

namespace kestra {

class ImageError : public std::runtime_error {
  public:
    ImageError(std::size_t offset, const std::string& message);
    std::size_t offset() const { return offset_; }

  private:
    std::size_t offset_;
};

class ImageReader {
  public:
    explicit ImageReader(std::span<const std::byte> image, std::size_t position = 0);

    std::size_t position() const { return pos_; }
    std::size_t size() const { return image_.size(); }
    std::size_t remaining() const { return image_.size() - pos_; }
    bool atEnd() const { return pos_ == image_.size(); }
    std::span<const std::byte> image() const { return image_; }

    void seek(std::size_t position);
    void skip(std::size_t n, std::string_view what = "bytes") { (void)take(n, what); }
    std::span<const std::byte> take(std::size_t n, std::string_view what = "bytes") {
        auto bytes = peek(n, what);
        pos_ += n;
        return bytes;
    }
    std::span<const std::byte> peek(std::size_t n, std::string_view what = "bytes") const {
        if (n > remaining()) [[unlikely]]
            failShort(n, what);
        return image_.subspan(pos_, n);
    }

    std::uint8_t u8(std::string_view what = "byte") {
        return static_cast<std::uint8_t>(take(1, what)[0]);
    }
    std::uint16_t u16(std::string_view what = "word") { return ReadLe16(take(2, what).data()); }
    std::uint32_t u32(std::string_view what = "double word") {
        return ReadLe32(take(4, what).data());
    }
    std::int16_t s16(std::string_view what = "word") {
        return static_cast<std::int16_t>(u16(what));
    }
    std::int32_t s32(std::string_view what = "double word") {
        return static_cast<std::int32_t>(u32(what));
    }
    // A zero-terminated text; the cursor moves past the terminator.
    std::string_view cstring(std::string_view what = "text");

    // A fixed-size record, copied out of the image.
    template <typename Record>
    Record record(std::string_view what = "record") {
        Record r;
        auto bytes = take(sizeof(Record), what);
        std::memcpy(&r, bytes.data(), sizeof(Record));
        return r;
    }

    // count elements of elementSize bytes each must still be in the image; returns their
    // total size. Use before allocating for a count read from the image.
    std::size_t needBytes(std::uint64_t count, std::size_t elementSize,
                          std::string_view what) const {
        std::size_t total;
        if (__builtin_mul_overflow(count, elementSize, &total) || total > remaining()) [[unlikely]]
            failCount(count, elementSize, what);
        return total;
    }

    [[noreturn]] void fail(std::string_view what) const;

  private:
    // Throws the error of a read of n bytes where fewer remain.
    [[noreturn]] void failShort(std::size_t n, std::string_view what) const;
    [[noreturn]] void failCount(std::uint64_t count, std::size_t elementSize,
                                std::string_view what) const;

    std::span<const std::byte> image_;
    std::size_t pos_;
};

class ImageWriter {
  public:
    explicit ImageWriter(std::span<std::byte> block);

    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return block_.size() - pos_; }
    std::span<std::byte> block() const { return block_; }

    void u8(std::uint8_t v) { reserve(1)[0] = static_cast<std::byte>(v); }
    void u16(std::uint16_t v) { WriteLe16(reserve(2).data(), v); }
    void u32(std::uint32_t v) { WriteLe32(reserve(4).data(), v); }
    void bytes(std::span<const std::byte> data) {
        auto room = reserve(data.size());
        if (!data.empty()) std::memcpy(room.data(), data.data(), data.size());
    }
    void bytes(const void* data, std::size_t n) {
        bytes(std::span<const std::byte>(static_cast<const std::byte*>(data), n));
    }
    void zeros(std::size_t n) {
        auto room = reserve(n);
        if (n) std::memset(room.data(), 0, n);
    }
    // Text and its terminating zero.
    void cstring(std::string_view text) {
        bytes(text.data(), text.size());
        u8(0);
    }
    template <typename Record>
    void record(const Record& r) {
        bytes(&r, sizeof(Record));
    }
    // Room for n bytes at the current position, which then moves past them.
    std::span<std::byte> reserve(std::size_t n) {
        if (n > remaining()) [[unlikely]]
            failOverrun(n);
        auto room = block_.subspan(pos_, n);
        pos_ += n;
        return room;
    }

    // Throws unless exactly the whole block was written.
    void finish() const;

  private:
    [[noreturn]] void failOverrun(std::size_t n) const;

    std::span<std::byte> block_;
    std::size_t pos_ = 0;
};

}  // namespace kestra
