#include "plc_s5/address.h"

#include <algorithm>
#include <cctype>

#include "plc_s5/strings.h"

namespace kestra::s5 {
namespace {

constexpr long long kNumberCap = 1'000'000;  // digits beyond this cannot name anything

// Formats without a size of their own (no format, unknown ones, text) take the element
// names of the preferred format.
unsigned NamingSize(const ModelRow& row, unsigned format) {
    if (format == kNoFormat || format > kFormatCount || format == kAscii)
        return FormatSize(row.preferredFormat);
    return FormatSize(format);
}

const ElementName* NamedElement(unsigned size, unsigned rightByte) {
    for (const ElementName& e : ElementNames())
        if (e.name != kGenericElement && e.size == size && e.rightByte == rightByte) return &e;
    return nullptr;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

class Cursor {
  public:
    explicit Cursor(std::string text) : text_(std::move(text)) {}
    void skipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    }
    bool startsWith(std::string_view prefix) const {
        return std::string_view(text_).substr(pos_).starts_with(prefix);
    }
    void advance(std::size_t n) { pos_ += n; }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    // Digits of the base; nothing when there are none. Large numbers are capped.
    std::optional<long long> number(int base) {
        std::size_t start = pos_;
        long long value = 0;
        while (!atEnd()) {
            int digit = DigitValue(text_[pos_]);
            if (digit < 0 || digit >= base) break;
            value = std::min(value * base + digit, kNumberCap);
            ++pos_;
        }
        if (pos_ == start) return std::nullopt;
        return value;
    }

    static int DigitValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

  private:
    std::string text_;
    std::size_t pos_ = 0;
};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// A bit number text ("0" to "15") read as a hexadecimal number, as the typed digits are.
std::optional<long long> HexValueOf(const std::string& text) {
    return Cursor(text).number(16);
}

struct ElementMatch {
    unsigned format;
    unsigned rightByte;
    unsigned sizeInBits;
    bool generic;
};

// Matches the element names of one format at the cursor (left byte, then right byte).
std::optional<ElementMatch> MatchFormatNames(const ModelRow& row, Cursor& cursor, unsigned format) {
    const unsigned size = NamingSize(row, format);
    for (unsigned right : {0u, 1u}) {
        const ElementName* e = NamedElement(size, right);
        if (e && cursor.startsWith(e->name)) {
            cursor.advance(e->name.size());
            return ElementMatch{format, right, e->size * 8u, false};
        }
    }
    return std::nullopt;
}

std::optional<ElementMatch> MatchElement(const ModelRow& row, Cursor& cursor, unsigned format,
                                         bool preferred) {
    if (auto m = MatchFormatNames(row, cursor, format)) return m;
    if (auto m = MatchFormatNames(row, cursor, row.preferredFormat)) return m;
    if (!preferred)
        for (unsigned f = 1; f <= kFormatCount; ++f)
            if (auto m = MatchFormatNames(row, cursor, f)) return m;
    if (cursor.startsWith(kGenericElement)) {
        cursor.advance(kGenericElement.size());
        return ElementMatch{format, 0, kDataBlockElementBits, true};
    }
    return std::nullopt;
}

unsigned FormatOfBits(unsigned bits) {
    switch (bits) {
        case 8:
            return kByte;
        case 32:
            return kDword;
        default:
            return kWord;
    }
}

}  // namespace

const ModelRow* RowOf(const uPLCSETUP* setup) {
    return ModelRowFor(setup ? setup->model.get() : 1);
}

ElementRange ElementRangeFor(const ModelRow& row, unsigned format, unsigned filter,
                             unsigned width) {
    ElementRange range = (filter & kWritingNeeded) ? ElementRange{row.writeLow, row.writeHigh}
                                                   : ElementRange{row.readLow, row.readHigh};
    if (filter & kFormatKnown) {
        unsigned size =
            (format == kAscii || (filter & kPreferredOnly)) ? width : FormatSize(format);
        if (size >= 1)
            range.high =
                range.high + 1 - static_cast<int>((size + kElementSize - 1) / kElementSize);
    }
    return range;
}

int SpinElement(int element, int step, const ElementRange& range) {
    int next = element + step;
    if (next > range.high) return range.low;
    if (next < range.low) return range.high;
    return next;
}

std::optional<std::string> WriteAddress(const ModelRow& row, const uPLCADR& ref, bool preferred) {
    if (ref.dataType != kDataBlock) return std::nullopt;  // only data blocks have element names
    const unsigned format = preferred ? row.preferredFormat : ref.dataFormat;
    const unsigned right = ref.byteOffset & 1;
    std::string text = std::string(kDataBlockPrefix) + std::to_string(ref.dataBlock) + " ";
    const ElementName* name = NamedElement(NamingSize(row, format), right);
    text += name ? name->name : kGenericElement;
    text += std::to_string(ref.byteOffset / kElementSize);
    if (format == kBit && ref.bit < 16) {
        // The left byte carries bits 8 to 15 of the word.
        const unsigned number = right ? ref.bit : ref.bit + 8u;
        if (number > 15) return std::nullopt;
        text += row.bitSeparator;
        text += DriverString(strings::kBitNumbers + number);
    }
    return Upper(text);
}

bool ReadAddress(const ModelRow& row, std::string_view text, uPLCADR& ref, bool preferred) {
    const std::size_t first = text.find_first_not_of(" \t");
    Cursor cursor(Upper(first == std::string_view::npos ? std::string_view() : text.substr(first)));
    unsigned format = preferred ? row.preferredFormat : ref.dataFormat;
    unsigned bit = ref.bit;
    unsigned dataBlock = 0;

    if (cursor.startsWith(kDataBlockPrefix)) {
        cursor.advance(kDataBlockPrefix.size());
        cursor.skipBlanks();
        auto number = cursor.number(row.addressBase);
        if (!number || *number < row.lowestDataBlock || *number > row.highestDataBlock)
            return false;
        dataBlock = static_cast<unsigned>(*number);
        cursor.skipBlanks();
    }

    auto match = MatchElement(row, cursor, format, preferred);
    if (!match) return false;
    if (!match->generic) format = match->format;

    auto element = cursor.number(row.addressBase);
    if (!element) return false;
    cursor.skipBlanks();
    if (!cursor.atEnd() && cursor.peek() != row.bitSeparator) return false;

    if (!FormatAllowed(kNumeric, kClassPlcData, kDataBlock, format)) format = row.preferredFormat;
    const ElementRange range =
        ElementRangeFor(row, preferred ? unsigned{kAscii} : format, kFormatKnown, 0);
    if (!range.holds(*element)) return false;
    unsigned byteOffset = static_cast<unsigned>(*element) * kElementSize + match->rightByte;

    if (FormatAllowed(kNumeric, kClassPlcData, kDataBlock, kBit)) {
        while (IsBlank(cursor.peek()) || cursor.peek() == row.bitSeparator) cursor.advance(1);
        if (auto digits = cursor.number(16)) {
            std::optional<unsigned> named;
            for (unsigned n = 0; n < 16 && !named; ++n)
                if (HexValueOf(DriverString(strings::kBitNumbers + n)) == digits) named = n;
            if (match->generic || format == kBit) {
                if (!named) return false;  // the digits name no bit of the word
                unsigned n = *named;
                if (n < 8)
                    byteOffset += 1;  // bits 0 to 7 lie in the right byte
                else
                    n -= 8;
                format = kBit;
                bit = n;
            }
        } else if (format == kBit) {
            format = FormatOfBits(match->sizeInBits);
        }
    }

    ref.dataBlock = static_cast<std::uint8_t>(dataBlock);
    ref.byteOffset = static_cast<std::uint16_t>(byteOffset);
    ref.dataFormat = static_cast<std::uint8_t>(format);
    ref.bit = static_cast<std::uint8_t>(bit);
    ref.dataType = kDataBlock;
    return true;
}

int MoveAddress(const ModelRow& row, uPLCADR& ref, bool preferred, unsigned direction,
                long long amount, unsigned unit) {
    if (amount <= 0 || unit != 1 || direction > 1) return -1;
    const unsigned format = preferred ? row.preferredFormat : ref.dataFormat;
    const unsigned size = FormatSize(format);
    const int extra = size > kElementSize ? static_cast<int>(size / kElementSize) - 1 : 0;
    if (size < kElementSize && preferred) ref.bit = 0;
    const long long offset = ref.byteOffset;
    if (direction == 1) {
        const long long top = (static_cast<long long>(row.readHigh) - extra) * kElementSize;
        if (offset + amount > top) {
            ref.byteOffset = static_cast<std::uint16_t>(std::max(top, 0ll));
            return 2;
        }
        ref.byteOffset = static_cast<std::uint16_t>(offset + amount);
    } else {
        const long long bottom = static_cast<long long>(row.readLow) * kElementSize;
        if (offset - amount < bottom) {
            ref.byteOffset = static_cast<std::uint16_t>(bottom);
            return 2;
        }
        ref.byteOffset = static_cast<std::uint16_t>(offset - amount);
    }
    return 0;
}

}  // namespace kestra::s5
