// Trees of the file system: CShellTree lists folders and, through an extension filter, files,
// loading each folder when it is first expanded; CFileListTree adds copying, moving, renaming,
// deleting, new folders, label editing, drag and drop and the clipboard.
#pragma once

#include <QBasicTimer>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTreeWidget>

#include "extension_classes/wnd_socket.h"

class QMimeData;

class CShellTree : public QTreeWidget {
    Q_OBJECT
  public:
    // Item types.
    enum ItemType { kNoItem = 0, kOtherItem = 1, kFileItem = 2, kFolderItem = 3 };
    // Special folders LoadTree knows.
    enum SpecialFolder { kDesktop = 0, kDocuments = 5, kPictures = 0x27, kProfile = 0x28 };

    explicit CShellTree(QWidget* parent = nullptr);

    // The home folder and the file system's root, the first expanded and selected.
    void LoadTree();
    // A special folder as the one root; the desktop (the home folder) when it does not exist.
    void LoadTree(int specialFolder);
    // One root for the folder, expanded.
    void LoadTree(const QString& path);

    // Sets the filter when it differs (letter case ignored), kept upper-case, and refreshes the
    // files of every expanded folder.
    void SetFilterExt(const QString& list);
    QString GetFilterExt() const { return m_filter; }
    bool FilterFileType(const QString& name) const;

    QString GetItemPath(QTreeWidgetItem* item) const;
    // The item's own path for a folder, its folder for a file.
    QString GetItemDirectory(QTreeWidgetItem* item) const;
    int GetItemType(QTreeWidgetItem* item) const;
    bool IsFolderItem(QTreeWidgetItem* item) const { return GetItemType(item) == kFolderItem; }
    QString GetSelectedFile() const;
    QString GetSelectedFolderPath() const;
    // The item of a loaded folder; none when the folder is not in the loaded tree.
    QTreeWidgetItem* FindFolder(const QString& path) const;
    // The child of `parent` with this name (a file or folder); none when there is none.
    QTreeWidgetItem* GetTreeFileItem(QTreeWidgetItem* parent, const QString& name) const;
    // Searches the loaded tree below `parent` (the whole tree when none) for a path.
    QTreeWidgetItem* SearchTree(const QString& path, QTreeWidgetItem* parent = nullptr) const;
    // Expands the tree down to the path and selects its item; none when it is not below a root.
    QTreeWidgetItem* TunnelTree(const QString& path);
    // Collapses and reloads one folder.
    void ResetFolder(QTreeWidgetItem* item);
    void RefreshTreeFileItems(QTreeWidgetItem* parent = nullptr);
    void DeleteChildren(QTreeWidgetItem* item);
    void DeleteChildFileItems(QTreeWidgetItem* item);
    // Inserts an item for the path under `parent`, after `after` (sorted when none).
    QTreeWidgetItem* InsertPidlItem(const QString& path, QTreeWidgetItem* parent,
                                    QTreeWidgetItem* after = nullptr);
    void EnableImages(bool on = true);

    CWndSocket& Socket() { return m_socket; }

  protected:
    void FillFolder(QTreeWidgetItem* item);
    QTreeWidgetItem* MakeItem(const QString& path) const;
    void SetItemPath(QTreeWidgetItem* item, const QString& path);
    static void SetLabel(QTreeWidgetItem* item, const QString& label);
    QString GetLabel(QTreeWidgetItem* item) const;
    LRESULT NotifyOwner(UINT code, const QString& path, void* item = nullptr, QPoint pos = {});

    QString m_filter;
    bool m_images = true;
    CWndSocket m_socket;
};

class CFileListTree : public CShellTree {
    Q_OBJECT
  public:
    explicit CFileListTree(QWidget* parent = nullptr);

    // The file operations. `copied`, when given, receives the destination paths that exist
    // afterwards.
    bool CopyFiles(const QStringList& from, const QString& to, QStringList* copied = nullptr);
    bool MoveFiles(const QStringList& from, const QString& to, QStringList* copied = nullptr);
    bool RenameFile(const QString& from, const QString& to);
    bool DeleteFileA(const QString& path);
    bool CreateDirectoryA(const QString& path);

    bool CopyFileItems(const QStringList& files, QTreeWidgetItem* item);
    bool MoveFileItems(const QStringList& files, const QList<QTreeWidgetItem*>& moved,
                       QTreeWidgetItem* item);
    // Asks for the name ("New Folder"), then makes the folder.
    bool DoNewFolder(QTreeWidgetItem* item);
    bool DoNewFolder(QTreeWidgetItem* item, const QString& name);
    bool DoDeleteItem(QTreeWidgetItem* item);
    void DoRenameItem(QTreeWidgetItem* item);
    // Offers a file to other programs as a dropped-file list.
    static void CacheData(QMimeData& data, const QString& path);
    // Pastes the clipboard into the item's folder.
    bool DoPaste(QTreeWidgetItem* item);
    bool DoPaste(QTreeWidgetItem* item, const QMimeData& data);

    // Drag state, for tests.
    int HoverTicks() const { return m_hoverTicks; }
    void DragTick();

    // The private type of the dropped-file list: a 20-byte header whose first member is its
    // own size, then the path and two zero bytes.
    static constexpr const char* kDropFilesMime = "application/x-kestra-dropfiles";
    static constexpr int kTimerMs = 100, kExpandTicks = 6, kScrollMargin = 10;
    static constexpr const char* kNoPanelInfo =
        "The picture on the clipboard has no panel image information, so it was not pasted.";
    static constexpr const char* kBadPanelInfo =
        "The panel image information on the clipboard is damaged, so the picture was not pasted.";
    static constexpr const char* kBadName = "A name cannot be empty or contain \"/\".";

  signals:
    void labelRenamed(const QString& from, const QString& to);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void AfterTransfer(QTreeWidgetItem* folderItem, const QStringList& created);
    void SetDropHighlight(QTreeWidgetItem* item);
    void EndDrag();
    QTreeWidgetItem* FolderItemOf(QTreeWidgetItem* item);

    QPoint m_pressPos;
    QPoint m_dragPos;
    bool m_dragInside = false;
    bool m_bDragging = false;
    QString m_dragPath;
    QBasicTimer m_dragTimer;
    int m_tickCount = 0;
    int m_hoverTicks = 0;
    QTreeWidgetItem* m_hoverItem = nullptr;
    QTreeWidgetItem* m_dropItem = nullptr;
    bool m_renaming = false;
};
