// The text of a document as export writes it: UTF-8, indented by two spaces, one member or
// element per line, in the order the walk gives. Lines are written into a small buffer that
// stays in the cache and moved to the text a block at a time: the text is fresh memory, which
// a copy of a block fills without reading it first, where the many small writes of its lines
// would each wait for their memory to be read.
//
// An object whose end was marked with keep() can be reopened later to append members to it;
// those members are kept apart and spliced in before its closing brace when the text is taken.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestra::json {

// Where an object that may be reopened ends: the offset of its closing line in the text, its
// depth and the members it has.
struct ObjectEnd {
    std::size_t offset = 0;
    std::size_t depth = 0;
    std::size_t members = 0;
};

// A member's name as a line gives it after the indentation, quoted and followed by a colon and
// a space, in a block of a fixed size made once (for the names of record tables): a line is
// then started by two copies of known sizes.
struct QuotedName {
    static constexpr std::size_t kRoom = 40;
    constexpr explicit QuotedName(std::string_view name) : name(name) {
        if (name.size() + 4 > kRoom) return;
        text[0] = '"';
        for (std::size_t i = 0; i < name.size(); ++i) text[1 + i] = name[i];
        text[1 + name.size()] = '"';
        text[2 + name.size()] = ':';
        text[3 + name.size()] = ' ';
        length = static_cast<std::uint8_t>(name.size() + 4);
    }
    std::string_view name;
    std::array<char, kRoom> text{};
    std::uint8_t length = 0;  // 0: the name is too long for the block
};

class DocumentWriter {
  public:
    DocumentWriter();
    // Room for a text of `bytes`, taken at once (untouched room costs no memory); its first
    // pages are faulted in.
    void reserve(std::size_t bytes);

    // A member of the current object (`key`) or the next element of the current array (""),
    // as an object or an array that the matching close() ends.
    void openObject(std::string_view key);
    void openArray(std::string_view key);
    void close();
    // Closes the current object and returns where it ends, for reopen().
    ObjectEnd closeKept();

    // Scalar members or elements.
    void null(std::string_view key);
    void number(std::string_view key, std::int64_t value);
    void number(const QuotedName& key, std::int64_t value);
    // A text of project bytes, shown through the code page.
    void text(std::string_view key, std::span<const std::uint8_t> bytes);
    void hex(std::string_view key, std::span<const std::uint8_t> bytes);
    void hex(const QuotedName& key, std::span<const std::uint8_t> bytes);
    void base64(std::string_view key, std::span<const std::uint8_t> bytes);

    // Appends members to an object closed with closeKept(); ended by endReopen(), which
    // returns where the object ends now.
    void reopen(const ObjectEnd& end);
    ObjectEnd endReopen();

    // The members or elements the current object or array has so far.
    std::size_t members() const { return frames_.back().members; }
    // Objects and arrays open (the root object is 1).
    std::size_t depth() const { return frames_.size(); }

    // The finished document, ending with a newline.
    std::string take();

  private:
    struct Frame {
        bool array = false;
        std::size_t members = 0;
    };
    struct Splice {
        std::size_t offset;
        std::string text;
    };
    // The text written to: the document's, or what is appended to a reopened object.
    std::string& sink() { return reopened_ ? reopenText_ : text_; }
    // Its size, the buffer's bytes included.
    std::size_t size() { return sink().size() + static_cast<std::size_t>(cur_ - buffer_.get()); }
    // Moves the buffer's bytes to the sink.
    void flush();
    // Room for n bytes at cur_, n at most kRoom; the caller moves cur_ past what it writes.
    char* room(std::size_t n) {
        if (static_cast<std::size_t>(end_ - cur_) < n) flush();
        return cur_;
    }
    void write(const char* data, std::size_t n);
    void put(char c) { *room(1) = c, ++cur_; }
    // A line break and the indentation of `depth` levels, after a comma when asked.
    void lineStart(bool comma, std::size_t depth);
    // The separator and indentation before a member or element, and the member's name.
    void start(std::string_view key);
    void start(const QuotedName& key);
    // The digits of a number, and the hex digits of bytes, quoted.
    void digits(std::int64_t value);
    void hexText(std::span<const std::uint8_t> bytes);

    static constexpr std::size_t kBuffer = 64 * 1024;
    static constexpr std::size_t kRoom = kBuffer / 2;
    std::unique_ptr<char[]> buffer_;
    char* cur_;
    char* end_;
    std::string scratch_;
    std::string text_;
    std::vector<Frame> frames_;
    std::vector<Splice> splices_;
    // While an object is reopened: what is appended to it, its end, and the frames it left.
    bool reopened_ = false;
    std::string reopenText_;
    ObjectEnd reopenEnd_;
    std::vector<Frame> outerFrames_;
};

}  // namespace kestra::json
