#include "kestra/json_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "kestra/json_text.h"
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

// A line break and the indentation of `depth` levels, after a comma when asked.
void AppendLineStart(std::string& out, bool comma, std::size_t depth) {
    const std::size_t width = 2 * depth;
    const std::size_t length = (comma ? 2 : 1) + width;
    if (length <= kLineBlock) {
        const std::size_t at = out.size();
        out.append(kLineBreak.data() + (comma ? 0 : 1), kLineBlock);
        out.resize(at + length);
        return;
    }
    if (width <= kIndentRoom) {
        out.append(kLineBreak.data() + (comma ? 0 : 1), length);
        return;
    }
    out.append(comma ? ",\n" : "\n");
    out.append(width, ' ');
}

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

DocumentWriter::DocumentWriter() {
    text_.push_back('{');
    frames_.push_back({false, 0});
}

void DocumentWriter::reserve(std::size_t bytes) {
    text_.reserve(bytes);
    platform::AdviseHugePages(text_.data(), text_.capacity());
}

void DocumentWriter::start(std::string_view key) {
    Frame& frame = frames_.back();
    std::string& o = out();
    const bool comma = frame.members++ > 0;
    const std::size_t line = (comma ? 2 : 1) + 2 * frames_.size();
    const std::size_t name = frame.array ? 0 : key.size() + 4;
    // The line start and the quoted name with its colon, as a block of a fixed size written in
    // place and cut back.
    if (line <= kLineBlock && key.size() <= kLineBlock) {
        const std::size_t at = o.size();
        o.append(kLineBreak.data() + (comma ? 0 : 1), 2 * kLineBlock + 4);
        char* p = o.data() + at + line;
        if (name > 0) {
            p[0] = '"';
            CopyShort(p + 1, key.data(), key.size());
            std::memcpy(p + 1 + key.size(), "\": ", 3);
        }
        o.resize(at + line + name);
        return;
    }
    AppendLineStart(o, comma, frames_.size());
    if (frame.array) return;
    o.push_back('"');
    o.append(key);
    o.append("\": ");
}

void DocumentWriter::openObject(std::string_view key) {
    start(key);
    out().push_back('{');
    frames_.push_back({false, 0});
}

void DocumentWriter::openArray(std::string_view key) {
    start(key);
    out().push_back('[');
    frames_.push_back({true, 0});
}

void DocumentWriter::close() {
    const Frame frame = frames_.back();
    frames_.pop_back();
    if (frame.members > 0) AppendLineStart(out(), false, frames_.size());
    out().push_back(frame.array ? ']' : '}');
}

ObjectEnd DocumentWriter::closeKept() {
    const ObjectEnd end{out().size(), frames_.size(), frames_.back().members};
    close();
    return end;
}

void DocumentWriter::null(std::string_view key) {
    start(key);
    out().append("null");
}

void DocumentWriter::number(std::string_view key, std::int64_t value) {
    start(key);
    // Room for the longest number, taken as a block, written in place and cut back.
    constexpr std::size_t kDigits = 24;
    static_assert(kDigits + 1 <= kLineBreak.size());
    std::string& o = out();
    const std::size_t at = o.size();
    o.append(kLineBreak.data(), kDigits);
    const auto result = std::to_chars(o.data() + at, o.data() + at + kDigits, value);
    o.resize(static_cast<std::size_t>(result.ptr - o.data()));
}

void DocumentWriter::text(std::string_view key, std::span<const std::uint8_t> bytes) {
    start(key);
    AppendQuotedText(out(), bytes);
}

void DocumentWriter::hex(std::string_view key, std::span<const std::uint8_t> bytes) {
    start(key);
    out().push_back('"');
    AppendHex(out(), bytes);
    out().push_back('"');
}

void DocumentWriter::base64(std::string_view key, std::span<const std::uint8_t> bytes) {
    start(key);
    out().push_back('"');
    AppendBase64(out(), bytes);
    out().push_back('"');
}

void DocumentWriter::reopen(const ObjectEnd& end) {
    reopened_ = true;
    reopenText_.clear();
    reopenEnd_ = end;
    outerFrames_.swap(frames_);
    frames_.assign(end.depth, Frame{});
    frames_.back().members = end.members;
}

ObjectEnd DocumentWriter::endReopen() {
    ObjectEnd end = reopenEnd_;
    if (end.members == 0 && !reopenText_.empty()) {
        AppendLineStart(reopenText_, false, end.depth - 1);
    }
    end.members = frames_.back().members;
    frames_.swap(outerFrames_);
    reopened_ = false;
    if (!reopenText_.empty()) splices_.push_back({end.offset, std::move(reopenText_)});
    reopenText_ = {};
    return end;
}

std::string DocumentWriter::take() {
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
