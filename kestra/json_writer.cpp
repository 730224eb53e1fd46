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
static_assert(kLineBlock + 1 <= kLineBreak.size());

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
    AppendLineStart(o, frame.members++ > 0, frames_.size());
    if (frame.array) return;
    // The quoted name and its colon, put together on the stack: one append.
    char name[64];
    if (key.size() + 4 <= sizeof name) {
        name[0] = '"';
        std::memcpy(name + 1, key.data(), key.size());
        std::memcpy(name + 1 + key.size(), "\": ", 3);
        o.append(name, key.size() + 4);
        return;
    }
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
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out().append(digits, result.ptr);
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
