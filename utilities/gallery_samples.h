// Sample data for dialog-gallery: each function opens one dialog, owned by `owner`, with data
// of its own and prints what the dialog left in it.
#pragma once

#include "windows/window.h"

INT_PTR OpenSampleTagSelection(HWND owner);
INT_PTR OpenSamplePasswords(HWND owner);
INT_PTR OpenSampleMatrix(HWND owner);
