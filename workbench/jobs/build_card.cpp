// The Build menu's work with the card: sending the project's panel image and listing the card,
// through the card device service on the configured reader, with the service's progress in
// the job's dialog.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "card_service/kes_ssfdc_device.h"
#include "kestra/card.h"
#include "kestra/panel_image.h"
#include "platform/files.h"
#include "workbench/jobs/build_jobs.h"
#include "workbench/jobs/build_runner.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

constexpr const char* kSendCaption = "Send to Card";
constexpr const char* kContentsCaption = "Card Contents";
constexpr int kWidestContents = 1100;  // pixels

// The card service's progress in the job's dialog. While a file is written or read back the
// user may stop: the sink then stops the service, which gives the new file's blocks back and
// leaves the directory, and so the card's old project file, as it was.
class CardProgress : public card::ProgressSink {
  public:
    explicit CardProgress(JobProgress& job) : job_(job) {}

    // Whether the work now running may be stopped (a format may not).
    void stoppable(bool stoppable) {
        stoppable_ = stoppable;
        job_.allowCancel(stoppable);
    }

    void begin(std::string_view task, std::uint64_t totalBytes) override {
        total_ = totalBytes;
        job_.step(QString::fromUtf8(task.data(), static_cast<qsizetype>(task.size())) + "...");
        job_.advance(0, total_);
    }
    void advance(std::uint64_t doneBytes) override {
        if (stoppable_ && job_.cancelRequested())
            throw card::CardError(KESSSFDC_DOWNLOAD_FAILED,
                                  "Stopped by the user; the card's files are as they were.");
        job_.advance(doneBytes, total_);
    }
    void end(bool) override {}

  private:
    JobProgress& job_;
    std::uint64_t total_ = 0;
    bool stoppable_ = false;
};

// The card device on the configured reader, as a new program run would open it, with the card
// taken for `use` until the job ends. A card that another program holds is told to the user,
// who may try again.
std::unique_ptr<CKesSSFDCDevice> OpenCard(CardProgress& progress, JobProgress& job,
                                          platform::CardUse use, const char* caption) {
    auto device = std::make_unique<CKesSSFDCDevice>((platform::ProgramFolder() + "/").c_str());
    device->setProgressSink(&progress);
    device->setCardUse(use);
    for (;;) {
        device->initSSFDC(host::kDefaultCardPort);
        try {
            CSSFDCStatus card;
            device->SSFDCInfo(card);
            return device;
        } catch (CSSFDCLibException* error) {
            std::unique_ptr<CSSFDCLibException> owned(error);
            if (error->m_ErrorCode != KESSSFDC_CARD_IN_USE ||
                !job.confirm(caption, error->m_Report + "\n\nTry again now?"))
                host::FailCard(use == platform::CardUse::Write ? "card send" : "card list",
                               owned.release());
        }
    }
}

// Runs card work; a card error ends it as `kestra card` ends.
template <typename Work>
void CardWork(const std::string& what, Work&& work) {
    try {
        work();
    } catch (CSSFDCLibException* error) {
        host::FailCard(what, error);
    }
}

// The card's contents in a window of their own, below what was done.
void ShowContents(QWidget* parent, const QString& caption, const QString& done,
                  const std::string& contents) {
    QDialog window(parent);
    window.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&window);
    if (!done.isEmpty()) {
        auto* label = new QLabel(done, &window);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto* text = new QPlainTextEdit(QString::fromStdString(contents), &window);
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Wide enough for the longest line, as far as the screen allows.
    int widest = 0;
    for (const QString& line : text->toPlainText().split('\n'))
        widest = std::max(widest, text->fontMetrics().horizontalAdvance(line));
    text->setMinimumSize(std::min(widest + 40, kWidestContents), 320);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    layout->addWidget(buttons);
    window.exec();
}

}  // namespace

bool SendToCard(QWidget* parent, const LoadedProject& project, Driver& driver,
                const std::string& name, const std::string& cardName) {
    if (RefusedForErrors(parent, kSendCaption, project, driver, name, "nothing is sent"))
        return false;
    return TellingFailures(parent, kSendCaption, [&] {
        host::CheckCardFileName(cardName);
        std::string contents;
        std::size_t size = 0;
        bool declined = false;
        RunJob(parent, "Sending " + QString::fromStdString(name) + " to the card",
               [&](JobProgress& job) {
                   job.step("Building the panel image with " +
                            QString::fromStdString(driver.library()) + "...");
                   const host::Bytes image = host::BuildPanelImage(name, project, driver, true);
                   size = image.size();
                   job.step("Looking at the card...");
                   CardProgress progress(job);
                   const auto device =
                       OpenCard(progress, job, platform::CardUse::Write, kSendCaption);
                   CardWork("card send", [&] {
                       if (device->IsFormatted()) return;
                       declined = !job.confirm(
                           kSendCaption,
                           "The card in the reader is not formatted. Format it now? Everything "
                           "on it is lost.");
                       if (!declined) device->Format();
                   });
                   if (declined) return;
                   progress.stoppable(true);
                   host::SendPanelImage(*device, cardName, image);
                   progress.stoppable(false);
                   job.step("Listing the card...");
                   contents = host::CardContentsText(*device);
               });
        if (declined) return false;
        ShowContents(parent, kSendCaption,
                     QString("%1 bytes sent to the card as its project file \"%2\" and verified.")
                         .arg(size)
                         .arg(QString::fromStdString(cardName)),
                     contents);
        return true;
    });
}

bool ShowCardContents(QWidget* parent) {
    return TellingFailures(parent, kContentsCaption, [&] {
        std::string contents;
        RunJob(parent, "Reading the card", [&](JobProgress& job) {
            job.step("Reading the card's directory...");
            CardProgress progress(job);
            const auto device = OpenCard(progress, job, platform::CardUse::Read, kContentsCaption);
            CardWork("card list", [&] {
                if (!device->IsFormatted())
                    host::Fail(host::kExitCardFailed,
                               "card list: the card is not formatted (Send to Card formats it)");
            });
            contents = host::CardContentsText(*device);
        });
        ShowContents(parent, kContentsCaption, {}, contents);
        return true;
    });
}

}  // namespace kestra::workbench
