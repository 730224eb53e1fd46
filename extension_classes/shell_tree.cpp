#include "extension_classes/shell_tree.h"

#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <mutex>

#include "extension_classes/file_filter.h"

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kTypeRole = Qt::UserRole + 1;
constexpr int kLoadedRole = Qt::UserRole + 2;
// The label the tree gave an item; a different text is the user's edit.
constexpr int kLabelRole = Qt::UserRole + 3;

struct SpecialFolderPlace {
    int id;
    QStandardPaths::StandardLocation location;
};
constexpr SpecialFolderPlace kSpecialFolders[] = {
    {CShellTree::kDesktop, QStandardPaths::DesktopLocation},
    {CShellTree::kDocuments, QStandardPaths::DocumentsLocation},
    {CShellTree::kPictures, QStandardPaths::PicturesLocation},
    {CShellTree::kProfile, QStandardPaths::HomeLocation},
};

bool HasSubEntries(const QString& path) {
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot);
    return it.hasNext();
}

const QFileIconProvider& Icons() {
    static const QFileIconProvider provider;
    return provider;
}

// The icon themes of the desktop. Where the platform names none (no desktop session, as
// under a bare X server), the themes' folders of the system's data folders are searched and a
// common desktop theme that is installed is taken.
void UseDesktopIconTheme() {
    static std::once_flag once;
    std::call_once(once, [] {
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString& folder :
             QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                       QStandardPaths::LocateDirectory))
            if (!paths.contains(folder)) paths << folder;
        QIcon::setThemeSearchPaths(paths);
        const QString current = QIcon::themeName();
        if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
        for (const char* theme : {"Adwaita", "breeze", "oxygen", "Tango"})
            for (const QString& folder : paths)
                if (QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(theme) +
                                      QStringLiteral("/index.theme"))) {
                    QIcon::setThemeName(QString::fromLatin1(theme));
                    return;
                }
    });
}

// The desktop's icon of a file: its type's icon of the icon theme (the type found by its name,
// so that no file is opened), else the type's generic icon, else the platform's icon. Folders
// take the theme's folder icon. One icon per theme and type is kept.
QIcon FileIcon(const QFileInfo& info) {
    UseDesktopIconTheme();
    static QHash<QString, QIcon> cache;
    static const QMimeDatabase types;
    const QMimeType type =
        info.isDir() ? types.mimeTypeForName(QStringLiteral("inode/directory"))
                     : types.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    const QString key = QIcon::themeName() + QLatin1Char('/') + type.name();
    auto found = cache.constFind(key);
    if (found != cache.constEnd()) return *found;
    QIcon icon = QIcon::fromTheme(info.isDir() ? QStringLiteral("folder") : type.iconName());
    if (icon.isNull() && !info.isDir()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) icon = Icons().icon(info);
    cache.insert(key, icon);
    return icon;
}

}  // namespace

CShellTree::CShellTree(QWidget* parent) : QTreeWidget(parent) {
    m_socket.Attach(this);
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!item->data(0, kLoadedRole).toBool()) FillFolder(item);
    });
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (GetItemType(item) == kFileItem)
            NotifyOwner(kNotifyFileSelected, GetItemPath(item), item);
    });
}

LRESULT CShellTree::NotifyOwner(UINT code, const QString& path, void* item, QPoint pos) {
    KXCNotifyHeader header;
    header.hwndFrom = this;
    header.code = code;
    header.path = path;
    header.item = item;
    header.pos = pos;
    return m_socket.Notify(header);
}

void CShellTree::LoadTree() {
    clear();
    for (const QString& root : {QDir::homePath(), QDir::rootPath()})
        if (QTreeWidgetItem* item = MakeItem(root)) {
            SetLabel(item, root == QDir::rootPath() ? root : QDir(root).dirName());
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            addTopLevelItem(item);
        }
    if (QTreeWidgetItem* first = topLevelItem(0)) {
        first->setExpanded(true);
        setCurrentItem(first);
    }
}

void CShellTree::LoadTree(int specialFolder) {
    QString path;
    for (const SpecialFolderPlace& place : kSpecialFolders)
        if (place.id == specialFolder) path = QStandardPaths::writableLocation(place.location);
    if (path.isEmpty() || !QFileInfo(path).isDir()) path = QDir::homePath();
    LoadTree(path);
}

void CShellTree::LoadTree(const QString& path) {
    clear();
    QTreeWidgetItem* root = MakeItem(QFileInfo(path).absoluteFilePath());
    if (!root) return;
    SetLabel(root, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    root->setFlags(root->flags() & ~Qt::ItemIsEditable);
    addTopLevelItem(root);
    root->setExpanded(true);
    setCurrentItem(root);
}

QTreeWidgetItem* CShellTree::MakeItem(const QString& path) const {
    const QFileInfo info(path);
    if (!info.exists()) return nullptr;
    auto* item = new QTreeWidgetItem;
    SetLabel(item, info.fileName().isEmpty() ? path : info.fileName());
    item->setData(0, kPathRole, info.absoluteFilePath());
    const bool folder = info.isDir();
    item->setData(0, kTypeRole, folder ? kFolderItem : kFileItem);
    if (m_images) item->setIcon(0, FileIcon(info));
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable |
                          Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    item->setFlags(flags);
    if (folder) {
        if (!info.isReadable() || !info.isExecutable()) {
            item->setToolTip(0, QStringLiteral("This folder cannot be read (no permission)."));
            item->setData(0, kLoadedRole, true);
        } else if (HasSubEntries(path)) {
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
    }
    return item;
}

void CShellTree::SetItemPath(QTreeWidgetItem* item, const QString& path) {
    item->setData(0, kPathRole, path);
    SetLabel(item, QFileInfo(path).fileName());
}

void CShellTree::SetLabel(QTreeWidgetItem* item, const QString& label) {
    item->setData(0, kLabelRole, label);
    item->setText(0, label);
}

QString CShellTree::GetLabel(QTreeWidgetItem* item) const {
    return item ? item->data(0, kLabelRole).toString() : QString();
}

void CShellTree::FillFolder(QTreeWidgetItem* item) {
    if (!item || GetItemType(item) != kFolderItem) return;
    DeleteChildren(item);
    item->setData(0, kLoadedRole, true);
    const QDir dir(GetItemPath(item));
    const QFileInfoList folders =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& folder : folders)
        if (QTreeWidgetItem* child = MakeItem(folder.absoluteFilePath())) item->addChild(child);
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& file : files)
        if (FilterFileType(file.fileName()))
            if (QTreeWidgetItem* child = MakeItem(file.absoluteFilePath())) item->addChild(child);
    item->setChildIndicatorPolicy(item->childCount() ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicator);
}

void CShellTree::SetFilterExt(const QString& list) {
    if (list.compare(m_filter, Qt::CaseInsensitive) == 0) return;
    m_filter = list.toUpper();
    RefreshTreeFileItems();
}

bool CShellTree::FilterFileType(const QString& name) const {
    return kestra::kxc::FilterFileType(m_filter, name);
}

QString CShellTree::GetItemPath(QTreeWidgetItem* item) const {
    return item ? item->data(0, kPathRole).toString() : QString();
}

QString CShellTree::GetItemDirectory(QTreeWidgetItem* item) const {
    switch (GetItemType(item)) {
        case kFolderItem:
            return GetItemPath(item);
        case kFileItem:
            return QFileInfo(GetItemPath(item)).absolutePath();
        default:
            return {};
    }
}

int CShellTree::GetItemType(QTreeWidgetItem* item) const {
    if (!item) return kNoItem;
    if (item->data(0, kPathRole).toString().isEmpty()) return kOtherItem;
    return item->data(0, kTypeRole).toInt();
}

QString CShellTree::GetSelectedFile() const {
    QTreeWidgetItem* item = currentItem();
    return GetItemType(item) == kFileItem ? GetItemPath(item) : QString();
}

QString CShellTree::GetSelectedFolderPath() const {
    return GetItemDirectory(currentItem());
}

QTreeWidgetItem* CShellTree::GetTreeFileItem(QTreeWidgetItem* parent, const QString& name) const {
    if (!parent) return nullptr;
    for (int i = 0; i < parent->childCount(); ++i)
        if (QFileInfo(GetItemPath(parent->child(i))).fileName() == name) return parent->child(i);
    return nullptr;
}

QTreeWidgetItem* CShellTree::SearchTree(const QString& path, QTreeWidgetItem* parent) const {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    const int count = parent ? parent->childCount() : topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = parent ? parent->child(i) : topLevelItem(i);
        if (GetItemPath(item) == wanted) return item;
        if (QTreeWidgetItem* found = SearchTree(wanted, item)) return found;
    }
    return nullptr;
}

QTreeWidgetItem* CShellTree::FindFolder(const QString& path) const {
    QTreeWidgetItem* item = SearchTree(path);
    return GetItemType(item) == kFolderItem ? item : nullptr;
}

QTreeWidgetItem* CShellTree::TunnelTree(const QString& path) {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        QString base = GetItemPath(item);
        if (wanted != base &&
            !wanted.startsWith(base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/')))
            continue;
        const QStringList parts =
            wanted.mid(base.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            if (!item->data(0, kLoadedRole).toBool()) FillFolder(item);
            item->setExpanded(true);
            item = GetTreeFileItem(item, part);
            if (!item) return nullptr;
        }
        if (GetItemType(item) == kFolderItem) {
            if (!item->data(0, kLoadedRole).toBool()) FillFolder(item);
            item->setExpanded(true);
        }
        setCurrentItem(item);
        scrollToItem(item);
        return item;
    }
    return nullptr;
}

void CShellTree::ResetFolder(QTreeWidgetItem* item) {
    if (GetItemType(item) != kFolderItem) return;
    item->setExpanded(false);
    DeleteChildren(item);
    item->setData(0, kLoadedRole, false);
    item->setChildIndicatorPolicy(HasSubEntries(GetItemPath(item))
                                      ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicator);
}

void CShellTree::RefreshTreeFileItems(QTreeWidgetItem* parent) {
    const int count = parent ? parent->childCount() : topLevelItemCount();
    QList<QTreeWidgetItem*> folders;
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = parent ? parent->child(i) : topLevelItem(i);
        if (GetItemType(item) == kFolderItem && item->data(0, kLoadedRole).toBool())
            folders.append(item);
    }
    for (QTreeWidgetItem* folder : folders) {
        RefreshTreeFileItems(folder);
        DeleteChildFileItems(folder);
        const QFileInfoList files =
            QDir(GetItemPath(folder)).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo& file : files)
            if (FilterFileType(file.fileName()))
                if (QTreeWidgetItem* child = MakeItem(file.absoluteFilePath()))
                    folder->addChild(child);
    }
}

void CShellTree::DeleteChildren(QTreeWidgetItem* item) {
    if (!item) return;
    for (QTreeWidgetItem* child : item->takeChildren()) delete child;
}

void CShellTree::DeleteChildFileItems(QTreeWidgetItem* item) {
    if (!item) return;
    for (int i = item->childCount() - 1; i >= 0; --i)
        if (GetItemType(item->child(i)) == kFileItem) delete item->takeChild(i);
}

QTreeWidgetItem* CShellTree::InsertPidlItem(const QString& path, QTreeWidgetItem* parent,
                                            QTreeWidgetItem* after) {
    QTreeWidgetItem* item = MakeItem(path);
    if (!item || !parent) {
        delete item;
        return nullptr;
    }
    if (after) {
        parent->insertChild(parent->indexOfChild(after) + 1, item);
        return item;
    }
    // Folders before files, each in name order.
    const bool folder = GetItemType(item) == kFolderItem;
    int at = 0;
    for (; at < parent->childCount(); ++at) {
        QTreeWidgetItem* other = parent->child(at);
        const bool otherFolder = GetItemType(other) == kFolderItem;
        if (folder && !otherFolder) break;
        if (folder == otherFolder && other->text(0).compare(item->text(0), Qt::CaseInsensitive) > 0)
            break;
    }
    parent->insertChild(at, item);
    return item;
}

void CShellTree::EnableImages(bool on) {
    m_images = on;
}
