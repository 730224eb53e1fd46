#include "panel_setup/panel_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/files.h"

namespace kestra::panel {

std::vector<std::uint16_t> ParseVersionList(const std::string& text) {
    std::vector<std::uint16_t> versions{0};
    std::size_t pos = 0;
    while (pos < text.size() && versions.size() <= kMaxVersions) {
        auto comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        std::string_view item(text.data() + pos, comma - pos);
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front())))
            item.remove_prefix(1);
        if (!item.empty() && (item.front() == 'v' || item.front() == 'V')) item.remove_prefix(1);
        if (auto v = ParseInteger(item); v && *v > 0 && *v <= kHighestVersion)
            versions.push_back(static_cast<std::uint16_t>(*v));
        pos = comma + 1;
    }
    std::sort(versions.begin(), versions.end());
    versions.erase(std::unique(versions.begin(), versions.end()), versions.end());
    return versions;
}

std::string FormatVersion(int version) {
    if (version == 0) return "All";
    char text[32];
    std::snprintf(text, sizeof text, "%d.%.2d", version / 100, version % 100);
    return text;
}

CPanelFile::CPanelFile(std::string path, int displayCode) : m_path(std::move(path)) {
    auto mfg = ReadInt("MfgCode", kModel);
    if (!mfg) return;  // no display selected
    m_hasMfgCode = true;
    m_mfgCode = *mfg;
    m_generic = *mfg == -1;
    if (!m_generic)
        if (auto code = ReadInt("DisplayCode", kDisplay)) displayCode = *code;
    const int touchType = ReadInt("TouchScreenType", kDisplay).value_or(-1);
    m_display.Select(displayCode, touchType);
}

bool CPanelFile::Exists() const {
    return platform::FileExists(platform::ToNativePath(m_path));
}

std::string CPanelFile::SectionName(int selector) {
    switch (selector) {
        case kAttributes:
            return "Attributes";
        case kModel:
            return "Model";
        case kDisplay:
            return "Display";
        case kFirmware:
            return "Firmware";
        default:
            break;
    }
    char name[64];
    std::snprintf(name, sizeof name, "%s.v%.4d", "Attributes", selector);
    return name;
}

std::optional<std::string> CPanelFile::ReadText(const char* key, int selector) const {
    if (selector < kFirmware) return std::nullopt;
    for (;;) {
        if (auto text = ReadProfileText(SectionName(selector), key, m_path)) return text;
        if (selector <= 0) return std::nullopt;
        selector = NextLower(selector);
        if (selector < 0) return std::nullopt;
    }
}

std::optional<int> CPanelFile::ReadInt(const char* key, int selector) const {
    auto text = ReadText(key, selector);
    if (!text) return std::nullopt;
    return ParseInteger(*text).value_or(0);
}

std::optional<std::int16_t> CPanelFile::ReadInt16(const char* key, int selector) const {
    auto value = ReadInt(key, selector);
    if (!value) return std::nullopt;
    return static_cast<std::int16_t>(*value);
}

std::optional<int> CPanelFile::ReadChoiceValue(const char* key, int selector) const {
    auto text = ReadText(key, selector);
    if (!text) return std::nullopt;
    return ChoiceValue(*text).value_or(0);
}

std::optional<int> CPanelFile::ReadSize(const char* key, int selector) const {
    auto text = ReadText(key, selector);
    if (!text) return std::nullopt;
    return ChoiceValue(*text, true).value_or(0);
}

std::optional<int> CPanelFile::ReadBoolean(const char* key, int selector) const {
    auto text = ReadText(key, selector);
    if (!text) return std::nullopt;
    return BooleanValue(*text).value_or(0);
}

std::optional<ChoiceList> CPanelFile::ReadChoices(const char* key, int selector) const {
    auto text = ReadText(key, selector);
    if (!text || !IsChoiceList(*text)) return std::nullopt;
    return ParseChoiceList(*text);
}

const std::vector<std::uint16_t>& CPanelFile::Versions() const {
    if (!m_versions) {
        auto text = ReadProfileText("Attributes", "Versions", m_path);
        m_versions = ParseVersionList(text.value_or(""));
    }
    return *m_versions;
}

bool CPanelFile::IsListed(int version) const {
    const auto& list = Versions();
    return std::find(list.begin(), list.end(), version) != list.end();
}

int CPanelFile::NextLower(int version) const {
    int lower = -1;
    for (int v : Versions())
        if (v < version) lower = v;
    return lower;
}

int CPanelFile::NextHigher(int version) const {
    for (int v : Versions())
        if (v > version) return v;
    return -1;
}

int CPanelFile::Highest() const {
    return Versions().back();
}

}  // namespace kestra::panel
