// The project of one workbench window: loaded by the project store as the editor loads it, its
// driver found through the list of installed drivers by the project's code, its file, and the
// history of its changes.
//
// Every change of the project goes through change(), which makes it one step that can be
// undone. It takes the image the store saves of the project before the change, runs the change
// on the loaded project, and takes the image after it. When the two differ, the project is
// loaded again from the image after, so that it holds what its file will hold (texts the change
// left unused drop out of the string table), and an undo step keeps the stretch where the
// images differ. Undo and redo load the image of the other side through the store, so that
// what undo gives back is the project's image byte for byte. The loaded project (its handle
// and every block of it) is therefore another one after each change, undo and redo: nothing
// may keep a pointer into it across them; views read it afresh on projectChanged(). A hosted
// dialog is one change:
//
//     document.change(tr("Alarms"), [&] {
//         return EditAlarms(window, document.project(), *document.driver());  // true after OK
//     });
//
// A change that gives up (returns false, as after a dialog's Cancel) or throws leaves the
// project exactly as it was: whatever it had changed is put back from the image before.
//
// Each loaded project has an arena (platform/memory.h) holding every block allocated while
// the project was loaded or changed; it is freed with the project when the project is
// replaced, so that undo and redo, which load a project each time, do not leak.
//
// File operations throw kestra::host::Failure with the message for the user and then leave
// the document as it was.
#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestra/driver.h"
#include "kestra/host.h"
#include "workbench/document/file_stamp.h"
#include "workbench/document/image_delta.h"

class CPlcInfo;

namespace kestra::workbench {

class ProjectDocument : public QObject {
    Q_OBJECT
  public:
    explicit ProjectDocument(QObject* parent = nullptr);
    ~ProjectDocument() override;

    // ---- The project, while there is one.
    bool hasProject() const { return live_ != nullptr; }
    const host::LoadedProject& project() const;
    ProjectBlock& block() const;
    // The driver that serves the project; null when none does, and then driverProblem() says
    // why.
    host::Driver* driver() const { return driver_.get(); }
    const QString& driverProblem() const { return driverProblem_; }

    // ---- Files.
    // Opens a project file. With `repair` the store mends what it can (menu fields without
    // width or height, bitmaps without size); the result lists the repairs made, as
    // `kestra check --repair-menu-fields` reports them, and a project that needed any is
    // unsaved. Without `repair` a damaged project is refused.
    std::vector<std::string> open(const QString& path, bool repair = false);
    // A new project for the driver of a list entry: its defaults (InitPlcDefaults) and one
    // page.
    void newProject(const CPlcInfo& driver);
    // The project a JSON document describes, unsaved and without a file.
    void importJson(const QString& path);
    void exportJson(const QString& path);
    // Saves to the project's file, through the one file writer (a failed save leaves the old
    // file whole).
    void save();
    void saveAs(const QString& path);
    // Takes an autosaved image as the project of `path` (empty: none), unsaved.
    void recover(const Bytes& image, const QString& path);

    // The project's file; empty when it has none yet.
    const QString& path() const { return path_; }
    // The name for titles: the file's name, or a name made from the imported document, or
    // "Untitled".
    QString displayName() const;
    bool isModified() const { return !undo_.isClean(); }
    // Whether the project's file was changed or removed by another program since the
    // workbench read or wrote it.
    bool changedOnDisk() const;

    // ---- Changes.
    // Runs `edit` on the project as one step; returns whether the project changed.
    bool change(const QString& text, const std::function<bool()>& edit);
    QUndoStack& undoStack() { return undo_; }
    // The image the store saves of the project now.
    const Bytes& image();

    // True while a change runs or a LibraryWork lives: the libraries are not re-entrant, so
    // nothing else (autosave) may call them then.
    bool busy() const { return busy_ > 0; }
    // Held by work that calls the libraries on the project away from change() (a build job
    // on another thread while a progress dialog waits).
    class LibraryWork {
      public:
        explicit LibraryWork(ProjectDocument& document) : document_(document) { ++document_.busy_; }
        ~LibraryWork() { --document_.busy_; }
        LibraryWork(const LibraryWork&) = delete;
        LibraryWork& operator=(const LibraryWork&) = delete;

      private:
        ProjectDocument& document_;
    };

    // Puts an image of the project's history in place (undo and redo).
    void applyImage(Bytes image);

  Q_SIGNALS:
    // The project's contents changed, or the document holds another project now.
    void projectChanged();
    // The document holds another project (opened, new, imported or recovered); fileChanged
    // and projectChanged follow.
    void replaced();
    // The file or the name changed.
    void fileChanged();
    void modifiedChanged(bool modified);
    // Something went wrong that no caller waits for (an undo step that cannot be applied).
    void problem(const QString& message);

  private:
    class Live;
    // Makes a loaded project the document's, with the driver that serves it.
    void adopt(std::unique_ptr<Live> live, const QString& path, bool unsaved);
    void findDriver();
    // Loads the project again from one of its images (no signal); reload() keeps the image as
    // the project's, load() leaves that to the caller.
    void reload(Bytes image);
    void load(const Bytes& image);

    std::unique_ptr<Live> live_;
    std::unique_ptr<host::Driver> driver_;
    BYTE driverCode_ = 0;  // the project code the driver serves
    QString driverProblem_;
    QString path_;
    QString suggestedName_;
    FileStamp stamp_;
    std::optional<Bytes> image_;
    // The image before the change being made: kept from one change to the next, so that its
    // megabytes are copied into memory written before rather than into fresh pages.
    Bytes before_;
    QUndoStack undo_;
    int busy_ = 0;
};

}  // namespace kestra::workbench
