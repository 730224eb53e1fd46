// Copying, moving, renaming and deleting files and folders the way a desktop file manager
// does: it asks before replacing a file, shows progress on long work and lets the user stop,
// says what went wrong, and never leaves half a file behind (a copy is written to a temporary
// name and renamed into place only when complete).
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

namespace kestra::kxc {

struct FileOpResult {
    bool ok = true;        // every item was done (skipped ones count as done)
    bool aborted = false;  // the user stopped the operation
    QStringList created;   // destination paths that exist afterwards
    QStringList errors;    // what went wrong, one line per item
};

class FileOperation {
  public:
    explicit FileOperation(QWidget* parent) : m_parent(parent) {}

    FileOpResult Copy(const QStringList& from, const QString& toFolder);
    FileOpResult Move(const QStringList& from, const QString& toFolder);
    // Renames within the file's folder; `to` is a full path.
    FileOpResult Rename(const QString& from, const QString& to);
    // Asks first, then deletes the file or the folder with its contents.
    FileOpResult Delete(const QString& path);
    FileOpResult MakeFolder(const QString& path);

    // The texts of the questions and reports.
    static constexpr const char* kReplace =
        "The folder already contains \"%1\".\n\nDo you want to replace it?";
    static constexpr const char* kDeleteQuestion = "Do you want to delete \"%1\" permanently?";
    static constexpr const char* kIntoItself =
        "\"%1\" cannot be copied or moved into itself or one of its folders.";
    static constexpr const char* kNameExists =
        "\"%1\" cannot be renamed: a file or folder of that name already exists.";
    static constexpr const char* kFailedCopy = "These items could not be copied:\n%1";
    static constexpr const char* kFailedMove = "These items could not be moved:\n%1";
    static constexpr const char* kFailedOther = "The operation failed:\n%1";

  private:
    FileOpResult Transfer(const QStringList& from, const QString& toFolder, bool move);
    void Report(const FileOpResult& result, const char* text);
    QWidget* m_parent;
};

}  // namespace kestra::kxc
