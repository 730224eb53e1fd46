// Copies of unsaved projects in the user's data folder, one per window, so that a crash
// loses at most the last few minutes of work.
//
// A window's copy is three files named by the window's own name: NAME.kpr (the project
// image), NAME.ini (the project's file and when the copy was made) and NAME.lock, which the
// window holds while it lives. Copies whose lock no running workbench holds were left by one
// that ended without removing them, and are offered for restoring at the next start.
#pragma once

#include <QDateTime>
#include <QLockFile>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "workbench/document/image_delta.h"

namespace kestra::workbench {

class Autosave {
  public:
    // In `folder` (the user's autosave folder unless given).
    explicit Autosave(QString folder = {});
    // A window that closes removes its copy.
    ~Autosave();
    Autosave(const Autosave&) = delete;
    Autosave& operator=(const Autosave&) = delete;

    // Writes the copy of the project whose file is `projectPath` (empty: none yet); false with
    // the reason when it cannot be written.
    bool write(const Bytes& image, const QString& projectPath, QString* error = nullptr);
    // Removes the copy: the project was saved, or is no longer open.
    void discard();
    bool hasCopy() const { return written_; }
    QString imagePath() const;

    // A copy left over from a workbench that ended without removing it; the caller holds its
    // lock while deciding.
    struct Leftover {
        QString imagePath;
        QString projectPath;  // empty when the project had no file
        QDateTime saved;
        std::unique_ptr<QLockFile> lock;
    };
    static std::vector<Leftover> Leftovers(QString folder = {});
    static std::optional<Bytes> Read(const Leftover& leftover);
    static void Remove(Leftover& leftover);

  private:
    QString folder_;
    QString name_;
    std::unique_ptr<QLockFile> lock_;
    bool written_ = false;
};

}  // namespace kestra::workbench
