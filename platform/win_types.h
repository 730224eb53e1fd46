// The Windows-era base types and handle kinds, as the suite's interfaces use them.
//
// Every record slot and every memory handle is 32 bits wide, as in the stored formats; window
// and module handles never appear in stored data and are pointer-sized opaque values here.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// A global memory handle or host-allocator reference: a nonzero 32-bit reference into the
// process-wide block table (platform/memory.h).
using HGLOBAL = std::uint32_t;

using HWND = struct HWND__*;
using HMODULE = struct HMODULE__*;
using HINSTANCE = HMODULE;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr UINT MAX_PATH = 260;

constexpr WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr BYTE LOBYTE(std::uintptr_t v) {
    return static_cast<BYTE>(v & 0xFF);
}
constexpr BYTE HIBYTE(std::uintptr_t v) {
    return static_cast<BYTE>((v >> 8) & 0xFF);
}
