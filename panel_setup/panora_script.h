// Scripted runs of the setup sheet, for tests and screenshots: the environment variable
// KESTRA_PANORA_SCRIPT holds steps separated by ";", run one after another once the sheet is
// open:
//   tab=N          show page N (from 0)
//   grab=FILE      save a picture of the sheet as it is now
//   answer=yes|no  the answer to the next questions (yes when not given)
//   model=NAME     choose a model in the model list
//   version=V      choose a firmware version (as 105)
//   item=N,on|off  check or uncheck the settings list item of setting N
//   network=on|off check box "Enable KesNET Network"
//   clock=on|off   check box "Broadcast Periodic Clock Synchronization Messages"
//   password=TEXT  the upload protection password
//   help           the Help button
//   ok | cancel    end the sheet
#pragma once

#include <string>

namespace kestra::panel {

class CPanelSetupDlg;

inline constexpr const char* kScriptVariable = "KESTRA_PANORA_SCRIPT";

// Runs the script's steps on the sheet from its event loop.
void RunSheetScript(CPanelSetupDlg& sheet, const std::string& script);

}  // namespace kestra::panel
