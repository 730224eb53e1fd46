// The tokenizer and the number list parser over any text.
#include <cstdint>
#include <string>
#include <vector>

#include "utilities/k32fabutil1.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int count = data[0] % 24;
    const int maxLength = data[1] % 40;
    std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    text = text.c_str();  // up to the first zero, as the callers' texts are

    std::vector<int> values(static_cast<std::size_t>(count) + 1, 0);
    GetIniRangeNumbers(nullptr, nullptr, nullptr, text.c_str(), values.data(), count);

    std::string work = text;
    char* cursor = work.data();
    std::vector<char> token(static_cast<std::size_t>(maxLength) + 1);
    while (GetNextToken(token.data(), &cursor, " ,;", maxLength)) {
    }
    return 0;
}
