#include "keyboard_editor/undo_commands.h"

#include <QFileInfo>
#include <cmath>

#include "keyboard_editor/kbd_document.h"

namespace clavon {

CClavonDoc::CClavonDoc() : m_model(std::make_unique<CClavonModel>()) {}

QString CClavonDoc::Title() const {
    return m_path.empty() ? QStringLiteral("Untitled %1").arg(m_untitled)
                          : QFileInfo(QString::fromStdString(m_path)).fileName();
}

bool CClavonDoc::Open(const std::string& path, std::string& error) {
    std::unique_ptr<CClavonModel> model = ReadKbdFile(path, error);
    if (!model) return false;
    m_model = std::move(model);
    m_model->LoadBackground();
    m_path = path;
    m_undo.clear();
    emit changed();
    return true;
}

bool CClavonDoc::Save(const std::string& path, std::string& error) {
    if (!WriteKbdFile(*m_model, path, error)) return false;
    m_path = path;
    m_undo.setClean();
    return true;
}

void CClavonDoc::Restore(const QByteArray& text) {
    std::string error;
    std::unique_ptr<CClavonModel> restored = ParseKbd(text, error);
    if (!restored) return;  // our own text: cannot happen
    const std::string oldBitmap = m_model->Text(kBitmapPath);
    const QImage keptBitmap = m_model->Background();
    m_model = std::move(restored);
    if (m_model->Text(kBitmapPath) != oldBitmap)
        m_model->LoadBackground();
    else if (!keptBitmap.isNull())
        m_model->LoadBackground();
    emit changed();
}

void CClavonDoc::Edit(const QString& name, const std::function<void()>& edit) {
    const QByteArray before = SnapshotKbd(*m_model);
    edit();
    const QByteArray after = SnapshotKbd(*m_model);
    if (before == after) {
        emit changed();
        return;
    }
    m_undo.push(new SnapshotCommand(*this, name, before, after));
    emit changed();
}

void CClavonDoc::Commit(const QString& name, const QByteArray& before) {
    const QByteArray after = SnapshotKbd(*m_model);
    if (before != after) m_undo.push(new SnapshotCommand(*this, name, before, after));
    emit changed();
}

void SnapshotCommand::redo() {
    if (m_done) {
        m_done = false;
        return;
    }
    m_doc.Restore(m_after);
}

void RescaleForGrid(CClavonModel& model, int w0, int h0, int w1, int h1) {
    if (w0 <= 0 || h0 <= 0) return;
    for (auto& symbol : model.Symbols()) {
        const double x = symbol->placement[0], y = symbol->placement[1];
        symbol->x = x + std::lround((w1 - w0) * x / w0);
        symbol->y = y + std::lround((h1 - h0) * y / h0);
        symbol->width = symbol->placement[2] * static_cast<double>(w1) / w0;
        symbol->height = symbol->placement[3] * static_cast<double>(h1) / h0;
    }
}

}  // namespace clavon
