// The image viewers: CViewerWnd (the base of every viewer), CLeadFrame (a window that shows one
// picture) and CLeadViewerWnd (the one concrete viewer, type 1: loads a picture, converts it for
// the panel and shows the panel image and, on a second tab, the original).
#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTabWidget>
#include <QWidget>

#include "extension_classes/fab_dib_info.h"
#include "extension_classes/panel_image.h"
#include "extension_classes/viewer_pages.h"
#include "extension_classes/wnd_socket.h"
#include "platform/win_types.h"

class QMimeData;

// Viewer styles.
inline constexpr DWORD kViewerStyleTabs = 0x1000000;     // panel and original on two tabs
inline constexpr DWORD kViewerStyleGeneral = 0x2000000;  // add the "General" page
inline constexpr DWORD kLeadViewerType = 1;

class CViewerWnd : public QWidget {
    Q_OBJECT
  public:
    explicit CViewerWnd(DWORD type, DWORD style = 0);

    DWORD GetType() const { return m_dwType; }
    DWORD GetViewerStyle() const { return m_dwStyle; }
    void SetViewerStyle(DWORD style) { m_dwStyle = style; }
    QString GetFileName() const { return m_strFileName; }
    void SetFileName(const QString& name) { m_strFileName = name; }
    QString GetExt() const { return m_strExt; }
    QString GetFilter() const { return m_strFilter; }
    QSize GetPanelSize() const { return m_panelSize; }
    int GetPanelColorBits() const { return m_nPanelColorBits; }
    CWndSocket& Socket() { return m_socket; }

    // Makes the window as a child of `parent` with the given control number.
    virtual bool Create(QWidget* parent, UINT id);
    bool IsCreated() const { return m_created; }
    // "extensions|filter"; without "|" the whole text is the extension list.
    virtual void SetFileInfo(const QString& info);
    virtual void SetPanelInfo(QSize size, int bits);
    virtual void SetModified(bool modified = true) { m_bModified = modified; }
    virtual bool IsModified() const { return m_bModified; }
    virtual bool LoadFile(const QString& name) = 0;
    virtual bool SetImage(const QImage& dib, const QString& name = QString()) = 0;
    virtual QString GetImageName() const = 0;
    virtual void SetImageName(const QString& name) = 0;
    virtual QSize GetImageSize() const = 0;
    virtual QImage GetPanelImage() = 0;
    virtual QImage GetOriginalImage() const = 0;
    virtual bool CacheData(QMimeData& data) = 0;
    virtual void Refresh() = 0;
    virtual bool HasPropertyPages() const { return false; }
    virtual void AddPropertyPages(CViewerPps&) {}
    virtual void RemovePropertyPages(CViewerPps&) {}
    virtual void UpdatePropertyPages() {}
    virtual void ResetPropertySettings() {}
    virtual void Init() {}
    // Why the last load failed.
    QString GetLastError() const { return m_strLastError; }

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

    DWORD m_dwType;
    DWORD m_dwStyle;
    QString m_strFileName;
    QString m_strExt;
    QString m_strFilter;
    QSize m_panelSize;
    int m_nPanelColorBits = 8;
    bool m_bModified = false;
    bool m_created = false;
    QString m_strLastError;
    CWndSocket m_socket;
};

// A window that shows one picture placed by its paint-size mode, white around it, and, when
// asked, an edge around the picture.
class CLeadFrame : public QWidget {
    Q_OBJECT
  public:
    static constexpr QRgb kEdgeColor = 0xFF808080;

    explicit CLeadFrame(QWidget* parent = nullptr);
    void SetImage(const QImage& image);
    const QImage& GetImage() const { return m_image; }
    void SetPaintSizeMode(int mode) { m_paintSizeMode = mode; }
    // Draws a line just outside the picture, so that a white picture shows where it ends.
    void SetEdge(bool on);
    // Where the picture sits in the client area.
    QRect CenterImage() const;
    QSize sizeHint() const override { return QSize(320, 240); }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage m_image;
    int m_paintSizeMode = 0;
    bool m_edge = false;
};

class CLeadViewerWnd : public CViewerWnd {
    Q_OBJECT
  public:
    static constexpr UINT kSourceId = 7000, kPanelId = 7001, kOriginalId = 7002, kTabId = 7003;

    explicit CLeadViewerWnd(DWORD style = 0);
    ~CLeadViewerWnd() override;

    bool Create(QWidget* parent, UINT id) override;
    void Init() override;
    void SetPanelInfo(QSize size, int bits) override;
    bool LoadFile(const QString& name) override;
    bool SetImage(const QImage& dib, const QString& name = QString()) override;
    QString GetImageName() const override { return m_strImageName; }
    void SetImageName(const QString& name) override { m_strImageName = name; }
    QSize GetImageSize() const override { return m_sourceSize; }
    QImage GetPanelImage() override;
    QImage GetOriginalImage() const override;
    QImage GetSourceImage() const;
    bool CacheData(QMimeData& data) override;
    void Refresh() override;
    bool HasPropertyPages() const override { return true; }
    void AddPropertyPages(CViewerPps& sheet) override;
    void RemovePropertyPages(CViewerPps& sheet) override;
    void UpdatePropertyPages() override;
    void ResetPropertySettings() override;

    // Settings; `update` reconverts the panel image at once.
    void EnableSmooth(bool on, bool update = true) { Set(m_settings.smooth, on, update); }
    void EnableInvert(bool on, bool update = true) { Set(m_settings.invert, on, update); }
    void EnableBlur(bool on, bool update = true) { Set(m_settings.blur, on, update); }
    void EnableSharpen(bool on, bool update = true) { Set(m_settings.sharpen, on, update); }
    void EnableFlip(bool on, bool update = true) { Set(m_settings.flip, on, update); }
    void EnableMirror(bool on, bool update = true) { Set(m_settings.mirror, on, update); }
    void SetDither(int index, bool update = true) { Set(m_settings.dither, index, update); }
    void SetContrast(int value, bool update = true) { Set(m_settings.contrast, value, update); }
    void SetBrightness(int value, bool update = true) { Set(m_settings.brightness, value, update); }
    void SetImageColorBits(int bits, bool update = true) {
        Set(m_settings.colorBits, bits, update);
    }
    bool IsSmoothEnabled() const { return m_settings.smooth; }
    bool IsInvertEnabled() const { return m_settings.invert; }
    bool IsBlurEnabled() const { return m_settings.blur; }
    bool IsSharpenEnabled() const { return m_settings.sharpen; }
    bool IsFlipEnabled() const { return m_settings.flip; }
    bool IsMirrorEnabled() const { return m_settings.mirror; }
    int GetDither() const { return m_settings.dither; }
    int GetContrast() const { return m_settings.contrast; }
    int GetBrightness() const { return m_settings.brightness; }
    int GetImageColorBits() const { return m_settings.colorBits; }
    const kestra::kxc::PanelImageSettings& Settings() const { return m_settings; }
    void EnableSizeToFit(bool on);
    bool IsSizeToFit() const { return m_bSizeToFit; }
    void SetSelectSize(QSize size) { m_selectSize = size; }
    QSize GetSelectSize() const { return m_selectSize; }
    QSize GetFitSize() const { return m_fitSize; }

    // The record that goes beside the panel image.
    kestra::kxc::FabDibInfo MakeFabDibInfo() const;

    void UpdatePanelImage(bool repaint, QSize size = QSize());
    void UpdateOriginalImage(bool repaint);
    CLeadFrame* PanelFrame() const { return m_panelFrame; }
    CLeadFrame* OriginalFrame() const { return m_originalFrame; }
    QTabWidget* Tabs() const { return m_tabs; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    template <typename T>
    void Set(T& field, T value, bool update) {
        field = value;
        if (update) UpdatePanelImage(true);
    }
    // The size a panel image is made at without a fit: the selected size, keeping the
    // picture's proportions, else the picture's own.
    QSize OutputSize() const;
    void ComputeFitSize();

    kestra::kxc::PanelImageSettings m_settings;
    QString m_strImageName;
    QSize m_sourceSize;
    QSize m_selectSize;
    QSize m_fitSize;
    bool m_bSizeToFit = false;
    QImage m_source;  // the picture as loaded (the hidden source control)
    QPointer<QTabWidget> m_tabs;
    QPointer<CLeadFrame> m_panelFrame;
    QPointer<CLeadFrame> m_originalFrame;
    QPointer<CLeadViewerPpg> m_imagePage;
    QPointer<CViewerPanelPpg> m_panelPage;
    QPointer<CViewerGeneralPpg> m_generalPage;
};
