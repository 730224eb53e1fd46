// Where a viewer puts a picture in its frame: fitting a picture into a frame keeping its
// proportions, and placing it at its own size.
#pragma once

#include <QRect>
#include <QSize>

namespace kestra::kxc {

// The image rectangle fitted into the frame: a picture narrower than the frame keeps its width
// and is centred across; a wider one takes the frame's width and its height scales with it. A
// height that is still less than the frame's is centred down; otherwise it takes the frame's
// height and the width scales from the picture's. An empty picture or frame gives an empty
// rectangle at the frame's corner.
QRect CenterRects(QSize image, const QRect& frame);

// The largest size with the picture's proportions that fits in `box` (each side at least one
// pixel); an empty size when the picture or the box is empty.
QSize FitKeepingProportions(QSize image, QSize box);

// Where a picture of its own size sits in a client area of `client`: paint-size modes 1 and 3
// fit it (CenterRects); the others centre it in each dimension where it is smaller and put it
// at 0 otherwise, its bottom-right corner staying the client's.
QRect CenterImage(QSize image, QSize client, int paintSizeMode);

}  // namespace kestra::kxc
