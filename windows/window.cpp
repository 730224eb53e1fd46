// The window core: classes, windows, messages, timers, focus, capture and geometry.
#include "windows/window.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <unordered_set>

#include "platform/module.h"
#include "windows/dialog.h"
#include "windows/window_host.h"
#include "windows/window_object.h"

namespace kestra::platform {
namespace {

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) {
                                                return std::tolower(static_cast<unsigned char>(x)) <
                                                       std::tolower(static_cast<unsigned char>(y));
                                            });
    }
};

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT elapse;
    std::uint32_t due;
    TIMERPROC procedure;
};

// The built-in host of a process without a display: nobody answers a modal dialog, so it is
// closed as the Escape key would close it.
class StandaloneHost : public WindowHost {
  public:
    void runModal(HWND dialog) override {
        DispatchPostedMessages();
        if (!dialog->ended)
            SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        DispatchPostedMessages();
        if (IsWindow(dialog) && !dialog->ended) EndDialog(dialog, -1);
    }
    Surface& measuringSurface() override { return measuring_; }
    std::unique_ptr<Surface> bitmapSurface(HBITMAP bitmap) override;
    SIZE dialogBaseUnits(const char*, int) override { return {6, 13}; }

  private:
    NullSurface measuring_;
};

struct Core {
    std::map<std::string, std::shared_ptr<WindowClass>, CaseLess> classes;
    std::unordered_set<HWND> live;
    std::vector<HWND> zombies;  // destroyed while a message was being handled
    int sendDepth = 0;
    std::deque<MSG> queue;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7F00;
    HWND focus = nullptr;
    HWND capture = nullptr;
    std::set<UINT> keysDown;
    StandaloneHost standalone;
    WindowHost* host = nullptr;
};

Core& core() {
    static Core* instance = new Core;  // outlives every module's static destructors
    return *instance;
}

void registerSystemClass(const char* name, WNDPROC proc, int extraBytes) {
    auto cls = std::make_shared<WindowClass>();
    cls->name = name;
    cls->system = true;
    cls->wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    cls->wc.lpfnWndProc = proc;
    cls->wc.cbWndExtra = extraBytes;
    cls->wc.lpszClassName = cls->name.c_str();
    core().classes[cls->name] = cls;
}

std::map<std::string, std::shared_ptr<WindowClass>, CaseLess>& classes() {
    static bool registered = [] {
        registerSystemClass("button", detail::ButtonProc, 0);
        registerSystemClass("edit", detail::EditProc, 0);
        registerSystemClass("static", detail::StaticProc, 0);
        registerSystemClass("listbox", detail::ListBoxProc, 0);
        registerSystemClass("combobox", detail::ComboBoxProc, 0);
        registerSystemClass("scrollbar", detail::ScrollBarProc, 0);
        registerSystemClass(WC_DIALOG, detail::DialogProc, kDialogExtraBytes);
        return true;
    }();
    (void)registered;
    return core().classes;
}

std::shared_ptr<WindowClass> findClass(const char* name) {
    if (!name) return nullptr;
    auto& all = classes();
    auto found = all.find(name);
    return found == all.end() ? nullptr : found->second;
}

void freeZombies() {
    auto& c = core();
    if (c.sendDepth != 0) return;
    auto zombies = std::move(c.zombies);
    c.zombies.clear();
    for (HWND window : zombies) delete window;
}

bool inSubtree(HWND window, HWND root) {
    for (HWND w = window; w; w = w->isChild() ? w->parent : nullptr)
        if (w == root) return true;
    return false;
}

POINT clientOrigin(HWND window) {
    RECT insets = detail::NonClientInsets(window);
    POINT origin{window->rect.left + insets.left, window->rect.top + insets.top};
    if (window->isChild() && window->parent) {
        POINT parent = clientOrigin(window->parent);
        origin.x += parent.x;
        origin.y += parent.y;
    }
    return origin;
}

void setGeometry(HWND window, RECT rect) {
    RECT old = window->rect;
    if (EqualRect(&old, &rect)) return;
    window->rect = rect;
    detail::Changed(window, Aspect::Geometry);
    if (old.left != rect.left || old.top != rect.top)
        SendMessage(window, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    if (old.right - old.left != rect.right - rect.left ||
        old.bottom - old.top != rect.bottom - rect.top) {
        RECT client;
        GetClientRect(window, &client);
        SendMessage(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    }
}

std::byte* extraAt(HWND window, int index, std::size_t width) {
    if (!detail::Live(window) || index < 0) return nullptr;
    auto offset = static_cast<std::size_t>(index);
    if (offset > window->extra.size() || width > window->extra.size() - offset) return nullptr;
    return window->extra.data() + offset;
}

template <typename T>
T readExtra(HWND window, int index) {
    T value{};
    if (std::byte* at = extraAt(window, index, sizeof(T))) std::memcpy(&value, at, sizeof(T));
    return value;
}

template <typename T>
T writeExtra(HWND window, int index, T value) {
    T old{};
    if (std::byte* at = extraAt(window, index, sizeof(T))) {
        std::memcpy(&old, at, sizeof(T));
        std::memcpy(at, &value, sizeof(T));
    }
    return old;
}

}  // namespace

std::unique_ptr<Surface> StandaloneHost::bitmapSurface(HBITMAP bitmap) {
    return detail::MakeBitmapSurface(bitmap);
}

int WindowHost::systemMetric(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return 1024;
        case SM_CYSCREEN:
            return 768;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 16;
        case SM_CYCAPTION:
            return 18;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return 2;
        default:
            return 0;
    }
}

WindowHost& CurrentWindowHost() {
    auto& c = core();
    return c.host ? *c.host : c.standalone;
}

WindowHost* SetWindowHost(WindowHost* host) {
    WindowHost* previous = core().host;
    core().host = host;
    return previous;
}

std::string_view KindName(ControlKind kind) {
    static constexpr std::string_view kNames[] = {"custom",  "button",   "edit",      "static",
                                                  "listbox", "combobox", "scrollbar", "dialog"};
    return kNames[static_cast<std::size_t>(kind)];
}

int DispatchPostedMessages() {
    auto& c = core();
    int delivered = 0;
    for (int guard = 0; !c.queue.empty() && guard < 100000; ++guard) {
        MSG message = c.queue.front();
        c.queue.pop_front();
        if (message.hwnd && !detail::Live(message.hwnd)) continue;
        DispatchMessage(&message);
        ++delivered;
    }
    freeZombies();
    return delivered;
}

std::optional<std::uint32_t> NextTimerDue() {
    auto& timers = core().timers;
    if (timers.empty()) return std::nullopt;
    std::uint32_t now = CurrentClock().tickCount();
    auto until = [now](const Timer& t) { return static_cast<std::int32_t>(t.due - now); };
    auto next = std::min_element(timers.begin(), timers.end(), [&](const Timer& a, const Timer& b) {
        return until(a) < until(b);
    });
    return next->due;
}

int FireDueTimers() {
    auto& c = core();
    std::uint32_t now = CurrentClock().tickCount();
    std::vector<std::pair<HWND, UINT_PTR>> due;
    for (Timer& t : c.timers)
        if (static_cast<std::int32_t>(t.due - now) <= 0) {
            due.emplace_back(t.window, t.id);
            t.due = now + t.elapse;
        }
    for (auto [window, id] : due) FireTimer(window, id);
    return static_cast<int>(due.size());
}

void FireTimer(HWND window, UINT_PTR id) {
    auto& timers = core().timers;
    auto found = std::find_if(timers.begin(), timers.end(),
                              [&](const Timer& t) { return t.window == window && t.id == id; });
    if (found == timers.end()) return;
    TIMERPROC procedure = found->procedure;
    DWORD now = CurrentClock().tickCount();
    if (procedure)
        procedure(window, WM_TIMER, id, now);
    else if (detail::Live(window))
        SendMessage(window, WM_TIMER, id, 0);
    freeZombies();
}

const std::vector<RECT>& FocusMarks(HWND window) {
    static const std::vector<RECT> none;
    return detail::Live(window) ? window->focusMarks : none;
}

namespace detail {

bool Live(HWND window) {
    return window && core().live.count(window) != 0;
}

RECT NonClientInsets(HWND window) {
    RECT insets{};
    if (window->isChild()) return insets;
    int frame = 0;
    if (window->style & WS_THICKFRAME)
        frame = GetSystemMetrics(SM_CXFRAME);
    else if ((window->style & (WS_DLGFRAME | DS_MODALFRAME)) || (window->style & WS_CAPTION))
        frame = GetSystemMetrics(SM_CXDLGFRAME);
    else if (window->style & WS_BORDER)
        frame = GetSystemMetrics(SM_CXBORDER);
    insets = {frame, frame, frame, frame};
    if ((window->style & WS_CAPTION) == WS_CAPTION) insets.top += GetSystemMetrics(SM_CYCAPTION);
    return insets;
}

void Changed(HWND window, Aspect aspect) {
    if (Live(window)) CurrentWindowHost().changed(window, aspect);
}

void Notify(HWND control, WORD code) {
    if (!Live(control) || !control->parent) return;
    SendMessage(control->parent, WM_COMMAND, MAKEWPARAM(static_cast<int>(control->id), code),
                reinterpret_cast<LPARAM>(control));
}

HWND DialogOf(HWND window) {
    HWND dialog = nullptr;
    for (HWND w = window; Live(w); w = w->isChild() ? w->parent : nullptr)
        if (w->kind == ControlKind::Dialog) dialog = w;
    return dialog;
}

void Forget(HWND window) {
    auto& c = core();
    if (c.focus && inSubtree(c.focus, window)) c.focus = nullptr;
    if (c.capture && inSubtree(c.capture, window)) c.capture = nullptr;
}

void SetKeyDown(UINT key, bool down) {
    if (down)
        core().keysDown.insert(key);
    else
        core().keysDown.erase(key);
}

}  // namespace detail
}  // namespace kestra::platform

namespace kp = kestra::platform;
using kp::detail::Live;

ATOM RegisterClass(const WNDCLASS* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) return 0;
    if (windowClass->cbWndExtra < 0 || windowClass->cbWndExtra > 4096) return 0;
    auto& all = kp::classes();
    if (all.count(windowClass->lpszClassName)) return 0;
    auto cls = std::make_shared<kp::WindowClass>();
    cls->name = windowClass->lpszClassName;
    cls->wc = *windowClass;
    cls->wc.lpszClassName = cls->name.c_str();
    cls->wc.lpszMenuName = nullptr;
    all[cls->name] = cls;
    return static_cast<ATOM>(0xC000 + all.size());
}

BOOL UnregisterClass(const char* className, HINSTANCE instance) {
    auto cls = kp::findClass(className);
    if (!cls || cls->system || cls->windows > 0 || cls->wc.hInstance != instance) return FALSE;
    kp::classes().erase(cls->name);
    return TRUE;
}

BOOL GetClassInfo(HINSTANCE, const char* className, WNDCLASS* windowClass) {
    auto cls = kp::findClass(className);
    if (!cls || !windowClass) return FALSE;
    *windowClass = cls->wc;
    return TRUE;
}

int GetClassName(HWND window, char* buffer, int size) {
    if (!Live(window) || !buffer || size <= 0) return 0;
    const std::string& name = window->windowClass->name;
    auto n = std::min<std::size_t>(name.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, name.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menu,
                    HINSTANCE instance, void* param) {
    auto cls = kp::findClass(className);
    if (!cls) return nullptr;
    if ((parent || (style & WS_CHILD)) && !Live(parent)) return nullptr;
    auto* window = new HWND__;
    window->windowClass = cls;
    window->proc = cls->wc.lpfnWndProc;
    window->parent = parent;
    window->id = (style & WS_CHILD) ? reinterpret_cast<UINT_PTR>(menu) : 0;
    window->instance = instance ? instance : cls->wc.hInstance;
    window->style = style;
    window->exStyle = exStyle;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
    window->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    window->extra.resize(static_cast<std::size_t>(cls->wc.cbWndExtra));
    auto& c = kp::core();
    c.live.insert(window);
    ++cls->windows;
    if (window->isChild()) parent->children.push_back(window);

    CREATESTRUCT create{param,
                        window->instance,
                        menu,
                        parent,
                        height,
                        width,
                        y,
                        x,
                        static_cast<LONG>(style),
                        windowName,
                        cls->name.c_str(),
                        exStyle};
    auto createParam = reinterpret_cast<LPARAM>(&create);
    if (!SendMessage(window, WM_NCCREATE, 0, createParam)) {
        DestroyWindow(window);
        return nullptr;
    }
    kp::CurrentWindowHost().created(window);
    if (SendMessage(window, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    return Live(window) ? window : nullptr;
}

BOOL DestroyWindow(HWND window) {
    if (!Live(window) || window->destroying) return FALSE;
    window->destroying = true;
    kp::detail::Forget(window);
    SendMessage(window, WM_DESTROY, 0, 0);
    auto children = window->children;
    for (HWND child : children) DestroyWindow(child);
    auto& c = kp::core();
    std::erase_if(c.timers, [window](const kp::Timer& t) { return t.window == window; });
    SendMessage(window, WM_NCDESTROY, 0, 0);
    kp::CurrentWindowHost().destroyed(window);
    if (window->isChild() && Live(window->parent)) std::erase(window->parent->children, window);
    for (HWND other : c.live)
        if (other->parent == window) other->parent = nullptr;  // owned top-level windows
    c.live.erase(window);
    --window->windowClass->windows;
    c.zombies.push_back(window);
    kp::freeZombies();
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return Live(window) ? TRUE : FALSE;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window) || !window->proc) return 0;
    auto& c = kp::core();
    ++c.sendDepth;
    LRESULT result = window->proc(window, message, wParam, lParam);
    --c.sendDepth;
    kp::freeZombies();
    return result;
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window && !Live(window)) return FALSE;
    kp::core().queue.push_back(
        {window, message, wParam, lParam, kp::CurrentClock().tickCount(), {}});
    kp::CurrentWindowHost().posted();
    return TRUE;
}

LRESULT CallWindowProc(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

BOOL PeekMessage(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
    auto& queue = kp::core().queue;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (window && it->hwnd != window) continue;
        if ((first || last) && (it->message < first || it->message > last)) continue;
        if (message) *message = *it;
        if (remove & PM_REMOVE) queue.erase(it);
        return TRUE;
    }
    return FALSE;
}

LRESULT DispatchMessage(const MSG* message) {
    if (!message) return 0;
    if (message->message == WM_TIMER && message->lParam) {
        auto procedure = reinterpret_cast<TIMERPROC>(message->lParam);
        procedure(message->hwnd, WM_TIMER, message->wParam, message->time);
        return 0;
    }
    return SendMessage(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window)) return 0;
    switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCT*>(lParam);
            if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName))
                window->text = create->lpszName;
            return TRUE;
        }
        case WM_SETTEXT:
            window->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            kp::detail::Changed(window, kp::Aspect::Text);
            return TRUE;
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<char*>(lParam);
            if (!buffer || wParam == 0) return 0;
            std::size_t n = std::min<std::size_t>(window->text.size(), wParam - 1);
            std::memcpy(buffer, window->text.data(), n);
            buffer[n] = 0;
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(window->text.size());
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_ERASEBKGND: {
            HBRUSH background = window->windowClass->wc.hbrBackground;
            if (!background) return 0;
            RECT client;
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, background);
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_SETREDRAW:
            window->redraw = wParam != 0;
            if (window->redraw) InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_SETFONT:
            window->font = reinterpret_cast<HFONT>(wParam);
            kp::detail::Changed(window, kp::Aspect::Font);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(window->font);
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_CANCELMODE:
            if (GetCapture() == window) ReleaseCapture();
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX: {
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORSCROLLBAR: {
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        default:
            return 0;
    }
}

LONG_PTR GetWindowLongPtr(HWND window, int index) {
    if (!Live(window)) return 0;
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(window->proc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(window->instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>(window->parent);
        case GWLP_ID:
            return static_cast<LONG_PTR>(window->id);
        case GWL_STYLE:
            return static_cast<LONG_PTR>(window->style);
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(window->exStyle);
        case GWLP_USERDATA:
            return window->userData;
        default:
            return kp::readExtra<LONG_PTR>(window, index);
    }
}

LONG_PTR SetWindowLongPtr(HWND window, int index, LONG_PTR value) {
    if (!Live(window)) return 0;
    LONG_PTR old = GetWindowLongPtr(window, index);
    switch (index) {
        case GWLP_WNDPROC:
            window->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWLP_HINSTANCE:
            window->instance = reinterpret_cast<HINSTANCE>(value);
            break;
        case GWLP_ID:
            window->id = static_cast<UINT_PTR>(value);
            break;
        case GWL_STYLE:
            window->style = static_cast<DWORD>(value);
            kp::detail::Changed(window, kp::Aspect::Style);
            break;
        case GWL_EXSTYLE:
            window->exStyle = static_cast<DWORD>(value);
            break;
        case GWLP_USERDATA:
            window->userData = value;
            break;
        case GWLP_HWNDPARENT:
            break;
        default:
            kp::writeExtra<LONG_PTR>(window, index, value);
            break;
    }
    return old;
}

LONG GetWindowLong(HWND window, int index) {
    if (index >= 0) return kp::readExtra<LONG>(window, index);
    return static_cast<LONG>(GetWindowLongPtr(window, index));
}

LONG SetWindowLong(HWND window, int index, LONG value) {
    if (index >= 0) return kp::writeExtra<LONG>(window, index, value);
    return static_cast<LONG>(SetWindowLongPtr(window, index, value));
}

WORD GetWindowWord(HWND window, int index) {
    return kp::readExtra<WORD>(window, index);
}
WORD SetWindowWord(HWND window, int index, WORD value) {
    return kp::writeExtra<WORD>(window, index, value);
}

namespace {
std::string propName(const char* name) {
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name));
    return name;
}
}  // namespace

BOOL SetProp(HWND window, const char* name, HANDLE value) {
    if (!Live(window) || !name) return FALSE;
    std::string key = propName(name);
    for (auto& [existing, held] : window->props)
        if (kp::sameName(existing, key)) {
            held = value;
            return TRUE;
        }
    window->props.emplace_back(key, value);
    return TRUE;
}

HANDLE GetProp(HWND window, const char* name) {
    if (!Live(window) || !name) return nullptr;
    std::string key = propName(name);
    for (const auto& [existing, held] : window->props)
        if (kp::sameName(existing, key)) return held;
    return nullptr;
}

HANDLE RemoveProp(HWND window, const char* name) {
    if (!Live(window) || !name) return nullptr;
    std::string key = propName(name);
    auto& props = window->props;
    for (auto it = props.begin(); it != props.end(); ++it)
        if (kp::sameName(it->first, key)) {
            HANDLE held = it->second;
            props.erase(it);
            return held;
        }
    return nullptr;
}

int GetWindowText(HWND window, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    return static_cast<int>(SendMessage(window, WM_GETTEXT, static_cast<WPARAM>(size),
                                        reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND window) {
    return static_cast<int>(SendMessage(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetWindowText(HWND window, const char* text) {
    if (!Live(window)) return FALSE;
    return SendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE
                                                                                          : FALSE;
}

HWND GetParent(HWND window) {
    return Live(window) ? window->parent : nullptr;
}

HWND GetAncestor(HWND window, UINT relation) {
    if (!Live(window)) return nullptr;
    if (relation == GA_PARENT)
        return window->isChild() && Live(window->parent) ? window->parent : nullptr;
    if (relation != GA_ROOT) return nullptr;
    while (window->isChild()) {
        window = window->parent;
        if (!Live(window)) return nullptr;
    }
    return window;
}

HWND GetWindow(HWND window, UINT relation) {
    if (!Live(window)) return nullptr;
    if (relation == GW_CHILD) return window->children.empty() ? nullptr : window->children.front();
    if (relation == GW_OWNER) return window->isChild() ? nullptr : window->parent;
    if (!window->isChild() || !Live(window->parent)) return nullptr;
    const auto& siblings = window->parent->children;
    auto at = std::find(siblings.begin(), siblings.end(), window);
    switch (relation) {
        case GW_HWNDFIRST:
            return siblings.front();
        case GW_HWNDLAST:
            return siblings.back();
        case GW_HWNDNEXT:
            return (at + 1 != siblings.end()) ? *(at + 1) : nullptr;
        case GW_HWNDPREV:
            return at != siblings.begin() ? *(at - 1) : nullptr;
        default:
            return nullptr;
    }
}

BOOL IsChild(HWND parent, HWND window) {
    if (!Live(parent) || !Live(window) || parent == window) return FALSE;
    return kp::inSubtree(window, parent) ? TRUE : FALSE;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM value) {
    if (!Live(parent) || !callback) return FALSE;
    auto children = parent->children;
    for (HWND child : children) {
        if (!Live(child)) continue;
        if (!callback(child, value)) return FALSE;
        if (!EnumChildWindows(child, callback, value)) return FALSE;
    }
    return TRUE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    if (!Live(window)) return FALSE;
    BOOL wasDisabled = (window->style & WS_DISABLED) ? TRUE : FALSE;
    if ((enable != FALSE) == !wasDisabled) return wasDisabled;
    if (enable) {
        window->style &= ~WS_DISABLED;
    } else {
        window->style |= WS_DISABLED;
        SendMessage(window, WM_CANCELMODE, 0, 0);
    }
    SendMessage(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    kp::detail::Changed(window, kp::Aspect::Enabled);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    return Live(window) && !(window->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    if (!Live(window)) return FALSE;
    BOOL wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
    bool show = command != SW_HIDE;
    if (show == (wasVisible != FALSE)) return wasVisible;
    if (show)
        window->style |= WS_VISIBLE;
    else
        window->style &= ~WS_VISIBLE;
    SendMessage(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!show && GetFocus() && kp::inSubtree(GetFocus(), window)) SetFocus(nullptr);
    kp::detail::Changed(window, kp::Aspect::Visibility);
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    for (HWND w = window; Live(w); w = w->isChild() ? w->parent : nullptr) {
        if (!(w->style & WS_VISIBLE)) return FALSE;
        if (!w->isChild()) return TRUE;
    }
    return FALSE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    if (!Live(window)) return FALSE;
    kp::setGeometry(window, {x, y, x + std::max(width, 0), y + std::max(height, 0)});
    if (repaint) InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int width, int height, UINT flags) {
    if (!Live(window)) return FALSE;
    RECT rect = window->rect;
    if (!(flags & SWP_NOMOVE)) {
        OffsetRect(&rect, x - rect.left, y - rect.top);
    }
    if (!(flags & SWP_NOSIZE)) {
        rect.right = rect.left + std::max(width, 0);
        rect.bottom = rect.top + std::max(height, 0);
    }
    kp::setGeometry(window, rect);
    if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
    if (!(flags & SWP_NOREDRAW)) InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    if (!Live(window) || !rect) return FALSE;
    *rect = window->rect;
    if (window->isChild() && window->parent) {
        POINT origin = kp::clientOrigin(window->parent);
        OffsetRect(rect, origin.x, origin.y);
    }
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    if (!Live(window) || !rect) return FALSE;
    RECT insets = kp::detail::NonClientInsets(window);
    *rect = {
        0, 0,
        std::max<LONG>(0, window->rect.right - window->rect.left - insets.left - insets.right),
        std::max<LONG>(0, window->rect.bottom - window->rect.top - insets.top - insets.bottom)};
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
    if (!Live(window) || !point) return FALSE;
    POINT origin = kp::clientOrigin(window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    if (!Live(window) || !point) return FALSE;
    POINT origin = kp::clientOrigin(window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT a = Live(from) ? kp::clientOrigin(from) : POINT{0, 0};
    POINT b = Live(to) ? kp::clientOrigin(to) : POINT{0, 0};
    LONG dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return static_cast<int>(MAKELPARAM(dx, dy));
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
    if (!Live(window)) return FALSE;
    window->needsPaint = true;
    if (window->redraw) kp::CurrentWindowHost().invalidated(window);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT*) {
    if (!Live(window)) return FALSE;
    window->needsPaint = false;
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    if (!Live(window)) return FALSE;
    if (window->needsPaint && window->redraw) kp::CurrentWindowHost().invalidated(window);
    return TRUE;
}

HWND SetFocus(HWND window) {
    auto& c = kp::core();
    if (window && !Live(window)) return nullptr;
    HWND old = c.focus;
    if (old == window) return old;
    c.focus = window;
    if (Live(old)) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (Live(window) && c.focus == window)
        SendMessage(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    if (c.focus == window) kp::CurrentWindowHost().focusChanged(window);
    return Live(old) ? old : nullptr;
}

HWND GetFocus() {
    return kp::core().focus;
}

HWND SetCapture(HWND window) {
    auto& c = kp::core();
    if (!Live(window)) return nullptr;
    HWND old = c.capture;
    c.capture = window;
    if (Live(old) && old != window)
        SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    return Live(old) ? old : nullptr;
}

BOOL ReleaseCapture() {
    auto& c = kp::core();
    HWND old = c.capture;
    c.capture = nullptr;
    if (Live(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    return kp::core().capture;
}

short GetKeyState(int virtualKey) {
    return kp::core().keysDown.count(static_cast<UINT>(virtualKey)) ? static_cast<short>(0x8000)
                                                                    : static_cast<short>(0);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    if (window && !Live(window)) return 0;
    auto& c = kp::core();
    if (!window) id = ++c.nextTimerId;
    elapse = std::max<UINT>(elapse, 10);
    std::uint32_t due = kp::CurrentClock().tickCount() + elapse;
    auto found = std::find_if(c.timers.begin(), c.timers.end(),
                              [&](const kp::Timer& t) { return t.window == window && t.id == id; });
    if (found != c.timers.end())
        *found = {window, id, elapse, due, procedure};
    else
        c.timers.push_back({window, id, elapse, due, procedure});
    kp::CurrentWindowHost().timerSet(window, id, elapse);
    return id ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto& timers = kp::core().timers;
    auto removed =
        std::erase_if(timers, [&](const kp::Timer& t) { return t.window == window && t.id == id; });
    if (removed) kp::CurrentWindowHost().timerKilled(window, id);
    return removed ? TRUE : FALSE;
}

int GetSystemMetrics(int index) {
    return kp::CurrentWindowHost().systemMetric(index);
}

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT* rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL InflateRect(RECT* rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->top -= dy;
    rect->right += dx;
    rect->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
                   point.y < rect->bottom
               ? TRUE
               : FALSE;
}

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top ? TRUE : FALSE;
}

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(out);
        return FALSE;
    }
    *out = r;
    return TRUE;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *out = *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
    }
    return IsRectEmpty(out) ? FALSE : TRUE;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
                   a->bottom == b->bottom
               ? TRUE
               : FALSE;
}

BOOL IsCharAlpha(UINT character) {
    if (character < 0x80) return std::isalpha(static_cast<unsigned char>(character)) ? TRUE : FALSE;
    if (character < 0x100)  // Latin-1 letters
        return (character >= 0xC0 && character != 0xD7 && character != 0xF7) || character == 0xAA ||
                       character == 0xB5 || character == 0xBA
                   ? TRUE
                   : FALSE;
    // Latin extensions, Greek and Cyrillic.
    return (character < 0x250) || (character >= 0x370 && character < 0x530) ? TRUE : FALSE;
}
