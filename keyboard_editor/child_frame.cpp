#include "keyboard_editor/child_frame.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QVBoxLayout>

#include "platform/message_box.h"

namespace clavon {

CChildFrame::CChildFrame(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new CClavonView(&m_doc.Model(), this);
    m_controller = new CClavonController(m_doc, *m_view, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    connect(&m_doc.UndoStack(), &QUndoStack::cleanChanged, this, [this] { UpdateTitle(); });
    UpdateTitle();
}

void CChildFrame::UpdateTitle() {
    setWindowTitle(m_doc.Title() + "[*]");
    setWindowModified(m_doc.IsModified());
}

bool CChildFrame::Save() {
    if (m_doc.PathName().empty()) return SaveAs();
    std::string error;
    if (!m_doc.Save(m_doc.PathName(), error)) {
        const std::string text = "Can not save " + m_doc.PathName() + ": " + error +
                                 "\nChoose another folder or free some space and save again.";
        MessageBox(nullptr, text.c_str(), "Clavon", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    UpdateTitle();
    return true;
}

bool CChildFrame::SaveAs() {
    const QString start =
        m_doc.PathName().empty()
            ? QDir(m_controller->DocumentFolder()).filePath(m_doc.Title() + ".kbd")
            : QString::fromStdString(m_doc.PathName());
    QString path = QFileDialog::getSaveFileName(this, "Save As", start, "Clavon Files (*.kbd)");
    if (path.isEmpty()) return false;
    if (!path.endsWith(".kbd")) path += ".kbd";
    m_doc.SetPathName(path.toStdString());
    return Save();
}

bool CChildFrame::MaySave() {
    if (!m_doc.IsModified()) return true;
    const std::string text = "Save changes to " + m_doc.Title().toStdString() + "?";
    const int answer =
        MessageBox(nullptr, text.c_str(), "Clavon", MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) return Save();
    return true;
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (!m_controller->CanClose() || !MaySave()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace clavon
