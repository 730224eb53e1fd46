#include "kestra/json_tape_reader.h"

#include <simdjson.h>

#include <algorithm>

#include "platform/huge_pages.h"

namespace kestra::json {

namespace dom = simdjson::dom;
static_assert(kDocumentPadding >= simdjson::SIMDJSON_PADDING);

struct TapeReader::Parser : KeptParser<dom::parser> {};

using namespace tape;

namespace {

// Room for the parse of a text of `size` bytes, its three large buffers (the structure found
// by the first stage, the tape, the strings) advised as huge pages before their first touch:
// they are written and read again from end to end, and in a virtual machine a 4 KB page is
// dear each time it is missed in the address cache. Left to the parse when there is no room.
void Allocate(dom::parser& parser, std::size_t size) {
    if (parser.allocate(size)) return;
    platform::AdviseHugePages(parser.implementation->structural_indexes.get(),
                              size * sizeof(std::uint32_t));
    platform::AdviseHugePages(parser.doc.tape.get(), size * sizeof(std::uint64_t));
    platform::AdviseHugePages(parser.doc.string_buf.get(), size / 3 * 5);
}

}  // namespace

TapeReader::TapeReader(std::string_view text)
    : parser_(std::make_unique<Parser>()), textSize_(text.size()) {
    dom::element root;
    dom::parser& parser = parser_->parser;
    if (parser.capacity() < text.size()) Allocate(parser, text.size());
    if (parser.parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), false)
            .get(root))
        return;
    tape_ = parser.doc.tape.get();
    strings_ = parser.doc.string_buf.get();
    // The tape is read word by word as laid out above: a parser that lays it out otherwise
    // leaves every document to the stream reader. The root value follows the tape's own
    // first word.
    const bool object = root.is_object();
    if (TypeOf(tape_[0]) != 'r' || (object && TypeOf(tape_[1]) != '{')) return;
    parsed_ = true;
    if (!object) return;
    rootIsObject_ = true;
    open(1, false);
}

TapeReader::~TapeReader() = default;

void TapeReader::leaveTo(std::size_t depth) {
    while (stack_.size() > depth) {
        if (!top().isArray) listed_ = top().memberBegin;
        stack_.pop_back();
        --depth_;
    }
}

// ---- Objects

bool TapeReader::isObject() const {
    return !stack_.empty() && !top().isArray;
}

void TapeReader::listTo(Container& c, std::size_t count) const {
    if (c.streamed != 0) {
        c.unlisted = c.start;
        const std::size_t streamed = c.streamed;
        c.streamed = 0;
        listTo(c, streamed);
        for (std::size_t i = c.memberBegin; i < c.memberEnd; ++i) members_[i].used = true;
        if (c.lastUnused) members_[c.memberEnd - 1].used = false;
        c.lastUnused = false;
    }
    // members_ only grows: the room of objects left is reused.
    std::size_t end = c.memberEnd;
    std::size_t at = c.unlisted;
    for (; end - c.memberBegin < count && at != c.end; ++end) {
        if (end == members_.size()) members_.resize(std::max<std::size_t>(64, 2 * end));
        members_[end] = {static_cast<std::uint32_t>(at), false};
        at = After(tape_, at + 1);
    }
    c.unlisted = at;
    c.memberEnd = listed_ = end;
}

std::size_t TapeReader::ordinalOf(std::string_view name) const {
    Container& c = top();
    // The member read last and the one after it are where the search starts: they are looked
    // at before the rest is listed.
    listTo(c, c.at + 2);
    const std::size_t listed = c.memberEnd - c.memberBegin;
    auto nameAt = [&](std::size_t k) { return stringAt(members_[c.memberBegin + k].name); };
    if (c.at < listed && SameName(nameAt(c.at), name)) return c.at;
    if (c.at + 1 < listed && SameName(nameAt(c.at + 1), name)) return c.at + 1;
    listTo(c, kNone);
    const std::size_t count = c.memberEnd - c.memberBegin;
    const std::size_t k = FindMember(count, c.at, name, nameAt);
    return k < count ? k : kNone;
}

bool TapeReader::has(std::string_view name) const {
    if (!isObject()) return false;
    const Container& c = top();
    if (c.streamed == 0) return ordinalOf(name) != kNone;
    if (SameName(stringAt(c.value - 1), name) ||
        (c.unlisted != c.end && SameName(stringAt(c.unlisted), name)))
        return true;
    // An object read in order is looked through without listing it: whether it has the member
    // does not move the search's start.
    for (std::size_t at = c.start; at != c.end; at = After(tape_, at + 1))
        if (SameName(stringAt(at), name)) return true;
    return false;
}

bool TapeReader::seekMember(std::string_view name, bool use) {
    return seekKind(name, use) != ValueKind::Missing;
}

ValueKind TapeReader::seekKind(std::string_view name, bool use) {
    if (!isObject()) return ValueKind::Missing;
    Container& c = top();
    // An object read in order: the search looks at the member read last first, then the next,
    // which is read in order too (so the object's first, when nothing was asked of it yet).
    if (c.streamed != 0 && SameName(stringAt(c.value - 1), name)) {
        if (use) c.lastUnused = false;
        return c.current;
    }
    if ((c.fresh() || (c.streamed != 0 && !c.lastUnused)) && c.unlisted != c.end &&
        SameName(stringAt(c.unlisted), name)) {
        stream(c);
        c.lastUnused = !use;
        return c.current;
    }
    const std::size_t k = ordinalOf(name);
    if (k == kNone) return ValueKind::Missing;
    Member& m = members_[c.memberBegin + k];
    if (use) m.used = true;
    c.at = k;
    c.value = m.name + 1;
    c.current = KindOf(tape_[c.value]);
    return c.current;
}

TapeReader::Cursor TapeReader::readInOrder(std::string_view first, bool fromFirst) {
    Cursor r;
    r.tape_ = tape_;
    r.strings_ = strings_;
    if (!isObject()) return r;
    Container& c = top();
    // An object nothing was asked of yet, read from its first member: nothing is listed.
    if (c.fresh() && c.unlisted != c.end && SameName(stringAt(c.unlisted), first)) {
        r.end_ = c.end;
        r.value_ = c.unlisted + 1;
        r.kind_ = KindOf(tape_[r.value_]);
        r.key_ = After(tape_, r.value_);
        return r;
    }
    if (fromFirst) return r;
    const std::size_t k = ordinalOf(first);
    if (k == kNone) return r;
    listTo(c, kNone);
    r.members_ = members_.data() + c.memberBegin;
    r.count_ = c.memberEnd - c.memberBegin;
    r.first_ = r.at_ = k;
    r.value_ = r.members_[k].name + 1;
    r.kind_ = KindOf(tape_[r.value_]);
    return r;
}

void TapeReader::keep(const Cursor& r) {
    Container& c = top();
    if (r.members_ == nullptr) {
        c.streamed = r.at_ + 1;
        c.unlisted = r.key_;
    } else {
        for (std::size_t k = r.first_; k <= r.at_; ++k) members_[c.memberBegin + k].used = true;
    }
    c.at = r.at_;
    c.value = r.value_;
    c.current = r.kind_;
}

void TapeReader::markUsed(std::string_view name) {
    if (!isObject()) return;
    Container& c = top();
    if (c.streamed != 0 && SameName(stringAt(c.value - 1), name)) {
        c.lastUnused = false;
        return;
    }
    const std::size_t k = ordinalOf(name);
    if (k != kNone) members_[top().memberBegin + k].used = true;
}

std::optional<std::string_view> TapeReader::firstUnused() const {
    const Container& c = top();
    if (c.lastUnused) return stringAt(c.value - 1);
    for (std::size_t i = c.memberBegin; i < c.memberEnd; ++i)
        if (!members_[i].used) return stringAt(members_[i].name);
    // A member not listed yet was never read.
    if (c.unlisted != c.end) return stringAt(c.unlisted);
    return std::nullopt;
}

// ---- Arrays

std::size_t TapeReader::size() {
    return top().count;
}

bool TapeReader::seekElement(std::size_t index) {
    Container& c = top();
    if (!c.started || index < c.at) {
        c.element = c.first;
        c.at = 0;
        c.started = true;
    }
    for (; c.at < index && c.element != c.end; ++c.at) c.element = After(tape_, c.element);
    if (c.element == c.end) {
        c.current = ValueKind::Missing;
        return false;
    }
    c.value = c.element;
    c.current = KindOf(tape_[c.value]);
    return true;
}

// ---- The current value

void TapeReader::enter(bool array) {
    if (stack_.empty() || top().current != (array ? ValueKind::Array : ValueKind::Object))
        throw ReadAgain{};
    open(top().value, array);
}

void TapeReader::open(std::size_t at, bool array) {
    Container c;
    c.isArray = array;
    c.end = static_cast<std::uint32_t>(tape_[at]) - 1;
    if (array) {
        c.first = at + 1;
        c.count = (tape_[at] >> 32) & 0xFFFFFF;
    } else {
        c.memberBegin = c.memberEnd = listed_;
        c.unlisted = c.start = at + 1;
    }
    stack_.push_back(c);
    ++depth_;
}

void TapeReader::enterObject() {
    enter(false);
}

void TapeReader::enterArray() {
    enter(true);
}

}  // namespace kestra::json
