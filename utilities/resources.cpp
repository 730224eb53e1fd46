// The library's string resources.
#include <iterator>

#include "platform/module.h"

namespace {

using kestra::platform::StringResource;

constexpr StringResource kStrings[] = {
    {1, "2.00"},  // library version, read by DecodeLibVersion
};

const kestra::platform::ResourceRegistration kRegistration(&kStrings,
                                                           kestra::platform::ResourceKind::Strings,
                                                           kStrings, std::size(kStrings));

}  // namespace
