// The document of one editing window and the undoable steps on it. Every edit is recorded
// as the document text before and after it, so that undo and redo restore the symbols, the
// grid and the panel size exactly.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUndoCommand>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <string>

#include "keyboard_editor/clavon_model.h"

namespace clavon {

class CClavonDoc : public QObject {
    Q_OBJECT
  public:
    CClavonDoc();
    CClavonModel& Model() { return *m_model; }
    QUndoStack& UndoStack() { return m_undo; }
    const std::string& PathName() const { return m_path; }
    void SetPathName(const std::string& path) { m_path = path; }
    // The file's name, or "Untitled N" before the document has a file.
    QString Title() const;
    void SetUntitledNumber(int number) { m_untitled = number; }
    bool IsModified() const { return !m_undo.isClean(); }

    // Opens a document file; false with the reason when it cannot be used (the document
    // stays as it was).
    bool Open(const std::string& path, std::string& error);
    bool Save(const std::string& path, std::string& error);

    // Replaces the model's contents by those of a document text (used by undo and redo).
    void Restore(const QByteArray& text);
    // Records an edit made by `edit` as one undoable step.
    void Edit(const QString& name, const std::function<void()>& edit);
    // Records an edit already made (by the view) as one undoable step from `before`.
    void Commit(const QString& name, const QByteArray& before);

  signals:
    // The model's symbols or settings changed: views rebuild what they show.
    void changed();

  private:
    std::unique_ptr<CClavonModel> m_model;
    QUndoStack m_undo;
    std::string m_path;
    int m_untitled = 1;
};

class SnapshotCommand : public QUndoCommand {
  public:
    SnapshotCommand(CClavonDoc& doc, const QString& name, QByteArray before, QByteArray after)
        : QUndoCommand(name), m_doc(doc), m_before(std::move(before)), m_after(std::move(after)) {}
    void undo() override { m_doc.Restore(m_before); }
    void redo() override;

  private:
    CClavonDoc& m_doc;
    QByteArray m_before, m_after;
    bool m_done = true;  // the edit was made before the command was pushed
};

// Moves and scales every symbol for a grid change from w0 x h0 to w1 x h1: positions by
// (w1 - w0) x x / w0 and (h1 - h0) x y / h0 rounded half away from zero, sizes by w1 / w0
// and h1 / h0.
void RescaleForGrid(CClavonModel& model, int w0, int h0, int w1, int h1);

}  // namespace clavon
