// Watches the file of a window's project: when another program changes it while the project is
// open, the window offers to load the file's version. Unsaved changes stay unless the user
// chooses the file's version; a version the user chose not to load is not offered again (saving
// over it still asks first). A file that goes away is told in the status bar.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <optional>

#include "workbench/document/file_stamp.h"

namespace kestra::workbench {

class MainWindow;

class FileWatch : public QObject {
  public:
    explicit FileWatch(MainWindow& window);

    // Looks at the file now and offers to reload it when another program changed it; while a
    // dialog runs or the libraries are busy, it looks again when they are done. The watcher
    // calls it a moment after the file or its folder changes.
    void check();

  private:
    // Follows the project's file (a new one after Open or Save As).
    void follow();

    MainWindow& window_;
    QFileSystemWatcher watcher_;
    QTimer soon_;
    std::optional<FileStamp> declined_;  // the version of the file already offered
    bool asking_ = false;
};

}  // namespace kestra::workbench
