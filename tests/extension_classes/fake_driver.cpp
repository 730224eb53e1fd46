// A stand-in driver library for the tests: its description strings come from the build
// (FAKE_FIRMWARE and friends; none at all without FAKE_FIRMWARE), and its few exports let a
// test see what the loader passes on. DllMain writes "attach" and "detach" lines to the file
// named by KXC_FAKE_LOG.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "kestra/plc_records.h"
#include "platform/module.h"

namespace {

#ifdef FAKE_FIRMWARE
constexpr kestra::platform::StringResource kStrings[] = {
    {1, FAKE_FIRMWARE},
    {2, FAKE_NAME},
    {3, FAKE_DLL_VERSION},
    {4, FAKE_COMPATIBILITY},
};
const kestra::platform::ResourceRegistration kRegistration(&kStrings,
                                                           kestra::platform::ResourceKind::Strings,
                                                           kStrings, std::size(kStrings));
#endif

int formatLookups = 0;
char lastForthText[64] = "<none>";

void log(const char* line) {
    const char* file = std::getenv("KXC_FAKE_LOG");
    if (!file) return;
    if (FILE* f = std::fopen(file, "a")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
    }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) BOOL DllMain(HMODULE, DWORD reason, void*) {
    log(reason == DLL_PROCESS_ATTACH ? "attach" : "detach");
    return TRUE;
}

// Knows the one format name "FAKE" (identifier 9) and counts how often it is asked.
__attribute__((visibility("default"))) DWORD ExpGetDataFormatIdFromString(const char* text) {
    ++formatLookups;
    return text && std::strcmp(text, "FAKE") == 0 ? 0xABCD0009u : 0xABCD0000u;
}

__attribute__((visibility("default"))) int FakeFormatLookups() {
    return formatLookups;
}

__attribute__((visibility("default"))) BOOL InitForth(const char* text) {
    std::snprintf(lastForthText, sizeof lastForthText, "%s", text ? text : "<null>");
    return 7;
}

__attribute__((visibility("default"))) const char* FakeLastForthText() {
    return lastForthText;
}

// Answers with its arguments, so that a test sees their order.
__attribute__((visibility("default"))) void ExpSetDataFormat(kestra::uPLCADR* ref, DWORD format) {
    if (ref) ref->dataFormat = static_cast<unsigned char>(format);
}

}  // extern "C"
