// A small module with string resources and numbered exports.
#include <iterator>

#include "platform/module.h"

namespace {
constexpr kestra::platform::StringResource kStrings[] = {
    {1, "5.01"},
    {100, "first item"},
    {101, "second item"},
    {102, "third item"},
    {200, "a rather long string resource text"},
};
const kestra::platform::ResourceRegistration kRegistration(&kStrings,
                                                           kestra::platform::ResourceKind::Strings,
                                                           kStrings, std::size(kStrings));
}  // namespace

// The entry point refuses to attach while the refusal flag is set, and counts its calls.
int attachCalls = 0;
int detachCalls = 0;
bool refuseAttach = false;

extern "C" {
BOOL DllMain(HMODULE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        ++attachCalls;
        return refuseAttach ? FALSE : TRUE;
    }
    ++detachCalls;
    return TRUE;
}
void TestModuleEntryCalls(int* attach, int* detach) {
    *attach = attachCalls;
    *detach = detachCalls;
}
void TestModuleRefuseAttach(bool refuse) {
    refuseAttach = refuse;
}
int TestModuleAnswer() {
    return 42;
}
int TestModuleTwice(int v) {
    return 2 * v;
}
int TestModuleUnnumbered() {
    return 7;
}
int TestModuleHidden() {
    return -1;
}  // not in the export list
HMODULE TestModuleSelf() {
    return KESTRA_THIS_MODULE();
}
}
