// Reading a document for import from its tape: the parser first reads the whole text, checking
// it as JSON, into a tape on which every object and array knows where it ends. An object read
// in the order its members stand (as export writes them) is passed over once, member after
// member, from a cursor; one asked for in another order has its members listed with where
// their values stand, passing over each value once, and a member is then reached by name. An
// element is reached by stepping from the last one. No part of the text is passed over again,
// however deep it stands.
//
// The tape reader takes the documents an export writes. What it cannot judge as the stream
// reader does (a text that is not JSON, a number that is not whole) it leaves to that reader:
// the import reads such a document again with it, so that refusals stay the stream reader's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "kestra/json_reader.h"

namespace kestra::json {

// Thrown when the document is to be read again by the stream reader.
struct ReadAgain {};

// The parser's tape: a word per value, its type in the top byte. A string's word holds where
// its length (four bytes) and text stand among the strings; a number's value is the next word;
// an object's or array's first word holds in its low 32 bits the index after its last, its
// closing word standing just before that, and in bits 32 to 55 its count (at most 0xFFFFFF).
namespace tape {

inline constexpr std::uint64_t kPayload = 0x00FFFFFFFFFFFFFF;

inline char TypeOf(std::uint64_t word) {
    return static_cast<char>(word >> 56);
}

// What a value of each type is, and how many words it takes (0: up to its closing word).
struct TypeInfo {
    ValueKind kind = ValueKind::Missing;
    std::uint8_t words = 1;
};
inline constexpr auto kTypes = [] {
    std::array<TypeInfo, 256> types{};
    types['{'] = {ValueKind::Object, 0};
    types['['] = {ValueKind::Array, 0};
    types['l'] = types['u'] = types['d'] = {ValueKind::Number, 2};
    types['"'] = {ValueKind::Text, 1};
    types['t'] = types['f'] = {ValueKind::Boolean, 1};
    types['n'] = {ValueKind::Null, 1};
    return types;
}();

inline ValueKind KindOf(std::uint64_t word) {
    return kTypes[word >> 56].kind;
}

// The index after the value at `at`.
inline std::size_t After(const std::uint64_t* tape, std::size_t at) {
    const std::uint8_t words = kTypes[tape[at] >> 56].words;
    return words != 0 ? at + words : static_cast<std::uint32_t>(tape[at]);
}

}  // namespace tape

class TapeReader final : public DocumentReader {
  public:
    // `text` must have kDocumentPadding readable bytes after its end. When it is JSON
    // (parsed() says whether) and its root is an object, the root is entered.
    explicit TapeReader(std::string_view text);
    ~TapeReader() override;
    TapeReader(const TapeReader&) = delete;
    TapeReader& operator=(const TapeReader&) = delete;

    bool parsed() const { return parsed_; }

    bool rootIsObject() const override { return rootIsObject_; }
    std::size_t textSize() const override { return textSize_; }
    void leaveTo(std::size_t depth) override;
    bool isObject() const override;
    bool has(std::string_view name) const override;
    bool seekMember(std::string_view name, bool use) override;
    ValueKind seekKind(std::string_view name, bool use) override;
    void markUsed(std::string_view name) override;
    std::optional<std::string_view> firstUnused() const override;
    std::size_t size() override;
    bool seekElement(std::size_t index) override;
    ValueKind kind() override;
    DocumentNumber number() override;
    std::string_view text(std::string& scratch) override;
    void enterObject() override;
    void enterArray() override;
    // The parser checked the whole text.
    void finish() override {}

    // Reading the members of the object on top in the document's order, from a cursor the
    // caller holds (in registers, in a loop): the reader changes only when the reads are kept.
    class Cursor;
    // A cursor at the member of that name, found as seekKind finds it (its kind Missing when
    // there is none). With `fromFirst`, only the object's first member, when nothing was asked
    // of the object yet.
    Cursor readInOrder(std::string_view first, bool fromFirst = false);
    // The members the cursor read count as read, and the last is the current value, as if
    // each had been sought with seekKind.
    void keep(const Cursor& cursor);

  private:
    struct Parser;
    struct Member {
        std::uint32_t name;  // the index of its name on the tape; its value follows
        bool used = false;
    };
    // An object or array entered, and its current value.
    struct Container {
        bool isArray = false;
        std::size_t at = 0;                      // the member or element read last
        ValueKind current = ValueKind::Missing;  // Missing: none
        std::size_t value = 0;                   // the current value's index on the tape
        std::size_t end = 0;                     // the index of the closing word
        // Objects: their members listed so far in members_, and the next to list (`end` when
        // all are).
        std::size_t memberBegin = 0;
        std::size_t memberEnd = 0;
        std::size_t unlisted = 0;
        // Objects read in order from their first member, none of them listed: how many were
        // (they are listed, from `start`, when the walk asks for another member than the one
        // read last or the next). Every member read is used, but for the last when
        // `lastUnused`.
        std::size_t streamed = 0;
        std::size_t start = 0;
        bool lastUnused = false;
        // An object nothing was asked of yet.
        bool fresh() const {
            return streamed == 0 && memberEnd == memberBegin && unlisted == start;
        }
        // Arrays: the element at `at`, once stepped to, and their count.
        std::size_t first = 0;
        std::size_t element = 0;
        std::size_t count = 0;
        bool started = false;
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    Container& top() const { return stack_.back(); }
    // The ordinal of the member of that name in the object on top, as FindMember finds it;
    // kNone when there is none.
    std::size_t ordinalOf(std::string_view name) const;
    // Lists the object's members until `count` are listed or all are.
    void listTo(Container& c, std::size_t count) const;
    std::string_view stringAt(std::size_t at) const;
    // Makes the member at `unlisted` the current value, read in order.
    ValueKind stream(Container& c);
    void enter(bool array);
    // Enters the object or array at `at` on the tape.
    void open(std::size_t at, bool array);

    std::unique_ptr<Parser> parser_;
    bool parsed_ = false;
    bool rootIsObject_ = false;
    std::size_t textSize_ = 0;
    // The parse: a word per value (two for a number), and the texts of the strings.
    const std::uint64_t* tape_ = nullptr;
    const std::uint8_t* strings_ = nullptr;
    // An object's members are listed as the walk reaches them, so that one read in order is
    // passed over once; a search lists the rest. Listing is no change the walk sees.
    mutable std::vector<Container> stack_;
    // The members of the objects entered, each object's after its parent's: the first
    // listed_.
    mutable std::vector<Member> members_;
    mutable std::size_t listed_ = 0;
};

class TapeReader::Cursor {
  public:
    // What the member read last is: Missing when the cursor found none.
    ValueKind kind() const { return kind_; }
    // The member after the one read last, when it has `name`: its kind, and it is read.
    // Missing otherwise, and the cursor is left where it was.
    ValueKind next(std::string_view name);
    // The member read last, a number or a string.
    DocumentNumber number() const;
    std::string_view text() const;

  private:
    friend class TapeReader;
    const std::uint64_t* tape_ = nullptr;
    const std::uint8_t* strings_ = nullptr;
    // Members listed: the object's, all of them, and the ordinals of the first and the last
    // read. Members not listed (read in order from the first): none, and how many were read.
    const Member* members_ = nullptr;
    std::size_t count_ = 0;
    std::size_t first_ = 0;
    std::size_t at_ = 0;
    // Not listed: the index of the next member's name, and of the object's closing word.
    std::size_t key_ = 0;
    std::size_t end_ = 0;
    std::size_t value_ = 0;
    ValueKind kind_ = ValueKind::Missing;
};

// ---- Read in the walk's inner loops, so inline

inline std::string_view StringAt(const std::uint64_t* tape, const std::uint8_t* strings,
                                 std::size_t at) {
    const std::uint8_t* p = strings + (tape[at] & tape::kPayload);
    std::uint32_t length;
    std::memcpy(&length, p, sizeof length);
    return {reinterpret_cast<const char*>(p + sizeof length), length};
}

// A number of the tape: whole numbers within 64 bits; a fraction or an exponent is the stream
// reader's to judge, which reads the number's text.
inline DocumentNumber NumberAt(const std::uint64_t* tape, std::size_t at) {
    DocumentNumber n;
    const std::uint64_t bits = tape[at + 1];
    switch (tape::TypeOf(tape[at])) {
        case 'l': {
            const auto v = static_cast<std::int64_t>(bits);
            n.whole = true;
            n.negative = v < 0;
            if (n.negative)
                n.value = v;
            else
                n.magnitude = bits;
            return n;
        }
        case 'u':
            n.whole = true;
            n.magnitude = bits;
            return n;
        default:
            throw ReadAgain{};
    }
}

[[gnu::always_inline]] inline ValueKind TapeReader::Cursor::next(std::string_view name) {
    std::size_t key;
    if (members_ != nullptr) {
        if (at_ + 1 >= count_) return ValueKind::Missing;
        key = members_[at_ + 1].name;
    } else {
        if (key_ == end_) return ValueKind::Missing;
        key = key_;
    }
    if (!SameName(StringAt(tape_, strings_, key), name)) return ValueKind::Missing;
    ++at_;
    value_ = key + 1;
    kind_ = tape::KindOf(tape_[value_]);
    if (members_ == nullptr) key_ = tape::After(tape_, value_);
    return kind_;
}

inline DocumentNumber TapeReader::Cursor::number() const {
    if (kind_ != ValueKind::Number) throw ReadAgain{};
    return NumberAt(tape_, value_);
}

inline std::string_view TapeReader::Cursor::text() const {
    if (kind_ != ValueKind::Text) throw ReadAgain{};
    return StringAt(tape_, strings_, value_);
}

inline std::string_view TapeReader::stringAt(std::size_t at) const {
    return StringAt(tape_, strings_, at);
}

inline ValueKind TapeReader::stream(Container& c) {
    c.at = c.streamed++;
    c.value = c.unlisted + 1;
    c.current = tape::KindOf(tape_[c.value]);
    c.unlisted = tape::After(tape_, c.value);
    return c.current;
}

inline ValueKind TapeReader::kind() {
    return top().current;
}

inline DocumentNumber TapeReader::number() {
    const Container& c = top();
    if (c.current != ValueKind::Number) throw ReadAgain{};
    return NumberAt(tape_, c.value);
}

inline std::string_view TapeReader::text(std::string&) {
    const Container& c = top();
    if (c.current != ValueKind::Text) throw ReadAgain{};
    return stringAt(c.value);
}

}  // namespace kestra::json
