// The PLC reference controls shared by the field dialog and its embedded page.
#pragma once

#include "plc_s5/field_context.h"
#include "windows/window.h"

namespace kestra::s5 {

// Refresh codes: bit 2 resets the format and element as a change of data type would.
inline constexpr unsigned kRefreshResetFormat = 0x04;
// The WM_NOTIFY code the page sends its parent after the address box changed.
inline constexpr UINT kAddressChangedNotify = 2561;

// The page's opening: keeps the context with the window and clears the editor's bytes of
// the reference.
void OpenReferencePage(HWND dialog, _tagDEFIELD& context);
// Validates the field against the driver's rules and fills every control the dialog has.
void RefreshFieldControls(HWND dialog, _tagDEFIELD& context, unsigned code);
// The context kept with a dialog or page window.
_tagDEFIELD* FieldContextOf(HWND dialog);
// Reads the edit box that has the focus, as losing the focus would.
void CommitFocusedEdit(HWND dialog);

}  // namespace kestra::s5
