#include "utilities/number_list.h"

#include <cctype>
#include <cstdint>

namespace kestra {
namespace {

// A decimal integer as the C library reads one: blanks, a sign, digits up to the first other
// character. Saturates instead of overflowing.
int decimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) value = INT32_MAX + std::int64_t{negative};
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

NumberListResult ParseNumberList(std::string_view text, int* values, int count) {
    if (count <= 2 || !values) return {1, 0};
    values[0] = 1;
    values[1] = 1;
    int next = 2;     // where the next number goes
    int inGroup = 1;  // numbers of the current group, counting the one being read
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        const char c = end ? 0 : text[i];
        if (!end && c != ',' && c != '.' && c != ';') continue;
        values[next++] = decimal(text.substr(start, i - start));
        start = i + 1;
        if (end) return {0, next - 2};
        if (c == ';') {
            ++values[0];
            inGroup = 1;
        } else {
            values[1] = ++inGroup;
        }
        if (next >= count) return {1, next - 2};
    }
    return {0, next - 2};
}

}  // namespace kestra
