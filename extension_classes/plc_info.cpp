#include "extension_classes/plc_info.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "platform/module.h"

namespace {

constexpr int kResourceBuffer = 255;
constexpr UINT kFirmwareString = 1;
constexpr UINT kDriverNameString = 2;
constexpr UINT kDllVersionString = 3;
constexpr UINT kCompatibilityString = 4;
constexpr const char* kDefaultDllVersion = "1.00";

std::string resourceText(HINSTANCE module, UINT id) {
    char buffer[kResourceBuffer] = {};
    return LoadString(module, id, buffer, kResourceBuffer) > 0 ? std::string(buffer)
                                                               : std::string();
}

// Reads "%d.%d" or "%d.%d.%d" as scanf would, but clamps numbers that do not fit an int
// instead of leaving them undefined. Returns the number of fields read; the others stay 0.
int scanDotted(const char* text, int* fields, int count) {
    int read = 0;
    const char* p = text;
    while (read < count) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(p, &end, 10);
        if (end == p) break;
        fields[read++] = static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
        if (read == count || *end != '.') break;
        p = end + 1;
    }
    return read;
}

// "a.b" as two numbers; fields that are not there stay 0.
void scanPair(const char* text, int& a, int& b) {
    int fields[2] = {};
    scanDotted(text, fields, 2);
    a = fields[0];
    b = fields[1];
}

}  // namespace

int CPlcInfo::CreateIndirect(HINSTANCE module) {
    const std::string path = kestra::platform::ModulePath(module);
    m_strDllName = std::string(kestra::platform::FileNamePart(path));
    m_strPath = std::string(kestra::platform::FolderPart(path));
    m_strDriverName = resourceText(module, kDriverNameString);
    m_strDllVersion = resourceText(module, kDllVersionString);
    if (m_strDllVersion.empty()) m_strDllVersion = kDefaultDllVersion;
    m_strCompatibility = resourceText(module, kCompatibilityString);
    GetVersionInfo(module, &m_wVersion, &m_nProjectCode);
    return 1;
}

bool CPlcInfo::GetVersionInfo(HINSTANCE module, WORD* version, BYTE* code) {
    char text[kResourceBuffer] = {};
    if (LoadString(module, kFirmwareString, text, kResourceBuffer) <= 0) return false;
    const auto dots = std::count(text, text + std::char_traits<char>::length(text), '.');
    int fields[3] = {};
    bool read = false;
    if (dots == 1 || dots == 2) {
        const int count = static_cast<int>(dots) + 1;
        read = scanDotted(text, fields, count) == count;
    }
    const int a = fields[dots == 2 ? 1 : 0];
    const int b = fields[dots == 2 ? 2 : 1];
    if (!read) {
        if (code) *code = 0;
        if (version) *version = 0;
        return false;
    }
    if (code) *code = static_cast<BYTE>(a);
    if (version) *version = static_cast<WORD>((static_cast<unsigned>(a) << 8) | (b & 0xFF));
    return true;
}

void CPlcInfo::SetVersion(const char* text, BYTE code) {
    int a = 0;
    int b = 0;
    scanPair(text ? text : "", a, b);
    const auto major = static_cast<unsigned>(a);
    const auto minor = static_cast<unsigned>(b);
    if (code == 1)
        m_wVersion = static_cast<WORD>((major << 8) | minor);
    else
        m_wVersion = static_cast<WORD>(((major << 4) | (minor & 15)) & 255);
}

void CPlcInfo::GetVersionStr(std::string& text) const {
    const unsigned low = m_wVersion & 0xFF;
    char buffer[32];
    if ((m_wVersion >> 8) == 1)
        std::snprintf(buffer, sizeof buffer, "%d.%02d", 1, static_cast<int>(low & 15));
    else
        std::snprintf(buffer, sizeof buffer, "%d.%02d", static_cast<int>(low >> 4),
                      static_cast<int>(low & 15));
    text = buffer;
}

std::string CPlcInfo::GetVersionStr() const {
    std::string text;
    GetVersionStr(text);
    return text;
}
