#include "panel_setup/model_values.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "platform/profile.h"

namespace kestra::panel {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool StartsWithNumber(std::string_view s) {
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    return !s.empty() && std::isdigit(static_cast<unsigned char>(s.front()));
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
    auto it = std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
    return it != text.end();
}

}  // namespace

int ChoiceList::DefaultValue() const {
    if (defaultIndex < 0 || static_cast<std::size_t>(defaultIndex) >= items.size()) return 0;
    return items[static_cast<std::size_t>(defaultIndex)].value;
}

bool IsChoiceList(std::string_view text) {
    return text.find('|') != std::string_view::npos;
}

ChoiceList ParseChoiceList(std::string_view text) {
    ChoiceList list;
    // The default index follows the last ":" (texts of the items may not hold one).
    if (auto colon = text.rfind(':'); colon != std::string_view::npos) {
        list.defaultIndex = ParseInteger(text.substr(colon + 1)).value_or(0);
        text = text.substr(0, colon);
    }
    for (;;) {
        const auto bar = text.find('|');
        std::string_view item = Trim(text.substr(0, bar));
        if (!item.empty()) {
            Choice choice;
            const auto semi = item.find(';');
            choice.text = std::string(Trim(item.substr(0, semi)));
            if (semi != std::string_view::npos)
                choice.value = ParseInteger(item.substr(semi + 1)).value_or(0);
            list.items.push_back(std::move(choice));
        }
        if (bar == std::string_view::npos) break;
        text.remove_prefix(bar + 1);
    }
    return list;
}

std::optional<int> ParseInteger(std::string_view text) {
    text = Trim(text);
    if (!StartsWithNumber(text)) return std::nullopt;
    return platform::ParseProfileNumber(text);
}

std::optional<int> ParseSize(std::string_view text) {
    auto number = ParseInteger(text);
    if (!number) return std::nullopt;
    if (!ContainsNoCase(text, "kbyte")) return number;
    const long long bytes = static_cast<long long>(*number) * 1024;
    return static_cast<int>(std::clamp<long long>(bytes, INT_MIN, INT_MAX));
}

std::optional<int> ChoiceValue(std::string_view text, bool sizes) {
    // A single "text;value" item reads like a list of one.
    if (IsChoiceList(text) || text.find(';') != std::string_view::npos)
        return ParseChoiceList(text).DefaultValue();
    return sizes ? ParseSize(text) : ParseInteger(text);
}

std::optional<int> BooleanValue(std::string_view text) {
    if (IsChoiceList(text)) return ParseChoiceList(text).defaultIndex;
    return ParseInteger(text);
}

}  // namespace kestra::panel
