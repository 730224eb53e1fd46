// K32FABUTIL1 shared services: host allocator, pointer helpers, tokenizer, number lists,
// version texts, font record conversions, INI and help file location, the directory-chain
// file search and device-independent bitmaps.
#pragma once

#include <cstdint>

#include "platform/memory.h"
#include "platform/win_types.h"

extern "C" {

// The host's allocator: a byte count in, a block reference out (0 on failure).
using APPFMALLOC = kestra::mem::HostAllocFn;

APPFMALLOC SetAppFmalloc(APPFMALLOC allocator);
APPFMALLOC GetAppFmalloc();

void* GetFarPtrFromHuge(void* base, DWORD offset);
void* ChangeFarPtrBase(void* base, DWORD offset);
BOOL FreeOurFarPtr(void* pointer);

char* GetNextToken(char* destination, char** cursor, const char* delimiters, int maxLength);
int GetIniRangeNumbers(const char* file, const char* section, const char* key,
                       const char* defaultText, int* values, int count);
DWORD DecodeLibVersion(HMODULE module);

void* LogFont32to16(const void* font);
void* LogFont16to32(const void* font);

BOOL FindFile(char* name, int size, DWORD reserved);
BOOL GetIniFileName(HMODULE module, char* buffer, int size);
BOOL GetHelpFileName(HMODULE module, char* buffer, int size);
int FindFirst(HMODULE module, char* path, DWORD userValue, DWORD mode);
int FindNext(char* path);
void FileFindInterrupt();

WORD DIBNumColors(const void* header);
WORD PaletteSize(const void* header);
DWORD DIBWidth(const void* header);
DWORD DIBHeight(const void* header);
char* FindDIBBits(const void* header);
HGLOBAL CreateDIB(DWORD width, DWORD height, WORD bitCount);

}  // extern "C"

// FindFirst / FindNext results.
inline constexpr int kFindFound = 0;
inline constexpr int kFindNone = 1;
// FindFirst mode: the low 15 bits are the first stage; this bit keeps the search to it.
inline constexpr DWORD kFindSingleStage = 0x8000;
