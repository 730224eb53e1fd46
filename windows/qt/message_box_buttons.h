// The standard buttons of the Qt message boxes that programs of the suite show, with letters:
// Qt's own texts for them carry none on most desktops, so that a question such as "Save /
// Discard / Cancel" could be answered by Return and Escape only. Each button gets a text that
// marks its letter (Alt with it presses the button), unless its text marks one already.
#pragma once

class QMessageBox;

namespace kestra::platform::qt {

void GiveButtonsLetters(QMessageBox& box);

}  // namespace kestra::platform::qt
