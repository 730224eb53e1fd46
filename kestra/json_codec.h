// The two-way walk behind the JSON form of a project.
//
// Every section of a project image is described once, as code against a Codec. Exporting, the
// codec reads the image with a bounds-checked cursor and writes the document's text as it
// goes; importing, it reads the document as the parse goes, checks every member against what
// the walk expects, and appends the image bytes. Counts and presence words that the content
// determines are not members: the walk writes them from the content (patching a record
// written earlier where needed).
//
// Exporting, the codec also writes the image that importing the document would give, from the
// values it writes into the document, and applies the document's rules to them, so that an
// image the document cannot give back is refused without reading the document again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kestra/json_reader.h"
#include "kestra/json_tape_reader.h"
#include "kestra/json_writer.h"
#include "kestra/project_json.h"
#include "platform/image_cursor.h"

namespace kestra::json {

// ---- Record tables

enum class Kind : std::uint8_t {
    U8,
    U16,
    U32,
    S16,
    S32,
    Hex,      // `width` bytes as hex
    Derived,  // computed from the content; not a member
    Const,    // always `value`; not a member
    Sub,      // a nested record (`sub`)
};

struct RecordTable;
struct FieldEntry {
    constexpr FieldEntry(std::uint16_t offset, std::uint16_t width, std::string_view name,
                         Kind kind, std::uint32_t value = 0, const RecordTable* sub = nullptr)
        : offset(offset), width(width), name(name), kind(kind), value(value), sub(sub),
          quoted(name) {}
    std::uint16_t offset;
    std::uint16_t width;
    std::string_view name;
    Kind kind;
    std::uint32_t value = 0;
    const RecordTable* sub = nullptr;
    QuotedName quoted;  // the name as the document writes it
};

// A fixed-size record: its named fields in offset order; the bytes between them are members
// named "bytes<offset>" holding hex.
struct RecordTable {
    std::uint16_t size;
    std::span<const FieldEntry> fields;
};

// Where a record landed: its offset in the image (read or written).
struct RecordAt {
    std::size_t offset;
    std::size_t size;
};

// When loading turns a string index into a text: which values are indices into the pool.
enum class StringRule : std::uint8_t {
    Always,
    IfNonzero,
    UnlessNone,        // 0xFFFF is no text
    UnlessZeroOrNone,  // 0 and 0xFFFF are no text
};

// Bytes written to the image (or, exporting, to the image the document gives); valid until
// the next value is written.
using Bytes = std::span<const std::uint8_t>;

class Codec {
  public:
    // Reads `image` into a document.
    explicit Codec(std::span<const std::byte> image);
    // Writes the image that the document read by `document` describes.
    explicit Codec(DocumentReader& document);

    bool exporting() const { return in_.has_value(); }
    // Exporting: the finished document.
    std::string takeDocument() { return writer_.take(); }
    // The image written (importing), or the image the document gives (exporting).
    std::vector<std::uint8_t>& output() { return out_; }
    ImageReader& in() { return *in_; }
    std::size_t position() const;

    // ---- Scopes. A name of "" stands for the current value itself (an array element).
    void beginObject(std::string_view name);
    void endObject();
    // Exporting: the current object can be reopened by reopenObject() after it ends.
    void keepEnd();
    // Whether the current object has the member (importing only; exporting, the image
    // decides and the caller passes its answer).
    bool has(std::string_view name);
    // `present` when exporting, the member's presence when importing.
    bool optional(std::string_view name, bool present) { return exporting() ? present : has(name); }
    // An array member: exporting, `count` elements; importing, as many as the document has.
    // `each(i)` runs with element i as the current value. Returns the count.
    template <typename Each>
    std::size_t array(std::string_view name, std::size_t count, Each each);
    // An array member that is left out when empty; importing, an empty array is refused so
    // that every image has one document.
    template <typename Each>
    std::size_t optionalArray(std::string_view name, std::size_t count, Each each) {
        if (exporting() ? count == 0 : !has(name)) return 0;
        if (!exporting() && kindOf(name) == ValueKind::Array && emptyArray(name))
            failAt(name, "is empty; leave the member out instead");
        return array(name, count, each);
    }
    // An array that must have exactly n elements.
    template <typename Each>
    void fixedArray(std::string_view name, std::size_t n, Each each) {
        if (!exporting() && kindOf(name) == ValueKind::Array && arraySize(name) != n)
            failAt(name, "must have exactly " + std::to_string(n) + " elements");
        array(name, n, each);
    }
    // Walks an array a second time: exporting, the elements written before (each kept with
    // keepEnd()); importing, the document's. `each(i)` runs with element i as the current
    // value.
    template <typename Each>
    void revisit(std::string_view name, Each each);
    // Enters the current value, an object, for a second time: exporting, members written now
    // are added to it; importing, its members are not checked again when it is left with
    // endRevisit().
    void reopenObject();
    void endRevisit() { pop(); }
    // Steps into a member or an element that exists (exporting: written before; importing:
    // in the document); left with endRevisit().
    void descend(std::string_view key);
    void descend(std::size_t index);
    // Importing: counts the member (when present) as read, for a later pass that reads it.
    void markUsed(std::string_view name);
    // Importing: whether the current value is null.
    bool currentIsNull();
    // Importing: what the member is (Missing when absent); "" for the current value.
    ValueKind kindOf(std::string_view name);
    // Importing: the element count of an array member ("" for the current value), and
    // whether it has none.
    std::size_t arraySize(std::string_view name);
    bool emptyArray(std::string_view name);
    // Importing: a whole-number member of the current object as a 64-bit value (one above
    // 2^63 - 1 wraps), nothing when it is absent or not a whole number; the member is checked
    // when it is read for real.
    std::optional<std::int64_t> peekInteger(std::string_view name);
    // The same, leniently: 0 when absent or not a whole number.
    std::uint64_t peekNumber(std::string_view name) {
        return static_cast<std::uint64_t>(peekInteger(name).value_or(0));
    }
    // Importing: whether the member is a whole number of at least 0 with bit 0 set.
    bool peekFlag(std::string_view name);
    // Importing: runs `look` inside the member when it is an object, for peeks only.
    template <typename Look>
    void peekInside(std::string_view name, Look look);
    // A count that precedes its content in the stream: exporting, its value; importing, a
    // placeholder to patch once the content is written.
    std::pair<RecordAt, std::uint32_t> count16();
    std::pair<RecordAt, std::uint32_t> count8();

    // ---- Values of the current object (or the current value for "")
    std::uint32_t number(std::string_view name, Kind kind);
    std::uint32_t u8(std::string_view name) { return number(name, Kind::U8); }
    std::uint32_t u16(std::string_view name) { return number(name, Kind::U16); }
    std::uint32_t u32(std::string_view name) { return number(name, Kind::U32); }
    // A number the caller places itself: exporting, the member is set to `exportValue`;
    // importing, the member is checked and returned.
    std::uint32_t numberValue(std::string_view name, Kind kind, std::uint32_t exportValue);
    // Exactly n bytes as hex.
    Bytes hex(std::string_view name, std::size_t n);
    // Bytes of a length the walk knows (exporting) or the document gives (importing, at
    // most `limit`).
    Bytes hexBytes(std::string_view name, std::size_t exportLength, std::size_t limit);
    Bytes base64(std::string_view name, std::size_t exportLength, std::size_t limit);
    // A text of a length the walk knows (exporting) or the document gives (importing, at most
    // `limit` characters); with `noZero` a zero character is refused (zero-terminated texts).
    Bytes text(std::string_view name, std::size_t exportLength, std::size_t limit,
               bool noZero = false);
    // A value that is written to the image by the caller: exporting, the member is set;
    // importing, the member is checked and returned.
    std::vector<std::uint8_t> textValue(std::string_view name,
                                        std::span<const std::uint8_t> exportText, std::size_t limit,
                                        bool noZero = false);
    std::vector<std::uint8_t> hexValue(std::string_view name,
                                       std::span<const std::uint8_t> exportBytes,
                                       std::size_t limit);

    // Length-prefixed forms: a u8/u16/u32 length, then the bytes.
    Bytes text8(std::string_view name);
    Bytes text16(std::string_view name);
    Bytes text32(std::string_view name);
    Bytes hex32(std::string_view name);
    // A zero-terminated text.
    Bytes cstring(std::string_view name);
    // n bytes that must be zero: skipped when exporting (the image the document gives has
    // zeros there), written when importing.
    void zeros(std::size_t n);
    // Bytes whose value the walk knows: importing, written; exporting, read past (the image
    // the document gives has the value there).
    void put8(std::uint8_t v);
    void put16(std::uint16_t v);
    void put32(std::uint32_t v);
    // Exporting: the next bytes of the image, read past (the caller writes what the document
    // gives for them).
    std::uint32_t get8();
    std::uint32_t get16();
    std::uint32_t get32();
    // Appends bytes to the image written (importing) or given by the document (exporting).
    void emit(Bytes bytes);

    // ---- Records
    // A fixed-size record as an object member (or the current value). Fields named in
    // `computed` (dotted for nested records: "nodeA.childCount") are left out like Derived.
    RecordAt record(std::string_view name, const RecordTable& table,
                    const std::vector<std::string_view>& computed = {});
    // The same, into the current object.
    RecordAt fields(const RecordTable& table, const std::vector<std::string_view>& computed = {});
    // Importing from the tape, a record whose computed fields follow from its own values: the
    // record read in one pass from the object's first member, where the members stand in the
    // order export writes them and the fields at the offsets in `optional` are members
    // exactly when `computed` (of the record read) leaves their bit clear (bit i for
    // optional[i]). Nothing when it is not so (or exporting): the caller then reads the record
    // by name.
    std::optional<RecordAt> fieldsDeciding(const RecordTable& table,
                                           std::span<const std::uint16_t> optional,
                                           unsigned (*computed)(Bytes record));
    // The record's bytes as read (exporting) or as written so far (importing).
    std::span<const std::uint8_t> recordBytes(const RecordAt& r) const;
    std::uint32_t recordValue(const RecordAt& r, std::size_t offset, std::size_t width) const;
    // Writes a computed value into a record written earlier; `name` is the member whose
    // content the value counts, for the fault message.
    void patch(const RecordAt& r, std::size_t offset, std::size_t width, std::uint64_t value,
               std::string_view name, std::uint64_t limit = 0);
    // Writes bytes into a record written earlier.
    void patchBytes(const RecordAt& r, std::size_t offset, std::span<const std::uint8_t> bytes);

    // The bytes of the image from the cursor on, exporting (to peek at a record).
    std::span<const std::uint8_t> peek(std::size_t n);

    // ---- String indices. Loading turns an index into the text of that string of the pool;
    // an index beyond the pool is refused. Indices met before the pool are checked when
    // stringPool() gives its size.
    void stringIndex(std::initializer_list<std::string_view> member, std::uint32_t index,
                     StringRule rule);
    // The same for an index inside hex bytes of the current value, at `offset`.
    void stringIndexInBytes(std::size_t offset, std::uint32_t index, StringRule rule);
    void stringPool(std::size_t count);

    // ---- Faults
    // A fault of the image (exporting: where reading stopped) or of the document.
    [[noreturn]] void fail(const std::string& message) const;
    [[noreturn]] void failAt(std::string_view member, const std::string& message) const;
    // A rule of the document that the values break. Importing, the document is refused;
    // exporting, the image cannot be written as a document: the first such fault is kept for
    // refused() and the walk goes on, so that faults of the image itself come first.
    void refuseAt(std::string_view member, const std::string& message);
    const std::optional<DocumentFault>& refused() const { return refused_; }
    std::string pathOf(std::string_view member) const;

  private:
    enum class FrameKind : std::uint8_t { Value, Object, Array, Element, Reopened };
    static constexpr std::size_t kNoIndex = static_cast<std::size_t>(-1);
    struct Frame {
        FrameKind kind = FrameKind::Value;
        std::string_view name;         // path token of this value: the member's name, or
        std::size_t index = kNoIndex;  // the element's index
        std::size_t readerDepth = 0;   // importing: containers entered below this frame
        std::size_t written = 0;       // exporting, elements: the array's members before it
        bool keep = false;             // exporting, objects: keep the end for reopenObject()
    };
    struct PendingIndex {
        std::uint32_t index;
        std::string path;
        std::string message;
    };
    Frame& top() { return frames_.back(); }
    const Frame& top() const { return frames_.back(); }
    // `name` must outlive the frame (the walk's names are literals and table entries).
    void push(FrameKind kind, std::string_view name, std::size_t index = kNoIndex);
    void pushElement(std::size_t index) { push(FrameKind::Element, {}, index); }
    void pop();
    // Importing: makes the member the reader's current value ("" : the current value
    // itself); with `required`, a missing member is a fault. Returns what it is.
    ValueKind locate(std::string_view name, bool required = true);
    // Importing: makes the current frame's value an entered object, if it is one.
    bool enterFrameObject();
    void writeAt(std::size_t offset, std::size_t width, std::uint64_t value);
    // Room for the image written, taken at once.
    void reserveOutput(std::size_t bytes);
    void fieldValues(const RecordTable& table, std::size_t base,
                     const std::vector<std::string_view>& computed, std::string_view prefix);
    // The same exporting: the record's bytes at `base` of the image, whole.
    void exportFieldValues(const RecordTable& table, std::size_t base,
                           const std::vector<std::string_view>& computed, std::string_view prefix);
    // Importing from the tape: the members of a record read in the document's order (see
    // fieldsInOrder), the reader left as it was. The fields at the offsets in `optional` are
    // read when they are the next member (bit i of `present` says the field at offset i was);
    // with `fromFirst`, the record must start at the object's first member, nothing asked of
    // the object before.
    struct Optional {
        std::span<const std::uint16_t> offsets;
        bool fromFirst = false;
    };
    struct InOrder {
        std::optional<TapeReader::Cursor> cursor;  // none: no member was read
        unsigned present = 0;
    };
    bool readInOrder(const RecordTable& table, std::size_t base,
                     const std::vector<std::string_view>& computed, std::string_view prefix,
                     const Optional& optional, InOrder& read);
    // Importing from the tape, a record whose members stand in the order export writes them,
    // each well formed, is read in one pass: each member is the one after the member before.
    // At the first that is not (absent, elsewhere, of another kind, out of range, bad hex) the
    // answer is false, with the reader as it was, and the record is read again by name, which
    // finds the same members and says what is wrong.
    bool fieldsInOrder(const RecordTable& table, std::size_t base,
                       const std::vector<std::string_view>& computed, std::string_view prefix);
    // Importing: a string member (`what` names the kind of string for the fault), and its
    // bytes as text or hex appended to `into`, checked.
    std::string_view textOf(std::string_view name, const char* what);
    void readText(std::vector<std::uint8_t>& into, std::string_view name, std::size_t limit,
                  bool noZero);
    void readHex(std::vector<std::uint8_t>& into, std::string_view name, std::size_t limit);
    void refuseAtPath(std::string path, const std::string& message);
    void checkIndex(std::string path, std::uint32_t index, std::string message);

    std::optional<ImageReader> in_;
    DocumentReader* reader_ = nullptr;
    TapeReader* tape_ = nullptr;  // the reader, when it reads from the tape
    DocumentWriter writer_;
    std::vector<std::uint8_t> out_;
    std::vector<Frame> frames_;
    std::map<std::string, ObjectEnd> kept_;  // exporting: ends of objects kept, by path
    std::string scratch_;
    std::optional<DocumentFault> refused_;
    std::optional<std::size_t> pool_;
    std::vector<PendingIndex> pending_;  // indices met before the pool, each above the last
};

template <typename Each>
std::size_t Codec::array(std::string_view name, std::size_t count, Each each) {
    if (exporting()) {
        writer_.openArray(name);
        push(FrameKind::Array, name);
        for (std::size_t i = 0; i < count; ++i) {
            pushElement(i);
            each(i);
            pop();
        }
        pop();
        return count;
    }
    if (locate(name) != ValueKind::Array) failAt(name, "must be an array");
    const std::size_t depth = reader_->depth();
    reader_->enterArray();
    push(FrameKind::Array, name);
    top().readerDepth = depth;
    std::size_t n = 0;
    for (; reader_->seekElement(n); ++n) {
        pushElement(n);
        each(n);
        pop();
    }
    pop();
    return n;
}

template <typename Each>
void Codec::revisit(std::string_view name, Each each) {
    if (exporting()) {
        push(FrameKind::Value, name);
        for (std::size_t i = 0; kept_.contains(pathOf(std::to_string(i))); ++i) {
            push(FrameKind::Value, {}, i);
            each(i);
            pop();
        }
        pop();
        return;
    }
    if (!has(name) || kindOf(name) != ValueKind::Array) return;
    const std::size_t depth = reader_->depth();
    reader_->enterArray();
    push(FrameKind::Value, name);
    top().readerDepth = depth;
    for (std::size_t i = 0; reader_->seekElement(i); ++i) {
        push(FrameKind::Value, {}, i);
        each(i);
        pop();
    }
    pop();
}

template <typename Look>
void Codec::peekInside(std::string_view name, Look look) {
    if (exporting() || kindOf(name) != ValueKind::Object) return;
    const std::size_t depth = reader_->depth();
    reader_->enterObject();
    push(FrameKind::Value, name);
    top().readerDepth = depth;
    look();
    pop();
}

}  // namespace kestra::json
