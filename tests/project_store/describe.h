// A project in memory as text: every section with its bytes, every string identifier as the
// text it stands for, every reference followed. Two projects that hold the same data describe
// alike whatever their blocks and identifiers.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace kestra::testing {

std::string DescribeProject(HGLOBAL project);

}  // namespace kestra::testing
