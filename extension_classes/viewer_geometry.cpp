#include "extension_classes/viewer_geometry.h"

#include <algorithm>
#include <cstdint>

namespace kestra::kxc {
namespace {

// a * b / c in 64 bits, rounded to the nearest integer as the platform's multiply-divide does.
int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const int64_t product = int64_t(a) * b;
    const int64_t half = (c > 0 ? c : -c) / 2;
    return int((product + (product >= 0 ? half : -half)) / c);
}

}  // namespace

QRect CenterRects(QSize image, const QRect& frame) {
    const int fw = frame.width();
    const int fh = frame.height();
    if (image.width() <= 0 || image.height() <= 0 || fw <= 0 || fh <= 0)
        return QRect(frame.topLeft(), QSize(0, 0));
    int x = 0, y = 0, w, h;
    if (image.width() < fw) {
        w = image.width();
        h = image.height();
        x = (fw - w) / 2;
    } else {
        w = fw;
        h = MulDiv(image.height(), fw, image.width());
    }
    if (h < fh) {
        y = (fh - h) / 2;
    } else {
        h = fh;
        w = MulDiv(image.width(), fh, image.height());
        x = (fw - w) / 2;
    }
    return QRect(frame.left() + x, frame.top() + y, w, h);
}

QSize FitKeepingProportions(QSize image, QSize box) {
    if (image.width() <= 0 || image.height() <= 0 || box.width() <= 0 || box.height() <= 0)
        return {};
    // The picture is relatively taller than the box when iw / ih <= bw / bh.
    if (int64_t(image.width()) * box.height() <= int64_t(image.height()) * box.width())
        return QSize(std::max(1, MulDiv(image.width(), box.height(), image.height())),
                     box.height());
    return QSize(box.width(), std::max(1, MulDiv(image.height(), box.width(), image.width())));
}

QRect CenterImage(QSize image, QSize client, int paintSizeMode) {
    if (paintSizeMode == 1 || paintSizeMode == 3)
        return CenterRects(image, QRect(QPoint(0, 0), client));
    const int left = image.width() < client.width() ? (client.width() - image.width()) / 2 : 0;
    const int top = image.height() < client.height() ? (client.height() - image.height()) / 2 : 0;
    return QRect(QPoint(left, top), QPoint(client.width() - 1, client.height() - 1));
}

}  // namespace kestra::kxc
