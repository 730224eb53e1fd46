// The Qt host's widgets: standard controls shown as Qt widgets and fed back as messages, the
// suite's own classes painted and driven by their class procedures.
#include "windows/qt/qt_widgets.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "windows/controls.h"
#include "windows/input.h"
#include "windows/qt/qt_surface.h"
#include "windows/window_object.h"

namespace kestra::platform::qt {
namespace {

using detail::Live;

QRect rectOf(const RECT& r) {
    return QRect(r.left, r.top, std::max<LONG>(0, r.right - r.left),
                 std::max<LONG>(0, r.bottom - r.top));
}

QColor colourOf(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

QString textOf(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A group box's title without the "&" that marks its letter.
QString labelText(HWND window) {
    QString text = textOf(window->text);
    if (window->style & SS_NOPREFIX) return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// A static text shows "&" as the underline of the next character ("&&" is a plain "&"), so
// that the user sees the letter that Alt takes to the control after it; with SS_NOPREFIX it
// shows the text as it stands.
void showLabel(QLabel* label, HWND window) {
    const QString text = textOf(window->text);
    QString plain, rich;
    bool marked = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        bool underline = false;
        if (c == '&' && i + 1 < text.size() && !(window->style & SS_NOPREFIX)) {
            c = text[++i];
            underline = !marked && c != '&';
        }
        plain += c;
        const QString piece = c == '\n' ? QStringLiteral("<br>") : QString(c).toHtmlEscaped();
        rich += underline ? "<u>" + piece + "</u>" : piece;
        marked = marked || underline;
    }
    label->setTextFormat(marked ? Qt::RichText : Qt::PlainText);
    label->setText(marked ? "<span style=\"white-space: pre-wrap\">" + rich + "</span>" : plain);
}

bool subclassed(HWND window) {
    WNDCLASS standard;
    std::string_view kind = KindName(window->kind);
    return GetClassInfo(nullptr, std::string(kind).c_str(), &standard) &&
           standard.lpfnWndProc != window->proc;
}

WPARAM mouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WPARAM keys = 0;
    if (buttons & Qt::LeftButton) keys |= MK_LBUTTON;
    if (buttons & Qt::RightButton) keys |= MK_RBUTTON;
    if (modifiers & Qt::ShiftModifier) keys |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) keys |= MK_CONTROL;
    return keys;
}

// A mouse event of a widget as the window's mouse message; true when it was one.
bool sendMouse(HWND window, QEvent* event) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    UINT message = 0;
    bool left = mouse->button() == Qt::LeftButton;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            message = left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
            break;
        case QEvent::MouseButtonRelease:
            message = left ? WM_LBUTTONUP : WM_RBUTTONUP;
            break;
        case QEvent::MouseButtonDblClick:
            message = left ? WM_LBUTTONDBLCLK : WM_RBUTTONDOWN;
            break;
        case QEvent::MouseMove:
            message = WM_MOUSEMOVE;
            break;
        default:
            return false;
    }
    QPoint at = mouse->position().toPoint();
    MouseInput(window, message, at.x(), at.y(), mouseKeys(mouse->buttons(), mouse->modifiers()));
    return true;
}

UINT virtualKey(int key) {
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_Space:
            return VK_SPACE;
        default:
            break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<UINT>(key);
    return 0;
}

// A key press as the core's key input; true when the core took it.
bool sendKey(HWND window, QKeyEvent* key) {
    UINT vk = virtualKey(key->key());
    char32_t character = 0;
    QList<uint> codes = key->text().toUcs4();
    if (!codes.isEmpty()) character = codes.front();
    if (!vk && !character) return false;
    bool shift = (key->modifiers() & Qt::ShiftModifier) || key->key() == Qt::Key_Backtab;
    HoldKey(VK_SHIFT, shift);
    HoldKey(VK_CONTROL, (key->modifiers() & Qt::ControlModifier) != 0);
    HoldKey(VK_MENU, (key->modifiers() & Qt::AltModifier) != 0);
    PressKey(GetFocus() && Live(GetFocus()) ? GetFocus() : window, vk, character);
    HoldKey(VK_SHIFT, false);
    HoldKey(VK_CONTROL, false);
    HoldKey(VK_MENU, false);
    return true;
}

// Hands keys, focus and (for buttons and labels) mouse input of a widget to the core.
class InputFilter : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        HostedWindow* hosted = HostedOf(watched);
        if (!hosted && watched->parent()) hosted = HostedOf(watched->parent());
        if (!hosted || !Live(hosted->hwnd)) return false;
        HWND window = hosted->hwnd;
        switch (event->type()) {
            case QEvent::KeyPress:
                return sendKey(window, static_cast<QKeyEvent*>(event));
            case QEvent::KeyRelease:
                return virtualKey(static_cast<QKeyEvent*>(event)->key()) != 0;
            case QEvent::ShortcutOverride:
                event->accept();
                return true;
            case QEvent::FocusIn:
                if (GetFocus() != window) FocusByUser(window);
                return false;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
                if (!routesMouse(window)) return false;
                return sendMouse(window, event);
            default:
                return false;
        }
    }

  private:
    static bool routesMouse(HWND window) {
        if (window->kind == ControlKind::Static) return true;
        return window->kind == ControlKind::Button && (window->style & BS_TYPEMASK) != BS_GROUPBOX;
    }
};

InputFilter& inputFilter() {
    static InputFilter* filter = new InputFilter;
    return *filter;
}

// Paints what the window's own procedure draws over a standard widget, and the focus marks.
void paintOver(QWidget* widget, HWND window) {
    if (!Live(window)) return;
    QPainter painter(widget);
    PainterSurface surface(&painter);
    if (subclassed(window)) {
        PaintWindow(window, surface);
        return;
    }
    for (const RECT& mark : FocusMarks(window)) surface.focusRect(mark);
}

// The whole widget painted by the window's procedure.
void paintByProcedure(QWidget* widget, HWND window) {
    if (!Live(window)) return;
    QPainter painter(widget);
    PainterSurface surface(&painter);
    PaintWindow(window, surface);
}

template <typename Base>
class Hosted : public Base, public HostedWindow {
  public:
    using Base::Base;

  protected:
    void paintEvent(QPaintEvent* event) override {
        Base::paintEvent(event);
        paintOver(this, hwnd);
    }
};

class CustomWidget : public QWidget, public HostedWindow {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override { paintByProcedure(this, hwnd); }
    void mousePressEvent(QMouseEvent* e) override { sendMouse(hwnd, e); }
    void mouseReleaseEvent(QMouseEvent* e) override { sendMouse(hwnd, e); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { sendMouse(hwnd, e); }
    void mouseMoveEvent(QMouseEvent* e) override { sendMouse(hwnd, e); }
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        CloseByUser(hwnd);
    }
};

class DialogWidget : public QDialog, public HostedWindow {
  public:
    using QDialog::QDialog;
    void reject() override { CloseByUser(hwnd); }

  protected:
    void paintEvent(QPaintEvent*) override { paintByProcedure(this, hwnd); }
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        CloseByUser(hwnd);
    }
};

// Owner-drawn list items: each item is drawn by the list's parent (WM_DRAWITEM).
class OwnerDrawDelegate : public QStyledItemDelegate {
  public:
    explicit OwnerDrawDelegate(HWND list, QObject* parent)
        : QStyledItemDelegate(parent), list_(list) {}
    void forget() { list_ = nullptr; }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!Live(list_) || !Live(list_->parent)) return;
        auto row = static_cast<std::size_t>(index.row());
        if (row >= list_->control.items.size()) return;
        PainterSurface surface(painter);
        HDC dc = CreateSurfaceDC(surface);
        bool selected = list_->control.current == index.row();
        UINT state =
            (selected ? ODS_SELECTED : 0) | (selected && GetFocus() == list_ ? ODS_FOCUS : 0);
        QRect r = option.rect;
        DRAWITEMSTRUCT draw{ODT_LISTBOX,
                            static_cast<UINT>(list_->id),
                            static_cast<UINT>(row),
                            ODA_DRAWENTIRE,
                            state,
                            list_,
                            dc,
                            {r.left(), r.top(), r.right() + 1, r.bottom() + 1},
                            list_->control.items[row].data};
        SendMessage(list_->parent, WM_DRAWITEM, list_->id, reinterpret_cast<LPARAM>(&draw));
        DeleteDC(dc);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), Live(list_) ? list_->control.itemHeight : 16);
    }

  private:
    HWND list_;
};

class ListWidget : public QListWidget, public HostedWindow {
  public:
    explicit ListWidget(HWND list, QWidget* parent) : QListWidget(parent) {
        setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        setUniformItemSizes(true);
        setSelectionMode(QAbstractItemView::SingleSelection);
        if (list->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) {
            delegate_ = new OwnerDrawDelegate(list, this);
            setItemDelegate(delegate_);
        }
        connect(this, &QListWidget::currentRowChanged, [this](int row) {
            if (!syncing && Live(hwnd) && row >= 0) PickItem(hwnd, row);
        });
        connect(this, &QListWidget::itemDoubleClicked, [this](QListWidgetItem* item) {
            if (!syncing && Live(hwnd)) PickItem(hwnd, row(item), true);
        });
        connect(verticalScrollBar(), &QScrollBar::valueChanged, [this](int top) {
            if (!syncing && Live(hwnd)) SetTopByUser(hwnd, top);
        });
    }
    ~ListWidget() override {
        if (delegate_) delegate_->forget();
    }

  private:
    OwnerDrawDelegate* delegate_ = nullptr;
};

QFrame::Shape frameShape(DWORD type) {
    switch (type) {
        case SS_BLACKRECT:
        case SS_GRAYRECT:
        case SS_WHITERECT:
            return QFrame::Box;
        case SS_ETCHEDHORZ:
            return QFrame::HLine;
        case SS_ETCHEDVERT:
            return QFrame::VLine;
        default:
            return QFrame::Box;
    }
}

bool isFrame(DWORD type) {
    return (type >= SS_BLACKRECT && type <= SS_WHITEFRAME) ||
           (type >= SS_ETCHEDHORZ && type <= SS_ETCHEDFRAME);
}

QWidget* makeButton(HWND window, QWidget* parent) {
    switch (window->style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE: {
            auto* box = new Hosted<QCheckBox>(parent);
            box->setTristate((window->style & BS_TYPEMASK) >= BS_3STATE);
            return box;
        }
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: {
            auto* radio = new Hosted<QRadioButton>(parent);
            radio->setAutoExclusive(false);
            return radio;
        }
        case BS_GROUPBOX:
            return new Hosted<QGroupBox>(parent);
        default:
            return new Hosted<QPushButton>(parent);
    }
}

QWidget* makeStatic(HWND window, QWidget* parent) {
    DWORD type = window->style & SS_TYPEMASK;
    if (isFrame(type)) {
        auto* frame = new Hosted<QFrame>(parent);
        frame->setFrameShape(type == SS_ETCHEDFRAME ? QFrame::Box : frameShape(type));
        frame->setFrameShadow(type == SS_ETCHEDFRAME || type == SS_ETCHEDHORZ ||
                                      type == SS_ETCHEDVERT
                                  ? QFrame::Sunken
                                  : QFrame::Plain);
        return frame;
    }
    auto* label = new Hosted<QLabel>(parent);
    Qt::Alignment horizontal = type == SS_CENTER  ? Qt::AlignHCenter
                               : type == SS_RIGHT ? Qt::AlignRight
                                                  : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    label->setWordWrap(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
    if (window->style & SS_SUNKEN) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QWidget* makeEdit(HWND window, QWidget* parent) {
    auto* edit = new Hosted<QLineEdit>(parent);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setDragEnabled(false);
    edit->setAcceptDrops(false);
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    DWORD align = window->style & 3;
    edit->setAlignment(align == ES_CENTER  ? Qt::AlignHCenter
                       : align == ES_RIGHT ? Qt::AlignRight
                                           : Qt::AlignLeft);
    if (window->style & ES_PASSWORD) edit->setEchoMode(QLineEdit::Password);
    QObject::connect(edit, &QLineEdit::selectionChanged, [edit] {
        if (edit->syncing || !Live(edit->hwnd)) return;
        int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
        SelectByUser(edit->hwnd, start, start + static_cast<int>(edit->selectionLength()));
    });
    QObject::connect(edit, &QLineEdit::cursorPositionChanged, [edit](int, int position) {
        if (edit->syncing || !Live(edit->hwnd) || edit->hasSelectedText()) return;
        SelectByUser(edit->hwnd, position, position);
    });
    return edit;
}

QWidget* makeCombo(HWND window, QWidget* parent) {
    auto* combo = new Hosted<QComboBox>(parent);
    combo->setEditable((window->style & 3) != CBS_DROPDOWNLIST);
    if (combo->lineEdit()) combo->lineEdit()->installEventFilter(&inputFilter());
    QObject::connect(combo, &QComboBox::activated, [combo](int index) {
        if (!combo->syncing && Live(combo->hwnd)) PickItem(combo->hwnd, index);
    });
    return combo;
}

WORD scrollCode(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            return SB_LINEDOWN;
        case QAbstractSlider::SliderSingleStepSub:
            return SB_LINEUP;
        case QAbstractSlider::SliderPageStepAdd:
            return SB_PAGEDOWN;
        case QAbstractSlider::SliderPageStepSub:
            return SB_PAGEUP;
        case QAbstractSlider::SliderToMinimum:
            return SB_TOP;
        case QAbstractSlider::SliderToMaximum:
            return SB_BOTTOM;
        case QAbstractSlider::SliderMove:
            return SB_THUMBTRACK;
        default:
            return SB_ENDSCROLL;
    }
}

QWidget* makeScrollBar(HWND window, QWidget* parent) {
    auto* bar =
        new Hosted<QScrollBar>((window->style & SBS_VERT) ? Qt::Vertical : Qt::Horizontal, parent);
    QObject::connect(bar, &QAbstractSlider::actionTriggered, [bar](int action) {
        if (bar->syncing || !Live(bar->hwnd) || action == QAbstractSlider::SliderNoAction) return;
        ScrollBy(bar->hwnd, scrollCode(action), bar->sliderPosition());
        if (Live(bar->hwnd)) bar->setSliderPosition(bar->hwnd->control.position);
    });
    QObject::connect(bar, &QAbstractSlider::sliderReleased, [bar] {
        if (bar->syncing || !Live(bar->hwnd)) return;
        ScrollBy(bar->hwnd, SB_THUMBPOSITION, bar->sliderPosition());
        ScrollBy(bar->hwnd, SB_ENDSCROLL);
    });
    return bar;
}

// The core keeps byte offsets into UTF-8; the line edit counts UTF-16 units.
void syncEditSelection(HWND window, QLineEdit* edit) {
    std::string_view text = window->text;
    auto units = [&](int offset) {
        return static_cast<int>(
            textOf(std::string(text.substr(0, static_cast<std::size_t>(offset)))).size());
    };
    int anchor = units(window->control.selStart), caret = units(window->control.selEnd);
    if (anchor == caret)
        edit->setCursorPosition(caret);
    else
        edit->setSelection(anchor, caret - anchor);
}

void syncText(HWND window, QWidget* widget) {
    QString text = textOf(window->text);
    if (auto* dialog = dynamic_cast<QDialog*>(widget))
        dialog->setWindowTitle(text);
    else if (auto* group = dynamic_cast<QGroupBox*>(widget))
        group->setTitle(labelText(window));
    else if (auto* button = dynamic_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* label = dynamic_cast<QLabel*>(widget))
        showLabel(label, window);
    else if (auto* edit = dynamic_cast<QLineEdit*>(widget)) {
        edit->setText(text);
        syncEditSelection(window, edit);  // setText put the caret at the end
    } else if (auto* combo = dynamic_cast<QComboBox*>(widget)) {
        if (combo->isEditable()) combo->setEditText(text);
    } else if (!window->isChild())
        widget->setWindowTitle(text);
    widget->update();
}

void syncGeometry(HWND window, QWidget* widget) {
    if (window->isChild()) {
        QRect rect = rectOf(window->rect);
        if (dynamic_cast<QComboBox*>(widget))  // the template height includes the drop-down list
            rect.setHeight(std::min(rect.height(), widget->sizeHint().height()));
        widget->setGeometry(rect);
        return;
    }
    if (window->kind == ControlKind::Dialog) widget->setFont(DialogFontOf(window->pointSize));
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    widget->setGeometry(origin.x, origin.y, client.right, client.bottom);
}

void syncState(HWND window, QWidget* widget) {
    const ControlState& c = window->control;
    if (auto* box = dynamic_cast<QCheckBox*>(widget)) {
        box->setCheckState(c.check == BST_CHECKED         ? Qt::Checked
                           : c.check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                          : Qt::Unchecked);
        box->setDown(c.pushed);
    } else if (auto* button = dynamic_cast<QAbstractButton*>(widget)) {
        if (button->isCheckable() || dynamic_cast<QRadioButton*>(widget)) {
            button->setCheckable(true);
            button->setChecked(c.check == BST_CHECKED);
        }
        button->setDown(c.pushed);
    } else if (auto* edit = dynamic_cast<QLineEdit*>(widget)) {
        syncEditSelection(window, edit);
        edit->setReadOnly(c.readOnly);
    } else if (auto* list = dynamic_cast<QListWidget*>(widget)) {
        list->setCurrentRow(c.current);
        list->verticalScrollBar()->setValue(c.top);
    } else if (auto* combo = dynamic_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex(c.current);
    } else if (auto* bar = dynamic_cast<QScrollBar*>(widget)) {
        bar->setRange(c.minimum, c.maximum - std::max<int>(static_cast<int>(c.page) - 1, 0));
        bar->setPageStep(c.page ? static_cast<int>(c.page) : 1);
        bar->setValue(c.position);
    }
    widget->update();
}

void syncItems(HWND window, QWidget* widget) {
    const ControlState& c = window->control;
    if (auto* list = dynamic_cast<QListWidget*>(widget)) {
        list->clear();
        for (const ListItem& item : c.items) {
            auto* row = new QListWidgetItem(textOf(item.text), list);
            row->setSizeHint(QSize(0, c.itemHeight));
        }
    } else if (auto* combo = dynamic_cast<QComboBox*>(widget)) {
        combo->clear();
        for (const ListItem& item : c.items) combo->addItem(textOf(item.text));
    }
    syncState(window, widget);
}

void syncStyle(HWND window, QWidget* widget) {
    if (auto* push = dynamic_cast<QPushButton*>(widget))
        push->setDefault((window->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
    syncState(window, widget);
}

}  // namespace

HostedWindow* HostedOf(QObject* object) {
    return dynamic_cast<HostedWindow*>(object);
}

void ApplyControlColours(HWND window, QWidget* widget) {
    UINT message = window->kind == ControlKind::Edit      ? WM_CTLCOLOREDIT
                   : window->kind == ControlKind::ListBox ? WM_CTLCOLORLISTBOX
                   : window->kind == ControlKind::Static  ? WM_CTLCOLORSTATIC
                                                          : 0;
    if (!message || !Live(window->parent)) return;
    NullSurface surface;
    HDC dc = CreateSurfaceDC(surface);
    auto brush = reinterpret_cast<HBRUSH>(SendMessage(
        window->parent, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
    QColor text = colourOf(GetTextColor(dc));
    QColor back = colourOf(BrushColour(brush).value_or(GetBkColor(dc)));
    DeleteDC(dc);
    bool isStatic = message == WM_CTLCOLORSTATIC;
    QPalette::ColorRole backRole = isStatic ? QPalette::Window : QPalette::Base;
    QPalette::ColorRole textRole = isStatic ? QPalette::WindowText : QPalette::Text;
    QPalette palette = widget->palette();
    if (palette.color(backRole) == back && palette.color(textRole) == text) return;
    palette.setColor(backRole, back);
    palette.setColor(textRole, text);
    widget->setPalette(palette);
}

QFont DialogFontOf(int pointSize) {
    QFont font = DialogFont();
    if (pointSize > 0) font.setPointSize(pointSize);
    return font;
}

QWidget* CreateWidget(HWND window, QWidget* parent) {
    QWidget* widget = nullptr;
    switch (window->kind) {
        case ControlKind::Dialog: {
            auto* dialog = new DialogWidget(parent, window->isChild() ? Qt::Widget : Qt::Dialog);
            // QDialog makes itself a window when given no window type; an embedded page (a
            // child dialog) must stay a plain child widget.
            if (window->isChild()) dialog->setWindowFlags(Qt::Widget);
            // The classic dialog colours, so that what the procedures paint matches.
            QPalette palette = dialog->palette();
            auto colour = [](int index) { return colourOf(GetSysColor(index)); };
            palette.setColor(QPalette::Window, colour(COLOR_BTNFACE));
            palette.setColor(QPalette::Button, colour(COLOR_BTNFACE));
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                palette.setColor(QPalette::Disabled, role, colour(COLOR_GRAYTEXT));
            dialog->setPalette(palette);
            widget = dialog;
            break;
        }
        case ControlKind::Button:
            widget = makeButton(window, parent);
            break;
        case ControlKind::Edit:
            widget = makeEdit(window, parent);
            break;
        case ControlKind::Static:
            widget = makeStatic(window, parent);
            break;
        case ControlKind::ListBox:
            widget = new ListWidget(window, parent);
            break;
        case ControlKind::ComboBox:
            widget = makeCombo(window, parent);
            break;
        case ControlKind::ScrollBar:
            widget = makeScrollBar(window, parent);
            break;
        case ControlKind::Custom: {
            auto* custom = new CustomWidget(parent, window->isChild() ? Qt::Widget : Qt::Window);
            custom->setMouseTracking(true);
            widget = custom;
            break;
        }
    }
    HostedOf(widget)->hwnd = window;
    widget->setFocusPolicy(window->kind == ControlKind::Static ? Qt::NoFocus : Qt::ClickFocus);
    widget->installEventFilter(&inputFilter());
    widget->setAttribute(Qt::WA_DeleteOnClose, false);
    for (Aspect aspect :
         {Aspect::Text, Aspect::Style, Aspect::Items, Aspect::Geometry, Aspect::Enabled})
        SyncWidget(window, widget, aspect);
    ApplyControlColours(window, widget);
    widget->setVisible(window->isChild() && (window->style & WS_VISIBLE));
    return widget;
}

void SyncWidget(HWND window, QWidget* widget, Aspect aspect) {
    HostedWindow* hosted = HostedOf(widget);
    if (!hosted || !Live(window)) return;
    hosted->syncing = true;
    switch (aspect) {
        case Aspect::Text:
            syncText(window, widget);
            break;
        case Aspect::Geometry:
            syncGeometry(window, widget);
            break;
        case Aspect::Visibility:
            widget->setVisible((window->style & WS_VISIBLE) != 0);
            if (!window->isChild() && widget->isVisible()) {
                widget->raise();
                widget->activateWindow();
            }
            break;
        case Aspect::Enabled:
            widget->setEnabled(!(window->style & WS_DISABLED));
            break;
        case Aspect::Style:
            syncStyle(window, widget);
            break;
        case Aspect::State:
            syncState(window, widget);
            break;
        case Aspect::Items:
            syncItems(window, widget);
            break;
        case Aspect::Font:
            if (window->font) widget->setFont(FontFor(FontRecord(window->font)));
            break;
        case Aspect::FocusMarks:
            widget->update();
            break;
    }
    hosted->syncing = false;
}

}  // namespace kestra::platform::qt
