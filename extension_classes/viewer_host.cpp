#include "extension_classes/viewer_host.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>

#include "extension_classes/registry.h"
#include "extension_classes/viewer_wnd.h"

UINT CMainViewerWnd::m_nChildId = 1;

// ---- CViewerList ----

bool CViewerList::LoadFromRegistry(const QString& key) {
    KXCRegistry registry;
    return LoadFromRegistry(registry, key);
}

bool CViewerList::LoadFromRegistry(KXCRegistry& registry, const QString& key) {
    const std::string path = key.toStdString();
    bool added = false;
    for (const std::string& sub : registry.EnumKeys(KXCHive::CurrentUser, path)) {
        const std::string subPath = path + "\\" + sub;
        const auto type = registry.QueryDword(KXCHive::CurrentUser, subPath, "Type");
        const auto style = registry.QueryDword(KXCHive::CurrentUser, subPath, "Style");
        const auto info = registry.QueryString(KXCHive::CurrentUser, subPath, "File Info");
        if (!type) continue;
        if (AddViewer(*type, style.value_or(0), QString::fromStdString(info.value_or(""))))
            added = true;
    }
    return added;
}

CViewerWnd* CViewerList::CreateViewerObject(DWORD type) {
    return type == kLeadViewerType ? new CLeadViewerWnd : nullptr;
}

CViewerWnd* CViewerList::CreateViewer(DWORD type, DWORD style, const QString& fileInfo) {
    CViewerWnd* viewer = CreateViewerObject(type);
    if (!viewer) return nullptr;
    viewer->SetFileInfo(fileInfo);
    viewer->SetViewerStyle(style);
    return viewer;
}

CViewerWnd* CViewerList::AddViewer(DWORD type, DWORD style, const QString& fileInfo) {
    CViewerWnd* viewer = CreateViewer(type, style, fileInfo);
    if (viewer) append(viewer);
    return viewer;
}

void CViewerList::DeleteAll() {
    for (CViewerWnd* viewer : *this) delete viewer;
    clear();
}

// ---- CMainViewerWnd ----

CMainViewerWnd::CMainViewerWnd(QWidget* parent) : QWidget(parent) {
    m_socket.Attach(this);
}

void CMainViewerWnd::InsertViewer(CViewerWnd* viewer) {
    if (viewer) m_viewers.append(viewer);
}

void CMainViewerWnd::AddViewerList(const CViewerList& list) {
    for (CViewerWnd* viewer : list) InsertViewer(viewer);
}

void CMainViewerWnd::Reset() {
    m_viewers.clear();
    m_current = nullptr;
}

CViewerWnd* CMainViewerWnd::FindViewer(const QString& fileName) const {
    const QString ext = QFileInfo(fileName).suffix().toUpper();
    if (ext.isEmpty()) return nullptr;
    for (CViewerWnd* viewer : m_viewers)
        if (viewer->GetExt().toUpper().contains(ext)) return viewer;
    return nullptr;
}

QRect CMainViewerWnd::ViewerRect() const {
    return QRect(0, 0, std::max(0, width() - 1), std::max(0, height() - 1));
}

bool CMainViewerWnd::EnsureWindow(CViewerWnd* viewer) {
    if (!viewer->IsCreated()) {
        viewer->Create(this, m_nChildId++);
        viewer->setGeometry(ViewerRect());
        viewer->show();
    }
    return viewer->IsCreated();
}

void CMainViewerWnd::Notify(UINT code, CViewerWnd* viewer) {
    KXCNotifyHeader header;
    header.hwndFrom = this;
    header.code = code;
    header.item = viewer;
    m_socket.Notify(header);
}

bool CMainViewerWnd::LoadFile(const QString& fileName) {
    CViewerWnd* viewer = FindViewer(fileName);
    if (!viewer || !EnsureWindow(viewer)) return false;
    viewer->LoadFile(fileName);
    SetViewer(viewer);
    return true;
}

bool CMainViewerWnd::SetViewer(CViewerWnd* viewer) {
    bool changed = false;
    if (viewer != m_current) {
        if (m_current) m_current->hide();
        if (viewer) {
            viewer->setGeometry(ViewerRect());
            viewer->show();
        }
        Notify(kNotifyViewerDeactivated, m_current);
        m_current = viewer;
        if (viewer) viewer->SetPanelInfo(m_panelSize, m_nPanelColorBits);
        Notify(kNotifyViewerActivated, viewer);
        changed = true;
    }
    if (m_current) m_current->Refresh();
    return changed;
}

CViewerWnd* CMainViewerWnd::GetViewer(DWORD type) {
    for (CViewerWnd* viewer : m_viewers)
        if (viewer->GetType() == type) return EnsureWindow(viewer) ? viewer : nullptr;
    return nullptr;
}

void CMainViewerWnd::SetPanelInfo(QSize size, int bits) {
    m_panelSize = size;
    m_nPanelColorBits = bits;
    if (m_current) m_current->SetPanelInfo(size, bits);
}

QString CMainViewerWnd::GetCurFileName() const {
    return m_current ? m_current->GetFileName() : QString();
}
QString CMainViewerWnd::GetImageName() const {
    return m_current ? m_current->GetImageName() : QString();
}
bool CMainViewerWnd::SetImageName(const QString& name) {
    if (!m_current) return false;
    m_current->SetImageName(name);
    return true;
}
QSize CMainViewerWnd::GetImageSize() const {
    return m_current ? m_current->GetImageSize() : QSize();
}
bool CMainViewerWnd::IsModified() const {
    return m_current && m_current->IsModified();
}
QImage CMainViewerWnd::GetPanelImage() {
    return m_current ? m_current->GetPanelImage() : QImage();
}
QImage CMainViewerWnd::GetOriginalImage() const {
    return m_current ? m_current->GetOriginalImage() : QImage();
}

bool CMainViewerWnd::SetImage(const QImage& dib, const QString& name) {
    if (!m_current || !m_current->SetImage(dib, name)) return false;
    m_current->Refresh();
    return true;
}

bool CMainViewerWnd::Refresh() {
    if (!m_current) return false;
    m_current->Refresh();
    return true;
}

bool CMainViewerWnd::CacheData(QMimeData& data, const QString& fileName) {
    if (m_current && m_current->GetFileName() != fileName) {
        CViewerWnd* viewer = FindViewer(fileName);
        if (!viewer || !EnsureWindow(viewer) || !viewer->LoadFile(fileName)) return false;
        return viewer->CacheData(data);
    }
    return m_current && m_current->CacheData(data);
}

bool CMainViewerWnd::HasFocus(QWidget* window) const {
    const QWidget* focus = QApplication::focusWidget();
    const QWidget* root = window ? window : this;
    return focus && (focus == root || root->isAncestorOf(focus));
}

void CMainViewerWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_current) m_current->setGeometry(ViewerRect());
}

void CMainViewerWnd::contextMenuEvent(QContextMenuEvent* event) {
    KXCNotifyHeader header;
    header.hwndFrom = this;
    header.code = kNotifyContextMenu;
    header.pos = event->globalPos();
    m_socket.Notify(header);
}
