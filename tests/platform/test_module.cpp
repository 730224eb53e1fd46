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
const kestra::platform::ResourceRegistration kRegistration(
    &kStrings, kestra::platform::ResourceKind::Strings, kStrings, std::size(kStrings));
}  // namespace

extern "C" {
int TestModuleAnswer() { return 42; }
int TestModuleTwice(int v) { return 2 * v; }
int TestModuleUnnumbered() { return 7; }
int TestModuleHidden() { return -1; }  // not in the export list
HMODULE TestModuleSelf() { return KESTRA_THIS_MODULE(); }
}
