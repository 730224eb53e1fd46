#include "utilities/services.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "kestra/logfont.h"
#include "platform/module.h"
#include "platform/profile.h"
#include "utilities/number_list.h"

namespace {

APPFMALLOC hostAllocator = nullptr;

// Each conversion returns its own library-wide buffer, overwritten by the next call.
kestra::LogFont16 font16Buffer;
kestra::LogFont32 font32Buffer;

constexpr int kIniTextLength = 2048;
constexpr int kVersionTextLength = 20;

}  // namespace

extern "C" {

APPFMALLOC SetAppFmalloc(APPFMALLOC allocator) {
    hostAllocator = allocator;
    return hostAllocator;
}

APPFMALLOC GetAppFmalloc() {
    return hostAllocator;
}

void* GetFarPtrFromHuge(void* base, DWORD offset) {
    return static_cast<char*>(base) + offset;
}
void* ChangeFarPtrBase(void* base, DWORD offset) {
    return static_cast<char*>(base) + offset;
}
BOOL FreeOurFarPtr(void*) {
    return TRUE;
}

char* GetNextToken(char* destination, char** cursor, const char* delimiters, int maxLength) {
    if (!cursor || !*cursor || !destination) return nullptr;
    char* text = *cursor;
    if (*text == 0) {
        *cursor = nullptr;
        return nullptr;
    }
    std::size_t n = delimiters ? std::strcspn(text, delimiters) : std::strlen(text);
    if (n == 0) {
        destination[0] = 0;
        *cursor = text + 1;
        return destination;
    }
    std::size_t copied = std::min<std::size_t>(n, static_cast<std::size_t>(std::max(maxLength, 0)));
    std::memcpy(destination, text, copied);
    destination[copied] = 0;
    text += n;
    if (*text) ++text;  // past one delimiter
    *cursor = text;
    return destination;
}

int GetIniRangeNumbers(const char* file, const char* section, const char* key,
                       const char* defaultText, int* values, int count) {
    if (count <= 2 || !defaultText || !values) return 1;
    if (!file && !section) return kestra::ParseNumberList(defaultText, values, count).result;
    char text[kIniTextLength + 1];
    GetPrivateProfileString(section, key, defaultText, text, sizeof text, file);
    return kestra::ParseNumberList(text, values, count).result;
}

DWORD DecodeLibVersion(HMODULE module) {
    char text[kVersionTextLength + 1];
    if (LoadString(module, 1, text, sizeof text) == 0) return 0;
    int values[8] = {};
    auto parsed = kestra::ParseNumberList(text, values, 8);
    if (parsed.result != 0) return 0;
    auto lowByte = [](int v) { return static_cast<DWORD>(v) & 0xFF; };
    switch (parsed.numbers) {
        case 2:
            return (lowByte(values[2]) << 8) | lowByte(values[3]);
        case 3:
            return (lowByte(values[3]) << 8) | lowByte(values[4]);
        default:
            return 0;
    }
}

void* LogFont32to16(const void* font) {
    if (!font) return nullptr;
    const auto& from = kestra::RecordAt<kestra::LogFont32>(font);
    auto& to = font16Buffer;
    to.height = static_cast<std::int16_t>(from.height.get());
    to.width = static_cast<std::int16_t>(from.width.get());
    to.escapement = static_cast<std::int16_t>(from.escapement.get());
    to.orientation = static_cast<std::int16_t>(from.orientation.get());
    to.weight = static_cast<std::int16_t>(from.weight.get());
    std::memcpy(&to.italic, &from.italic, 8 + kestra::kFaceNameSize);
    return &to;
}

void* LogFont16to32(const void* font) {
    if (!font) return nullptr;
    const auto& from = kestra::RecordAt<kestra::LogFont16>(font);
    auto& to = font32Buffer;
    to.height = from.height.get();
    to.width = from.width.get();
    to.escapement = from.escapement.get();
    to.orientation = from.orientation.get();
    to.weight = from.weight.get();
    std::memcpy(&to.italic, &from.italic, 8 + kestra::kFaceNameSize);
    return &to;
}

}  // extern "C"
