// K32FABUTIL1: the utilities library's exports, one header per topic.
#pragma once

#include "utilities/services.h"
#include "utilities/folders.h"
#include "utilities/languages.h"
#include "utilities/tags.h"
