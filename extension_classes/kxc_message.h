// Message boxes of the extension classes and the programs on them: a QMessageBox with the
// buttons and icon of a Windows box type, answered with IDOK, IDYES, ... A test installs an
// answerer instead.
#pragma once

#include <QString>
#include <functional>

#include "platform/message_box.h"
#include "platform/win_types.h"

class QWidget;

using KXCMessageAnswerer =
    std::function<int(QWidget* parent, const QString& text, const QString& caption, UINT type)>;

// Installs an answerer and returns the previous one; an empty one restores the real boxes.
KXCMessageAnswerer KXCSetMessageAnswerer(KXCMessageAnswerer answerer);
int KXCMessageBox(QWidget* parent, const QString& text, UINT type,
                  const QString& caption = QString());

// The extension library's own string resource, empty when it does not exist.
QString KXCLoadString(UINT id);
