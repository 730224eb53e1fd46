// The standard controls' window procedures.
#include "windows/controls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "platform/message_box.h"
#include "windows/canvas.h"
#include "windows/clipboard.h"
#include "windows/input.h"
#include "windows/window_host.h"
#include "windows/window_object.h"

namespace kestra::platform {
namespace {

using detail::Changed;
using detail::Notify;

// --- UTF-8 text positions -------------------------------------------------------------------

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

int nextBoundary(const std::string& text, int at) {
    if (at >= static_cast<int>(text.size())) return static_cast<int>(text.size());
    ++at;
    while (at < static_cast<int>(text.size()) && continuation(text[static_cast<std::size_t>(at)]))
        ++at;
    return at;
}

int previousBoundary(const std::string& text, int at) {
    if (at <= 0) return 0;
    --at;
    while (at > 0 && continuation(text[static_cast<std::size_t>(at)])) --at;
    return at;
}

int charCount(std::string_view text) {
    return static_cast<int>(
        std::count_if(text.begin(), text.end(), [](char c) { return !continuation(c); }));
}

// Byte offset of a character index (clamped to the text).
int byteOffset(const std::string& text, LONG_PTR index) {
    if (index < 0) return static_cast<int>(text.size());
    int at = 0;
    for (LONG_PTR i = 0; i < index && at < static_cast<int>(text.size()); ++i)
        at = nextBoundary(text, at);
    return at;
}

int charIndex(const std::string& text, int offset) {
    return charCount(std::string_view(text).substr(0, static_cast<std::size_t>(offset)));
}

std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x110000) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

bool sameText(std::string_view a, std::string_view b, std::size_t length) {
    if (a.size() < length || b.size() < length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// --- items of list and combo boxes ----------------------------------------------------------

bool hasStrings(HWND window) {
    DWORD ownerDraw = window->kind == ControlKind::ListBox
                          ? (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)
                          : 0x0030;  // CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE
    DWORD strings = window->kind == ControlKind::ListBox ? LBS_HASSTRINGS : CBS_HASSTRINGS;
    return !(window->style & ownerDraw) || (window->style & strings);
}

bool sorted(HWND window) {
    return (window->style & (window->kind == ControlKind::ListBox ? LBS_SORT : CBS_SORT)) &&
           hasStrings(window);
}

ListItem makeItem(HWND window, LPARAM value) {
    ListItem item;
    if (hasStrings(window))
        item.text = value ? reinterpret_cast<const char*>(value) : "";
    else
        item.data = static_cast<ULONG_PTR>(value);
    return item;
}

LRESULT insertItem(HWND window, LONG_PTR index, LPARAM value, bool add) {
    auto& items = window->control.items;
    ListItem item = makeItem(window, value);
    std::size_t at = items.size();
    if (add && sorted(window)) {
        at = static_cast<std::size_t>(
            std::upper_bound(items.begin(), items.end(), item,
                             [](const ListItem& a, const ListItem& b) {
                                 return std::lexicographical_compare(
                                     a.text.begin(), a.text.end(), b.text.begin(), b.text.end(),
                                     [](char x, char y) {
                                         return std::tolower(static_cast<unsigned char>(x)) <
                                                std::tolower(static_cast<unsigned char>(y));
                                     });
                             }) -
            items.begin());
    } else if (!add && index >= 0) {
        if (static_cast<std::size_t>(index) > items.size()) return LB_ERR;
        at = static_cast<std::size_t>(index);
    }
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    if (window->control.current >= static_cast<int>(at)) ++window->control.current;
    Changed(window, Aspect::Items);
    if (window->redraw) InvalidateRect(window, nullptr, TRUE);
    return static_cast<LRESULT>(at);
}

LRESULT deleteItem(HWND window, WPARAM index) {
    auto& c = window->control;
    if (index >= c.items.size()) return LB_ERR;
    c.items.erase(c.items.begin() + static_cast<std::ptrdiff_t>(index));
    if (c.current == static_cast<int>(index))
        c.current = -1;
    else if (c.current > static_cast<int>(index))
        --c.current;
    c.top = std::clamp(c.top, 0, std::max(0, static_cast<int>(c.items.size()) - 1));
    Changed(window, Aspect::Items);
    if (window->redraw) InvalidateRect(window, nullptr, TRUE);
    return static_cast<LRESULT>(c.items.size());
}

void resetItems(HWND window) {
    window->control.items.clear();
    window->control.current = -1;
    window->control.top = 0;
    Changed(window, Aspect::Items);
    if (window->redraw) InvalidateRect(window, nullptr, TRUE);
}

LRESULT findItem(HWND window, WPARAM start, LPARAM value, bool exact) {
    const auto& items = window->control.items;
    if (items.empty()) return LB_ERR;
    std::size_t n = items.size();
    std::size_t first = (static_cast<LONG_PTR>(start) < 0 || start >= n) ? 0 : start + 1;
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t i = (first + k) % n;
        if (!hasStrings(window)) {
            if (items[i].data == static_cast<ULONG_PTR>(value)) return static_cast<LRESULT>(i);
            continue;
        }
        std::string_view wanted = value ? reinterpret_cast<const char*>(value) : "";
        const std::string& text = items[i].text;
        bool match = exact ? (text.size() == wanted.size() && sameText(text, wanted, wanted.size()))
                           : sameText(text, wanted, wanted.size());
        if (match) return static_cast<LRESULT>(i);
    }
    return LB_ERR;
}

LRESULT copyItemText(HWND window, WPARAM index, LPARAM buffer) {
    const auto& items = window->control.items;
    if (index >= items.size() || !buffer) return LB_ERR;
    if (!hasStrings(window)) {
        std::memcpy(reinterpret_cast<void*>(buffer), &items[index].data, sizeof(ULONG_PTR));
        return sizeof(ULONG_PTR);
    }
    const std::string& text = items[index].text;
    std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
    return static_cast<LRESULT>(text.size());
}

int visibleItems(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    int height = std::max(1, window->control.itemHeight);
    return std::max(1, static_cast<int>(client.bottom) / height);
}

void scrollIntoView(HWND window, int index) {
    auto& c = window->control;
    if (index < 0) return;
    int visible = visibleItems(window);
    if (index < c.top) c.top = index;
    if (index >= c.top + visible) c.top = index - visible + 1;
}

// Selects an item (nothing for -1 or an index out of range); returns the index or LB_ERR.
LRESULT selectItem(HWND window, WPARAM index) {
    auto& c = window->control;
    auto wanted = static_cast<LONG_PTR>(index);
    bool valid = wanted >= 0 && wanted < static_cast<LONG_PTR>(c.items.size());
    c.current = valid ? static_cast<int>(wanted) : -1;
    scrollIntoView(window, c.current);
    if (window->kind == ControlKind::ComboBox)
        window->text = valid ? c.items[static_cast<std::size_t>(c.current)].text : "";
    Changed(window, Aspect::State);
    if (window->redraw) InvalidateRect(window, nullptr, TRUE);
    return valid ? wanted : LB_ERR;
}

int defaultItemHeight(HWND window) {
    return CurrentWindowHost().measuringSurface().textMetrics(FontRecord(window->font)).tmHeight;
}

// --- buttons --------------------------------------------------------------------------------

DWORD buttonType(HWND window) {
    return window->style & BS_TYPEMASK;
}

bool isRadio(HWND window) {
    DWORD type = buttonType(window);
    return window->kind == ControlKind::Button &&
           (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

void setCheck(HWND window, UINT check) {
    if (window->control.check == check) return;
    window->control.check = check;
    Changed(window, Aspect::State);
    InvalidateRect(window, nullptr, FALSE);
}

void clickAction(HWND window) {
    switch (buttonType(window)) {
        case BS_AUTOCHECKBOX:
            setCheck(window, window->control.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
            break;
        case BS_AUTO3STATE:
            setCheck(window, (window->control.check + 1) % 3);
            break;
        case BS_AUTORADIOBUTTON:
            for (HWND member : detail::GroupMembers(window))
                if (member != window && isRadio(member) && buttonType(member) == BS_AUTORADIOBUTTON)
                    SendMessage(member, BM_SETCHECK, BST_UNCHECKED, 0);
            SendMessage(window, BM_SETCHECK, BST_CHECKED, 0);
            break;
        default:
            break;
    }
    Notify(window, BN_CLICKED);
}

bool pointInClient(HWND window, LPARAM point) {
    RECT client;
    GetClientRect(window, &client);
    return PtInRect(&client, {GET_X_LPARAM(point), GET_Y_LPARAM(point)});
}

// --- edits ----------------------------------------------------------------------------------

struct Selection {
    int from, to;
};

Selection selectionOf(HWND window) {
    const auto& c = window->control;
    return {std::min(c.selStart, c.selEnd), std::max(c.selStart, c.selEnd)};
}

void setSelection(HWND window, int anchor, int caret) {
    window->control.selStart = anchor;
    window->control.selEnd = caret;
    Changed(window, Aspect::State);
}

void textEdited(HWND window) {
    window->control.modified = true;
    Changed(window, Aspect::Text);
    Notify(window, EN_UPDATE);
    Notify(window, EN_CHANGE);
}

// Replaces the selection with `insert`, within the text limit; false when it does not fit.
bool replaceSelection(HWND window, std::string_view insert, bool limited) {
    auto& text = window->text;
    Selection s = selectionOf(window);
    int kept = charCount(text) -
               charCount(std::string_view(text).substr(static_cast<std::size_t>(s.from),
                                                       static_cast<std::size_t>(s.to - s.from)));
    if (limited && kept + charCount(insert) > window->control.limit) {
        Notify(window, EN_MAXTEXT);
        return false;
    }
    text.replace(static_cast<std::size_t>(s.from), static_cast<std::size_t>(s.to - s.from), insert);
    int caret = s.from + static_cast<int>(insert.size());
    setSelection(window, caret, caret);
    textEdited(window);
    return true;
}

void deleteAround(HWND window, bool forward) {
    Selection s = selectionOf(window);
    if (s.from == s.to) {
        if (forward)
            s.to = nextBoundary(window->text, s.to);
        else
            s.from = previousBoundary(window->text, s.from);
        if (s.from == s.to) return;
        setSelection(window, s.from, s.to);
    }
    replaceSelection(window, "", false);
}

void editChar(HWND window, char32_t c) {
    auto& control = window->control;
    switch (c) {
        case 0x01:
            setSelection(window, 0, static_cast<int>(window->text.size()));
            return;
        case 0x03:
            SendMessage(window, WM_COPY, 0, 0);
            return;
        case 0x16:
            SendMessage(window, WM_PASTE, 0, 0);
            return;
        case 0x18:
            SendMessage(window, WM_CUT, 0, 0);
            return;
        case 0x08:
            if (control.readOnly)
                MessageBeep(0);
            else
                deleteAround(window, false);
            return;
        default:
            break;
    }
    if (c < 0x20) return;
    if (control.readOnly || ((window->style & ES_NUMBER) && (c < '0' || c > '9'))) {
        MessageBeep(0);
        return;
    }
    if ((window->style & ES_UPPERCASE) && c < 0x80)
        c = static_cast<char32_t>(std::toupper(static_cast<int>(c)));
    if (!replaceSelection(window, utf8(c), true)) MessageBeep(0);
}

void editKey(HWND window, WPARAM key) {
    const std::string& text = window->text;
    auto& c = window->control;
    bool extend = GetKeyState(VK_SHIFT) < 0;
    int caret = c.selEnd;
    switch (key) {
        case VK_LEFT:
            if (!extend && c.selStart != c.selEnd)
                caret = selectionOf(window).from;
            else
                caret = previousBoundary(text, caret);
            break;
        case VK_RIGHT:
            if (!extend && c.selStart != c.selEnd)
                caret = selectionOf(window).to;
            else
                caret = nextBoundary(text, caret);
            break;
        case VK_HOME:
            caret = 0;
            break;
        case VK_END:
            caret = static_cast<int>(text.size());
            break;
        case VK_DELETE:
            if (c.readOnly)
                MessageBeep(0);
            else
                deleteAround(window, true);
            return;
        default:
            return;
    }
    setSelection(window, extend ? c.selStart : caret, caret);
}

void copySelection(HWND window) {
    Selection s = selectionOf(window);
    if (s.from == s.to || (window->style & ES_PASSWORD)) return;
    SetClipboardText(window->text.substr(static_cast<std::size_t>(s.from),
                                         static_cast<std::size_t>(s.to - s.from)));
}

// --- painting -------------------------------------------------------------------------------

void paintListBox(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    auto& c = window->control;
    RECT client;
    GetClientRect(window, &client);
    int height = std::max(1, c.itemHeight);
    bool ownerDraw = window->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE);
    bool focused = GetFocus() == window;
    HWND parent = window->parent;
    auto drawItem = [&](UINT item, UINT action, UINT state, RECT rect, ULONG_PTR data) {
        DRAWITEMSTRUCT draw{
            ODT_LISTBOX, static_cast<UINT>(window->id), item, action, state, window, dc, rect,
            data};
        SendMessage(parent, WM_DRAWITEM, window->id, reinterpret_cast<LPARAM>(&draw));
    };
    if (c.items.empty() && ownerDraw && focused)
        drawItem(static_cast<UINT>(-1), ODA_FOCUS, ODS_FOCUS, {0, 0, client.right, height}, 0);
    for (int i = c.top; i < static_cast<int>(c.items.size()); ++i) {
        RECT rect{0, (i - c.top) * height, client.right, (i - c.top + 1) * height};
        if (rect.top >= client.bottom) break;
        bool selected = i == c.current;
        const ListItem& item = c.items[static_cast<std::size_t>(i)];
        if (ownerDraw) {
            UINT state = (selected ? ODS_SELECTED : 0) | (selected && focused ? ODS_FOCUS : 0) |
                         (window->style & WS_DISABLED ? ODS_DISABLED : 0);
            drawItem(static_cast<UINT>(i), ODA_DRAWENTIRE, state, rect, item.data);
            continue;
        }
        SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        ExtTextOut(dc, rect.left + 2, rect.top, ETO_OPAQUE | ETO_CLIPPED, &rect, item.text.c_str(),
                   static_cast<UINT>(item.text.size()), nullptr);
        if (selected && focused) DrawFocusRect(dc, &rect);
    }
    EndPaint(window, &paint);
}

}  // namespace

namespace detail {

std::vector<HWND> GroupMembers(HWND control) {
    std::vector<HWND> members;
    if (!Live(control) || !control->isChild() || !Live(control->parent)) return {control};
    const auto& siblings = control->parent->children;
    auto at = std::find(siblings.begin(), siblings.end(), control);
    auto start = at;
    while (start != siblings.begin() && !((*start)->style & WS_GROUP)) --start;
    for (auto it = start; it != siblings.end(); ++it) {
        if (it != start && ((*it)->style & WS_GROUP)) break;
        members.push_back(*it);
    }
    return members;
}

LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window)) return 0;
    auto& c = window->control;
    switch (message) {
        case WM_NCCREATE:
            window->kind = ControlKind::Button;
            break;
        case WM_GETDLGCODE:
            switch (buttonType(window)) {
                case BS_DEFPUSHBUTTON:
                    return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
                case BS_PUSHBUTTON:
                    return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
                case BS_RADIOBUTTON:
                case BS_AUTORADIOBUTTON:
                    return DLGC_BUTTON | DLGC_RADIOBUTTON;
                case BS_GROUPBOX:
                    return DLGC_STATIC;
                default:
                    return DLGC_BUTTON;
            }
        case BM_GETCHECK:
            return static_cast<LRESULT>(c.check);
        case BM_SETCHECK: {
            DWORD type = buttonType(window);
            if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_GROUPBOX)
                setCheck(window, static_cast<UINT>(wParam > 2 ? BST_CHECKED : wParam));
            return 0;
        }
        case BM_GETSTATE:
            return static_cast<LRESULT>(c.check) | (c.pushed ? BST_PUSHED : 0) |
                   (GetFocus() == window ? BST_FOCUS : 0);
        case BM_SETSTATE:
            if (c.pushed != (wParam != 0)) {
                c.pushed = wParam != 0;
                Changed(window, Aspect::State);
                InvalidateRect(window, nullptr, FALSE);
            }
            return 0;
        case BM_SETSTYLE:
            window->style =
                (window->style & ~BS_TYPEMASK) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
            Changed(window, Aspect::Style);
            return 0;
        case BM_CLICK: {
            if (!IsWindowEnabled(window)) return 0;
            RECT client;
            GetClientRect(window, &client);
            LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
            SendMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, middle);
            SendMessage(window, WM_LBUTTONUP, 0, middle);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (buttonType(window) == BS_GROUPBOX) return 0;
            SetFocus(window);
            SetCapture(window);
            SendMessage(window, BM_SETSTATE, TRUE, 0);
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == window)
                SendMessage(window, BM_SETSTATE, pointInClient(window, lParam) ? TRUE : FALSE, 0);
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() != window) return 0;
            ReleaseCapture();
            SendMessage(window, BM_SETSTATE, FALSE, 0);
            if (Live(window) && pointInClient(window, lParam)) clickAction(window);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) SendMessage(window, BM_SETSTATE, TRUE, 0);
            return 0;
        case WM_KEYUP:
            if (wParam == VK_SPACE && c.pushed) {
                SendMessage(window, BM_SETSTATE, FALSE, 0);
                if (Live(window)) clickAction(window);
            }
            return 0;
        case WM_SETFOCUS:
            if (window->style & BS_NOTIFY) Notify(window, BN_SETFOCUS);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_KILLFOCUS:
            if (c.pushed) SendMessage(window, BM_SETSTATE, FALSE, 0);
            if (window->style & BS_NOTIFY) Notify(window, BN_KILLFOCUS);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_CAPTURECHANGED:
            if (c.pushed && reinterpret_cast<HWND>(lParam) != window)
                SendMessage(window, BM_SETSTATE, FALSE, 0);
            return 0;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window)) return 0;
    auto& c = window->control;
    switch (message) {
        case WM_NCCREATE:
            window->kind = ControlKind::Edit;
            c.readOnly = window->style & ES_READONLY;
            break;
        case WM_SETTEXT:
            DefWindowProc(window, message, wParam, lParam);
            setSelection(window, 0, 0);
            c.modified = false;
            Notify(window, EN_UPDATE);
            Notify(window, EN_CHANGE);
            return TRUE;
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS |
                   ((window->style & ES_MULTILINE) ? DLGC_WANTALLKEYS : 0);
        case EM_GETSEL: {
            Selection s = selectionOf(window);
            auto from = static_cast<DWORD>(charIndex(window->text, s.from));
            auto to = static_cast<DWORD>(charIndex(window->text, s.to));
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = from;
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = to;
            return static_cast<LRESULT>(MAKELPARAM(static_cast<int>(std::min<DWORD>(from, 0xFFFF)),
                                                   static_cast<int>(std::min<DWORD>(to, 0xFFFF))) &
                                        0xFFFFFFFF);
        }
        case EM_SETSEL: {
            auto start = static_cast<LONG_PTR>(static_cast<int>(wParam));
            auto end = static_cast<LONG_PTR>(static_cast<int>(lParam));
            if (start == -1) {
                setSelection(window, c.selEnd, c.selEnd);
                return 0;
            }
            setSelection(window, byteOffset(window->text, start), byteOffset(window->text, end));
            return 0;
        }
        case EM_REPLACESEL:
            replaceSelection(window, lParam ? reinterpret_cast<const char*>(lParam) : "", true);
            return 0;
        case EM_LIMITTEXT:
            c.limit = wParam == 0 || wParam > 0x7FFFFFFE ? 0x7FFFFFFE : static_cast<int>(wParam);
            return 0;
        case EM_GETLIMITTEXT:
            return c.limit;
        case EM_SETREADONLY:
            c.readOnly = wParam != 0;
            window->style =
                c.readOnly ? (window->style | ES_READONLY) : (window->style & ~ES_READONLY);
            Changed(window, Aspect::Style);
            return TRUE;
        case EM_GETMODIFY:
            return c.modified ? TRUE : FALSE;
        case EM_SETMODIFY:
            c.modified = wParam != 0;
            return 0;
        case WM_CHAR:
            editChar(window, static_cast<char32_t>(wParam));
            return 0;
        case WM_KEYDOWN:
            editKey(window, wParam);
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(window);
            return 0;
        case WM_SETFOCUS:
            Changed(window, Aspect::State);
            Notify(window, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            Notify(window, EN_KILLFOCUS);
            return 0;
        case WM_COPY:
            copySelection(window);
            return 0;
        case WM_CUT:
            if (c.readOnly) return 0;
            copySelection(window);
            replaceSelection(window, "", false);
            return 0;
        case WM_CLEAR:
            if (!c.readOnly) replaceSelection(window, "", false);
            return 0;
        case WM_PASTE:
            if (c.readOnly) return 0;
            if (auto text = ClipboardText()) {
                std::string line = text->substr(0, text->find_first_of("\r\n"));
                if (!replaceSelection(window, line, true)) MessageBeep(0);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window)) return 0;
    switch (message) {
        case WM_NCCREATE:
            window->kind = ControlKind::Static;
            break;
        case WM_NCHITTEST:
            return (window->style & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_LBUTTONDOWN:
            if (window->style & SS_NOTIFY) Notify(window, 0);  // STN_CLICKED
            return 0;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

LRESULT ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window)) return 0;
    auto& c = window->control;
    auto count = static_cast<int>(c.items.size());
    switch (message) {
        case WM_NCCREATE:
            window->kind = ControlKind::ListBox;
            break;
        case WM_CREATE: {
            c.itemHeight = defaultItemHeight(window);
            if ((window->style & LBS_OWNERDRAWFIXED) && window->parent) {
                MEASUREITEMSTRUCT measure{ODT_LISTBOX, static_cast<UINT>(window->id),   0,
                                          0,           static_cast<UINT>(c.itemHeight), 0};
                SendMessage(window->parent, WM_MEASUREITEM, window->id,
                            reinterpret_cast<LPARAM>(&measure));
                if (measure.itemHeight > 0 && measure.itemHeight < 256)
                    c.itemHeight = static_cast<int>(measure.itemHeight);
            }
            return 0;
        }
        case LB_ADDSTRING:
            return insertItem(window, -1, lParam, true);
        case LB_INSERTSTRING:
            return insertItem(window, static_cast<int>(wParam), lParam, false);
        case LB_DELETESTRING:
            return deleteItem(window, wParam);
        case LB_RESETCONTENT:
            resetItems(window);
            return 0;
        case LB_SETCURSEL:
            return selectItem(window, static_cast<WPARAM>(static_cast<int>(wParam)));
        case LB_GETCURSEL:
            return c.current;
        case LB_GETSEL:
            if (wParam >= c.items.size()) return LB_ERR;
            return static_cast<int>(wParam) == c.current ? 1 : 0;
        case LB_SETSEL:
            return LB_ERR;  // single-selection lists only
        case LB_GETTEXT:
            return copyItemText(window, wParam, lParam);
        case LB_GETTEXTLEN:
            if (wParam >= c.items.size()) return LB_ERR;
            return hasStrings(window) ? static_cast<LRESULT>(c.items[wParam].text.size())
                                      : static_cast<LRESULT>(sizeof(ULONG_PTR));
        case LB_GETCOUNT:
            return count;
        case LB_GETITEMDATA:
            if (wParam >= c.items.size()) return LB_ERR;
            return static_cast<LRESULT>(c.items[wParam].data);
        case LB_SETITEMDATA:
            if (wParam >= c.items.size()) return LB_ERR;
            c.items[wParam].data = static_cast<ULONG_PTR>(lParam);
            return LB_OKAY;
        case LB_FINDSTRING:
            return findItem(window, wParam, lParam, false);
        case LB_FINDSTRINGEXACT:
            return findItem(window, wParam, lParam, true);
        case LB_SELECTSTRING: {
            LRESULT found = findItem(window, wParam, lParam, false);
            return found == LB_ERR ? LB_ERR : selectItem(window, static_cast<WPARAM>(found));
        }
        case LB_GETTOPINDEX:
            return c.top;
        case LB_SETTOPINDEX:
            if (count == 0 && wParam == 0) return LB_OKAY;
            if (wParam >= c.items.size()) return LB_ERR;
            c.top = static_cast<int>(wParam);
            Changed(window, Aspect::State);
            InvalidateRect(window, nullptr, TRUE);
            return LB_OKAY;
        case LB_SETITEMHEIGHT:
            if (LOWORD(lParam) == 0 || LOWORD(lParam) > 255) return LB_ERR;
            c.itemHeight = LOWORD(lParam);
            Changed(window, Aspect::Items);
            InvalidateRect(window, nullptr, TRUE);
            return LB_OKAY;
        case LB_GETITEMHEIGHT:
            return c.itemHeight;
        case LB_GETITEMRECT: {
            auto* rect = reinterpret_cast<RECT*>(lParam);
            if (!rect || wParam >= c.items.size()) return LB_ERR;
            RECT client;
            GetClientRect(window, &client);
            int y = (static_cast<int>(wParam) - c.top) * c.itemHeight;
            *rect = {0, y, client.right, y + c.itemHeight};
            return 1;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            SetFocus(window);
            int index = c.top + GET_Y_LPARAM(lParam) / std::max(1, c.itemHeight);
            if (index >= 0 && index < count) PickItem(window, index, message == WM_LBUTTONDBLCLK);
            return 0;
        }
        case WM_KEYDOWN: {
            int step = 0;
            switch (wParam) {
                case VK_UP:
                    step = -1;
                    break;
                case VK_DOWN:
                    step = 1;
                    break;
                case VK_PRIOR:
                    step = -visibleItems(window);
                    break;
                case VK_NEXT:
                    step = visibleItems(window);
                    break;
                case VK_HOME:
                    step = -count;
                    break;
                case VK_END:
                    step = count;
                    break;
                default:
                    return 0;
            }
            if (count == 0) return 0;
            int from = c.current < 0 ? (step > 0 ? -1 : count) : c.current;
            PickItem(window, std::clamp(from + step, 0, count - 1));
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (window->style & LBS_NOTIFY)
                Notify(window, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_PAINT:
            paintListBox(window);
            return 0;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

LRESULT ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window)) return 0;
    auto& c = window->control;
    auto count = static_cast<int>(c.items.size());
    switch (message) {
        case WM_NCCREATE:
            window->kind = ControlKind::ComboBox;
            break;
        case CB_ADDSTRING:
            return insertItem(window, -1, lParam, true);
        case CB_INSERTSTRING:
            return insertItem(window, static_cast<int>(wParam), lParam, false);
        case CB_DELETESTRING:
            return deleteItem(window, wParam);
        case CB_RESETCONTENT:
            resetItems(window);
            if ((window->style & 3) == CBS_DROPDOWNLIST) window->text.clear();
            return CB_OKAY;
        case CB_SETCURSEL:
            return selectItem(window, static_cast<WPARAM>(static_cast<int>(wParam)));
        case CB_GETCURSEL:
            return c.current;
        case CB_GETCOUNT:
            return count;
        case CB_GETLBTEXT:
            return copyItemText(window, wParam, lParam);
        case CB_GETLBTEXTLEN:
            if (wParam >= c.items.size()) return CB_ERR;
            return static_cast<LRESULT>(c.items[wParam].text.size());
        case CB_GETITEMDATA:
            if (wParam >= c.items.size()) return CB_ERR;
            return static_cast<LRESULT>(c.items[wParam].data);
        case CB_SETITEMDATA:
            if (wParam >= c.items.size()) return CB_ERR;
            c.items[wParam].data = static_cast<ULONG_PTR>(lParam);
            return CB_OKAY;
        case CB_FINDSTRING:
            return findItem(window, wParam, lParam, false);
        case CB_FINDSTRINGEXACT:
            return findItem(window, wParam, lParam, true);
        case CB_SELECTSTRING: {
            LRESULT found = findItem(window, wParam, lParam, false);
            return found == CB_ERR ? CB_ERR : selectItem(window, static_cast<WPARAM>(found));
        }
        case CB_LIMITTEXT:
            c.limit = wParam ? static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE)) : 0x7FFFFFFE;
            return TRUE;
        case CB_SHOWDROPDOWN:
            return TRUE;
        case WM_KEYDOWN: {
            if (count == 0 || (wParam != VK_UP && wParam != VK_DOWN)) return 0;
            int next = c.current < 0 ? 0 : c.current + (wParam == VK_DOWN ? 1 : -1);
            if (next >= 0 && next < count && next != c.current) PickItem(window, next);
            return 0;
        }
        case WM_CHAR:
            if ((window->style & 3) == CBS_DROPDOWNLIST) return 0;
            if (wParam == VK_BACK) {
                if (!window->text.empty())
                    window->text.erase(static_cast<std::size_t>(
                        previousBoundary(window->text, static_cast<int>(window->text.size()))));
            } else if (wParam >= 0x20 && charCount(window->text) < c.limit) {
                window->text += utf8(static_cast<char32_t>(wParam));
            } else {
                return 0;
            }
            Changed(window, Aspect::Text);
            Notify(window, CBN_EDITCHANGE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN:
            SetFocus(window);
            return 0;
        case WM_SETFOCUS:
            Notify(window, CBN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            Notify(window, CBN_KILLFOCUS);
            return 0;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

LRESULT ScrollBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window)) return 0;
    switch (message) {
        case WM_NCCREATE:
            window->kind = ControlKind::ScrollBar;
            break;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

}  // namespace detail

void PickItem(HWND control, int index, bool doubleClick) {
    if (!detail::Live(control)) return;
    bool list = control->kind == ControlKind::ListBox;
    if (!list && control->kind != ControlKind::ComboBox) return;
    if (index < 0 || index >= static_cast<int>(control->control.items.size())) return;
    bool changed = control->control.current != index;
    selectItem(control, static_cast<WPARAM>(index));
    if (list) {
        if (!(control->style & LBS_NOTIFY)) return;
        if (changed) Notify(control, LBN_SELCHANGE);
        if (doubleClick) Notify(control, LBN_DBLCLK);
    } else {
        Notify(control, CBN_SELCHANGE);
        Notify(control, CBN_SELENDOK);
    }
}

void ScrollBy(HWND scrollBar, WORD code, int thumbPosition) {
    if (!detail::Live(scrollBar) || scrollBar->kind != ControlKind::ScrollBar) return;
    if (!IsWindowEnabled(scrollBar) || !scrollBar->parent) return;
    UINT message = (scrollBar->style & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    SendMessage(scrollBar->parent, message, MAKEWPARAM(code, thumbPosition),
                reinterpret_cast<LPARAM>(scrollBar));
}

void SetTopByUser(HWND listBox, int top) {
    if (!detail::Live(listBox) || listBox->kind != ControlKind::ListBox) return;
    int last = std::max(0, static_cast<int>(listBox->control.items.size()) - 1);
    listBox->control.top = std::clamp(top, 0, last);
}

void SelectByUser(HWND edit, int start, int end) {
    if (!detail::Live(edit) || edit->kind != ControlKind::Edit) return;
    setSelection(edit, byteOffset(edit->text, start), byteOffset(edit->text, end));
}

}  // namespace kestra::platform

namespace kp = kestra::platform;

namespace {
kp::ControlState* scrollState(HWND window, int bar) {
    if (bar != SB_CTL || !kp::detail::Live(window) || window->kind != kp::ControlKind::ScrollBar)
        return nullptr;
    return &window->control;
}

int clampPosition(const kp::ControlState& s, int position) {
    int highest = s.maximum - std::max<int>(static_cast<int>(s.page) - 1, 0);
    return std::clamp(position, s.minimum, std::max(s.minimum, highest));
}
}  // namespace

int SetScrollPos(HWND window, int bar, int position, BOOL redraw) {
    auto* s = scrollState(window, bar);
    if (!s) return 0;
    int old = s->position;
    s->position = clampPosition(*s, position);
    kp::detail::Changed(window, kp::Aspect::State);
    if (redraw) InvalidateRect(window, nullptr, TRUE);
    return old;
}

int GetScrollPos(HWND window, int bar) {
    auto* s = scrollState(window, bar);
    return s ? s->position : 0;
}

BOOL SetScrollRange(HWND window, int bar, int minimum, int maximum, BOOL redraw) {
    auto* s = scrollState(window, bar);
    if (!s) return FALSE;
    s->minimum = minimum;
    s->maximum = std::max(minimum, maximum);
    s->position = clampPosition(*s, s->position);
    kp::detail::Changed(window, kp::Aspect::State);
    if (redraw) InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

BOOL GetScrollRange(HWND window, int bar, int* minimum, int* maximum) {
    auto* s = scrollState(window, bar);
    if (!s) return FALSE;
    if (minimum) *minimum = s->minimum;
    if (maximum) *maximum = s->maximum;
    return TRUE;
}

int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw) {
    auto* s = scrollState(window, bar);
    if (!s || !info) return 0;
    if (info->fMask & SIF_RANGE) {
        s->minimum = info->nMin;
        s->maximum = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE) s->page = info->nPage;
    s->position = clampPosition(*s, (info->fMask & SIF_POS) ? info->nPos : s->position);
    kp::detail::Changed(window, kp::Aspect::State);
    if (redraw) InvalidateRect(window, nullptr, TRUE);
    return s->position;
}

BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info) {
    auto* s = scrollState(window, bar);
    if (!s || !info) return FALSE;
    if (info->fMask & SIF_RANGE) {
        info->nMin = s->minimum;
        info->nMax = s->maximum;
    }
    if (info->fMask & SIF_PAGE) info->nPage = s->page;
    if (info->fMask & SIF_POS) info->nPos = s->position;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s->position;
    return TRUE;
}
