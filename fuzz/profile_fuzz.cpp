// INI files of any contents: reading every section and key, and writing one key back.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/file_writer.h"
#include "platform/files.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/kestra-profile-fuzz-" + std::to_string(getpid()) + ".ini";
    kestra::platform::WriteWholeFile(path,
                                     std::string_view(reinterpret_cast<const char*>(data), size));

    char sections[512];
    GetPrivateProfileSectionNames(sections, sizeof sections, path.c_str());
    for (const char* section = sections; *section; section += std::strlen(section) + 1) {
        char keys[512];
        GetPrivateProfileString(section, nullptr, "", keys, sizeof keys, path.c_str());
        for (const char* key = keys; *key; key += std::strlen(key) + 1) {
            char value[16];
            GetPrivateProfileString(section, key, "", value, sizeof value, path.c_str());
            GetPrivateProfileInt(section, key, 0, path.c_str());
        }
        char lines[64];
        GetPrivateProfileSection(section, lines, sizeof lines, path.c_str());
    }
    WritePrivateProfileString("Fuzz", "Key", "Value", path.c_str());
    char check[8];
    GetPrivateProfileString("Fuzz", "Key", "", check, sizeof check, path.c_str());
    if (std::strcmp(check, "Value") != 0) std::abort();  // a written key must read back
    return 0;
}
