// Sample data for dialog-gallery: each function opens one dialog with data of its own and
// prints what the dialog left in it.
#pragma once

#include "windows/window.h"

INT_PTR OpenSampleTagSelection();
INT_PTR OpenSamplePasswords();
INT_PTR OpenSampleMatrix();
