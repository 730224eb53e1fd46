// Number list texts: numbers separated by "," or "." within a group and by ";" between
// groups, parsed into values[0] (group count), values[1] (numbers of the current group) and
// values[2] onward (the numbers).
#pragma once

#include <string_view>

namespace kestra {

struct NumberListResult {
    int result;   // 0 when the text was parsed to its end, 1 otherwise
    int numbers;  // numbers stored from values[2] on
};

NumberListResult ParseNumberList(std::string_view text, int* values, int count);

}  // namespace kestra
