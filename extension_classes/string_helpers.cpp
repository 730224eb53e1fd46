#include "extension_classes/string_helpers.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x110000) {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string fromWide(const wchar_t* text, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length && text[i]; ++i)
        appendUtf8(out, static_cast<unsigned>(text[i]));
    return out;
}

// Whether the character at pos is one of the delimiter set's characters.
bool isDelimiter(std::string_view text, std::size_t pos, std::string_view delimiters) {
    const std::string_view ch = text.substr(pos, CStringEx::CharLength(text, pos));
    for (std::size_t d = 0; d < delimiters.size(); d += CStringEx::CharLength(delimiters, d))
        if (delimiters.substr(d, CStringEx::CharLength(delimiters, d)) == ch) return true;
    return false;
}

// The one tokenization of the process: the text that the last GetFirst began on and how far
// the sequence has come.
struct Tokenization {
    std::string text;
    std::size_t pos = 0;
};
Tokenization& tokenization() {
    static Tokenization state;
    return state;
}

bool nextToken(const char* delimiters, CStringEx& token) {
    Tokenization& state = tokenization();
    const std::string_view text = state.text;
    const std::string_view delims = delimiters ? delimiters : "";
    std::size_t pos = state.pos;
    while (pos < text.size() && isDelimiter(text, pos, delims))
        pos += CStringEx::CharLength(text, pos);
    if (pos >= text.size()) {
        state.pos = text.size();
        return false;
    }
    std::size_t end = pos;
    while (end < text.size() && !isDelimiter(text, end, delims))
        end += CStringEx::CharLength(text, end);
    // A token keeps at most 255 bytes, never ending inside a character.
    std::size_t kept = pos;
    while (kept < end && kept + CStringEx::CharLength(text, kept) - pos <= CParseStrPart::kMaxToken)
        kept += CStringEx::CharLength(text, kept);
    token = CStringEx(std::string(text.substr(pos, kept - pos)));
    state.pos = end < text.size() ? end + CStringEx::CharLength(text, end) : end;
    return true;
}

}  // namespace

// CStringEx

CStringEx::CStringEx(const char* text, int length) {
    if (!text || length <= 0) return;
    m_str.assign(text, strnlen(text, static_cast<std::size_t>(length)));
}

CStringEx::CStringEx(const wchar_t* text) {
    if (text) m_str = fromWide(text, std::wcslen(text));
}

CStringEx::CStringEx(const wchar_t* text, int length) {
    if (text && length > 0) m_str = fromWide(text, static_cast<std::size_t>(length));
}

char* CStringEx::GetBuffer(int length) {
    if (length > 0) m_str.reserve(static_cast<std::size_t>(length) + 1);
    return m_str.data();
}

void CStringEx::ReleaseBuffer(int length) {
    if (length >= 0 && static_cast<std::size_t>(length) <= m_str.size())
        m_str.resize(static_cast<std::size_t>(length));
    else
        m_str.resize(std::strlen(m_str.c_str()));
}

int CStringEx::scanText(const char* format, ...) const {
    if (!format) return 0;
    va_list targets;
    va_start(targets, format);
    const int converted = std::vsscanf(m_str.c_str(), format, targets);
    va_end(targets);
    return converted < 0 ? 0 : converted;
}

int CStringEx::GetInt() const {
    errno = 0;
    const long value = std::strtol(m_str.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

double CStringEx::GetDouble() const {
    return std::strtod(m_str.c_str(), nullptr);
}

void CStringEx::writeInBuffer(unsigned value, unsigned base, bool negative) {
    char digits[40];
    std::size_t n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value);
    if (negative) digits[n++] = '-';
    std::reverse(digits, digits + n);
    // The string's buffer is its capacity; a shorter one keeps what fits.
    m_str.assign(digits, std::min(n, m_str.capacity()));
}

void CStringEx::SetInt(int value) {
    const bool negative = value < 0;
    const unsigned magnitude =
        negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    writeInBuffer(magnitude, 10, negative);
}

void CStringEx::SetHex(unsigned value) {
    writeInBuffer(value, 16, false);
}

void CStringEx::SetOct(unsigned value) {
    writeInBuffer(value, 8, false);
}

void CStringEx::SetBin(unsigned value) {
    writeInBuffer(value, 2, false);
}

std::size_t CStringEx::CharLength(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 1;
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 1;
    if (pos + length > text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) return 1;
    return length;
}

unsigned CStringEx::CodePoint(std::string_view text, std::size_t pos) {
    const std::size_t length = CharLength(text, pos);
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (length == 1) return lead;
    unsigned code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = (code << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
    return code;
}

int CStringEx::CountOccurences(unsigned ch) const {
    int count = 0;
    for (std::size_t pos = 0; pos < m_str.size(); pos += CharLength(m_str, pos))
        if (CodePoint(m_str, pos) == ch) ++count;
    return count;
}

// CParseStrPart

bool CParseStrPart::GetFirst(const char* delimiters, CStringEx& token) {
    m_work = m_pString ? m_pString->str() : std::string();
    tokenization() = {m_work, 0};
    if (m_work.empty()) return false;
    return nextToken(delimiters, token);
}

bool CParseStrPart::GetNext(const char* delimiters, CStringEx& token) {
    return nextToken(delimiters, token);
}

// CPathStrPart

std::string_view CPathStrPart::text() const {
    return m_pString ? std::string_view(m_pString->str()) : std::string_view();
}

namespace {

std::size_t driveLength(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

// Where the file name begins: after the last separator (or after the drive).
std::size_t nameStart(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? driveLength(path) : slash + 1;
}

std::size_t extStart(std::string_view path) {
    const std::size_t name = nameStart(path);
    const std::size_t dot = path.rfind('.');
    return dot == std::string_view::npos || dot < name ? path.size() : dot;
}

CStringEx part(std::string_view path, std::size_t from, std::size_t to) {
    return CStringEx(std::string(path.substr(from, to - from)));
}

}  // namespace

CStringEx CPathStrPart::GetDrive() const {
    return part(text(), 0, driveLength(text()));
}

CStringEx CPathStrPart::GetDirectory() const {
    return part(text(), driveLength(text()), nameStart(text()));
}

CStringEx CPathStrPart::GetPath() const {
    return part(text(), 0, nameStart(text()));
}

CStringEx CPathStrPart::GetName() const {
    return part(text(), nameStart(text()), text().size());
}

CStringEx CPathStrPart::GetTitle() const {
    return part(text(), nameStart(text()), extStart(text()));
}

CStringEx CPathStrPart::GetExt() const {
    return part(text(), extStart(text()), text().size());
}
