// K32FABUTIL1: the utilities library's exports, one header per topic.
#pragma once

#include "utilities/comm_params.h"
#include "utilities/controls.h"
#include "utilities/dialog_helpers.h"
#include "utilities/folders.h"
#include "utilities/languages.h"
#include "utilities/matrix_editor.h"
#include "utilities/passwords.h"
#include "utilities/services.h"
#include "utilities/tag_select.h"
#include "utilities/tags.h"
#include "utilities/tree_draw.h"
