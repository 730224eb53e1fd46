// The value syntax of panel model files: plain integers, sizes in "kbyte", and choice lists
// such as "128K;131072|256K;262144:1" (items "text;value" separated by "|", then ":" and the
// index of the default item).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestra::panel {

struct Choice {
    std::string text;
    int value = 0;
};

struct ChoiceList {
    std::vector<Choice> items;
    int defaultIndex = 0;
    // The default item's value; 0 when the index names no item.
    int DefaultValue() const;
};

// Whether a value is written as a choice list (it contains "|").
bool IsChoiceList(std::string_view text);
ChoiceList ParseChoiceList(std::string_view text);
// A plain integer (decimal, or hexadecimal after "0x"); nothing when the text holds none.
std::optional<int> ParseInteger(std::string_view text);
// A size: an integer, times 1024 when "kbyte" (any case) follows it.
std::optional<int> ParseSize(std::string_view text);

// How a model file value reads: a choice list (or a single "text;value" item) as its default
// item's value, a plain value as its number (sizes with "kbyte" when asked for).
std::optional<int> ChoiceValue(std::string_view text, bool sizes = false);
// How a boolean key reads: a choice list as its default index, a plain value as its number.
std::optional<int> BooleanValue(std::string_view text);

}  // namespace kestra::panel
