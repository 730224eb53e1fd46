// Where a new workbench window goes: where the last one was left, but moved on down and to the
// right past every workbench window that is open there now, in this program or in another one,
// so that no window opens exactly over another. Each window notes its place in the user's
// settings while it is open, with its program's process number: the notes of a program that
// ended without taking them back are dropped when they are read.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kestra::workbench {

// How far each window of a cascade stands from the one before.
inline constexpr int kCascadeStep = 32;

// The first place of the cascade from `wanted` (a step right and down each time) where no place
// of `taken` is less than a step away across and down, for a window of `size` (a window frame's
// title bar, which some window systems count in a window's place and some do not, stays within
// a step). A cascade that would take the
// window past the right or bottom edge of `room` starts again at the top of the room, a step
// further right each round; `wanted` when no place is free.
QPoint CascadedPlace(QPoint wanted, QSize size, const QList<QPoint>& taken, const QRect& room,
                     int step = kCascadeStep);

// Moves `window`, about to be shown, clear of the workbench windows that are open now, and from
// then on notes its place while it is open.
void PlaceApart(QWidget& window);
// Whether `window` stands where the cascade put it, away from where it wanted to be: the place
// it keeps for the next start is not that one then, or the windows would walk across the screen
// from one start to the next.
bool PlacedByCascade(const QWidget& window);

}  // namespace kestra::workbench
