// The main window's file commands: new, open, import, save, export, the questions before
// unsaved work could be lost, and the autosaved copies.
#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>

#include "extension_classes/plc_driver.h"
#include "extension_classes/plc_info.h"
#include "extension_classes/plc_select.h"
#include "kestra/driver.h"
#include "kestra/host.h"
#include "workbench/document/autosave.h"
#include "workbench/document/project_document.h"
#include "workbench/jobs/file_names.h"
#include "workbench/window/check_results.h"
#include "workbench/window/main_window.h"
#include "workbench/window/questions.h"
#include "workbench/window/user_folders.h"

namespace kestra::workbench {

namespace {

constexpr const char* kProjectFilter =
    QT_TRANSLATE_NOOP("kestra::workbench::MainWindow", "Kestra projects (*.kpr);;All files (*)");
constexpr const char* kJsonFilter = QT_TRANSLATE_NOOP(
    "kestra::workbench::MainWindow", "Project JSON documents (*.json);;All files (*)");

bool IsJson(const QString& path) {
    return path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
}

QString LastFolder() {
    return Settings()->value("lastFolder").toString();
}

void RememberFolder(const QString& path) {
    KeepSetting("lastFolder", QFileInfo(path).absolutePath());
}

QString Message(const host::Failure& failure) {
    return QString::fromStdString(failure.message);
}

// What a failure to open, import or make a project tells the user: what went wrong, and that the
// project that was open (if one was) is still there.
QString NotOpened(const QString& message, bool projectWasOpen) {
    return projectWasOpen
               ? MainWindow::tr("%1\n\nThe project that was open stays as it was.").arg(message)
               : message;
}

// An empty file holds no project: said so plainly, rather than as the reader's complaint about
// the first thing it misses. Empty when the file is not empty.
QString EmptyFileProblem(const QString& path) {
    const QFileInfo file(path);
    return file.isFile() && file.size() == 0
               ? MainWindow::tr("%1 is empty (0 bytes): it holds no project.").arg(path)
               : QString();
}

}  // namespace

bool MainWindow::settleUnsavedWork(const QString& before) {
    if (!document_->hasProject() || !document_->isModified()) return true;
    Question question;
    question.icon = QMessageBox::Warning;
    question.title = tr("Unsaved changes");
    question.text = tr("The project \"%1\" has changes that are not saved.\n\nSave them before %2?")
                        .arg(document_->displayName(), before);
    question.buttons = QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    question.defaultButton = QMessageBox::Save;
    switch (Ask(this, question)) {
        case QMessageBox::Save:
            return save();
        case QMessageBox::Discard:
            return true;
        default:
            return false;
    }
}

bool MainWindow::openFile(const QString& given, bool repair) {
    QString path = given;
    if (path.isEmpty()) {
        path = QFileDialog::getOpenFileName(this, repair ? tr("Open with Repairs") : tr("Open"),
                                            LastFolder(), tr(kProjectFilter));
        if (path.isEmpty()) return false;
    }
    if (IsJson(path)) return importFile(path);
    if (const QString empty = EmptyFileProblem(path); !empty.isEmpty()) {
        reportFailure(tr("Open"), NotOpened(empty, document_->hasProject()));
        return false;
    }
    if (!settleUnsavedWork(tr("opening another project"))) return false;
    std::vector<std::string> repairs;
    try {
        repairs = document_->open(path, repair);
    } catch (const host::Failure& failure) {
        reportFailure(tr("Open"), NotOpened(Message(failure), document_->hasProject()));
        return false;
    }
    autosave_->discard();
    RememberFolder(path);
    addRecentFile(path);
    if (!repairs.empty()) {
        QStringList lines;
        for (const std::string& line : repairs) lines.append(QString::fromStdString(line));
        Question question;
        question.icon = QMessageBox::Information;
        question.title = tr("Open with Repairs");
        question.text = tr("%1 loads only with repairs: %n repair(s), listed under Show "
                           "Details. Save the project to keep them.\n\nThe project store also "
                           "logs each bitmap it mends in %2.",
                           "", static_cast<int>(repairs.size()))
                            .arg(QFileInfo(path).fileName(), DataFolder() + "/PrjFix.txt");
        question.details = lines.join('\n');
        Ask(this, question);
    }
    if (!document_->driver())
        statusBar()->showMessage(document_->driverProblem(), 15000);
    else
        statusBar()->showMessage(tr("Opened %1").arg(path), 5000);
    return true;
}

bool MainWindow::reloadFromFile() {
    const QString path = document_->path();
    if (path.isEmpty()) return false;
    try {
        document_->open(path);
    } catch (const host::Failure& failure) {
        reportFailure(tr("Reload"),
                      tr("%1\n\nThe project stays here as it was.").arg(Message(failure)));
        return false;
    }
    autosave_->discard();
    statusBar()->showMessage(tr("Reloaded %1").arg(path), 5000);
    return true;
}

bool MainWindow::importFile(const QString& given) {
    QString path = given;
    if (path.isEmpty()) {
        path = QFileDialog::getOpenFileName(this, tr("Import JSON"), LastFolder(), tr(kJsonFilter));
        if (path.isEmpty()) return false;
    }
    if (const QString empty = EmptyFileProblem(path); !empty.isEmpty()) {
        reportFailure(tr("Import JSON"), NotOpened(empty, document_->hasProject()));
        return false;
    }
    if (!settleUnsavedWork(tr("importing another project"))) return false;
    try {
        document_->importJson(path);
    } catch (const host::Failure& failure) {
        reportFailure(tr("Import JSON"), NotOpened(Message(failure), document_->hasProject()));
        return false;
    }
    autosave_->discard();
    RememberFolder(path);
    statusBar()->showMessage(tr("Imported %1; save it as a project file").arg(path), 8000);
    return true;
}

bool MainWindow::exportFile(const QString& given) {
    if (!document_->hasProject()) return false;
    QString path = given;
    if (path.isEmpty()) {
        const QString suggested =
            QFileInfo(LastFolder(), NameFor(document_->displayName(), "json")).filePath();
        path = AskFileToWrite(this, tr("Export JSON"), suggested, tr(kJsonFilter));
        if (path.isEmpty()) return false;
    }
    try {
        document_->exportJson(path);
    } catch (const host::Failure& failure) {
        reportFailure(tr("Export JSON"), Message(failure));
        return false;
    }
    statusBar()->showMessage(tr("Exported %1").arg(path), 5000);
    return true;
}

bool MainWindow::confirmOverwriteChangedFile() {
    if (!document_->changedOnDisk()) return true;
    Question question;
    question.icon = QMessageBox::Warning;
    question.title = tr("File changed");
    question.text = tr("%1 was changed or removed by another program since the workbench opened "
                       "or saved it.\n\nSave over it, losing what the other program wrote, or "
                       "save under another name?")
                        .arg(document_->path());
    question.buttons = QMessageBox::Save | QMessageBox::SaveAll | QMessageBox::Cancel;
    question.buttonTexts = {{QMessageBox::Save, tr("&Overwrite")},
                            {QMessageBox::SaveAll, tr("Save &As...")}};
    question.defaultButton = QMessageBox::Cancel;
    switch (Ask(this, question)) {
        case QMessageBox::Save:
            return true;
        case QMessageBox::SaveAll:
            saveAs();
            return false;
        default:
            return false;
    }
}

bool MainWindow::save() {
    if (!document_->hasProject()) return false;
    if (document_->path().isEmpty()) return saveAs();
    if (!confirmOverwriteChangedFile()) return !document_->isModified();
    try {
        document_->save();
    } catch (const host::Failure& failure) {
        reportFailure(tr("Save"), tr("%1\n\nThe file keeps what it held before. Save the project "
                                     "under another name (File > Save As).")
                                      .arg(Message(failure)));
        return false;
    }
    autosave_->discard();
    statusBar()->showMessage(tr("Saved %1").arg(document_->path()), 5000);
    return true;
}

bool MainWindow::saveAs(const QString& given) {
    if (!document_->hasProject()) return false;
    QString path = given;
    if (path.isEmpty()) {
        const QString suggested =
            document_->path().isEmpty()
                ? QFileInfo(LastFolder(), NameFor(document_->displayName(), "kpr")).filePath()
                : document_->path();
        path = AskFileToWrite(this, tr("Save As"), suggested, tr(kProjectFilter));
        if (path.isEmpty()) return false;
    }
    try {
        document_->saveAs(path);
    } catch (const host::Failure& failure) {
        reportFailure(
            tr("Save As"),
            tr("%1\n\nNothing was written. Choose another folder or name.").arg(Message(failure)));
        return false;
    }
    autosave_->discard();
    checkResults_->rename(QFileInfo(document_->path()).fileName());
    RememberFolder(path);
    addRecentFile(path);
    statusBar()->showMessage(tr("Saved %1").arg(path), 5000);
    return true;
}

bool MainWindow::newProject() {
    if (!settleUnsavedWork(tr("starting a new project"))) return false;
    CPlcInfoList drivers(host::kDriverListRegistryWord);
    drivers.Load(FALSE);
    HINSTANCE current = document_->driver() ? document_->driver()->loader().GetHandle() : nullptr;
    CPlcSelectDlg select(&drivers, current, PLCMODE_EXTERNAL, FALSE, this);
    const int chosen = select.DoModal();
    takeFocusBack();
    if (chosen != QDialog::Accepted) return false;
    const CPlcInfo* entry = drivers.FindDLL(select.GetSelectedDriverDll());
    if (!entry) {
        reportFailure(tr("New"), tr("No driver was chosen: choose the PLC driver of the new "
                                    "project in the list."));
        return false;
    }
    try {
        document_->newProject(*entry);
    } catch (const host::Failure& failure) {
        reportFailure(tr("New"), NotOpened(Message(failure), document_->hasProject()));
        return false;
    }
    autosave_->discard();
    statusBar()->showMessage(
        tr("A new project for %1").arg(QString::fromStdString(entry->m_strDriverName)), 5000);
    return true;
}

// ---- Autosave -------------------------------------------------------------------------------

void MainWindow::autosaveNow() {
    if (!document_->hasProject() || !document_->isModified()) {
        autosave_->discard();
        return;
    }
    // The libraries are not re-entrant: nothing is saved while a change or a build job is
    // using them (a timer may fire while one of their dialogs runs).
    if (document_->busy()) return;
    QString error;
    try {
        if (autosave_->write(document_->image(), document_->path(), &error)) {
            statusBar()->showMessage(tr("Autosaved a copy of the unsaved changes"), 3000);
            return;
        }
    } catch (const host::Failure& failure) {
        error = Message(failure);
    }
    statusBar()->showMessage(tr("Autosave failed: %1").arg(error), 10000);
}

int MainWindow::offerLeftovers() {
    int restored = 0;
    for (Autosave::Leftover& leftover : Autosave::Leftovers()) {
        const QString name = leftover.projectPath.isEmpty()
                                 ? tr("an untitled project")
                                 : QStringLiteral("\"%1\"").arg(leftover.projectPath);
        Question question;
        question.icon = QMessageBox::Question;
        question.title = tr("Restore unsaved work");
        question.text = tr("A workbench ended without saving the changes to %1. A copy was "
                           "autosaved at %2.\n\nRestore it?")
                            .arg(name, QLocale().toString(leftover.saved, QLocale::ShortFormat));
        question.buttons = QMessageBox::Yes | QMessageBox::Discard | QMessageBox::Ignore;
        question.buttonTexts = {{QMessageBox::Yes, tr("&Restore")},
                                {QMessageBox::Ignore, tr("&Keep for Later")}};
        question.defaultButton = QMessageBox::Yes;
        const QMessageBox::StandardButton answer = Ask(this, question);
        if (answer == QMessageBox::Discard) Autosave::Remove(leftover);
        if (answer != QMessageBox::Yes) continue;
        const std::optional<Bytes> image = Autosave::Read(leftover);
        MainWindow* window = document_->hasProject() ? new MainWindow : this;
        window->show();
        try {
            if (!image)
                host::Fail(host::kExitUnreadable,
                           leftover.imagePath.toStdString() + ": cannot be read");
            window->document_->recover(*image, leftover.projectPath);
        } catch (const host::Failure& failure) {
            window->reportFailure(tr("Restore unsaved work"),
                                  tr("%1\n\nThe copy stays where it is.").arg(Message(failure)));
            if (window != this) window->close();
            continue;
        }
        // The restored project's own copy takes over from the old one.
        window->autosaveNow();
        Autosave::Remove(leftover);
        ++restored;
    }
    return restored;
}

}  // namespace kestra::workbench
