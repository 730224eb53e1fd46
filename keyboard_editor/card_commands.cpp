// The controller's card commands: "Download ROM", "SSFDC" and "Communication Parameters...",
// with the card check both card commands start with.
#include <QEventLoop>
#include <QProgressDialog>
#include <QSettings>
#include <functional>
#include <thread>

#include "keyboard_editor/clavon_controller.h"
#include "keyboard_editor/download_dialogs.h"
#include "keyboard_editor/text_tables.h"
#include "keyboard_editor/user_folders.h"
#include "keyboard_editor/user_messages.h"
#include "platform/files.h"

namespace clavon {
namespace {

// Runs `work` on a thread of its own while a busy window tells the user (and keeps the
// editing window's input away) until it ends.
bool WhileBusy(QWidget* parent, const QString& text, const std::function<bool()>& work) {
    QProgressDialog progress(text, QString(), 0, 0, parent);
    progress.setWindowTitle("SSFDC");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QEventLoop loop;
    bool result = false;
    std::thread worker([&] {
        result = work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return result;
}

}  // namespace

bool CClavonController::CheckCard() {
    sSSFDCPROPERTY properties{};
    if (!m_manager.UploadSSFDCProps(&properties)) {
        emit statusMessage(QString::fromStdString(m_manager.LastReport()));
        Warn(kCanNotReadProps);
        return false;
    }
    if (properties.blocks == 0 && properties.pagesPerBlock == 0) {
        Warn(kNoSSFDC);
        return false;
    }
    if (properties.formatted) return true;
    if (!Agrees(kFormatQuestion, "SSFDC")) return false;
    emit statusMessage("Formatting the SSFDC card...");
    if (!WhileBusy(m_window, "Formatting the SSFDC card...",
                   [this] { return m_manager.FormatCard(); })) {
        emit statusMessage("The SSFDC card could not be formatted.");
        Warn(m_manager.LastReport());
        return false;
    }
    emit statusMessage("The SSFDC card is formatted.");
    return true;
}

void CClavonController::DownloadRom() {
    if (!CanDownload()) return;
    const std::string romFile = CacheFile(kDownloadRomFile);
    {
        WaitCursor wait;
        if (!ExportRom(m_doc.Model(), romFile, m_doc.PathName(), nullptr)) return;
    }
    m_ready = false;
    m_manager.Settle(100);
    if (!CheckCard()) {
        m_ready = true;
        return;
    }
    const bool fetched = m_manager.UploadSSFDCFileProps(kSSFDCPropsFile);
    m_ready = true;
    if (!fetched) return;
    m_manager.Settle(100);
    const std::optional<CSSFDCFileTable> table = CSSFDCFileTable::Read(CacheFile(kSSFDCPropsFile));
    if (!table) {
        Warn(kNoSSFDCInformation);
        return;
    }
    CSubtypeDlg dialog(*table, ReadFieldNames(kestra::platform::ProgramFolder()), m_window);
    if (Run(dialog) != QDialog::Accepted) return;
    const int subtype = dialog.Subtype();
    if (subtype < 1) {
        Warn(kErrorAssigningSubtype);
        return;
    }
    m_progress =
        new QProgressDialog("Sending the keyboard to the SSFDC card...", QString(), 0, 0, m_window);
    m_progress->setWindowTitle("Download ROM");
    m_progress->setMinimumDuration(500);
    m_sending = subtype;
    emit statusMessage("Sending the keyboard to the SSFDC card...");
    m_manager.Download(romFile, kKeyboardFileType, subtype);
    emit transferChanged();
}

void CClavonController::OnDownloadFinished(bool ok, const std::string& report) {
    if (m_progress) {
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    // The worker has let go of the card; joining it is immediate.
    m_manager.Wait();
    emit transferChanged();
    if (ok) {
        emit statusMessage(
            QString("The keyboard has been sent to the SSFDC card (subtype %1).").arg(m_sending));
        return;
    }
    emit statusMessage(
        QString("The keyboard could not be sent: %1").arg(QString::fromStdString(report)));
    Warn(report);
}

void CClavonController::OpenSSFDCFiles() {
    if (m_manager.IsUsed() || !CheckCard()) return;
    CSSFDCFilesDlg dialog(m_manager, m_window);
    if (!dialog.Refresh()) return;
    Run(dialog);
}

void CClavonController::CommunicationParameters() {
    CCommParamsDlg dialog(m_manager.Port(), m_window);
    if (Run(dialog) != QDialog::Accepted) return;
    m_manager.SetPort(dialog.Port());
    QSettings().setValue("Settings/ReaderPort", dialog.Port());
}

}  // namespace clavon
