// K32CodeSel: the dialog that picks the Kestra code files to send to a card.
//
// For each of the four code kinds it lists the matching files of the code folder
// (card_files.h: "boot*.bin", "firm*.bin", "mips*.bin", "mser*.bin", with their version
// texts) and "<Do not update>", and shows the version that the card holds. Its buttons:
// "Download" (OK), "Quit" (OK with the quit flag set: the caller ends at once) and "Cancel".
//
// Flags (SetFlags):
//   0x01  choose the newest file (by time of change) of each kind instead of "<Do not update>"
//   0x02  keep "<Do not update>" for a kind whose chosen file has the version the card holds
//
// The dialog is a Qt dialog. It needs a display (or QT_QPA_PLATFORM); without one DoModal
// says so in a message box and returns -1 without showing anything. The header holds no Qt,
// so that console programs link the dialog without compiling against Qt.
#pragma once

#include <memory>
#include <string>

#include "platform/win_types.h"

class CKesSSFDCDevice;

inline constexpr const char* kDoNotUpdate = "<Do not update>";
inline constexpr BYTE CODESEL_NEWEST = 0x01;
inline constexpr BYTE CODESEL_SKIP_SAME_VERSION = 0x02;

class CCodeSelDialog {
  public:
    CCodeSelDialog();
    ~CCodeSelDialog();
    CCodeSelDialog(const CCodeSelDialog&) = delete;
    CCodeSelDialog& operator=(const CCodeSelDialog&) = delete;

    void locateSSFDCDevice(CKesSSFDCDevice* device) { m_device = device; }
    // The code folder; "\" and "/" both separate folders.
    void SetPath(const char* folder) { m_path = folder ? folder : ""; }
    void SetFlags(BYTE flags) { m_flags = flags; }

    // IDOK (1) when confirmed, IDCANCEL (2) when cancelled, -1 when it cannot be shown.
    int DoModal();

    // Set to 1 by "Quit".
    BYTE m_Quit = 0;

    // The chosen file of each kind, with its folder, or "<Do not update>".
    const char* getBootFilename() const { return m_chosen[0].c_str(); }
    const char* getFirmwareFilename() const { return m_chosen[1].c_str(); }
    const char* getMIPSFilename() const { return m_chosen[2].c_str(); }
    const char* getMSERFilename() const { return m_chosen[3].c_str(); }

  private:
    CKesSSFDCDevice* m_device = nullptr;
    std::string m_path;
    BYTE m_flags = 0;
    std::string m_chosen[4] = {kDoNotUpdate, kDoNotUpdate, kDoNotUpdate, kDoNotUpdate};
};
