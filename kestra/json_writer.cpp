#include "kestra/json_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "kestra/json_text.h"
#include "platform/fault_in.h"
#include "platform/huge_pages.h"

namespace kestra::json {

namespace {

// A comma, a line break and the indentation of the deepest document, to copy from: the start
// of a line is one append.
constexpr std::size_t kIndentRoom = 2 * 160;
constexpr auto kLineBreak = [] {
    std::array<char, 2 + kIndentRoom> line{};
    line[0] = ',';
    line[1] = '\n';
    for (std::size_t i = 2; i < line.size(); ++i) line[i] = ' ';
    return line;
}();

// Line starts this long or shorter are copied as a block of this size and cut back: a copy of
// a known size is a few stores, where one of a size known only when it runs starts slowly.
constexpr std::size_t kLineBlock = 32;
static_assert(2 * kLineBlock + 4 + 1 <= kLineBreak.size());

// Copies n bytes, at most 32, as two copies of a fixed size that overlap where n needs it.
void CopyShort(char* to, const char* from, std::size_t n) {
    if (n >= 16) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    }
}

}  // namespace

DocumentWriter::DocumentWriter()
    : buffer_(new char[kBuffer]), cur_(buffer_.get()), end_(buffer_.get() + kBuffer) {
    put('{');
    frames_.push_back({false, 0});
}

void DocumentWriter::reserve(std::size_t bytes) {
    text_.reserve(bytes);
    platform::AdviseHugePages(text_.data(), text_.capacity());
    // Up to its first 2 MB boundary the text comes 4 KB at a time, and the writer needs those
    // pages at once.
    platform::FaultIn(text_.data(), platform::BeforeFirstHugePage(text_.data(), text_.capacity()));
}

void DocumentWriter::flush() {
    sink().append(buffer_.get(), static_cast<std::size_t>(cur_ - buffer_.get()));
    cur_ = buffer_.get();
}

void DocumentWriter::write(const char* data, std::size_t n) {
    if (n > kRoom) {
        flush();
        sink().append(data, n);
        return;
    }
    std::memcpy(room(n), data, n);
    cur_ += n;
}

void DocumentWriter::lineStart(bool comma, std::size_t depth) {
    const std::size_t width = 2 * depth;
    const std::size_t length = (comma ? 2 : 1) + width;
    if (length <= kLineBlock) {
        std::memcpy(room(kLineBlock), kLineBreak.data() + (comma ? 0 : 1), kLineBlock);
        cur_ += length;
        return;
    }
    if (width <= kIndentRoom) {
        write(kLineBreak.data() + (comma ? 0 : 1), length);
        return;
    }
    write(kLineBreak.data() + (comma ? 0 : 1), comma ? 2 : 1);
    for (std::size_t left = width; left > 0;) {
        const std::size_t n = std::min(left, kIndentRoom);
        write(kLineBreak.data() + 2, n);
        left -= n;
    }
}

void DocumentWriter::start(std::string_view key) {
    Frame& frame = frames_.back();
    const bool comma = frame.members++ > 0;
    const std::size_t line = (comma ? 2 : 1) + 2 * frames_.size();
    // The line start and the quoted name with its colon, as blocks of a fixed size written in
    // place and cut back.
    if (line <= kLineBlock && key.size() <= kLineBlock) {
        char* p = room(2 * kLineBlock + 4);
        std::memcpy(p, kLineBreak.data() + (comma ? 0 : 1), kLineBlock);
        p += line;
        if (!frame.array) {
            p[0] = '"';
            CopyShort(p + 1, key.data(), key.size());
            std::memcpy(p + 1 + key.size(), "\": ", 3);
            p += key.size() + 4;
        }
        cur_ = p;
        return;
    }
    lineStart(comma, frames_.size());
    if (frame.array) return;
    put('"');
    write(key.data(), key.size());
    write("\": ", 3);
}

void DocumentWriter::start(const QuotedName& key) {
    Frame& frame = frames_.back();
    const std::size_t line = (frame.members > 0 ? 2 : 1) + 2 * frames_.size();
    if (line > kLineBlock || key.length == 0 || frame.array) return start(key.name);
    const bool comma = frame.members++ > 0;
    char* p = room(kLineBlock + QuotedName::kRoom);
    std::memcpy(p, kLineBreak.data() + (comma ? 0 : 1), kLineBlock);
    std::memcpy(p + line, key.text.data(), QuotedName::kRoom);
    cur_ = p + line + key.length;
}

void DocumentWriter::openObject(std::string_view key) {
    start(key);
    put('{');
    frames_.push_back({false, 0});
}

void DocumentWriter::openArray(std::string_view key) {
    start(key);
    put('[');
    frames_.push_back({true, 0});
}

void DocumentWriter::close() {
    const Frame frame = frames_.back();
    frames_.pop_back();
    if (frame.members > 0) lineStart(false, frames_.size());
    put(frame.array ? ']' : '}');
}

ObjectEnd DocumentWriter::closeKept() {
    const ObjectEnd end{size(), frames_.size(), frames_.back().members};
    close();
    return end;
}

void DocumentWriter::null(std::string_view key) {
    start(key);
    write("null", 4);
}

void DocumentWriter::digits(std::int64_t value) {
    // Room for the longest number, written in place.
    constexpr std::size_t kDigits = 24;
    char* p = room(kDigits);
    cur_ = std::to_chars(p, p + kDigits, value).ptr;
}

void DocumentWriter::number(std::string_view key, std::int64_t value) {
    start(key);
    digits(value);
}

void DocumentWriter::number(const QuotedName& key, std::int64_t value) {
    start(key);
    digits(value);
}

void DocumentWriter::text(std::string_view key, std::span<const std::uint8_t> bytes) {
    start(key);
    scratch_.clear();
    AppendQuotedText(scratch_, bytes);
    write(scratch_.data(), scratch_.size());
}

void DocumentWriter::hexText(std::span<const std::uint8_t> bytes) {
    put('"');
    if (2 * bytes.size() <= kRoom) {
        cur_ = WriteHex(room(2 * bytes.size()), bytes);
    } else {
        flush();
        AppendHex(sink(), bytes);
    }
    put('"');
}

void DocumentWriter::hex(std::string_view key, std::span<const std::uint8_t> bytes) {
    start(key);
    hexText(bytes);
}

void DocumentWriter::hex(const QuotedName& key, std::span<const std::uint8_t> bytes) {
    start(key);
    hexText(bytes);
}

void DocumentWriter::base64(std::string_view key, std::span<const std::uint8_t> bytes) {
    start(key);
    scratch_.assign(1, '"');
    AppendBase64(scratch_, bytes);
    scratch_.push_back('"');
    write(scratch_.data(), scratch_.size());
}

void DocumentWriter::reopen(const ObjectEnd& end) {
    flush();
    reopened_ = true;
    reopenText_.clear();
    reopenEnd_ = end;
    outerFrames_.swap(frames_);
    frames_.assign(end.depth, Frame{});
    frames_.back().members = end.members;
}

ObjectEnd DocumentWriter::endReopen() {
    ObjectEnd end = reopenEnd_;
    if (end.members == 0 && size() > 0) lineStart(false, end.depth - 1);
    flush();
    end.members = frames_.back().members;
    frames_.swap(outerFrames_);
    reopened_ = false;
    if (!reopenText_.empty()) splices_.push_back({end.offset, std::move(reopenText_)});
    reopenText_ = {};
    return end;
}

std::string DocumentWriter::take() {
    flush();
    // Splices go in before the closing lines they were made for, in the order they were made;
    // the text is moved back from its end, so that it is never held twice.
    std::stable_sort(splices_.begin(), splices_.end(),
                     [](const Splice& a, const Splice& b) { return a.offset < b.offset; });
    std::size_t added = 0;
    for (const Splice& s : splices_) added += s.text.size();
    std::size_t end = text_.size();
    text_.resize(end + added);
    for (auto s = splices_.rbegin(); s != splices_.rend(); ++s) {
        std::memmove(text_.data() + s->offset + added, text_.data() + s->offset, end - s->offset);
        added -= s->text.size();
        std::memcpy(text_.data() + s->offset + added, s->text.data(), s->text.size());
        end = s->offset;
    }
    splices_.clear();
    text_.push_back('\n');
    return std::move(text_);
}

}  // namespace kestra::json
