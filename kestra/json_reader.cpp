#include "kestra/json_reader.h"

#include <simdjson.h>

#include "kestra/json_text.h"

namespace kestra::json {

namespace od = simdjson::ondemand;
static_assert(kDocumentPadding >= simdjson::SIMDJSON_PADDING);

namespace {

[[noreturn]] void Trouble(simdjson::error_code error) {
    throw SyntaxTrouble{simdjson::error_message(error)};
}

void Check(simdjson::error_code error) {
    if (error) Trouble(error);
}

template <typename T>
T Get(simdjson::simdjson_result<T>&& result) {
    T value;
    Check(std::move(result).get(value));
    return value;
}

// The four hex digits of a \u escape at `at`; nothing when they are not.
std::optional<char32_t> EscapedUnit(std::string_view raw, std::size_t at) {
    if (raw.size() - at < 4) return std::nullopt;
    char32_t unit = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const char c = raw[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        unit = unit << 4 | static_cast<char32_t>(digit);
    }
    return unit;
}

[[noreturn]] void BadString() {
    throw SyntaxTrouble{"a string holds a control character or a bad escape"};
}

// The text of a string's content as it stands between its quotes: escapes resolved into
// `scratch` when there are any. Control characters and bad escapes are refused, as JSON does.
std::string_view Unescape(std::string_view raw, std::string& scratch) {
    bool plain = true;
    for (const char c : raw)
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20) {
            plain = false;
            break;
        }
    if (plain) return raw;
    scratch.clear();
    for (std::size_t i = 0; i < raw.size();) {
        const auto c = static_cast<unsigned char>(raw[i++]);
        if (c < 0x20) BadString();
        if (c != '\\') {
            scratch += static_cast<char>(c);
            continue;
        }
        if (i >= raw.size()) BadString();
        switch (raw[i++]) {
            case '"':
                scratch += '"';
                break;
            case '\\':
                scratch += '\\';
                break;
            case '/':
                scratch += '/';
                break;
            case 'b':
                scratch += '\b';
                break;
            case 'f':
                scratch += '\f';
                break;
            case 'n':
                scratch += '\n';
                break;
            case 'r':
                scratch += '\r';
                break;
            case 't':
                scratch += '\t';
                break;
            case 'u': {
                auto unit = EscapedUnit(raw, i);
                if (!unit) BadString();
                i += 4;
                char32_t cp = *unit;
                if (cp >= 0xDC00 && cp <= 0xDFFF) BadString();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (raw.substr(i, 2) != "\\u") BadString();
                    const auto low = EscapedUnit(raw, i + 2);
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) BadString();
                    i += 6;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                }
                AppendUtf8(scratch, cp);
                break;
            }
            default:
                BadString();
        }
    }
    return scratch;
}

// Where a string's content ends, from just after its opening quote (the parser has checked
// that the closing quote is there).
const char* ContentEnd(const char* p) {
    for (;; ++p) {
        if (*p == '"') return p;
        if (*p == '\\') ++p;
    }
}

}  // namespace

struct StreamReader::Parser : KeptParser<od::parser> {
    od::document document;
};

// An object or array entered, and the member or element its iterator stands at.
struct StreamReader::Container {
    enum class Value : std::uint8_t {
        None,    // no current value
        Ready,   // `value` is the current value, not read yet
        Spent,   // read: reading it again needs a fresh start
        Object,  // entered before as `object`, which can start again
        Array,   // entered before as `array`
    };

    bool isArray = false;
    od::object object;
    od::object_iterator field;
    od::array array;
    od::array_iterator element;
    std::size_t at = 0;                // ordinal of the member or element the iterator stands at
    bool taken = false;                // that member's name (or element's start) has been read
    std::optional<std::size_t> count;  // arrays, once known
    Value state = Value::None;
    od::value value;
    od::object valueObject;
    od::array valueArray;
    std::size_t keyBegin = 0;  // in keys_
    std::size_t keyEnd = 0;

    void restart() {
        if (isArray) {
            Check(array.reset().error());
            element = Get(array.begin());
        } else {
            Check(object.reset().error());
            field = Get(object.begin());
        }
        at = 0;
        taken = false;
        state = Value::None;
    }

    // Moves to member or element `ordinal`, making it the current value; false when an
    // array ends before it.
    bool seek(std::size_t ordinal) {
        if (taken && at == ordinal && state != Value::Spent) return true;
        if (ordinal < at || (ordinal == at && taken)) restart();
        for (;;) {
            if (isArray && element == Get(array.end())) {
                count = at;
                return false;
            }
            if (!taken) {
                if (isArray) {
                    value = Get(*element);
                } else {
                    od::field f = Get(*field);
                    value = f.value();
                }
                taken = true;
                if (at == ordinal) {
                    state = Value::Ready;
                    return true;
                }
            }
            if (isArray)
                ++element;
            else
                ++field;
            ++at;
            taken = false;
            state = Value::None;
        }
    }

    // Makes the current value readable again when it was read.
    void refresh() {
        if (state == Value::Spent) {
            const std::size_t ordinal = at;
            taken = false;
            restart();
            seek(ordinal);
        }
    }
};

StreamReader::StreamReader(std::string_view text)
    : parser_(std::make_unique<Parser>()), textSize_(text.size()) {
    const simdjson::padded_string_view padded(text.data(), text.size(),
                                              text.size() + kDocumentPadding);
    Check(parser_->parser.iterate(padded).get(parser_->document));
    od::json_type type;
    Check(parser_->document.type().get(type));
    if (type != od::json_type::object) return;
    rootIsObject_ = true;
    Container& root = push();
    root.isArray = false;
    root.object = Get(parser_->document.get_object());
    scanKeys();
}

StreamReader::~StreamReader() = default;

StreamReader::Container& StreamReader::push() {
    if (depth_ == stack_.size()) stack_.push_back(std::make_unique<Container>());
    Container& c = *stack_[depth_++];
    c.at = 0;
    c.taken = false;
    c.count.reset();
    c.state = Container::Value::None;
    return c;
}

void StreamReader::leaveTo(std::size_t depth) {
    while (depth_ > depth) {
        --depth_;
        const Container& c = *stack_[depth_];
        if (!c.isArray) {
            keys_.resize(c.keyBegin);
            used_.resize(c.keyBegin);
        }
    }
}

void StreamReader::scanKeys() {
    Container& c = top();
    c.keyBegin = keys_.size();
    c.field = Get(c.object.begin());
    const od::object_iterator end = Get(c.object.end());
    while (c.field != end) {
        od::field f = Get(*c.field);
        const char* raw = f.key().raw();
        const char* stop = raw;
        bool plain = true;
        for (; *stop != '"'; ++stop) {
            if (*stop == '\\' || static_cast<unsigned char>(*stop) < 0x20) {
                plain = false;
                break;
            }
        }
        std::string_view key(raw, static_cast<std::size_t>(stop - raw));
        if (!plain) {
            std::string scratch;
            key = {raw, static_cast<std::size_t>(ContentEnd(raw) - raw)};
            key = unescapedKeys_.emplace_back(Unescape(key, scratch));
        }
        keys_.push_back(key);
        used_.push_back(0);
        ++c.field;
    }
    c.keyEnd = keys_.size();
    c.restart();
}

// ---- Objects

bool StreamReader::isObject() const {
    return depth_ > 0 && !top().isArray;
}

std::size_t StreamReader::ordinalOf(std::string_view name) const {
    const Container& c = top();
    // Members are mostly asked for in the order they stand: look from the current one on.
    return FindMember(c.keyEnd - c.keyBegin, c.at, name,
                      [&](std::size_t k) { return keys_[c.keyBegin + k]; });
}

bool StreamReader::has(std::string_view name) const {
    return isObject() && ordinalOf(name) < top().keyEnd - top().keyBegin;
}

bool StreamReader::seekMember(std::string_view name, bool use) {
    if (!isObject()) return false;
    Container& c = top();
    const std::size_t k = ordinalOf(name);
    if (k >= c.keyEnd - c.keyBegin) return false;
    if (use) used_[c.keyBegin + k] = 1;
    c.seek(k);
    return true;
}

void StreamReader::markUsed(std::string_view name) {
    if (!isObject()) return;
    const std::size_t k = ordinalOf(name);
    if (k < top().keyEnd - top().keyBegin) used_[top().keyBegin + k] = 1;
}

std::optional<std::string_view> StreamReader::firstUnused() const {
    const Container& c = top();
    for (std::size_t i = c.keyBegin; i < c.keyEnd; ++i)
        if (!used_[i]) return keys_[i];
    return std::nullopt;
}

// ---- Arrays

std::size_t StreamReader::size() {
    Container& c = top();
    if (!c.count) {
        Check(c.array.reset().error());
        c.count = Get(c.array.count_elements());
        c.restart();
    }
    return *c.count;
}

bool StreamReader::seekElement(std::size_t index) {
    return top().seek(index);
}

// ---- The current value

ValueKind StreamReader::kind() {
    Container& c = top();
    using V = Container::Value;
    if (c.state == V::Object) return ValueKind::Object;
    if (c.state == V::Array) return ValueKind::Array;
    if (c.state == V::None) return ValueKind::Missing;
    c.refresh();
    switch (Get(c.value.type())) {
        case od::json_type::object:
            return ValueKind::Object;
        case od::json_type::array:
            return ValueKind::Array;
        case od::json_type::number:
            return ValueKind::Number;
        case od::json_type::string:
            return ValueKind::Text;
        case od::json_type::boolean:
            Get(c.value.get_bool());
            c.state = V::Spent;
            return ValueKind::Boolean;
        case od::json_type::null:
            if (!Get(c.value.is_null())) throw SyntaxTrouble{"a misspelt null"};
            c.state = V::Spent;
            return ValueKind::Null;
    }
    return ValueKind::Missing;
}

DocumentNumber StreamReader::number() {
    Container& c = top();
    c.refresh();
    DocumentNumber n;
    const std::string_view token = c.value.raw_json_token();
    n.negative = !token.empty() && token[0] == '-';
    simdjson::error_code error;
    if (n.negative)
        error = c.value.get_int64().get(n.value);
    else
        error = c.value.get_uint64().get(n.magnitude);
    c.state = Container::Value::Spent;
    // A fraction, an exponent or more than 64 bits: a number, but not a whole one.
    if (error == simdjson::NUMBER_ERROR) Trouble(error);
    n.whole = !error;
    return n;
}

std::string_view StreamReader::text(std::string& scratch) {
    Container& c = top();
    c.refresh();
    const std::string_view token = c.value.raw_json_token();
    c.state = Container::Value::Spent;
    if (token.empty() || token[0] != '"') throw SyntaxTrouble{"not a string"};
    const char* begin = token.data() + 1;
    return Unescape({begin, static_cast<std::size_t>(ContentEnd(begin) - begin)}, scratch);
}

void StreamReader::enterObject() {
    Container& parent = top();
    using V = Container::Value;
    od::object object;
    if (parent.state == V::Object) {
        object = parent.valueObject;
        Check(object.reset().error());
    } else {
        parent.refresh();
        object = Get(parent.value.get_object());
        parent.valueObject = object;
        parent.state = V::Object;
    }
    Container& c = push();
    c.isArray = false;
    c.object = object;
    scanKeys();
}

void StreamReader::enterArray() {
    Container& parent = top();
    using V = Container::Value;
    od::array array;
    if (parent.state == V::Array) {
        array = parent.valueArray;
        Check(array.reset().error());
    } else {
        parent.refresh();
        array = Get(parent.value.get_array());
        parent.valueArray = array;
        parent.state = V::Array;
    }
    Container& c = push();
    c.isArray = true;
    c.array = array;
    c.element = Get(c.array.begin());
}

std::size_t DocumentReader::arraySize() {
    enterArray();
    const std::size_t n = size();
    leaveTo(depth() - 1);
    return n;
}

bool DocumentReader::arrayIsEmpty() {
    enterArray();
    const bool empty = !seekElement(0);
    leaveTo(depth() - 1);
    return empty;
}

void StreamReader::finish() {
    Container& root = *stack_[0];
    const od::object_iterator end = Get(root.object.end());
    while (root.field != end) {
        if (!root.taken) Get(*root.field);
        ++root.field;
        root.taken = false;
    }
    const char* after = nullptr;
    if (parser_->document.current_location().get(after) != simdjson::OUT_OF_BOUNDS)
        throw SyntaxTrouble{"text follows the document"};
}

}  // namespace kestra::json
