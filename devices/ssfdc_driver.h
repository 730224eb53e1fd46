// The control requests of the SmartMedia reader's kernel driver.
//
// The driver is opened as the device "\\.\DevezEdEzu1". Every request is synchronous, of
// device type 0x9C40, buffered, any access. Row addresses count pages from the first page
// of the card; integers in requests are 32-bit little-endian.
//
//   reset          no input, no output
//   read ID        no input; 4 bytes out: maker code in bits 0-7, device code in bits 8-15
//   read status    no input; 1 byte out
//   read page      8 bytes in: row, byte count N; N bytes out
//   write page     N + 11 bytes in: row, byte count N, N data bytes, 3 zero pad bytes
//   erase block    4 bytes in: the row of a page of the block
#pragma once

#include "platform/win_types.h"

namespace kestra::platform::ssfdc {

inline constexpr char kDeviceName[] = "DevezEdEzu1";
inline constexpr char kDevicePath[] = "\\\\.\\DevezEdEzu1";

inline constexpr DWORD kDeviceType = 0x9C40;
inline constexpr DWORD kBufferedMethod = 0;
inline constexpr DWORD kAnyAccess = 0;

constexpr DWORD ControlCode(DWORD function) {
    return (kDeviceType << 16) | (kAnyAccess << 14) | (function << 2) | kBufferedMethod;
}

inline constexpr DWORD kReset = ControlCode(0x900);
inline constexpr DWORD kReadId = ControlCode(0x910);
inline constexpr DWORD kReadStatus = ControlCode(0x920);
inline constexpr DWORD kReadPage = ControlCode(0x930);
inline constexpr DWORD kWritePage = ControlCode(0x940);
inline constexpr DWORD kEraseBlock = ControlCode(0x950);
static_assert(kReset == 0x9C402400 && kReadId == 0x9C402440 && kReadStatus == 0x9C402480);
static_assert(kReadPage == 0x9C4024C0 && kWritePage == 0x9C402500 && kEraseBlock == 0x9C402540);

inline constexpr DWORD kReadRequestSize = 8;
inline constexpr DWORD kWriteRequestHead = 8;
inline constexpr DWORD kWriteRequestPad = 3;
inline constexpr DWORD kEraseRequestSize = 4;

}  // namespace kestra::platform::ssfdc
