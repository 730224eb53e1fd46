// The extension library's string resources.
#include <iterator>

#include "extension_classes/kxc_message.h"
#include "platform/module.h"

namespace {

using kestra::platform::StringResource;

constexpr StringResource kStrings[] = {
    {22301, "Name\tDriver Version\tDLL Name\tDLL Version"},
    {22302,
     "You are switching to a different controller. Address information may be lost. Continue ?"},
    {22303, "Can not remove the driver that is currently loaded."},
    {22304,
     "The driver will be removed from this list. \nDo you want to permanently  delete the "
     "driver from the hard disk?"},
    {22307, "%d sec"},
    {22308, "%d msec"},
    {22309, "sS"},
    {22310, "mM"},
};

const kestra::platform::ResourceRegistration kRegistration(&kStrings,
                                                           kestra::platform::ResourceKind::Strings,
                                                           kStrings, std::size(kStrings));

}  // namespace

QString KXCLoadString(UINT id) {
    const char* text = kestra::platform::FindString(kestra::platform::ModuleOf(&kStrings), id);
    return text ? QString::fromUtf8(text) : QString();
}
