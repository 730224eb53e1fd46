// A module with string resources and a dialog of list controls, for the list helpers.
#include <iterator>

#include "platform/module.h"
#include "windows/dialog.h"

namespace {

constexpr kestra::platform::StringResource kStrings[] = {
    {300, "Alpha"},
    {301, "Beta"},
    {302, "Gamma"},
    {303, "An item text that runs on for quite a bit longer than sixty characters"},
};
const kestra::platform::ResourceRegistration kStringRegistration(
    &kStrings, kestra::platform::ResourceKind::Strings, kStrings, std::size(kStrings));

constexpr DialogItemTemplate kItems[] = {
    {10, "combobox", "", 4, 4, 80, 60, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST},
    {11, "listbox", "", 4, 20, 80, 40, WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY},
    {12, "edit", "some text", 4, 64, 80, 12, WS_VISIBLE | WS_TABSTOP},
    {13, "button", "Details >>", 90, 4, 50, 14, WS_VISIBLE | WS_TABSTOP},
    {14, "static", "", 4, 80, 136, 20, WS_VISIBLE | SS_ETCHEDFRAME},
};
constexpr DialogTemplate kDialogs[] = {
    {"LISTS", 0, "Lists", 0, 0, 200, 160, WS_POPUP | WS_CAPTION | DS_MODALFRAME, nullptr, 0, kItems,
     std::size(kItems)},
};
const kestra::platform::ResourceRegistration kDialogRegistration(
    &kDialogs, kestra::platform::ResourceKind::Dialogs, kDialogs, std::size(kDialogs));

}  // namespace

extern "C" HMODULE ListTestModuleSelf() {
    return KESTRA_THIS_MODULE();
}
