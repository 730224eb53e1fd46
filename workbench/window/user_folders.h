// The folders where the workbench keeps what it writes for itself: the user's own, never the
// program folder (which an installed package owns).
//
//   settings       $XDG_CONFIG_HOME/kestra/workbench.ini   window geometry, recent files
//   autosave       $XDG_DATA_HOME/kestra/workbench/autosave   copies of unsaved projects
//   repair log     $XDG_DATA_HOME/kestra/workbench/PrjFix.txt   what loading with repairs mended
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace kestra::workbench {

// The workbench's settings (made on first use; the folder is made when they are written).
std::unique_ptr<QSettings> Settings();
// Keeps a setting; the file is written only when the value differs from the one kept.
void KeepSetting(const QString& key, const QVariant& value);
// The folder of the workbench's own data, made when missing; empty when it cannot be made.
QString DataFolder();
QString AutosaveFolder();

// Makes the workbench's data folder the current folder for a scope: the project store writes
// its repair log "PrjFix.txt" into the current folder.
class InDataFolder {
  public:
    InDataFolder();
    ~InDataFolder();
    InDataFolder(const InDataFolder&) = delete;
    InDataFolder& operator=(const InDataFolder&) = delete;

  private:
    QString previous_;
};

}  // namespace kestra::workbench
