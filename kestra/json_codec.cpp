#include "kestra/json_codec.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

#include "kestra/json_tape_reader.h"
#include "kestra/json_text.h"
#include "platform/fault_in.h"
#include "platform/huge_pages.h"

namespace kestra::json {
namespace {

struct Range {
    std::int64_t low, high;
    std::size_t width;
};

Range RangeOf(Kind kind) {
    switch (kind) {
        case Kind::U8:
            return {0, 0xFF, 1};
        case Kind::U16:
            return {0, 0xFFFF, 2};
        case Kind::S16:
            return {-32768, 32767, 2};
        case Kind::S32:
            return {-2147483648LL, 2147483647LL, 4};
        default:
            return {0, 0xFFFFFFFF, 4};
    }
}

// The bytes of a field of that range for a number of the document; nothing when it is not a
// whole number within the range.
std::optional<std::uint32_t> FieldBits(const DocumentNumber& n, const Range& range) {
    if (!n.whole) return std::nullopt;
    const std::int64_t v = n.negative                 ? n.value
                           : n.magnitude > 0xFFFFFFFF ? std::numeric_limits<std::int64_t>::max()
                                                      : static_cast<std::int64_t>(n.magnitude);
    if (v < range.low || v > range.high) return std::nullopt;
    return static_cast<std::uint32_t>(v) & (range.width == 4   ? 0xFFFFFFFFu
                                            : range.width == 2 ? 0xFFFFu
                                                               : 0xFFu);
}

// The value a document shows for the raw bytes of a field.
std::int64_t Shown(Kind kind, std::uint32_t raw) {
    if (kind == Kind::S16) return static_cast<std::int16_t>(raw);
    if (kind == Kind::S32) return static_cast<std::int32_t>(raw);
    return raw;
}

std::uint32_t ReadLe(const std::uint8_t* at, std::size_t width) {
    if (width == 2) return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8;
    if (width == 1) return at[0];
    std::uint32_t v = 0;
    for (std::size_t i = width; i > 0; --i) v = v << 8 | at[i - 1];
    return v;
}

void WriteLe(std::uint8_t* at, std::size_t width, std::uint64_t v) {
    auto put = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    // The widths of fields written one by one, each a single store.
    switch (width) {
        case 1:
            return put(1);
        case 2:
            return put(2);
        case 4:
            return put(4);
        default:
            return put(width);
    }
}

// The member name of the unnamed bytes at `offset`, written into `room`.
struct GapName {
    explicit GapName(std::size_t offset) {
        std::memcpy(room, "bytes", 5);
        length =
            static_cast<std::size_t>(std::to_chars(room + 5, std::end(room), offset).ptr - room);
    }
    std::string_view view() const { return {room, length}; }
    char room[32];
    std::size_t length;
};

// The gap names of the offsets records have, made once, and quoted (exporting).
class GapNames {
  public:
    static constexpr std::size_t kOffsets = 1024;
    static const GapNames& get() {
        static const GapNames names;
        return names;
    }
    std::string_view text(std::size_t offset) const { return texts_[offset]; }
    const QuotedName& quoted(std::size_t offset) const { return names_[offset]; }

  private:
    GapNames() {
        texts_.reserve(kOffsets);
        names_.reserve(kOffsets);
        for (std::size_t offset = 0; offset < kOffsets; ++offset) {
            texts_.emplace_back(GapName(offset).view());
            names_.emplace_back(texts_.back());
        }
    }
    std::vector<std::string> texts_;
    std::vector<QuotedName> names_;
};

// Exporting, the unnamed bytes at `offset` of a record as hex.
void WriteGap(DocumentWriter& writer, std::size_t offset, Bytes bytes) {
    if (offset < GapNames::kOffsets)
        writer.hex(GapNames::get().quoted(offset), bytes);
    else
        writer.hex(GapName(offset).view(), bytes);
}

const char* TypeName(ValueKind kind) {
    switch (kind) {
        case ValueKind::Null:
            return "null";
        case ValueKind::Boolean:
            return "true or false";
        case ValueKind::Number:
            return "a number";
        case ValueKind::Text:
            return "a text";
        case ValueKind::Array:
            return "an array";
        default:
            return "an object";
    }
}

Bytes AsU8(std::span<const std::byte> bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::string ExactSize(std::size_t n) {
    return "must hold exactly " + std::to_string(n) + " bytes (" + std::to_string(2 * n) +
           " hex digits)";
}

std::string TooMany(std::size_t size, std::size_t limit) {
    return "holds " + std::to_string(size) + " bytes; at most " + std::to_string(limit) +
           " fit here";
}

bool Translated(StringRule rule, std::uint32_t index) {
    switch (rule) {
        case StringRule::Always:
            return true;
        case StringRule::IfNonzero:
            return index != 0;
        case StringRule::UnlessNone:
            return index != 0xFFFF;
        case StringRule::UnlessZeroOrNone:
            return index != 0 && index != 0xFFFF;
    }
    return true;
}

std::string BeyondPool(std::size_t count) {
    if (count == 0) return "but the string pool is empty";
    return "beyond the last string of the pool (" + std::to_string(count - 1) + ")";
}

constexpr std::size_t kLimit8 = 0xFF, kLimit16 = 0xFFFF, kLimit32 = 0xFFFFFFFF;

}  // namespace

// A document takes about eight times the bytes of its image; room for a text of twelve times
// (exporting) or an image of a sixth (importing) is reserved, so that neither is moved (and
// held twice) while it grows.
constexpr std::size_t kDocumentPerImageByte = 12;

Codec::Codec(std::span<const std::byte> image) : in_(std::in_place, image) {
    frames_.push_back({FrameKind::Object, {}, kNoIndex, 0, 0, false});
    reserveOutput(image.size());
    // The image given back is written whole as the walk goes.
    platform::FaultIn(out_.data(), out_.capacity());
    writer_.reserve(kDocumentPerImageByte * image.size() + 4096);
}

Codec::Codec(DocumentReader& document)
    : reader_(&document), tape_(dynamic_cast<TapeReader*>(&document)) {
    frames_.push_back({FrameKind::Object, {}, kNoIndex, 0, 0, false});
    reserveOutput(document.textSize() / (kDocumentPerImageByte / 2));
    if (!document.rootIsObject()) fail("the document must be a JSON object");
}

void Codec::reserveOutput(std::size_t bytes) {
    out_.reserve(bytes);
    platform::AdviseHugePages(out_.data(), out_.capacity());
}

std::size_t Codec::position() const {
    return exporting() ? in_->position() : out_.size();
}

// ---- Paths and faults

std::string Codec::pathOf(std::string_view member) const {
    std::string path;
    for (const Frame& f : frames_)
        if (f.index != kNoIndex)
            path += "/" + std::to_string(f.index);
        else if (!f.name.empty())
            path += "/" + EscapeToken(f.name);
    if (!member.empty()) path += "/" + EscapeToken(member);
    return path;
}

void Codec::fail(const std::string& message) const {
    if (exporting()) throw ImageFault(in_->position(), message);
    throw DocumentFault(pathOf(""), message);
}

void Codec::failAt(std::string_view member, const std::string& message) const {
    if (exporting()) throw ImageFault(in_->position(), message);
    throw DocumentFault(pathOf(member), message);
}

void Codec::refuseAtPath(std::string path, const std::string& message) {
    if (!exporting()) throw DocumentFault(std::move(path), message);
    if (!refused_) refused_.emplace(std::move(path), message);
}

void Codec::refuseAt(std::string_view member, const std::string& message) {
    refuseAtPath(pathOf(member), message);
}

// ---- Scopes

void Codec::push(FrameKind kind, std::string_view name, std::size_t index) {
    frames_.push_back({kind, name, index, reader_ ? reader_->depth() : 0,
                       exporting() ? writer_.members() : 0, false});
}

void Codec::pop() {
    const Frame& f = top();
    if (exporting()) {
        switch (f.kind) {
            case FrameKind::Object:
                if (f.keep)
                    kept_[pathOf("")] = writer_.closeKept();
                else
                    writer_.close();
                break;
            case FrameKind::Array:
                writer_.close();
                break;
            case FrameKind::Element:
                // An element the walk wrote nothing for is null.
                if (writer_.members() == f.written) writer_.null("");
                break;
            case FrameKind::Reopened:
                kept_[pathOf("")] = writer_.endReopen();
                break;
            case FrameKind::Value:
                break;
        }
    } else {
        reader_->leaveTo(f.readerDepth);
    }
    frames_.pop_back();
}

bool Codec::enterFrameObject() {
    if (reader_->depth() > top().readerDepth) return reader_->isObject();
    if (reader_->kind() != ValueKind::Object) return false;
    reader_->enterObject();
    return true;
}

ValueKind Codec::locate(std::string_view name, bool required) {
    if (name.empty()) return reader_->kind();
    if (!enterFrameObject()) fail("must be an object");
    const ValueKind kind = reader_->seekKind(name, required);
    if (kind == ValueKind::Missing && required) failAt(name, "is missing");
    return kind;
}

void Codec::beginObject(std::string_view name) {
    if (exporting()) {
        writer_.openObject(name);
        push(FrameKind::Object, name);
        return;
    }
    const ValueKind kind = locate(name);
    if (kind != ValueKind::Object)
        failAt(name, std::string("must be an object, not ") + TypeName(kind));
    const std::size_t depth = reader_->depth();
    reader_->enterObject();
    push(FrameKind::Object, name);
    top().readerDepth = depth;
}

void Codec::endObject() {
    if (!exporting())
        if (const auto unused = reader_->firstUnused())
            failAt(*unused, "is not a member of this object");
    pop();
}

void Codec::keepEnd() {
    if (exporting()) top().keep = true;
}

bool Codec::has(std::string_view name) {
    return !exporting() && enterFrameObject() && reader_->has(name);
}

void Codec::reopenObject() {
    if (exporting()) {
        const auto end = kept_.find(pathOf(""));
        if (end == kept_.end()) fail("an object of the document cannot be found again");
        writer_.reopen(end->second);
        push(FrameKind::Reopened, "");
        return;
    }
    const std::size_t depth = reader_->depth();
    reader_->enterObject();
    push(FrameKind::Reopened, "");
    top().readerDepth = depth;
}

void Codec::descend(std::string_view key) {
    if (!exporting()) {
        enterFrameObject();
        reader_->seekMember(key, false);
    }
    push(FrameKind::Value, key);
}

void Codec::descend(std::size_t index) {
    if (!exporting()) {
        if (reader_->depth() == top().readerDepth) reader_->enterArray();
        reader_->seekElement(index);
    }
    push(FrameKind::Value, {}, index);
}

void Codec::markUsed(std::string_view name) {
    if (!exporting() && enterFrameObject()) reader_->markUsed(name);
}

bool Codec::currentIsNull() {
    return !exporting() && reader_->kind() == ValueKind::Null;
}

ValueKind Codec::kindOf(std::string_view name) {
    if (exporting()) return ValueKind::Missing;
    if (name.empty()) return reader_->kind();
    if (!enterFrameObject()) return ValueKind::Missing;
    return reader_->seekKind(name, false);
}

std::size_t Codec::arraySize(std::string_view name) {
    if (!name.empty()) locate(name, false);
    return reader_->arraySize();
}

bool Codec::emptyArray(std::string_view name) {
    if (!name.empty()) locate(name, false);
    return reader_->arrayIsEmpty();
}

std::optional<std::int64_t> Codec::peekInteger(std::string_view name) {
    if (kindOf(name) != ValueKind::Number) return std::nullopt;
    const DocumentNumber n = reader_->number();
    if (!n.whole) return std::nullopt;
    return n.negative ? n.value : static_cast<std::int64_t>(n.magnitude);
}

bool Codec::peekFlag(std::string_view name) {
    if (kindOf(name) != ValueKind::Number) return false;
    const DocumentNumber n = reader_->number();
    return n.whole && !n.negative && (n.magnitude & 1);
}

std::pair<RecordAt, std::uint32_t> Codec::count16() {
    const RecordAt at{position(), 2};
    const std::uint32_t n = exporting() ? in_->u16("count") : 0;
    out_.resize(out_.size() + 2);
    return {at, n};
}

std::pair<RecordAt, std::uint32_t> Codec::count8() {
    const RecordAt at{position(), 1};
    const std::uint32_t n = exporting() ? in_->u8("count") : 0;
    out_.resize(out_.size() + 1);
    return {at, n};
}

// ---- Values

std::uint32_t Codec::numberValue(std::string_view name, Kind kind, std::uint32_t exportValue) {
    if (exporting()) {
        writer_.number(name, exportValue);
        return exportValue;
    }
    const Range range = RangeOf(kind);
    auto allowed = [&] {
        return "must be a whole number from " + std::to_string(range.low) + " to " +
               std::to_string(range.high);
    };
    const ValueKind found = locate(name);
    if (found != ValueKind::Number) failAt(name, allowed() + ", not " + TypeName(found));
    const DocumentNumber n = reader_->number();
    if (!n.whole) failAt(name, allowed() + ", not a number");
    const std::optional<std::uint32_t> bits = FieldBits(n, range);
    if (!bits) failAt(name, allowed());
    return *bits;
}

std::uint32_t Codec::number(std::string_view name, Kind kind) {
    const Range range = RangeOf(kind);
    if (exporting()) {
        const Bytes bytes = AsU8(in_->take(range.width, name.empty() ? "value" : name));
        const std::uint32_t raw = ReadLe(bytes.data(), range.width);
        writer_.number(name, Shown(kind, raw));
        emit(bytes);
        return raw;
    }
    const std::uint32_t raw = numberValue(name, kind, 0);
    const std::size_t at = out_.size();
    out_.resize(at + range.width);
    WriteLe(out_.data() + at, range.width, raw);
    return raw;
}

std::string_view Codec::textOf(std::string_view name, const char* what) {
    const ValueKind found = locate(name);
    if (found != ValueKind::Text)
        failAt(name, std::string("must be ") + what + ", not " + TypeName(found));
    return reader_->text(scratch_);
}

void Codec::readHex(std::vector<std::uint8_t>& into, std::string_view name, std::size_t limit) {
    const std::size_t at = into.size();
    if (!AppendFromHex(into, textOf(name, "a hex text")))
        failAt(name, "must be hex: pairs of the digits 0-9 and a-f");
    if (into.size() - at > limit) failAt(name, TooMany(into.size() - at, limit));
}

Bytes Codec::hexBytes(std::string_view name, std::size_t exportLength, std::size_t limit) {
    if (exporting()) {
        const Bytes bytes = AsU8(in_->take(exportLength, name));
        writer_.hex(name, bytes);
        emit(bytes);
        return {out_.data() + out_.size() - bytes.size(), bytes.size()};
    }
    const std::size_t at = out_.size();
    readHex(out_, name, limit);
    return {out_.data() + at, out_.size() - at};
}

Bytes Codec::hex(std::string_view name, std::size_t n) {
    const Bytes bytes = hexBytes(name, n, n);
    if (bytes.size() != n) failAt(name, ExactSize(n));
    return bytes;
}

std::vector<std::uint8_t> Codec::hexValue(std::string_view name,
                                          std::span<const std::uint8_t> exportBytes,
                                          std::size_t limit) {
    if (exporting()) {
        writer_.hex(name, exportBytes);
        return {exportBytes.begin(), exportBytes.end()};
    }
    std::vector<std::uint8_t> bytes;
    readHex(bytes, name, limit);
    return bytes;
}

Bytes Codec::base64(std::string_view name, std::size_t exportLength, std::size_t limit) {
    if (exporting()) {
        const Bytes bytes = AsU8(in_->take(exportLength, name));
        writer_.base64(name, bytes);
        emit(bytes);
        return {out_.data() + out_.size() - bytes.size(), bytes.size()};
    }
    const std::size_t at = out_.size();
    if (!AppendFromBase64(out_, textOf(name, "a base64 text")))
        failAt(name, "must be base64 (A-Z, a-z, 0-9, + and /, padded with =)");
    if (out_.size() - at > limit) failAt(name, TooMany(out_.size() - at, limit));
    return {out_.data() + at, out_.size() - at};
}

void Codec::readText(std::vector<std::uint8_t>& into, std::string_view name, std::size_t limit,
                     bool noZero) {
    const std::size_t at = into.size();
    TextFault fault;
    if (!AppendFromUtf8(into, textOf(name, "a text"), &fault)) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(fault.character));
        failAt(name, "character " + std::to_string(fault.index + 1) + " (" + code +
                         ") has no place in the project's character set (Windows-1252)");
    }
    const std::size_t length = into.size() - at;
    if (length > limit)
        failAt(name, "is " + std::to_string(length) + " characters long; at most " +
                         std::to_string(limit) + " fit here");
    if (noZero &&
        std::find(into.begin() + static_cast<std::ptrdiff_t>(at), into.end(), 0) != into.end())
        failAt(name, "cannot hold the character U+0000 here");
}

std::vector<std::uint8_t> Codec::textValue(std::string_view name,
                                           std::span<const std::uint8_t> exportText,
                                           std::size_t limit, bool noZero) {
    if (exporting()) {
        writer_.text(name, exportText);
        return {exportText.begin(), exportText.end()};
    }
    std::vector<std::uint8_t> bytes;
    readText(bytes, name, limit, noZero);
    return bytes;
}

Bytes Codec::text(std::string_view name, std::size_t exportLength, std::size_t limit, bool noZero) {
    if (exporting()) {
        const Bytes bytes = AsU8(in_->take(exportLength, name));
        writer_.text(name, bytes);
        emit(bytes);
        return {out_.data() + out_.size() - bytes.size(), bytes.size()};
    }
    const std::size_t at = out_.size();
    readText(out_, name, limit, noZero);
    return {out_.data() + at, out_.size() - at};
}

namespace {

// The length word before a text or a blob, `width` bytes.
Bytes Prefixed(std::vector<std::uint8_t>& out, std::size_t lengthAt, std::size_t width) {
    const std::size_t length = out.size() - lengthAt - width;
    WriteLe(out.data() + lengthAt, width, length);
    return {out.data() + lengthAt + width, length};
}

}  // namespace

Bytes Codec::text8(std::string_view name) {
    const std::size_t lengthAt = out_.size();
    const std::size_t length = exporting() ? get8() : 0;
    out_.resize(lengthAt + 1);
    text(name, length, kLimit8);
    return Prefixed(out_, lengthAt, 1);
}

Bytes Codec::text16(std::string_view name) {
    const std::size_t lengthAt = out_.size();
    const std::size_t length = exporting() ? get16() : 0;
    out_.resize(lengthAt + 2);
    text(name, length, kLimit16);
    return Prefixed(out_, lengthAt, 2);
}

Bytes Codec::text32(std::string_view name) {
    const std::size_t lengthAt = out_.size();
    const std::size_t length = exporting() ? get32() : 0;
    out_.resize(lengthAt + 4);
    text(name, length, kLimit32);
    return Prefixed(out_, lengthAt, 4);
}

Bytes Codec::hex32(std::string_view name) {
    const std::size_t lengthAt = out_.size();
    const std::size_t length = exporting() ? get32() : 0;
    out_.resize(lengthAt + 4);
    hexBytes(name, length, kLimit32);
    return Prefixed(out_, lengthAt, 4);
}

Bytes Codec::cstring(std::string_view name) {
    std::size_t at = out_.size();
    if (exporting()) {
        const std::string_view t = in_->cstring(name);
        const Bytes bytes{reinterpret_cast<const std::uint8_t*>(t.data()), t.size()};
        writer_.text(name, bytes);
        emit(bytes);
    } else {
        text(name, 0, kLimit32, true);
    }
    const std::size_t length = out_.size() - at;
    out_.push_back(0);
    return {out_.data() + at, length};
}

void Codec::zeros(std::size_t n) {
    if (exporting()) in_->skip(n, "zero bytes");
    out_.resize(out_.size() + n);
}

void Codec::put8(std::uint8_t v) {
    if (exporting()) in_->u8();
    out_.push_back(v);
}

void Codec::put16(std::uint16_t v) {
    if (exporting()) in_->u16();
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Codec::put32(std::uint32_t v) {
    if (exporting()) in_->u32();
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t Codec::get8() {
    return in_->u8("length");
}
std::uint32_t Codec::get16() {
    return in_->u16("length");
}
std::uint32_t Codec::get32() {
    return in_->u32("length");
}

void Codec::emit(Bytes bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
}

std::span<const std::uint8_t> Codec::peek(std::size_t n) {
    return AsU8(in_->peek(n, "record"));
}

// ---- Records

namespace {
bool Listed(const std::vector<std::string_view>& names, std::string_view prefix,
            std::string_view name) {
    for (std::string_view n : names)
        if (n.size() == prefix.size() + name.size() && n.substr(0, prefix.size()) == prefix &&
            n.substr(prefix.size()) == name)
            return true;
    return false;
}
}  // namespace

void Codec::exportFieldValues(const RecordTable& table, std::size_t base,
                              const std::vector<std::string_view>& computed,
                              std::string_view prefix) {
    // The image the document gives has the record's bytes, but for its constants and the
    // values the content determines, which are zero until they are patched.
    const std::uint8_t* image = AsU8(in_->image()).data() + base;
    std::uint8_t* back = out_.data() + base;
    std::memcpy(back, image, table.size);
    std::size_t at = 0;
    for (const FieldEntry& f : table.fields) {
        if (f.offset > at) WriteGap(writer_, at, {image + at, f.offset - at});
        at = f.offset + f.width;
        if (f.kind == Kind::Const) {
            WriteLe(back + f.offset, f.width, f.value);
            continue;
        }
        if (f.kind == Kind::Derived || (!computed.empty() && Listed(computed, prefix, f.name))) {
            std::memset(back + f.offset, 0, f.width);
            continue;
        }
        switch (f.kind) {
            case Kind::Sub: {
                beginObject(f.name);
                std::string inner(prefix);
                inner.append(f.name).push_back('.');
                exportFieldValues(*f.sub, base + f.offset, computed, inner);
                endObject();
                break;
            }
            case Kind::Hex:
                writer_.hex(f.quoted, {image + f.offset, f.width});
                break;
            default:
                writer_.number(f.quoted, Shown(f.kind, ReadLe(image + f.offset, f.width)));
        }
    }
    if (table.size > at) WriteGap(writer_, at, {image + at, table.size - at});
}

void Codec::fieldValues(const RecordTable& table, std::size_t base,
                        const std::vector<std::string_view>& computed, std::string_view prefix) {
    if (exporting()) return exportFieldValues(table, base, computed, prefix);
    if (tape_ && fieldsInOrder(table, base, computed, prefix)) return;
    // Bytes as hex into place: decoded at the end of the image written, then moved into place.
    auto hexAt = [&](std::string_view name, std::size_t at, std::size_t n) {
        const std::size_t end = out_.size();
        const Bytes bytes = hex(name, n);
        std::copy(bytes.begin(), bytes.end(), out_.begin() + at);
        out_.resize(end);
    };
    std::size_t at = 0;
    auto gap = [&](std::size_t end) {
        if (end <= at) return;
        hexAt(GapName(at).view(), base + at, end - at);
        at = end;
    };
    for (const FieldEntry& f : table.fields) {
        gap(f.offset);
        at = f.offset + f.width;
        const std::size_t where = base + f.offset;
        if (f.kind == Kind::Const) {
            WriteLe(out_.data() + where, f.width, f.value);
            continue;
        }
        if (f.kind == Kind::Derived || (!computed.empty() && Listed(computed, prefix, f.name)))
            continue;
        if (f.kind == Kind::Sub) {
            beginObject(f.name);
            std::string inner(prefix);
            inner.append(f.name).push_back('.');
            fieldValues(*f.sub, where, computed, inner);
            endObject();
            continue;
        }
        if (f.kind == Kind::Hex) {
            hexAt(f.name, where, f.width);
            continue;
        }
        WriteLe(out_.data() + where, f.width, numberValue(f.name, f.kind, 0));
    }
    gap(table.size);
}

namespace {

// A record table as import reads it in order: a step per member, the unnamed bytes between
// fields included by their names, and per constant, with where its bytes go.
struct Step {
    std::string_view name;
    std::uint16_t offset;
    std::uint16_t width;
    Kind kind;  // Hex for unnamed bytes
    std::uint32_t value;
    bool unnamed;
};
struct Plan {
    const RecordTable* table = nullptr;
    std::vector<Step> steps;
    bool byName = false;  // a record inside, or bytes at an offset without a kept name
};

Plan MakePlan(const RecordTable& table) {
    Plan plan;
    plan.table = &table;
    std::size_t at = 0;
    auto gap = [&](std::size_t end) {
        if (end <= at) return;
        if (at >= GapNames::kOffsets) {
            plan.byName = true;
            return;
        }
        plan.steps.push_back({GapNames::get().text(at), static_cast<std::uint16_t>(at),
                              static_cast<std::uint16_t>(end - at), Kind::Hex, 0, true});
    };
    for (const FieldEntry& f : table.fields) {
        gap(f.offset);
        at = f.offset + f.width;
        if (f.kind == Kind::Sub) plan.byName = true;
        if (f.kind != Kind::Derived)
            plan.steps.push_back({f.name, f.offset, f.width, f.kind, f.value, false});
    }
    gap(table.size);
    return plan;
}

// The plans of the tables a thread read last: every table of a project fits.
const Plan& PlanOf(const RecordTable& table) {
    thread_local std::array<Plan, 32> plans;
    thread_local std::size_t made = 0;
    for (const Plan& plan : plans)
        if (plan.table == &table) return plan;
    Plan& plan = plans[made++ % plans.size()];
    plan = MakePlan(table);
    return plan;
}

}  // namespace

bool Codec::readInOrder(const RecordTable& table, std::size_t base,
                        const std::vector<std::string_view>& computed, std::string_view prefix,
                        const Optional& optional, InOrder& read) {
    const Plan& plan = PlanOf(table);
    if (plan.byName || !enterFrameObject()) return false;
    std::optional<TapeReader::Cursor>& cursor = read.cursor;
    auto next = [&](std::string_view name) {
        if (cursor) return cursor->next(name);
        cursor.emplace(tape_->readInOrder(name, optional.fromFirst));
        return cursor->kind();
    };
    for (const Step& step : plan.steps) {
        const std::size_t where = base + step.offset;
        if (step.kind == Kind::Const) {
            WriteLe(out_.data() + where, step.width, step.value);
            continue;
        }
        if (!computed.empty() && !step.unnamed && Listed(computed, prefix, step.name)) continue;
        if (step.kind == Kind::Hex) {
            if (next(step.name) != ValueKind::Text) return false;
            const std::string_view digits = cursor->text();
            if (digits.size() != 2 * step.width || !DecodeHex(out_.data() + where, digits))
                return false;
            continue;
        }
        // A member that may be left out is read when it is the next.
        const auto maybe = std::find(optional.offsets.begin(), optional.offsets.end(), step.offset);
        if (maybe != optional.offsets.end()) {
            if (!cursor || cursor->next(step.name) == ValueKind::Missing) continue;
            read.present |= 1u << (maybe - optional.offsets.begin());
            if (cursor->kind() != ValueKind::Number) return false;
        } else if (next(step.name) != ValueKind::Number) {
            return false;
        }
        const std::optional<std::uint32_t> bits = FieldBits(cursor->number(), RangeOf(step.kind));
        if (!bits) return false;
        WriteLe(out_.data() + where, step.width, *bits);
    }
    return true;
}

bool Codec::fieldsInOrder(const RecordTable& table, std::size_t base,
                          const std::vector<std::string_view>& computed, std::string_view prefix) {
    InOrder read;
    if (!readInOrder(table, base, computed, prefix, {}, read)) return false;
    if (read.cursor) tape_->keep(*read.cursor);
    return true;
}

std::optional<RecordAt> Codec::fieldsDeciding(const RecordTable& table,
                                              std::span<const std::uint16_t> optional,
                                              unsigned (*computed)(Bytes record)) {
    if (exporting() || !tape_) return std::nullopt;
    const std::size_t offset = out_.size();
    out_.resize(offset + table.size);
    InOrder read;
    const unsigned all = (1u << optional.size()) - 1;
    if (readInOrder(table, offset, {}, "", {optional, true}, read) && read.cursor &&
        read.present == (~computed({out_.data() + offset, table.size}) & all)) {
        tape_->keep(*read.cursor);
        return RecordAt{offset, table.size};
    }
    out_.resize(offset);
    return std::nullopt;
}

RecordAt Codec::fields(const RecordTable& table, const std::vector<std::string_view>& computed) {
    const std::size_t offset = position();
    if (exporting()) in_->needBytes(1, table.size, "record");
    out_.resize(offset + table.size);
    fieldValues(table, offset, computed, "");
    if (exporting()) in_->skip(table.size);
    return {offset, table.size};
}

RecordAt Codec::record(std::string_view name, const RecordTable& table,
                       const std::vector<std::string_view>& computed) {
    beginObject(name);
    const RecordAt at = fields(table, computed);
    endObject();
    return at;
}

void Codec::writeAt(std::size_t offset, std::size_t width, std::uint64_t value) {
    if (offset + width <= out_.size()) WriteLe(out_.data() + offset, width, value);
}

void Codec::patchBytes(const RecordAt& r, std::size_t offset, std::span<const std::uint8_t> bytes) {
    if (r.offset + offset + bytes.size() <= out_.size())
        std::copy(bytes.begin(), bytes.end(), out_.begin() + r.offset + offset);
}

std::span<const std::uint8_t> Codec::recordBytes(const RecordAt& r) const {
    if (exporting()) return AsU8(in_->image().subspan(r.offset, r.size));
    return std::span<const std::uint8_t>(out_).subspan(r.offset, r.size);
}

std::uint32_t Codec::recordValue(const RecordAt& r, std::size_t offset, std::size_t width) const {
    return ReadLe(recordBytes(r).data() + offset, width);
}

void Codec::patch(const RecordAt& r, std::size_t offset, std::size_t width, std::uint64_t value,
                  std::string_view name, std::uint64_t limit) {
    if (limit == 0) limit = width >= 4 ? 0xFFFFFFFFull : (1ull << (8 * width)) - 1;
    if (value > limit)
        failAt(name, "holds " + std::to_string(value) + " entries; at most " +
                         std::to_string(limit) + " fit in the project");
    writeAt(r.offset + offset, width, value);
}

// ---- String indices

void Codec::checkIndex(std::string path, std::uint32_t index, std::string message) {
    if (pool_) {
        if (index >= *pool_) refuseAtPath(std::move(path), message + ", " + BeyondPool(*pool_));
        return;
    }
    pending_.push_back({index, std::move(path), std::move(message)});
}

void Codec::stringIndex(std::initializer_list<std::string_view> member, std::uint32_t index,
                        StringRule rule) {
    if (!Translated(rule, index)) return;
    // Before the pool only an index above every one before can be the first beyond it.
    if (pool_ ? index < *pool_ : !pending_.empty() && index <= pending_.back().index) return;
    std::string path = pathOf("");
    for (std::string_view token : member) path += "/" + EscapeToken(token);
    checkIndex(std::move(path), index, "is " + std::to_string(index));
}

void Codec::stringIndexInBytes(std::size_t offset, std::uint32_t index, StringRule rule) {
    if (!Translated(rule, index)) return;
    if (pool_ ? index < *pool_ : !pending_.empty() && index <= pending_.back().index) return;
    checkIndex(
        pathOf(""), index,
        "holds the string index " + std::to_string(index) + " at byte " + std::to_string(offset));
}

void Codec::stringPool(std::size_t count) {
    pool_ = count;
    for (PendingIndex& p : pending_)
        if (p.index >= count) {
            refuseAtPath(std::move(p.path), p.message + ", " + BeyondPool(count));
            break;
        }
    pending_.clear();
}

}  // namespace kestra::json
