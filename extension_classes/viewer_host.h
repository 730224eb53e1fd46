// The list of viewers made from the registry (CViewerList) and the window that hosts them and
// shows the one that fits the file at hand (CMainViewerWnd).
#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include "extension_classes/wnd_socket.h"
#include "platform/win_types.h"

class CViewerWnd;
class KXCRegistry;
class QMimeData;

class CViewerList : public QList<CViewerWnd*> {
  public:
    virtual ~CViewerList() = default;
    // One viewer per sub-key of the key under the current user's hive, in enumeration order,
    // from its values "Type" and "Style" (numbers) and "File Info" (text). True when at least
    // one viewer was added.
    bool LoadFromRegistry(const QString& key);
    bool LoadFromRegistry(KXCRegistry& registry, const QString& key);
    virtual CViewerWnd* CreateViewerObject(DWORD type);
    CViewerWnd* CreateViewer(DWORD type, DWORD style, const QString& fileInfo);
    CViewerWnd* AddViewer(DWORD type, DWORD style, const QString& fileInfo);
    void DeleteAll();
};

class CMainViewerWnd : public QWidget {
    Q_OBJECT
  public:
    explicit CMainViewerWnd(QWidget* parent = nullptr);

    void InsertViewer(CViewerWnd* viewer);
    void AddViewerList(const CViewerList& list);
    // Forgets the viewers without destroying them.
    void Reset();
    const QList<CViewerWnd*>& Viewers() const { return m_viewers; }

    CViewerWnd* FindViewer(const QString& fileName) const;
    bool LoadFile(const QString& fileName);
    bool SetViewer(CViewerWnd* viewer);
    CViewerWnd* GetViewer(DWORD type);
    CViewerWnd* GetCurViewer() const { return m_current; }
    void SetPanelInfo(QSize size, int bits);

    QString GetCurFileName() const;
    QString GetImageName() const;
    bool SetImageName(const QString& name);
    QSize GetImageSize() const;
    bool IsModified() const;
    QImage GetPanelImage();
    QImage GetOriginalImage() const;
    bool SetImage(const QImage& dib, const QString& name = QString());
    bool Refresh();
    bool CacheData(QMimeData& data, const QString& fileName);
    // True when the focus is in `window` (this window when none is given) or in a window
    // inside it.
    bool HasFocus(QWidget* window = nullptr) const;

    CWndSocket& Socket() { return m_socket; }
    static UINT m_nChildId;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    bool EnsureWindow(CViewerWnd* viewer);
    void Notify(UINT code, CViewerWnd* viewer);
    QRect ViewerRect() const;

    QList<CViewerWnd*> m_viewers;
    QPointer<CViewerWnd> m_current;
    QSize m_panelSize;
    int m_nPanelColorBits = 8;
    CWndSocket m_socket;
};
