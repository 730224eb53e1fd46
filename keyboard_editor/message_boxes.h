// The program's message boxes: the texts of the model, the card code and the commands shown as
// Qt message boxes over the active window, with the icon and the default button they ask for.
#pragma once

#include <QMessageBox>
#include <memory>
#include <string_view>

#include "platform/message_box.h"

namespace clavon {

// The box for a MessageBox call (MB_ type bits), not yet shown.
std::unique_ptr<QMessageBox> MakeMessageBox(std::string_view text, std::string_view caption,
                                            UINT type);
// Shows MessageBox calls of the whole program this way.
void InstallMessageBoxes();

}  // namespace clavon
