#include "workbench/hosted/hosted_window.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include "kestra/host.h"
#include "platform/message_box.h"
#include "windows/window_host.h"

namespace kestra::workbench {

platform::qt::QtHost& WindowCoreHost() {
    auto* host = dynamic_cast<platform::qt::QtHost*>(&platform::CurrentWindowHost());
    if (!host)
        host::Fail(host::kExitInternal,
                   "the window core does not show its windows through Qt here (is "
                   "KESTRA_WINDOW_HOST set to headless?)");
    return *host;
}

HWND OwnerFor(QWidget* parent) {
    return parent ? WindowCoreHost().windowFor(parent->window()) : nullptr;
}

QWidget* CoreDialogParent(HWND dialog) {
    QWidget* widget = dialog ? WindowCoreHost().widgetOf(dialog) : nullptr;
    return widget ? widget->window() : nullptr;
}

CoreDialogAside::CoreDialogAside(HWND dialog) : widget_(CoreDialogParent(dialog)) {
    if (widget_) widget_->setUpdatesEnabled(false);
}

CoreDialogAside::~CoreDialogAside() {
    // The update this asks for is painted once the event loop runs again, after the library
    // has given its dialog back its size.
    if (widget_) widget_->setUpdatesEnabled(true);
}

void CentreOverParent(QDialog& dialog) {
    constexpr int kShrunk = 16;  // a window this small is out of the way
    QWidget* parent = dialog.parentWidget();
    if (!parent) return;
    QRect over = parent->window()->frameGeometry();
    const QWindow* handle = parent->window()->windowHandle();
    if ((over.width() < kShrunk || over.height() < kShrunk) && handle && handle->transientParent())
        over = handle->transientParent()->frameGeometry();
    dialog.adjustSize();
    dialog.move(over.center() - dialog.rect().center());
}

BOOL CentreOnOwner(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT around, placed;
    if (!owner || !GetWindowRect(owner, &around) || !GetWindowRect(dialog, &placed)) return TRUE;
    const int width = placed.right - placed.left, height = placed.bottom - placed.top;
    SetWindowPos(dialog, nullptr, around.left + (around.right - around.left - width) / 2,
                 around.top + (around.bottom - around.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

std::vector<QPushButton*> LayOutListDialog(QDialog& dialog, QLabel* label, QWidget* list,
                                           std::initializer_list<const char*> texts) {
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    label->setBuddy(list);
    auto* row = new QHBoxLayout;
    row->addWidget(list);
    auto* column = new QVBoxLayout;
    std::vector<QPushButton*> buttons;
    for (const char* text : texts) {
        auto* button = new QPushButton(text, &dialog);
        button->setAutoDefault(false);  // Enter is OK's
        column->addWidget(button);
        buttons.push_back(button);
    }
    column->addStretch();
    row->addLayout(column);
    layout->addLayout(row);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(box);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

int Tell(QWidget* parent, const std::string& caption, const std::string& text, unsigned type) {
    return MessageBox(OwnerFor(parent), text.c_str(), caption.c_str(), type);
}

bool TellingFailures(QWidget* parent, const std::string& caption,
                     const std::function<bool()>& work) {
    try {
        return work();
    } catch (const host::Failure& failure) {
        Tell(parent, caption, failure.message, MB_OK | MB_ICONERROR);
        return false;
    }
}

}  // namespace kestra::workbench
