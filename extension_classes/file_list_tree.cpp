#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QShortcut>
#include <QTemporaryDir>
#include <QUrl>

#include "extension_classes/fab_dib_info.h"
#include "extension_classes/file_operations.h"
#include "extension_classes/kxc_message.h"
#include "extension_classes/panel_dither.h"
#include "extension_classes/shell_tree.h"

using kestra::kxc::FileOperation;
using kestra::kxc::FileOpResult;

namespace {

constexpr int kDropHeaderSize = 20;

QStringList LocalFiles(const QMimeData& data) {
    QStringList files;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile()) files << QFileInfo(url.toLocalFile()).absoluteFilePath();
    return files;
}

// A name usable as a file name: no folder separators or control characters.
QString SafeFileName(const QString& name) {
    QString safe;
    for (QChar ch : name)
        safe += (ch == QLatin1Char('/') || ch.unicode() < 0x20) ? QLatin1Char('_') : ch;
    safe = safe.trimmed();
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String(".."))
        safe = QStringLiteral("Image");
    return safe;
}

// The panel image of a paste at the record's colour depth.
QImage IndexedAtDepth(const QImage& image, int bits) {
    if (image.format() == QImage::Format_Indexed8 && image.colorCount() <= (1 << bits))
        return image;
    return kestra::kxc::ReduceToPanelPalette(image, bits, kestra::kxc::DitherKind::None);
}

// Whether an enabled action or shortcut of the window answers to the keys.
bool IsWindowShortcut(QWidget* window, const QKeySequence& keys) {
    for (const QAction* action : window->findChildren<QAction*>())
        if (action->isEnabled() && action->shortcuts().contains(keys)) return true;
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>())
        if (shortcut->isEnabled() && shortcut->keys().contains(keys)) return true;
    return false;
}

}  // namespace

CFileListTree::CFileListTree(QWidget* parent) : CShellTree(parent) {
    setAcceptDrops(true);
    setDragEnabled(false);  // drags start here, on files only
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    connect(this, &QTreeWidget::itemChanged, this, &CFileListTree::OnItemChanged);
}

// ---- file operations ----

bool CFileListTree::CopyFiles(const QStringList& from, const QString& to, QStringList* copied) {
    const FileOpResult result = FileOperation(this).Copy(from, to);
    if (copied) *copied = result.created;
    return result.ok;
}

bool CFileListTree::MoveFiles(const QStringList& from, const QString& to, QStringList* copied) {
    const FileOpResult result = FileOperation(this).Move(from, to);
    if (copied) *copied = result.created;
    return result.ok;
}

bool CFileListTree::RenameFile(const QString& from, const QString& to) {
    const FileOpResult result = FileOperation(this).Rename(from, to);
    return result.ok && !result.aborted;
}

bool CFileListTree::DeleteFileA(const QString& path) {
    const FileOpResult result = FileOperation(this).Delete(path);
    return result.ok && !result.aborted;
}

bool CFileListTree::CreateDirectoryA(const QString& path) {
    return FileOperation(this).MakeFolder(path).ok;
}

QTreeWidgetItem* CFileListTree::FolderItemOf(QTreeWidgetItem* item) {
    if (GetItemType(item) == kFileItem) return item->parent();
    return GetItemType(item) == kFolderItem ? item : nullptr;
}

void CFileListTree::AfterTransfer(QTreeWidgetItem* folderItem, const QStringList& created) {
    if (!folderItem) return;
    if (!folderItem->isExpanded() || !folderItem->data(0, Qt::UserRole + 2).toBool()) {
        ResetFolder(folderItem);
        return;
    }
    for (const QString& path : created) {
        const QFileInfo info(path);
        if (GetTreeFileItem(folderItem, info.fileName())) continue;
        if (info.isDir() || FilterFileType(info.fileName())) InsertPidlItem(path, folderItem);
    }
}

bool CFileListTree::CopyFileItems(const QStringList& files, QTreeWidgetItem* item) {
    QTreeWidgetItem* folderItem = FolderItemOf(item);
    if (!folderItem) return false;
    QStringList created;
    const bool ok = CopyFiles(files, GetItemPath(folderItem), &created);
    AfterTransfer(folderItem, created);
    return ok;
}

bool CFileListTree::MoveFileItems(const QStringList& files, const QList<QTreeWidgetItem*>& moved,
                                  QTreeWidgetItem* item) {
    QTreeWidgetItem* folderItem = FolderItemOf(item);
    if (!folderItem) return false;
    QStringList created;
    const bool ok = MoveFiles(files, GetItemPath(folderItem), &created);
    for (QTreeWidgetItem* old : moved)
        if (old && !QFileInfo::exists(GetItemPath(old))) delete old;
    AfterTransfer(folderItem, created);
    return ok;
}

bool CFileListTree::DoNewFolder(QTreeWidgetItem* item) {
    if (!FolderItemOf(item)) return false;
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("New Folder"),
                                               QStringLiteral("Name of the new folder:"),
                                               QLineEdit::Normal, QString(), &ok);
    return ok && DoNewFolder(item, name);
}

bool CFileListTree::DoNewFolder(QTreeWidgetItem* item, const QString& name) {
    QTreeWidgetItem* folderItem = FolderItemOf(item);
    if (!folderItem) return false;
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char('/')) || trimmed == QLatin1String(".") ||
        trimmed == QLatin1String("..")) {
        KXCMessageBox(this, QString::fromLatin1(kBadName), MB_OK | MB_ICONERROR);
        return false;
    }
    const QString path = GetItemPath(folderItem) + QLatin1Char('/') + trimmed;
    if (!CreateDirectoryA(path)) return false;
    AfterTransfer(folderItem, {path});
    return true;
}

bool CFileListTree::DoDeleteItem(QTreeWidgetItem* item) {
    const int type = GetItemType(item);
    if ((type != kFileItem && type != kFolderItem) || !item->parent()) return false;
    if (!DeleteFileA(GetItemPath(item))) return false;
    delete item;
    return true;
}

void CFileListTree::DoRenameItem(QTreeWidgetItem* item) {
    const int type = GetItemType(item);
    if ((type == kFileItem || type == kFolderItem) && item->parent()) editItem(item);
}

void CFileListTree::OnItemChanged(QTreeWidgetItem* item, int) {
    if (m_renaming) return;
    const QString oldPath = GetItemPath(item);
    const QString oldName = GetLabel(item);
    const QString text = item->text(0);
    if (text == oldName || oldPath.isEmpty() || !item->parent()) return;
    m_renaming = true;
    const QString newName = text.trimmed();
    bool renamed = false;
    QString newPath;
    if (!newName.isEmpty() && newName != oldName) {
        if (newName.contains(QLatin1Char('/'))) {
            KXCMessageBox(this, QString::fromLatin1(kBadName), MB_OK | MB_ICONERROR);
        } else {
            newPath = QFileInfo(oldPath).absolutePath() + QLatin1Char('/') + newName;
            renamed = RenameFile(oldPath, newPath);
        }
    }
    // A failed rename keeps the old label; a folder is reloaded for its new path.
    if (renamed) {
        SetItemPath(item, newPath);
        if (GetItemType(item) == kFolderItem) ResetFolder(item);
        emit labelRenamed(oldPath, newPath);
    } else {
        SetLabel(item, oldName);
    }
    m_renaming = false;
}

// ---- clipboard ----

void CFileListTree::CacheData(QMimeData& data, const QString& path) {
    data.setUrls({QUrl::fromLocalFile(path)});
    QByteArray list(kDropHeaderSize, '\0');
    list[0] = char(kDropHeaderSize);  // offset of the list, little-endian
    list += QFile::encodeName(path);
    list += QByteArray(2, '\0');
    data.setData(QString::fromLatin1(kDropFilesMime), list);
}

bool CFileListTree::DoPaste(QTreeWidgetItem* item) {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && DoPaste(item, *data);
}

bool CFileListTree::DoPaste(QTreeWidgetItem* item, const QMimeData& data) {
    const int type = GetItemType(item);
    if (type != kFileItem && type != kFolderItem) return false;
    if (data.hasUrls()) {
        const QStringList files = LocalFiles(data);
        return !files.isEmpty() && CopyFileItems(files, item);
    }
    if (!data.hasImage() && !data.hasFormat(QStringLiteral("image/bmp"))) return false;
    if (!data.hasFormat(QString::fromLatin1(kestra::kxc::kFabDibInfoMime))) {
        KXCMessageBox(this, QString::fromLatin1(kNoPanelInfo), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    const auto info =
        kestra::kxc::ReadFabDibInfo(data.data(QString::fromLatin1(kestra::kxc::kFabDibInfoMime)));
    QImage image = data.hasImage() ? qvariant_cast<QImage>(data.imageData()) : QImage();
    if (image.isNull()) image.loadFromData(data.data(QStringLiteral("image/bmp")), "BMP");
    if (!info || image.isNull()) {
        KXCMessageBox(this, QString::fromLatin1(kBadPanelInfo), MB_OK | MB_ICONERROR);
        return false;
    }
    const QByteArray bmp =
        kestra::kxc::EncodeIndexedBmp(IndexedAtDepth(image, info->colorBits), info->colorBits);
    QTemporaryDir temp;
    const QString path = temp.filePath(SafeFileName(info->imageName) + QStringLiteral(".bmp"));
    QFile file(path);
    if (bmp.isEmpty() || !temp.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(bmp) != bmp.size() || !file.flush()) {
        KXCMessageBox(this,
                      QStringLiteral("The picture could not be saved: %1").arg(file.errorString()),
                      MB_OK | MB_ICONERROR);
        return false;
    }
    file.close();
    return CopyFileItems({path}, item);
}

// ---- keys and mouse ----

bool CFileListTree::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(e);
        const int k = key->key();
        const Qt::KeyboardModifiers modifiers = key->modifiers();
        const bool plain = !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier |
                                          Qt::ShiftModifier));
        const bool ownKey = plain && (k == Qt::Key_Return || k == Qt::Key_Enter ||
                                      k == Qt::Key_Escape || k == Qt::Key_Delete);
        // Enter, Escape, Delete and the Ctrl keys come here, except the accelerators of the
        // window the tree is in.
        if ((ownKey || (modifiers & Qt::ControlModifier)) &&
            !IsWindowShortcut(window(), QKeySequence(key->keyCombination()))) {
            e->accept();
            return true;
        }
    }
    return CShellTree::event(e);
}

void CFileListTree::keyPressEvent(QKeyEvent* event) {
    QTreeWidgetItem* item = currentItem();
    if (event->key() == Qt::Key_Delete) {
        DoDeleteItem(item);
    } else if (event->matches(QKeySequence::Paste)) {
        DoPaste(item);
    } else if (event->matches(QKeySequence::Copy) && GetItemType(item) == kFileItem) {
        auto* data = new QMimeData;
        CacheData(*data, GetItemPath(item));
        QApplication::clipboard()->setMimeData(data);
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (item) item->setExpanded(!item->isExpanded());
    } else {
        CShellTree::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CFileListTree::mousePressEvent(QMouseEvent* event) {
    m_pressPos = event->position().toPoint();
    CShellTree::mousePressEvent(event);
}

void CFileListTree::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || m_bDragging ||
        (event->position().toPoint() - m_pressPos).manhattanLength() <
            QApplication::startDragDistance()) {
        CShellTree::mouseMoveEvent(event);
        return;
    }
    QTreeWidgetItem* item = itemAt(m_pressPos);
    if (GetItemType(item) != kFileItem) return;
    m_bDragging = true;
    m_dragPath = GetItemPath(item);
    NotifyOwner(kNotifyBeginDrag, m_dragPath, item);
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    CacheData(*data, m_dragPath);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    EndDrag();
}

void CFileListTree::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(event->pos());
    if (item) setCurrentItem(item);
    NotifyOwner(kNotifyRightClick, GetItemPath(item), item, event->globalPos());
}

// ---- dropping ----

void CFileListTree::SetDropHighlight(QTreeWidgetItem* item) {
    if (m_dropItem == item) return;
    if (m_dropItem) m_dropItem->setBackground(0, QBrush());
    m_dropItem = item;
    if (item) item->setBackground(0, palette().highlight());
}

void CFileListTree::EndDrag() {
    m_bDragging = false;
    m_dragPath.clear();
    m_dragTimer.stop();
    m_dragInside = false;
    SetDropHighlight(nullptr);
}

void CFileListTree::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls() || LocalFiles(*event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    m_dragInside = true;
    m_dragPos = event->position().toPoint();
    m_tickCount = m_hoverTicks = 0;
    m_hoverItem = nullptr;
    m_dragTimer.start(kTimerMs, this);
    event->acceptProposedAction();
}

void CFileListTree::dragMoveEvent(QDragMoveEvent* event) {
    m_dragInside = true;
    m_dragPos = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(m_dragPos);
    const int type = GetItemType(item);
    SetDropHighlight(type == kFileItem || type == kFolderItem ? item : nullptr);
    if (!m_dropItem) {
        event->ignore();
        return;
    }
    event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction
                                                                    : Qt::MoveAction);
    event->accept();
}

void CFileListTree::dragLeaveEvent(QDragLeaveEvent*) {
    m_dragInside = false;
    SetDropHighlight(nullptr);
}

void CFileListTree::DragTick() {
    ++m_tickCount;
    if (!m_dragInside) {
        m_hoverTicks = 0;
        return;
    }
    QTreeWidgetItem* item = itemAt(m_dragPos);
    if (item != m_hoverItem) {
        m_hoverItem = item;
        m_hoverTicks = 1;
    } else if (item && !item->isExpanded() &&
               item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator &&
               ++m_hoverTicks > kExpandTicks) {
        item->setExpanded(true);
        m_hoverTicks = 0;
    }
    if (m_tickCount % 2 == 0) {
        QScrollBar* bar = verticalScrollBar();
        if (m_dragPos.y() < kScrollMargin)
            bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (m_dragPos.y() > viewport()->height() - kScrollMargin)
            bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
}

void CFileListTree::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_dragTimer.timerId())
        DragTick();
    else
        CShellTree::timerEvent(event);
}

void CFileListTree::dropEvent(QDropEvent* event) {
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    const QStringList files = LocalFiles(*event->mimeData());
    const QString folder = GetItemDirectory(target);
    m_dragTimer.stop();
    SetDropHighlight(nullptr);
    bool allHere = !files.isEmpty();
    for (const QString& file : files)
        if (QFileInfo(file).absolutePath() != folder) allHere = false;
    if (folder.isEmpty() || allHere) {  // a drop onto the files' own folder does nothing
        event->ignore();
        return;
    }
    const bool copy = event->modifiers() & Qt::ControlModifier;
    if (copy) {
        CopyFileItems(files, target);
    } else {
        QList<QTreeWidgetItem*> moved;
        for (const QString& file : files) moved << SearchTree(file);
        MoveFileItems(files, moved, target);
    }
    event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}
