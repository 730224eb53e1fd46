// What the editing window's commands tell the user: warnings and questions in the program's
// message boxes, and the wait cursor of a long step.
#pragma once

#include <QApplication>
#include <string>

#include "platform/message_box.h"

namespace clavon {

inline void Warn(const std::string& text) {
    MessageBox(nullptr, text.c_str(), "Clavon", MB_OK | MB_ICONEXCLAMATION);
}

// A question whose answer "No" is the default, for steps that cannot be undone.
inline bool Agrees(const std::string& question, const char* caption = "Clavon") {
    return MessageBox(nullptr, question.c_str(), caption,
                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

class WaitCursor {
  public:
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor) {
        QApplication::setOverrideCursor(shape);
    }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace clavon
