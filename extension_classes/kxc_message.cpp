#include "extension_classes/kxc_message.h"

#include <QMessageBox>

namespace {

KXCMessageAnswerer& answerer() {
    static KXCMessageAnswerer instance;
    return instance;
}

struct ButtonAnswer {
    QMessageBox::StandardButton button;
    int answer;
};
constexpr ButtonAnswer kAnswers[] = {
    {QMessageBox::Ok, IDOK},       {QMessageBox::Cancel, IDCANCEL}, {QMessageBox::Abort, IDABORT},
    {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}, {QMessageBox::Yes, IDYES},
    {QMessageBox::No, IDNO},
};

// The buttons of each box type, in the order the default-button flags count them.
std::vector<QMessageBox::StandardButton> buttonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {QMessageBox::Ok, QMessageBox::Cancel};
        case MB_ABORTRETRYIGNORE:
            return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
        case MB_YESNOCANCEL:
            return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
        case MB_YESNO:
            return {QMessageBox::Yes, QMessageBox::No};
        case MB_RETRYCANCEL:
            return {QMessageBox::Retry, QMessageBox::Cancel};
        default:
            return {QMessageBox::Ok};
    }
}

QMessageBox::Icon iconOf(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONASTERISK:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

KXCMessageAnswerer KXCSetMessageAnswerer(KXCMessageAnswerer next) {
    KXCMessageAnswerer previous = std::move(answerer());
    answerer() = std::move(next);
    return previous;
}

int KXCMessageBox(QWidget* parent, const QString& text, UINT type, const QString& caption) {
    if (answerer()) return answerer()(parent, text, caption, type);
    QMessageBox box(iconOf(type), caption, text, QMessageBox::NoButton, parent);
    const auto buttons = buttonsOf(type);
    for (auto button : buttons) box.addButton(button);
    const std::size_t defaultIndex = (type & MB_DEFMASK) >> 8;
    if (defaultIndex < buttons.size()) box.setDefaultButton(buttons[defaultIndex]);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& answer : kAnswers)
        if (answer.button == pressed) return answer.answer;
    return IDCANCEL;
}
