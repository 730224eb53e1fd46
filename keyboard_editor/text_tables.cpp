#include "keyboard_editor/text_tables.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/files.h"

namespace clavon {
namespace {

// Longer tables than this are cut: the lists are for people to pick from.
constexpr std::size_t kMaxEntries = 4096;
constexpr std::size_t kMaxName = 255;
constexpr const char* kKeyCodesFile = "KeyCodes.txt";

bool ParseCode(const std::string& token, int& code) {
    const bool hex = token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    const char* begin = token.c_str() + (hex ? 2 : 0);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, hex ? 16 : 10);
    if (end == begin || *end != '\0' || errno != 0 || value < -32768 || value > 65535) return false;
    code = static_cast<int>(value);
    return true;
}

std::string ReadFile(const std::string& path, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file) return {};
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

}  // namespace

std::vector<KeyCode> ParseKeyCodes(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::vector<KeyCode> codes;
    for (std::string code, name; codes.size() < kMaxEntries && in >> code >> name;) {
        KeyCode entry;
        if (!ParseCode(code, entry.code)) continue;
        entry.name = name.substr(0, kMaxName);
        codes.push_back(std::move(entry));
    }
    return codes;
}

std::vector<KeyCode> ReadKeyCodes(const std::string& programFolder, const std::string& userFolder) {
    const std::string own = kestra::platform::JoinPath(userFolder, kKeyCodesFile);
    if (kestra::platform::FileExists(own)) return ParseKeyCodes(ReadFile(own, "r+"));
    return ParseKeyCodes(ReadFile(kestra::platform::JoinPath(programFolder, kKeyCodesFile), "r"));
}

std::vector<std::string> ParseFieldNames(std::string_view bytes) {
    std::vector<std::string> names;
    std::string line;
    for (char c : bytes) {
        if (c == '\n') continue;
        if (c != '\r') {
            if (line.size() < kMaxName) line += c;
            continue;
        }
        names.push_back(std::move(line));
        line.clear();
        if (names.size() == kMaxEntries) break;
    }
    return names;
}

std::vector<std::string> ReadFieldNames(const std::string& folder) {
    return ParseFieldNames(ReadFile(kestra::platform::JoinPath(folder, "FieldAssocs.txt"), "rb"));
}

}  // namespace clavon
