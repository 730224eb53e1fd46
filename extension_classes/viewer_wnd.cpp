#include "extension_classes/viewer_wnd.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "extension_classes/value_managers.h"
#include "extension_classes/viewer_geometry.h"
#include "extension_classes/viewer_pages.h"

using namespace kestra::kxc;

namespace {

const char* const kPanelTab = "Panel";
const char* const kOriginalTab = "Original";

// Shows the wait cursor while a conversion runs.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

bool Positive(QSize size) {
    return size.width() > 0 && size.height() > 0;
}

}  // namespace

// ---- CViewerWnd ----

CViewerWnd::CViewerWnd(DWORD type, DWORD style) : m_dwType(type), m_dwStyle(style) {
    m_socket.Attach(this);
}

bool CViewerWnd::Create(QWidget* parent, UINT id) {
    if (m_created) return true;
    setParent(parent);
    KXCSetControlId(this, id);
    m_created = true;
    Init();
    return true;
}

void CViewerWnd::SetFileInfo(const QString& info) {
    const qsizetype bar = info.indexOf(QLatin1Char('|'));
    m_strExt = bar < 0 ? info : info.left(bar);
    m_strFilter = bar < 0 ? QString() : info.mid(bar + 1);
}

void CViewerWnd::SetPanelInfo(QSize size, int bits) {
    m_panelSize = size;
    m_nPanelColorBits = bits;
}

void CViewerWnd::contextMenuEvent(QContextMenuEvent* event) {
    KXCNotifyHeader header;
    header.hwndFrom = this;
    header.code = kNotifyContextMenu;
    header.pos = event->globalPos();
    m_socket.Notify(header);
}

// ---- CLeadFrame ----

CLeadFrame::CLeadFrame(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(16, 16);
}

void CLeadFrame::SetImage(const QImage& image) {
    m_image = image;
    update();
}

QRect CLeadFrame::CenterImage() const {
    if (m_image.isNull()) return {};
    const QRect placed = kestra::kxc::CenterImage(m_image.size(), size(), m_paintSizeMode);
    if (m_paintSizeMode == 1 || m_paintSizeMode == 3) return placed;
    return QRect(placed.topLeft(), m_image.size());
}

void CLeadFrame::SetEdge(bool on) {
    m_edge = on;
    update();
}

void CLeadFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_image.isNull()) return;
    const QRect placed = CenterImage();
    painter.drawImage(placed, m_image);
    if (m_edge) {
        painter.setPen(QColor::fromRgb(kEdgeColor));
        painter.drawRect(placed.adjusted(-1, -1, 0, 0));
    }
}

// ---- CLeadViewerWnd ----

CLeadViewerWnd::CLeadViewerWnd(DWORD style) : CViewerWnd(kLeadViewerType, style) {}

CLeadViewerWnd::~CLeadViewerWnd() = default;

bool CLeadViewerWnd::Create(QWidget* parent, UINT id) {
    return CViewerWnd::Create(parent, id);
}

void CLeadViewerWnd::Init() {
    if (m_panelFrame) return;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_panelFrame = new CLeadFrame;
    m_originalFrame = new CLeadFrame;
    KXCSetControlId(m_panelFrame, kPanelId);
    m_panelFrame->SetEdge(true);
    KXCSetControlId(m_originalFrame, kOriginalId);
    if (m_dwStyle & kViewerStyleTabs) {
        m_tabs = new QTabWidget(this);
        KXCSetControlId(m_tabs, kTabId);
        QFont font = m_tabs->tabBar()->font();
        font.setPointSize(font.pointSize() + 1);
        m_tabs->tabBar()->setFont(font);
        m_tabs->addTab(m_panelFrame, QString::fromLatin1(kPanelTab));
        m_tabs->addTab(m_originalFrame, QString::fromLatin1(kOriginalTab));
        connect(m_tabs, &QTabWidget::currentChanged, this, [this] { Refresh(); });
        layout->addWidget(m_tabs);
    } else {
        layout->addWidget(m_panelFrame);
        m_originalFrame->setParent(this);
        m_originalFrame->hide();
    }
}

void CLeadViewerWnd::SetPanelInfo(QSize size, int bits) {
    CViewerWnd::SetPanelInfo(size, bits);
    m_settings.colorBits = bits;
}

bool CLeadViewerWnd::LoadFile(const QString& name) {
    LoadedPicture picture = LoadPictureFile(name);
    if (picture.image.isNull()) {
        m_strLastError = picture.error;
        return false;
    }
    m_strLastError.clear();
    m_source = picture.image;
    m_strFileName = name;
    m_sourceSize = m_source.size();
    m_strImageName = QFileInfo(name).completeBaseName();
    m_bModified = false;
    Refresh();
    return true;
}

bool CLeadViewerWnd::SetImage(const QImage& dib, const QString& name) {
    if (dib.isNull() || !IsAcceptableImageSize(dib.size())) return false;
    m_source = dib;
    UpdateOriginalImage(false);
    m_sourceSize = dib.size();
    if (!name.isEmpty()) m_strImageName = name;
    m_bModified = false;
    Refresh();
    return true;
}

QSize CLeadViewerWnd::OutputSize() const {
    return Positive(m_selectSize) ? FitKeepingProportions(m_sourceSize, m_selectSize)
                                  : m_sourceSize;
}

QImage CLeadViewerWnd::GetPanelImage() {
    if (!m_panelFrame || m_source.isNull()) return {};
    return ConvertPanelImage(m_source, m_settings, OutputSize());
}

QImage CLeadViewerWnd::GetOriginalImage() const {
    return m_originalFrame ? m_originalFrame->GetImage() : QImage();
}

QImage CLeadViewerWnd::GetSourceImage() const {
    return m_source;
}

FabDibInfo CLeadViewerWnd::MakeFabDibInfo() const {
    FabDibInfo info;
    info.fileName = m_strFileName;
    info.imageName = m_strImageName;
    info.dither = m_settings.dither;
    info.colorBits = m_settings.colorBits;
    info.contrast = m_settings.contrast;
    info.brightness = m_settings.brightness;
    const std::pair<bool, uint32_t> flags[] = {
        {m_settings.smooth, kFabSmooth}, {m_settings.invert, kFabInvert},
        {m_settings.blur, kFabBlur},     {m_settings.sharpen, kFabSharpen},
        {m_settings.flip, kFabFlip},     {m_settings.mirror, kFabMirror},
    };
    for (const auto& [on, bit] : flags)
        if (on) info.flags |= bit;
    return info;
}

bool CLeadViewerWnd::CacheData(QMimeData& data) {
    const QImage panel = GetPanelImage();
    if (panel.isNull()) return false;
    PutPanelImage(data, panel, MakeFabDibInfo());
    return true;
}

void CLeadViewerWnd::UpdatePanelImage(bool repaint, QSize size) {
    if (m_source.isNull() || !m_panelFrame) return;
    QSize output;
    if (size.isValid() && !size.isEmpty())
        output = size;
    else if (m_bSizeToFit && Positive(m_fitSize))
        output = m_fitSize;
    else if (Positive(m_selectSize))
        output = OutputSize();
    WaitCursor wait;
    const QImage panel = ConvertPanelImage(m_source, m_settings, output);
    if (panel.isNull()) return;  // the previous display stays
    m_panelFrame->SetImage(panel);
    if (repaint) m_panelFrame->repaint();
}

void CLeadViewerWnd::UpdateOriginalImage(bool repaint) {
    if (m_source.isNull() || !m_originalFrame) return;
    QImage original = m_source;
    if (m_bSizeToFit && Positive(m_fitSize)) original = ResizeSmooth(original, m_fitSize);
    m_originalFrame->SetImage(original);
    if (repaint) m_originalFrame->repaint();
}

void CLeadViewerWnd::ComputeFitSize() {
    if (!m_panelFrame) return;
    QWidget* visible = m_tabs ? m_tabs->currentWidget() : m_panelFrame.data();
    m_fitSize = CenterRects(m_sourceSize, visible ? visible->rect() : QRect()).size();
}

void CLeadViewerWnd::Refresh() {
    if (m_bSizeToFit) ComputeFitSize();
    UpdatePanelImage(false);
    UpdateOriginalImage(false);
    if (!m_tabs && m_panelFrame)
        m_panelFrame->show();
    else if (m_tabs && m_tabs->currentWidget())
        m_tabs->currentWidget()->update();
    UpdatePropertyPages();
    update();
}

void CLeadViewerWnd::EnableSizeToFit(bool on) {
    if (m_bSizeToFit == on) return;
    m_bSizeToFit = on;
    Refresh();
}

void CLeadViewerWnd::resizeEvent(QResizeEvent* event) {
    CViewerWnd::resizeEvent(event);
    ComputeFitSize();
    if (m_bSizeToFit) {
        UpdatePanelImage(true);
        UpdateOriginalImage(true);
    }
}

void CLeadViewerWnd::AddPropertyPages(CViewerPps& sheet) {
    if (!m_imagePage) m_imagePage = new CLeadViewerPpg(this);
    if (!m_panelPage) m_panelPage = new CViewerPanelPpg(this);
    sheet.AddPage(m_imagePage, m_imagePage->Title());
    sheet.AddPage(m_panelPage, m_panelPage->Title());
    if (m_dwStyle & kViewerStyleGeneral) {
        if (!m_generalPage) m_generalPage = new CViewerGeneralPpg(this);
        sheet.AddPage(m_generalPage, m_generalPage->Title());
    }
    UpdatePropertyPages();
}

void CLeadViewerWnd::RemovePropertyPages(CViewerPps& sheet) {
    for (QWidget* page :
         {static_cast<QWidget*>(m_imagePage.data()), static_cast<QWidget*>(m_panelPage.data()),
          static_cast<QWidget*>(m_generalPage.data())})
        if (page) sheet.RemovePage(page);
}

void CLeadViewerWnd::UpdatePropertyPages() {
    if (m_imagePage) m_imagePage->UpdateFromViewer();
    if (m_panelPage) m_panelPage->UpdateFromViewer();
    if (m_generalPage) m_generalPage->UpdateFromViewer();
}

void CLeadViewerWnd::ResetPropertySettings() {
    const int bits = m_settings.colorBits;
    m_settings = PanelImageSettings{};
    m_settings.colorBits = bits;
    Refresh();
}
