#include "windows/qt/template_places.h"

#include <QWidget>
#include <cstring>

namespace kestra::platform::qt {

std::vector<ControlPlace> CompareTemplatePlaces(QtHost& host, HWND dialog,
                                                const DialogTemplate& t) {
    std::vector<ControlPlace> places;
    HWND control = GetWindow(dialog, GW_CHILD);
    for (std::size_t i = 0; i < t.itemCount; ++i) {
        const DialogItemTemplate& item = t.items[i];
        RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
        MapDialogRect(dialog, &r);
        ControlPlace place{
            &item, QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), {}, false, false};
        if (QWidget* widget = control ? host.widgetOf(control) : nullptr) {
            place.hasWidget = true;
            place.actual = widget->geometry();
            const bool dropDown = std::strcmp(item.className, "combobox") == 0;
            place.asTemplate = place.actual.topLeft() == place.expected.topLeft() &&
                               place.actual.width() == place.expected.width() &&
                               (dropDown || place.actual.height() == place.expected.height());
        }
        places.push_back(place);
        if (control) control = GetWindow(control, GW_HWNDNEXT);
    }
    return places;
}

}  // namespace kestra::platform::qt
