// Private-profile (INI file) access with the behaviour of the Windows functions.
//
// Section and key names compare without regard to letter case and to surrounding blanks.
// A file name without a folder resolves in the Windows folder (platform/files.h). Lines
// starting with ";" are comments. Values lose surrounding blanks and one pair of matching
// quotes. Lists (section names, key names, section contents) come as texts each ended by a
// zero, with one more zero after the last. Writing keeps every other line of the file as it
// was (comments included) and replaces the file atomically.
#pragma once

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kestra::platform {
// Where a profile file name resolves: a bare name in the Windows folder, otherwise the
// name as given ("\" taken as "/").
std::string ProfilePath(const char* fileName);
// The number at the start of a profile value: decimal, or hexadecimal after "0x", with an
// optional sign; 0 when the text does not start with a number.
int ParseProfileNumber(std::string_view text);
}  // namespace kestra::platform

// Value of a key; with a null key the section's key names; with a null section the section
// names. Returns the number of characters stored, not counting the terminating zero; when a
// list does not fit, size - 2 (the last name cut, two zeros at the end); when a value does not
// fit, size - 1.
DWORD GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                              char* buffer, DWORD size, const char* fileName);
// A decimal number, or hexadecimal after "0x"; the default when the key is missing, 0 when the
// value does not start with a number.
UINT GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                          const char* fileName);
// The section's "key=value" lines as a list.
DWORD GetPrivateProfileSection(const char* section, char* buffer, DWORD size, const char* fileName);
DWORD GetPrivateProfileSectionNames(char* buffer, DWORD size, const char* fileName);

// Sets a key; a null value deletes the key, a null key deletes the section.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* fileName);
// Replaces the section's contents with the "key=value" lines of the list; a null list deletes
// the section.
BOOL WritePrivateProfileSection(const char* section, const char* lines, const char* fileName);
