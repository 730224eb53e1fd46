// Records the project editor hands the driver's setup and alarm dialogs. Like the field
// dialog context, their members follow the editor's order as native members; bytes the
// editor keeps for itself are not named.
#pragma once

#include <cstdint>

#include "kestra/project.h"
#include "platform/win_types.h"

using HWND = struct HWND__*;

extern "C" {

// Setup dialog context, owned by the editor.
struct PLCSETUPDLGCONTEXT {
    HMODULE editorModule;  // its string 101 captions the model-change question
    kestra::FieldRecord* field;
    kestra::ProjectBlock* project;  // the project record the dialog resets
    std::uint16_t defaultSlaveAddress;
    kestra::uPLCSETUP setup;        // the PLC setup block being edited
    std::uint32_t flags;            // bit 0: the PLC network is fixed by the editor
    const char* const* commParams;  // the communication parameters' baud texts
    std::uint32_t projectOpen;      // nonzero: a project is open
};

// The alarm dialog's callbacks.
using ALARMSPECIALPROC = BOOL (*)(HWND dialog);
using ALARMOPENPROC = BOOL (*)(HWND dialog);

// Alarm dialog context, owned by the editor.
struct ALARMDLGCONTEXT {
    ALARMSPECIALPROC specialChars;  // picks a character; called twice, see the alarm dialog
    ALARMOPENPROC allowOpen;        // 0 ends the dialog as it opens
    const void* editorRecord;       // message font handle at 1508, s16 length limit at 154
    std::uint8_t* workBuffer;       // set by the driver
    void* alarmTable;               // the locked alarm table, set by the driver
    kestra::ProjectBlock* project;  // alarm count at record offset 448, table handle at 450
    const char* specialText;        // the text of the picked special character
};

}  // extern "C"

namespace kestra::s5 {

inline constexpr std::uint32_t kSetupNetworkFixed = 0x01;
inline constexpr std::uint32_t kEditorCaptionString = 101;

// Offsets in the editor record of the alarm dialog.
inline constexpr std::size_t kEditorFontOffset = 1508;
inline constexpr std::size_t kEditorLengthLimitOffset = 154;

}  // namespace kestra::s5
