#include "workbench/jobs/build_runner.h"

#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "kestra/host.h"
#include "platform/message_box.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

// Work that ends sooner than this never shows its dialog.
constexpr int kShowAfterMs = 400;
// The bar's range; byte counts are scaled into it.
constexpr int kBarSteps = 1000;

class JobDialog : public QDialog, public JobProgress {
  public:
    // `user` shows the questions of confirm() while the libraries' boxes are collected.
    JobDialog(QWidget* parent, const QString& title, platform::MessageBoxPresenter user,
              QEventLoop& loop)
        : QDialog(parent), user_(std::move(user)), loop_(loop) {
        setWindowTitle(title);
        setWindowModality(Qt::ApplicationModal);
        setMinimumWidth(420);
        auto* layout = new QVBoxLayout(this);
        label_ = new QLabel(title, this);
        label_->setWordWrap(true);
        layout->addWidget(label_);
        bar_ = new QProgressBar(this);
        bar_->setRange(0, 0);
        layout->addWidget(bar_);
        auto* row = new QHBoxLayout;
        row->addStretch();
        cancel_ = new QPushButton("Cancel", this);
        cancel_->setVisible(false);
        row->addWidget(cancel_);
        layout->addLayout(row);
        connect(cancel_, &QPushButton::clicked, this, [this] { requestCancel(); });
    }

    void step(const QString& text) override {
        QMetaObject::invokeMethod(this, [this, text] { label_->setText(text); });
    }
    void advance(std::uint64_t done, std::uint64_t total) override {
        const int value =
            total == 0 ? 0 : static_cast<int>(std::min(done, total) * kBarSteps / total);
        QMetaObject::invokeMethod(this, [this, value, total] {
            bar_->setRange(0, total == 0 ? 0 : kBarSteps);
            bar_->setValue(value);
        });
    }
    // Work that can be stopped shows its dialog at once, so that Cancel can be reached.
    void allowCancel(bool allowed) override {
        cancelAllowed_ = allowed;
        QMetaObject::invokeMethod(this, [this, allowed] {
            cancel_->setVisible(allowed);
            cancel_->setEnabled(allowed && !cancelled_);
            if (allowed) showAtOnce();
        });
    }
    void showNow() override {
        QMetaObject::invokeMethod(
            this, [this] { showAtOnce(); }, Qt::BlockingQueuedConnection);
    }
    bool cancelRequested() const override { return cancelled_; }
    bool confirm(const std::string& caption, const std::string& question) override {
        int answer = IDNO;
        QMetaObject::invokeMethod(
            this,
            [&] {
                const UINT type = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
                answer = user_ ? user_(OwnerFor(this), question, caption, type)
                               : platform::DefaultButton(type);
            },
            Qt::BlockingQueuedConnection);
        return answer == IDYES;
    }

    // Escape and the window's close button ask to cancel, where that is offered; the dialog
    // itself closes only when the work has ended.
    void reject() override { requestCancel(); }

  private:
    // Shown before the work's time to show has come: the wait without input ends there.
    void showAtOnce() {
        if (isVisible()) return;
        show();
        loop_.quit();
    }
    void requestCancel() {
        if (!cancelAllowed_ || cancelled_) return;
        cancelled_ = true;
        cancel_->setEnabled(false);
        label_->setText(label_->text() + "\nStopping...");
    }

    platform::MessageBoxPresenter user_;
    QEventLoop& loop_;
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    std::atomic<bool> cancelAllowed_ = false;
    std::atomic<bool> cancelled_ = false;
};

}  // namespace

void RunJob(QWidget* parent, const QString& title, const std::function<void(JobProgress&)>& work) {
    std::exception_ptr failure;
    std::atomic<bool> done = false;
    QEventLoop loop;
    // The presenter now in place (the user's) stays for the work's questions.
    platform::MessageBoxPresenter user = platform::SetMessageBoxPresenter({});
    platform::SetMessageBoxPresenter(user);
    host::TakeMessageBoxes();
    {
        const host::CollectedMessageBoxes collected;
        JobDialog dialog(parent, title, user, loop);
        std::thread worker([&] {
            try {
                work(dialog);
            } catch (...) {
                failure = std::current_exception();
            }
            done = true;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        // Until the dialog shows, input waits (it is not lost); then the dialog takes it.
        QTimer::singleShot(kShowAfterMs, &loop, &QEventLoop::quit);
        if (!dialog.isVisible()) loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!done) {
            if (!dialog.isVisible()) dialog.show();
            while (!done) loop.exec();
        }
        worker.join();
    }
    // What the libraries said that no failure message took in yet: told as the libraries would
    // have told it after work that ended well, added to the failure's message otherwise.
    std::string said;
    for (const std::string& text : host::TakeMessageBoxes())
        said += (said.empty() ? "" : "\n") + text;
    if (!failure) {
        if (!said.empty()) Tell(parent, title.toStdString(), said, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!said.empty()) std::replace(said.begin(), said.end(), '\n', ';');
    const std::string added = said.empty() ? "" : " (the library said: " + said + ")";
    try {
        std::rethrow_exception(failure);
    } catch (host::Failure& thrown) {
        thrown.message += added;
        throw;
    } catch (const std::exception& error) {
        host::Fail(host::kExitInternal, std::string("internal fault: ") + error.what() + added);
    }
}

}  // namespace kestra::workbench
