// K32FABUTIL1 project languages: the default language's text sets.
//
// While a project is in memory its pages and resources hold the texts of the language being
// shown, and language entry 0 keeps the default language's texts as text sets: set 1 with one
// entry per page, set 2 with one entry per resource slot. The entries share the blobs of the
// pages and resources; they are not copies.
#pragma once

#include "platform/win_types.h"

extern "C" {

// Builds language entry 0's text sets from the pages and resources. 1 when done or when the
// project has one language; 0 when an allocation fails.
BOOL DefaultToMultiLang(void* project);
// Puts language entry 0's texts back into the pages and resources. 1 when done or when the
// project has one language; 0 when entry 0 lacks a set it needs.
BOOL MultiLangToDefault(void* project);
// Appends one line per language of the project's table to the list box, in table order: the
// language's name as the string table service formats it, or an empty line for a language
// without a name. The first and last arguments are not used.
BOOL InitLangListBox(DWORD reserved, HWND listBox, void* project, void* destination);

}  // extern "C"
