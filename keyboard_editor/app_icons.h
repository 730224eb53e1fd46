// The icons of the keyboard editor: its own (a keyboard, as the desktop entry's icon shows it)
// and those of its commands, taken from the desktop's icon theme and drawn here when the theme
// has none.
#pragma once

#include <QIcon>

namespace clavon {

QIcon ApplicationIcon();
// The icon of a command of the menus and the toolbar; a null icon for a command without one.
QIcon CommandIcon(int id);

}  // namespace clavon
