#include "platform/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/file_writer.h"
#include "platform/files.h"

namespace kestra::platform {

std::string ProfilePath(const char* fileName) {
    std::string_view name = fileName ? fileName : "win.ini";
    std::string native = ToNativePath(name);
    if (native.find('/') == std::string::npos) native = JoinPath(WindowsFolder(), native);
    if (auto existing = FindExisting(native)) return *existing;
    return native;
}

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    a = trim(a);
    b = trim(b);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// One INI file as its lines, with what each line is.
class ProfileFile {
  public:
    enum class Kind { Other, Section, Entry };
    struct Line {
        std::string text;
        Kind kind = Kind::Other;
        std::string name;   // section name or key, trimmed
        std::string value;  // entry value, trimmed and unquoted
    };

    explicit ProfileFile(const std::string& path) : path_(path) {
        auto contents = ReadWholeFile(path);
        if (!contents) return;
        if (contents->find("\r\n") != std::string::npos) newline_ = "\r\n";
        std::string_view rest = *contents;
        while (!rest.empty()) {
            auto end = rest.find('\n');
            std::string_view raw = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
            lines_.push_back(parse(raw));
        }
    }

    static Line parse(std::string_view raw) {
        Line line{std::string(raw)};
        std::string_view text = trim(raw);
        if (text.empty() || text.front() == ';') return line;
        if (text.front() == '[') {
            line.kind = Kind::Section;
            auto close = text.find(']');
            line.name = std::string(trim(text.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            return line;
        }
        auto equals = text.find('=');
        if (equals == std::string_view::npos) return line;
        line.kind = Kind::Entry;
        line.name = std::string(trim(text.substr(0, equals)));
        std::string_view value = trim(text.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        line.value = std::string(value);
        return line;
    }

    // Index of the first header of the section, if any.
    std::optional<std::size_t> findSection(std::string_view section) const {
        for (std::size_t i = 0; i < lines_.size(); ++i)
            if (lines_[i].kind == Kind::Section && sameName(lines_[i].name, section)) return i;
        return std::nullopt;
    }
    // One past the last line belonging to the section that starts at header.
    std::size_t sectionEnd(std::size_t header) const {
        std::size_t i = header + 1;
        while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
        return i;
    }
    std::optional<std::size_t> findKey(std::size_t header, std::string_view key) const {
        for (std::size_t i = header + 1, end = sectionEnd(header); i < end; ++i)
            if (lines_[i].kind == Kind::Entry && sameName(lines_[i].name, key)) return i;
        return std::nullopt;
    }

    const Line* findEntry(std::string_view section, std::string_view key) const {
        auto header = findSection(section);
        if (!header) return nullptr;
        auto at = findKey(*header, key);
        return at ? &lines_[*at] : nullptr;
    }

    std::vector<std::string> sectionNames() const {
        std::vector<std::string> names;
        for (const auto& line : lines_)
            if (line.kind == Kind::Section) names.push_back(line.name);
        return names;
    }
    std::vector<const Line*> entries(std::size_t header) const {
        std::vector<const Line*> found;
        for (std::size_t i = header + 1, end = sectionEnd(header); i < end; ++i)
            if (lines_[i].kind == Kind::Entry) found.push_back(&lines_[i]);
        return found;
    }

    void setKey(std::string_view section, std::string_view key, std::string_view value) {
        std::string text = std::string(key) + "=" + std::string(value);
        auto header = findSection(section);
        if (!header) {
            if (!lines_.empty() && !trim(lines_.back().text).empty()) lines_.push_back(Line{});
            lines_.push_back(parse("[" + std::string(section) + "]"));
            lines_.push_back(parse(text));
            return;
        }
        if (auto at = findKey(*header, key)) {
            lines_[*at] = parse(text);
            return;
        }
        // After the section's last non-blank line.
        std::size_t insert = sectionEnd(*header);
        while (insert > *header + 1 && trim(lines_[insert - 1].text).empty()) --insert;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert), parse(text));
    }
    void deleteKey(std::string_view section, std::string_view key) {
        if (auto header = findSection(section))
            if (auto at = findKey(*header, key))
                lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*at));
    }
    void deleteSection(std::string_view section) {
        while (auto header = findSection(section))
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*header),
                         lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(*header)));
    }
    void replaceSection(std::string_view section, const std::vector<std::string>& entries) {
        auto header = findSection(section);
        std::size_t insert;
        if (header) {
            std::size_t end = sectionEnd(*header);
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*header + 1),
                         lines_.begin() + static_cast<std::ptrdiff_t>(end));
            insert = *header + 1;
        } else {
            if (!lines_.empty() && !trim(lines_.back().text).empty()) lines_.push_back(Line{});
            lines_.push_back(parse("[" + std::string(section) + "]"));
            insert = lines_.size();
        }
        for (const auto& entry : entries)
            lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert++), parse(entry));
    }

    bool save() const {
        std::string contents;
        for (const auto& line : lines_) contents += line.text + newline_;
        return WriteWholeFile(path_, contents);
    }

  private:
    std::string path_;
    std::string newline_ = "\n";
    std::vector<Line> lines_;
};

// Copies one text into a caller's buffer: at most size - 1 characters and a zero.
DWORD storeValue(std::string_view value, char* buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    std::size_t n = std::min<std::size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = 0;
    return static_cast<DWORD>(n);
}

// Copies a list of texts, each zero-terminated, with one more zero at the end.
DWORD storeList(const std::vector<std::string>& items, char* buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    std::string list;
    for (const auto& item : items) {
        list += item;
        list += '\0';
    }
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = 0;
        if (list.empty() && size > 1) buffer[1] = 0;
        return static_cast<DWORD>(list.empty() ? 0 : list.size());
    }
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = 0;
    buffer[size - 1] = 0;
    return size - 2;
}

}  // namespace

int ParseProfileNumber(std::string_view text) {
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            break;
        value = value * base + static_cast<std::uint32_t>(digit);  // wraps like a 32-bit UINT
    }
    return static_cast<int>(negative ? 0u - value : value);
}

}  // namespace kestra::platform

namespace pf = kestra::platform;

DWORD GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                              char* buffer, DWORD size, const char* fileName) {
    pf::ProfileFile file(pf::ProfilePath(fileName));
    if (!section) return pf::storeList(file.sectionNames(), buffer, size);
    if (!key) {
        std::vector<std::string> keys;
        if (auto header = file.findSection(section))
            for (const auto* entry : file.entries(*header)) keys.push_back(entry->name);
        return pf::storeList(keys, buffer, size);
    }
    if (const auto* entry = file.findEntry(section, key))
        return pf::storeValue(entry->value, buffer, size);
    std::string_view fallback = defaultValue ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    return pf::storeValue(fallback, buffer, size);
}

UINT GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                          const char* fileName) {
    if (!section || !key) return static_cast<UINT>(defaultValue);
    pf::ProfileFile file(pf::ProfilePath(fileName));
    const auto* entry = file.findEntry(section, key);
    if (!entry) return static_cast<UINT>(defaultValue);
    return static_cast<UINT>(pf::ParseProfileNumber(entry->value));
}

DWORD GetPrivateProfileSection(const char* section, char* buffer, DWORD size,
                               const char* fileName) {
    pf::ProfileFile file(pf::ProfilePath(fileName));
    std::vector<std::string> lines;
    if (section)
        if (auto header = file.findSection(section))
            for (const auto* entry : file.entries(*header))
                lines.push_back(entry->name + "=" + entry->value);
    return pf::storeList(lines, buffer, size);
}

DWORD GetPrivateProfileSectionNames(char* buffer, DWORD size, const char* fileName) {
    return GetPrivateProfileString(nullptr, nullptr, nullptr, buffer, size, fileName);
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* fileName) {
    if (!section) return FALSE;
    pf::ProfileFile file(pf::ProfilePath(fileName));
    if (!key)
        file.deleteSection(section);
    else if (!value)
        file.deleteKey(section, key);
    else
        file.setKey(section, key, value);
    return file.save() ? TRUE : FALSE;
}

BOOL WritePrivateProfileSection(const char* section, const char* lines, const char* fileName) {
    if (!section) return FALSE;
    pf::ProfileFile file(pf::ProfilePath(fileName));
    if (!lines) {
        file.deleteSection(section);
    } else {
        std::vector<std::string> entries;
        for (const char* line = lines; *line; line += std::strlen(line) + 1)
            entries.emplace_back(line);
        file.replaceSection(section, entries);
    }
    return file.save() ? TRUE : FALSE;
}
