#include "extension_classes/viewer_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "extension_classes/viewer_wnd.h"

namespace {

const char* const kDitherNames[] = {"None",  "Bayer",  "Floyd-Steinberg", "Stucki",
                                    "Burke", "Sierra", "Stevenson Arce",  "Jarvis"};
const char* const kCheckNames[] = {"&Smooth", "&Invert", "&Blur", "S&harpen", "&Flip", "&Mirror"};

struct ColorChoice {
    const char* text;
    int bits;
};
constexpr ColorChoice kColorChoices[] = {{"Black/White", 1}, {"16 Colors", 4}, {"256 Colors", 8}};

}  // namespace

// ---- CLeadViewerPpg ----

CLeadViewerPpg::CLeadViewerPpg(CLeadViewerWnd* viewer) : m_viewer(viewer) {
    auto* grid = new QGridLayout(this);
    m_contrast = AddSlider(grid, 0, QStringLiteral("&Contrast:"), &m_contrastValue);
    m_brightness = AddSlider(grid, 1, QStringLiteral("B&rightness:"), &m_brightnessValue);
    auto* ditherLabel = new QLabel(QStringLiteral("&Dither:"));
    m_dither = new QComboBox;
    for (const char* name : kDitherNames) m_dither->addItem(QString::fromLatin1(name));
    ditherLabel->setBuddy(m_dither);
    grid->addWidget(ditherLabel, 2, 0);
    grid->addWidget(m_dither, 2, 1, 1, 2);
    for (int i = 0; i < 6; ++i) {
        m_checks[i] = new QCheckBox(QString::fromLatin1(kCheckNames[i]));
        grid->addWidget(m_checks[i], 3 + i / 3, i % 3);
        connect(m_checks[i], &QCheckBox::toggled, this, &CLeadViewerPpg::OnChanged);
    }
    m_sizeToFit = new QCheckBox(QStringLiteral("Size to &Fit"));
    auto* reset = new QPushButton(QStringLiteral("Reset"));
    grid->addWidget(m_sizeToFit, 5, 0);
    grid->addWidget(reset, 5, 2);
    grid->setRowStretch(6, 1);
    connect(m_contrast, &QSlider::valueChanged, this, &CLeadViewerPpg::OnChanged);
    connect(m_brightness, &QSlider::valueChanged, this, &CLeadViewerPpg::OnChanged);
    connect(m_dither, &QComboBox::currentIndexChanged, this, &CLeadViewerPpg::OnChanged);
    connect(m_sizeToFit, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_updating && m_viewer) m_viewer->EnableSizeToFit(on);
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        if (m_viewer) m_viewer->ResetPropertySettings();
    });
    UpdateFromViewer();
}

QSlider* CLeadViewerPpg::AddSlider(QGridLayout* grid, int row, const QString& label,
                                   QLabel** value) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(kSliderMin, kSliderMax);
    slider->setTickInterval(kSliderTick);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setPageStep(kSliderTick);
    auto* text = new QLabel(label);
    text->setBuddy(slider);
    *value = new QLabel;
    (*value)->setMinimumWidth(40);
    grid->addWidget(text, row, 0);
    grid->addWidget(slider, row, 1);
    grid->addWidget(*value, row, 2);
    return slider;
}

void CLeadViewerPpg::OnChanged() {
    if (m_updating || !m_viewer) return;
    CLeadViewerWnd& v = *m_viewer;
    // Store everything without converting, then convert once.
    v.SetContrast(m_contrast->value() * 10, false);
    v.SetBrightness(m_brightness->value() * 10, false);
    v.SetDither(m_dither->currentIndex(), false);
    v.EnableSmooth(m_checks[0]->isChecked(), false);
    v.EnableInvert(m_checks[1]->isChecked(), false);
    v.EnableBlur(m_checks[2]->isChecked(), false);
    v.EnableSharpen(m_checks[3]->isChecked(), false);
    v.EnableFlip(m_checks[4]->isChecked(), false);
    v.EnableMirror(m_checks[5]->isChecked(), false);
    v.SetModified(true);
    v.UpdatePanelImage(true);
    m_contrastValue->setNum(v.GetContrast() / 10);
    m_brightnessValue->setNum(v.GetBrightness() / 10);
}

void CLeadViewerPpg::UpdateFromViewer() {
    if (!m_viewer) return;
    m_updating = true;
    const CLeadViewerWnd& v = *m_viewer;
    m_contrast->setValue(v.GetContrast() / 10);
    m_brightness->setValue(v.GetBrightness() / 10);
    m_contrastValue->setNum(v.GetContrast() / 10);
    m_brightnessValue->setNum(v.GetBrightness() / 10);
    m_dither->setCurrentIndex(v.GetDither());
    const bool flags[] = {v.IsSmoothEnabled(),  v.IsInvertEnabled(), v.IsBlurEnabled(),
                          v.IsSharpenEnabled(), v.IsFlipEnabled(),   v.IsMirrorEnabled()};
    for (int i = 0; i < 6; ++i) m_checks[i]->setChecked(flags[i]);
    m_sizeToFit->setChecked(v.IsSizeToFit());
    m_updating = false;
}

// ---- CViewerPanelPpg ----

CViewerPanelPpg::CViewerPanelPpg(CLeadViewerWnd* viewer) : m_viewer(viewer) {
    auto* form = new QFormLayout(this);
    m_colors = new QComboBox;
    form->addRow(QStringLiteral("&Colors:"), m_colors);
    connect(m_colors, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_updating || !m_viewer || index < 0) return;
        m_viewer->SetImageColorBits(kColorChoices[index].bits, false);
        m_viewer->SetModified(true);
        m_viewer->UpdatePanelImage(true);
    });
    UpdateFromViewer();
}

int CViewerPanelPpg::IndexOfBits(int bits) {
    for (int i = 0; i < int(std::size(kColorChoices)); ++i)
        if (kColorChoices[i].bits == bits) return i;
    return 0;
}

void CViewerPanelPpg::UpdateFromViewer() {
    if (!m_viewer) return;
    m_updating = true;
    m_colors->clear();
    const int panelIndex = IndexOfBits(m_viewer->GetPanelColorBits());
    for (int i = 0; i <= panelIndex; ++i)
        m_colors->addItem(QString::fromLatin1(kColorChoices[i].text));
    m_colors->setCurrentIndex(std::min(IndexOfBits(m_viewer->GetImageColorBits()), panelIndex));
    m_updating = false;
}

// ---- CViewerGeneralPpg ----

CViewerGeneralPpg::CViewerGeneralPpg(CViewerWnd* viewer) : m_viewer(viewer) {
    auto* form = new QFormLayout(this);
    m_name = new QLineEdit;
    m_name->setMaxLength(kNameLength);
    m_size = new QLabel;
    m_file = new QLabel;
    m_file->setWordWrap(true);
    form->addRow(QStringLiteral("&Name:"), m_name);
    form->addRow(QStringLiteral("Size:"), m_size);
    form->addRow(QStringLiteral("File:"), m_file);
    connect(m_name, &QLineEdit::editingFinished, this, &CViewerGeneralPpg::Apply);
    UpdateFromViewer();
}

void CViewerGeneralPpg::UpdateFromViewer() {
    if (!m_viewer) return;
    m_name->setText(m_viewer->GetImageName().left(kNameLength));
    const QSize size = m_viewer->GetImageSize();
    m_size->setText(QString::asprintf("%d x %d", size.width(), size.height()));
    m_file->setText(m_viewer->GetFileName());
}

void CViewerGeneralPpg::Apply() {
    if (m_viewer) m_viewer->SetImageName(m_name->text());
}

// ---- CViewerPps ----

CViewerPps::CViewerPps(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Properties"));
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget;
    m_blank = new QLabel(QString::fromLatin1(kNoProperties));
    static_cast<QLabel*>(m_blank)->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::Apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] {
        for (int i = 0; i < m_tabs->count(); ++i)
            if (auto* general = qobject_cast<CViewerGeneralPpg*>(m_tabs->widget(i)))
                general->Apply();
    });
    layout->addWidget(buttons);
    m_tabs->addTab(m_blank, QString());
}

void CViewerPps::AddPage(QWidget* page, const QString& title) {
    const int blank = m_tabs->indexOf(m_blank);
    if (blank >= 0) m_tabs->removeTab(blank);
    m_tabs->addTab(page, title);
}

void CViewerPps::RemovePage(QWidget* page) {
    const int index = m_tabs->indexOf(page);
    if (index >= 0) m_tabs->removeTab(index);
}

int CViewerPps::GetPageCount() const {
    return m_tabs->indexOf(m_blank) >= 0 ? 0 : m_tabs->count();
}

void CViewerPps::RemoveAllPages() {
    while (m_tabs->count() > 0) m_tabs->removeTab(0);
}

void CViewerPps::SetViewer(CViewerWnd* viewer) {
    if (m_viewer) m_viewer->RemovePropertyPages(*this);
    RemoveAllPages();
    m_viewer = viewer;
    if (viewer && viewer->HasPropertyPages()) viewer->AddPropertyPages(*this);
    if (m_tabs->count() == 0) m_tabs->addTab(m_blank, QString());
    m_tabs->setCurrentIndex(0);
}

void CViewerPps::contextMenuEvent(QContextMenuEvent* event) {
    if (parentWidget()) QCoreApplication::sendEvent(parentWidget(), event);
}
