// The editor's character picker behind "&Special chars" of the driver's alarm dialog: a grid
// of the characters a panel can show, one of which is appended to the alarm's message.
//
// The panel's character set is Windows-1252: a project's texts are single bytes of that code
// page (the project's JSON form reads and writes them so), the driver copies a text's bytes
// into the panel image unchanged, and the panel's fonts are laid out by the same bytes. The
// grid shows the printable characters of both halves of the set, each at its byte (row: the
// high hex digit, column: the low one); the control bytes, blanks, the soft hyphen, the delete
// character and the five bytes the code page leaves undefined have no cell.
//
// The alarm dialog calls its callback twice: first with its window, and the picker runs (a
// nonzero answer says a character was picked, and the context's text at offset 28 is then the
// character's text, which the driver appends to the message); then with 0x10000 added to the
// window's handle, after the driver took the text, and the picker lets the text go.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "plc_s5/dialog_contexts.h"

class QWidget;

namespace kestra::workbench {

// Whether the byte has a cell in the grid, and the text the workbench shows for it (as the
// window core's dialogs take texts).
bool IsPanelCharacter(std::uint8_t byte);
std::string PanelCharacterText(std::uint8_t byte);

// Runs the picker over `parent`; the byte picked, nothing after Cancel.
std::optional<std::uint8_t> PickPanelCharacter(QWidget* parent);

// Gives an alarm dialog context its "&Special chars" callback while it lives.
class AlarmCharacterPicker {
  public:
    explicit AlarmCharacterPicker(ALARMDLGCONTEXT& context);
    ~AlarmCharacterPicker();
    AlarmCharacterPicker(const AlarmCharacterPicker&) = delete;
    AlarmCharacterPicker& operator=(const AlarmCharacterPicker&) = delete;

  private:
    static BOOL Pick(HWND dialog);

    ALARMDLGCONTEXT& context_;
    HWND picking_ = nullptr;  // the dialog of the first call, until the second
    std::string text_;
    AlarmCharacterPicker* previous_;
    static inline AlarmCharacterPicker* active_ = nullptr;
};

}  // namespace kestra::workbench
