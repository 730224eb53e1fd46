// Reading a document for import. Two readers answer the same questions of the import's walk:
//
// TapeReader (json_tape_reader.h) reads a document parsed whole beforehand, which any member
// or element is reached from without passing over the text again; import reads with it first.
//
// StreamReader reads as the parse goes: no tree of the document is built. It keeps a stack of
// the objects and arrays entered. Each object's member names are read once when it is
// entered, so that members are found by name in any order; a member or an element is then
// reached by moving through the text, forward, or back to its container's start when it lies
// behind. Values are read in place: texts straight from the document. A document the tape
// reader refuses is read again with it, and every refusal is its.
//
// Every fault of the text itself (bad syntax, a bad escape, a control character in a string)
// is thrown as SyntaxTrouble; the caller then finds the first one with CheckDocumentText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestra/project_json.h"

namespace kestra::json {

struct SyntaxTrouble {
    std::string what;
};

enum class ValueKind : std::uint8_t { Missing, Null, Boolean, Number, Text, Array, Object };

// A number of the document: whole numbers within 64 bits, as the parser of the check sees them.
struct DocumentNumber {
    bool whole = false;
    bool negative = false;
    std::uint64_t magnitude = 0;  // whole and not negative
    std::int64_t value = 0;       // whole and negative
};

// The questions the walk asks of a document, in its terms: the object or array on top of the
// stack of those entered, and the current value in it (a member or an element).
class DocumentReader {
  public:
    virtual ~DocumentReader() = default;

    virtual bool rootIsObject() const = 0;
    virtual std::size_t textSize() const = 0;
    // Objects and arrays entered, the root included.
    std::size_t depth() const { return depth_; }
    // Leaves the objects and arrays entered above `depth`.
    virtual void leaveTo(std::size_t depth) = 0;

    // ---- The object on top
    virtual bool isObject() const = 0;
    virtual bool has(std::string_view name) const = 0;
    // Makes the member the current value; false when the object has none of that name.
    // With `use`, the member counts as read for firstUnused().
    virtual bool seekMember(std::string_view name, bool use) = 0;
    // The same, and what the member is; Missing when there is none.
    virtual ValueKind seekKind(std::string_view name, bool use) {
        return seekMember(name, use) ? kind() : ValueKind::Missing;
    }
    virtual void markUsed(std::string_view name) = 0;
    // The first member name (in document order) not used; nullopt when every one was.
    virtual std::optional<std::string_view> firstUnused() const = 0;

    // ---- The array on top
    virtual std::size_t size() = 0;
    // Makes element `index` the current value; false beyond the end.
    virtual bool seekElement(std::size_t index) = 0;

    // ---- The current value of the object or array on top
    virtual ValueKind kind() = 0;
    virtual DocumentNumber number() = 0;
    // The text of a string, escapes resolved (in `scratch` when there are any).
    virtual std::string_view text(std::string& scratch) = 0;
    // Enters the current value, which must be an object or an array.
    virtual void enterObject() = 0;
    virtual void enterArray() = 0;
    // Element count of the current value, an array (entered and left again), and whether it
    // has none.
    std::size_t arraySize();
    bool arrayIsEmpty();

    // Checks that nothing follows the root object, after every member was read.
    virtual void finish() = 0;

  protected:
    std::size_t depth_ = 0;
};

class StreamReader final : public DocumentReader {
  public:
    // `text` must have kDocumentPadding readable bytes after its end. The root must be an
    // object, which is entered (rootIsObject() says whether it is).
    explicit StreamReader(std::string_view text);
    ~StreamReader() override;
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    bool rootIsObject() const override { return rootIsObject_; }
    std::size_t textSize() const override { return textSize_; }
    void leaveTo(std::size_t depth) override;
    bool isObject() const override;
    bool has(std::string_view name) const override;
    bool seekMember(std::string_view name, bool use) override;
    void markUsed(std::string_view name) override;
    std::optional<std::string_view> firstUnused() const override;
    std::size_t size() override;
    bool seekElement(std::size_t index) override;
    ValueKind kind() override;
    DocumentNumber number() override;
    std::string_view text(std::string& scratch) override;
    void enterObject() override;
    void enterArray() override;
    void finish() override;

  private:
    struct Container;
    Container& top() { return *stack_[depth_ - 1]; }
    const Container& top() const { return *stack_[depth_ - 1]; }
    Container& push();
    std::size_t ordinalOf(std::string_view name) const;
    void scanKeys();

    struct Parser;
    std::unique_ptr<Parser> parser_;
    bool rootIsObject_ = false;
    std::size_t textSize_ = 0;
    // Containers entered are stack_[0] to stack_[depth_ - 1]; those above are kept for reuse.
    std::vector<std::unique_ptr<Container>> stack_;
    // The member names of the objects entered, each object's after its parent's, and whether
    // each was used.
    std::vector<std::string_view> keys_;
    std::vector<std::uint8_t> used_;
    std::deque<std::string> unescapedKeys_;
};

// The parsers' buffers grow to the size of the largest document they read. Each thread keeps
// a parser of each kind for the next document, so that reading it finds its memory there:
// fresh memory costs a page fault every 4 KB, ten thousand of them for a large project's
// document. A document read while the thread's parser is busy gets a parser of its own.
template <typename P>
struct KeptParser {
    KeptParser() : parser(kept().busy ? own : kept().parser), borrowed(!kept().busy) {
        if (borrowed) kept().busy = true;
    }
    ~KeptParser() {
        if (borrowed) kept().busy = false;
    }
    KeptParser(const KeptParser&) = delete;
    KeptParser& operator=(const KeptParser&) = delete;

    P own;
    P& parser;
    bool borrowed;

  private:
    struct Kept {
        P parser;
        bool busy = false;
    };
    static Kept& kept() {
        thread_local Kept parser;
        return parser;
    }
};

// Names are short: compared here rather than by a call, eight bytes at a time, the last
// (or a name shorter than eight bytes) by loads that overlap.
inline bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const char* p = a.data();
    const char* q = b.data();
    const std::size_t n = a.size();
    auto same = [&](std::size_t at, auto word) {
        decltype(word) x, y;
        std::memcpy(&x, p + at, sizeof x);
        std::memcpy(&y, q + at, sizeof y);
        return x == y;
    };
    if (n >= 8) {
        for (std::size_t at = 0; at + 8 < n; at += 8)
            if (!same(at, std::uint64_t{})) return false;
        return same(n - 8, std::uint64_t{});
    }
    if (n >= 4) return same(0, std::uint32_t{}) && same(n - 4, std::uint32_t{});
    if (n == 0) return true;
    return p[0] == q[0] && p[n / 2] == q[n / 2] && p[n - 1] == q[n - 1];
}

// Where a name is looked for among an object's members: from `from` (the member read last) to
// the end, then from the start; `count` when none has it. The member after `from` is tried
// first, since the walk mostly reads them in their order.
template <typename NameAt>
std::size_t FindMember(std::size_t count, std::size_t from, std::string_view name, NameAt nameAt) {
    if (from + 1 < count && SameName(nameAt(from + 1), name))
        return SameName(nameAt(from), name) ? from : from + 1;  // as the search from `from` would
    if (from >= count) from = 0;
    for (std::size_t k = from; k < count; ++k)
        if (SameName(nameAt(k), name)) return k;
    for (std::size_t k = 0; k < from; ++k)
        if (SameName(nameAt(k), name)) return k;
    return count;
}

}  // namespace kestra::json
