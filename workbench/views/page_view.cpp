#include "workbench/views/page_view.h"

#include <QAction>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "workbench/views/page_canvas.h"

namespace kestra::workbench {

PageView::PageView(ProjectDocument& document, FieldTableModel& fields,
                   QItemSelectionModel& selection, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    heading_ = new QLabel(this);
    heading_->setWordWrap(true);
    heading_->setTextFormat(Qt::RichText);
    layout->addWidget(heading_);
    scroll_ = new QScrollArea(this);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setFocusPolicy(Qt::NoFocus);
    canvas_ = new PageCanvas(document, fields, selection, scroll_);
    scroll_->setWidget(canvas_);
    layout->addWidget(scroll_, 1);

    zoomIn_ = new QAction(tr("Zoom &In"), this);
    zoomIn_->setShortcuts({QKeySequence::ZoomIn, QKeySequence(tr("Ctrl+="))});
    zoomOut_ = new QAction(tr("Zoom &Out"), this);
    zoomOut_->setShortcut(QKeySequence::ZoomOut);
    actualSize_ = new QAction(tr("&Actual Size"), this);
    actualSize_->setShortcut(QKeySequence(tr("Ctrl+0")));
    labels_ = new QAction(tr("Field &Labels"), this);
    labels_->setCheckable(true);
    labels_->setChecked(true);
    labels_->setStatusTip(tr("Show each field's label on the page"));
    connect(zoomIn_, &QAction::triggered, this, [this] { canvas_->setZoom(canvas_->zoom() + 1); });
    connect(zoomOut_, &QAction::triggered, this, [this] { canvas_->setZoom(canvas_->zoom() - 1); });
    connect(actualSize_, &QAction::triggered, this, [this] { canvas_->setZoom(1); });
    connect(labels_, &QAction::toggled, canvas_, &PageCanvas::setLabelsShown);

    connect(canvas_, &PageCanvas::layoutChanged, this, [this] {
        updateHeading();
        updateZoomActions();
    });
    connect(canvas_, &PageCanvas::zoomChanged, this, &PageView::updateZoomActions);
    connect(canvas_, &PageCanvas::wantsVisible, this, [this](const QRect& pixels) {
        scroll_->ensureVisible(pixels.center().x(), pixels.center().y(), pixels.width() / 2 + 8,
                               pixels.height() / 2 + 8);
    });
    connect(canvas_, &PageCanvas::propertiesRequested, this, &PageView::propertiesRequested);
    connect(canvas_, &PageCanvas::addFieldRequested, this, &PageView::addFieldRequested);
    setFocusProxy(canvas_);
    updateHeading();
    updateZoomActions();
}

QString PageView::heading() const {
    return heading_->text();
}

void PageView::setLanguage(std::size_t language) {
    canvas_->setLanguage(language);
}

QList<QAction*> PageView::viewActions() const {
    return {zoomIn_, zoomOut_, actualSize_, labels_};
}

void PageView::addContextActions(const QList<QAction*>& actions) {
    canvas_->addActions(actions);
}

void PageView::updateHeading() {
    const PageLayout& layout = canvas_->layout();
    const host::PanelDisplay& display = layout.display;
    QString text;
    if (display.source == host::PanelDisplay::Source::Fallback) {
        text = tr("The display table names no display for this project: the page is shown on "
                  "%1 rows of %2 characters.")
                   .arg(display.rows)
                   .arg(display.columns);
    } else {
        text = tr("<b>%1</b>: %2 rows of %3 characters, %4 x %5 pixels each")
                   .arg(QString::fromStdString(display.name).toHtmlEscaped())
                   .arg(display.rows)
                   .arg(display.columns)
                   .arg(display.charWidth)
                   .arg(display.charHeight);
        if (display.touch())
            text += tr(", touch grid of %1 x %2").arg(display.touchColumns).arg(display.touchRows);
        if (display.source == host::PanelDisplay::Source::GenericModel)
            text +=
                tr("<br>The project has no panel setup yet: its pages are shown on the "
                   "generic model's first display type. Choose the panel with Project &gt; "
                   "Panel Setup.");
    }
    QStringList problems;
    if (const std::size_t n = layout.overlapping())
        problems.append(tr("%n field(s) overlap another", "", static_cast<int>(n)));
    if (const std::size_t n = layout.outside())
        problems.append(tr("%n field(s) run past the display", "", static_cast<int>(n)));
    if (!problems.isEmpty())
        text += QStringLiteral("<br><span style=\"color:#c01818\">%1.</span>")
                    .arg(problems.join(tr("; ")));
    heading_->setText(text);
}

void PageView::updateZoomActions() {
    zoomIn_->setEnabled(canvas_->zoom() < canvas_->painter().maxZoom());
    zoomOut_->setEnabled(canvas_->zoom() > PagePainter::kMinZoom);
}

}  // namespace kestra::workbench
