#include "keyboard_editor/message_boxes.h"

#include <QApplication>
#include <QPushButton>

namespace clavon {
namespace {

struct Buttons {
    UINT type;
    QMessageBox::StandardButton buttons[3];
};

// The buttons of each box type, in the order of the default-button bits.
constexpr Buttons kButtons[] = {
    {MB_OK, {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok}},
    {MB_OKCANCEL, {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Cancel}},
    {MB_YESNOCANCEL, {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}},
    {MB_YESNO, {QMessageBox::Yes, QMessageBox::No, QMessageBox::No}},
    {MB_RETRYCANCEL, {QMessageBox::Retry, QMessageBox::Cancel, QMessageBox::Cancel}},
};

struct Icon {
    UINT bits;
    QMessageBox::Icon icon;
};

constexpr Icon kIcons[] = {
    {MB_ICONHAND, QMessageBox::Critical},
    {MB_ICONQUESTION, QMessageBox::Question},
    {MB_ICONEXCLAMATION, QMessageBox::Warning},
    {MB_ICONASTERISK, QMessageBox::Information},
};

constexpr std::pair<QMessageBox::StandardButton, int> kResults[] = {
    {QMessageBox::Ok, IDOK},
    {QMessageBox::Cancel, IDCANCEL},
    {QMessageBox::Yes, IDYES},
    {QMessageBox::No, IDNO},
    {QMessageBox::Retry, IDRETRY},
};

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(std::string_view text, std::string_view caption,
                                            UINT type) {
    auto box = std::make_unique<QMessageBox>(QApplication::activeWindow());
    box->setWindowTitle(FromUtf8(caption));
    box->setText(FromUtf8(text));
    box->setIcon(QMessageBox::Warning);
    for (const Icon& icon : kIcons)
        if ((type & MB_ICONMASK) == icon.bits) box->setIcon(icon.icon);
    const Buttons* buttons = &kButtons[0];
    for (const Buttons& candidate : kButtons)
        if ((type & MB_TYPEMASK) == candidate.type) buttons = &candidate;
    QMessageBox::StandardButtons all;
    for (QMessageBox::StandardButton button : buttons->buttons) all |= button;
    box->setStandardButtons(all);
    const UINT which = std::min<UINT>((type & MB_DEFMASK) >> 8, 2);
    box->setDefaultButton(buttons->buttons[which]);
    return box;
}

void InstallMessageBoxes() {
    kestra::platform::SetMessageBoxPresenter(
        [](HWND, std::string_view text, std::string_view caption, UINT type) {
            const std::unique_ptr<QMessageBox> box = MakeMessageBox(text, caption, type);
            const auto answer = static_cast<QMessageBox::StandardButton>(box->exec());
            for (const auto& [button, result] : kResults)
                if (answer == button) return result;
            return IDCANCEL;  // closed by the window manager
        });
}

}  // namespace clavon
