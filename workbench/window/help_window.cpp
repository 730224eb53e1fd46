#include "workbench/window/help_window.h"

#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace kestra::workbench {

HelpWindow* HelpWindow::Show(QWidget* parent) {
    static QPointer<HelpWindow> window;
    if (!window) window = new HelpWindow(parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
    setWindowTitle(tr("Kestra Workbench Manual"));
    setAttribute(Qt::WA_DeleteOnClose);
    browser_->setOpenExternalLinks(true);
    browser_->setSource(QUrl(QStringLiteral("qrc:/workbench/manual.html")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* back = buttons->addButton(tr("&Back"), QDialogButtonBox::ActionRole);
    auto* contents = buttons->addButton(tr("C&ontents"), QDialogButtonBox::ActionRole);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    back->setEnabled(false);
    connect(contents, &QPushButton::clicked, browser_, &QTextBrowser::home);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
    resize(760, 640);
}

}  // namespace kestra::workbench
