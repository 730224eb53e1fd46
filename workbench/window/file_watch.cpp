#include "workbench/window/file_watch.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

#include "workbench/document/project_document.h"
#include "workbench/window/main_window.h"
#include "workbench/window/questions.h"

namespace kestra::workbench {

namespace {

constexpr int kSettleMs = 300;  // a file being written changes several times in a row
constexpr int kBusyRetryMs = 1000;

// Whether the file holds the project as the window has it (written again, or only touched).
bool SameBytes(const QString& path, const Bytes& image) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != static_cast<qint64>(image.size()))
        return false;
    const QByteArray bytes = file.readAll();
    return std::equal(bytes.begin(), bytes.end(), image.begin(), image.end(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}  // namespace

FileWatch::FileWatch(MainWindow& window) : QObject(&window), window_(window) {
    soon_.setSingleShot(true);
    connect(&soon_, &QTimer::timeout, this, &FileWatch::check);
    auto soon = [this] { soon_.start(kSettleMs); };
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, soon);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, soon);
    connect(&window_.document(), &ProjectDocument::fileChanged, this, &FileWatch::follow);
    follow();
}

void FileWatch::follow() {
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    declined_.reset();
    const QString& path = window_.document().path();
    if (path.isEmpty()) return;
    // The folder too: a program that writes a new file and renames it over the old one leaves
    // the old file's watch behind.
    watcher_.addPath(QFileInfo(path).absolutePath());
    if (QFileInfo::exists(path)) watcher_.addPath(path);
}

void FileWatch::check() {
    ProjectDocument& document = window_.document();
    if (asking_ || !document.hasProject() || document.path().isEmpty()) return;
    const QString path = document.path();
    if (!watcher_.files().contains(path) && QFileInfo::exists(path)) watcher_.addPath(path);
    if (!document.changedOnDisk()) return;
    if (document.busy() || QApplication::activeModalWidget()) {
        soon_.start(kBusyRetryMs);  // not in the middle of a dialog or a build job
        return;
    }
    const FileStamp now = FileStamp::Of(path.toStdString());
    if (now == declined_) return;
    declined_ = now;
    if (now.exists && !document.isModified() && SameBytes(path, document.image())) return;
    if (!now.exists) {
        window_.statusBar()->showMessage(
            tr("%1 was removed or renamed by another program; Save writes it again.").arg(path));
        return;
    }
    Question question;
    question.icon = QMessageBox::Question;
    question.title = tr("File changed on disk");
    question.text =
        tr("%1 was changed by another program.\n\nReload the project from the file?").arg(path);
    if (document.isModified())
        question.text += tr(" The changes made here and not saved would be lost.");
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.buttonTexts = {{QMessageBox::Yes, tr("&Reload")},
                            {QMessageBox::No, tr("&Keep This Version")}};
    question.defaultButton = document.isModified() ? QMessageBox::No : QMessageBox::Yes;
    asking_ = true;
    const QMessageBox::StandardButton answer = Ask(&window_, question);
    asking_ = false;
    if (answer == QMessageBox::Yes) window_.reloadFromFile();
}

}  // namespace kestra::workbench
