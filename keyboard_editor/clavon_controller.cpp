#include "keyboard_editor/clavon_controller.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QSettings>
#include <QThread>

#include "keyboard_editor/clavon_view.h"
#include "keyboard_editor/download_dialogs.h"
#include "keyboard_editor/kbd_document.h"
#include "keyboard_editor/model_sheet.h"
#include "keyboard_editor/symbol_sheets.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace clavon {
namespace {

constexpr const char* kSymbolsMime = "application/x-clavon-symbols";

void Warn(const char* text) {
    MessageBox(nullptr, text, "Clavon", MB_OK | MB_ICONEXCLAMATION);
}

std::string ProgramFolder() {
    return kestra::platform::ProgramFolder();
}

// RAII wait cursor.
struct WaitCursor {
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor) {
        QApplication::setOverrideCursor(shape);
    }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

CClavonController::CClavonController(CClavonDoc& doc, CClavonView& view, QWidget* window)
    : QObject(window), m_doc(doc), m_view(view), m_window(window) {
    runDialog = [](QDialog& dialog) { return dialog.exec(); };
    askRomPath = [this]() -> std::optional<std::string> {
        QFileDialog dialog(m_window, "Export To ROM", "KesKeyboard");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("rom");
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
        if (Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().front().toStdString();
    };
    m_manager.SetPort(QSettings().value("Settings/ReaderPort", 0).toUInt());
    m_manager.Init();
    m_manager.SetFinished([this](bool ok, const std::string& report) {
        QMetaObject::invokeMethod(
            this,
            [this, ok, report] {
                if (m_progress) {
                    m_progress->deleteLater();
                    m_progress = nullptr;
                }
                if (!ok) Warn(report.c_str());
                emit transferChanged();
            },
            Qt::QueuedConnection);
    });
    view.onGeometryEdit = [this](const auto& before, bool sized) { OnGeometryEdit(before, sized); };
    connect(&view, &CClavonView::panelClicked, this, [this](QPointF pos) {
        m_lastPress = pos;
        if (m_placing) {
            const SymbolKind kind = *m_placing;
            m_placing.reset();
            m_view.clickUsed = true;
            Place(kind, pos);
        }
    });
    connect(&view, &CClavonView::pointerMoved, this, [this](QPointF pos) {
        m_pointerText =
            QString::asprintf("x:%d y:%d", static_cast<int>(pos.x()), static_cast<int>(pos.y()));
        emit statusChanged();
    });
    connect(&view, &CClavonView::selectionChanged, this, &CClavonController::statusChanged);
    connect(&view, &CClavonView::doubleClicked, this, [this] {
        if (m_view.Selection().size() == 1) SymbolProperties();
    });
    connect(&view, &CClavonView::contextMenuAt, this, [this](QPoint global) {
        QMenu* menu = ContextMenu(&m_view);
        menu->exec(global);
        menu->deleteLater();
    });
    connect(&doc, &CClavonDoc::changed, this, [this] { m_view.SetModel(&m_doc.Model()); });
}

int CClavonController::Run(QDialog& dialog) {
    return runDialog(dialog);
}

bool CClavonController::Command(int id) {
    switch (id) {
        case ID_BUTTON:
            StartPlacing(SymbolKind::Button);
            return true;
        case ID_VALUE:
            StartPlacing(SymbolKind::Value);
            return true;
        case ID_KEYBOARD:
            ModelProperties();
            return true;
        case ID_EXPORT_ROM:
            ExportToRom();
            return true;
        case ID_DOWNLOAD_ROM:
            DownloadRom();
            return true;
        case ID_COMM_PARAMS:
            CommunicationParameters();
            return true;
        case ID_REPLACE:
            Replace();
            return true;
        case ID_SSFDC:
            OpenSSFDCFiles();
            return true;
        default:
            return false;
    }
}

bool CClavonController::Place(SymbolKind kind, QPointF pos) {
    CClavonModel& model = m_doc.Model();
    const double w = CODKesSymbol::kNewColumns * model.GridWidth();
    const double h = CODKesSymbol::kNewRows * model.GridHeight();
    if (pos.x() < 0 || pos.y() < 0 || pos.x() + w > model.PanelWidth() ||
        pos.y() + h > model.PanelHeight()) {
        Warn(kOutOfBounds);
        return false;
    }
    m_doc.Edit(kind == SymbolKind::Button ? "Button" : "Value", [&] {
        std::unique_ptr<CODKesSymbol> symbol;
        if (kind == SymbolKind::Button)
            symbol = std::make_unique<CKesButton>(model);
        else
            symbol = std::make_unique<CSymValue>(model);
        symbol->MoveTo(model.SnapX(pos.x()), model.SnapY(pos.y()));
        model.Add(std::move(symbol));
    });
    m_view.Select({m_doc.Model().ComponentCount() - 1});
    return true;
}

void CClavonController::OnGeometryEdit(const std::map<CODKesSymbol*, QRectF>& before, bool sized) {
    CClavonModel& model = m_doc.Model();
    std::vector<CODKesSymbol*> scaled;
    for (auto& symbol : model.Symbols()) {
        const QRectF old = before.at(symbol.get());
        if (old.width() != symbol->width || old.height() != symbol->height)
            scaled.push_back(symbol.get());
    }
    auto restore = [&] {
        for (auto& symbol : model.Symbols()) {
            const QRectF old = before.at(symbol.get());
            symbol->x = old.x();
            symbol->y = old.y();
            symbol->width = old.width();
            symbol->height = old.height();
        }
    };
    if (sized && scaled.size() > 1) {
        restore();
        m_view.Rebuild();
        Warn(kCanNotScale);
        return;
    }
    // The edit is already on the symbols: take the text before it, then make it again.
    std::vector<QRectF> after;
    for (auto& symbol : model.Symbols())
        after.emplace_back(symbol->x, symbol->y, symbol->width, symbol->height);
    restore();
    const QByteArray beforeText = SaveKbd(model);
    for (std::size_t i = 0; i < after.size(); ++i) {
        CODKesSymbol& symbol = *model.Symbols()[i];
        symbol.x = model.SnapX(after[i].x());
        symbol.y = model.SnapY(after[i].y());
        symbol.width = std::max(model.SnapX(after[i].width()), model.GridWidth());
        symbol.height = std::max(model.SnapY(after[i].height()), model.GridHeight());
    }
    if (sized && scaled.size() == 1 && scaled[0]->Kind() == SymbolKind::Value) {
        auto& value = *scaled[0];
        const int size = value.Properties().Int(CSymValue::kFontSize);
        value.Properties().Set(CSymValue::kFontSize,
                               CSymValue::FontSizeForColumns(size, value.Columns()));
    }
    m_doc.Commit(sized ? "Size" : "Move", beforeText);
}

void CClavonController::ModelProperties() {
    CClavonModel& model = m_doc.Model();
    model.AddMissingSheetProperties();
    CModelSheet sheet(model, ReadFieldNames(ProgramFolder()),
                      ReadPanelModels(kestra::platform::JoinPath(ProgramFolder(), "Panels")),
                      m_window);
    if (Run(sheet) != QDialog::Accepted) return;
    const PropertyContainer result = sheet.Result();
    m_doc.Edit("Keyboard Properties", [&] {
        const int w0 = model.GridWidth(), h0 = model.GridHeight();
        const int panelW = model.PanelWidth(), panelH = model.PanelHeight();
        const std::string oldBitmap = model.Text(kBitmapPath);
        for (const auto& [id, value] : result.All())
            if (id != kNumColors && id != kPanelWidth && id != kPanelHeight)
                model.Properties().Set(id, value);
        if (result.Int(kNumColors) != model.Int(kNumColors))
            model.SetColourCount(result.Int(kNumColors));
        if (model.Text(kBitmapPath) != oldBitmap) model.LoadBackground();
        const int w1 = model.GridWidth(), h1 = model.GridHeight();
        if (w1 != w0 || h1 != h0) RescaleForGrid(model, w0, h0, w1, h1);
        const int newW = result.Int(kPanelWidth), newH = result.Int(kPanelHeight);
        if (newW != panelW || newH != panelH) {
            const PanelRect r = model.KeyboardRect();
            if (r.right - 1 < newW && r.bottom - 1 < newH) {
                model.SetInt(kPanelWidth, newW);
                model.SetInt(kPanelHeight, newH);
            } else {
                Warn(kKeyboardTooBig);
            }
        }
    });
}

void CClavonController::SymbolProperties() {
    const std::vector<CODKesSymbol*> selection = m_view.Selection();
    if (selection.empty()) return;
    if (selection.size() == 1 && selection[0]->Kind() == SymbolKind::Button) {
        const int index = static_cast<int>(
            std::find_if(m_doc.Model().Symbols().begin(), m_doc.Model().Symbols().end(),
                         [&](const auto& s) { return s.get() == selection[0]; }) -
            m_doc.Model().Symbols().begin());
        auto* page = new CKesButtonPPGeneral(static_cast<CKesButton&>(*selection[0]),
                                             ReadKeyCodes(ProgramFolder()));
        CSymbolSheet sheet("Button Properties", page, m_window);
        if (Run(sheet) != QDialog::Accepted) return;
        m_doc.Edit("Button Properties", [&] {
            page->Apply(static_cast<CKesButton&>(
                *m_doc.Model().Symbols()[static_cast<std::size_t>(index)]));
        });
        m_view.Select({index});
        return;
    }
    std::vector<int> values;
    for (std::size_t i = 0; i < m_doc.Model().Symbols().size(); ++i)
        for (CODKesSymbol* s : selection)
            if (s == m_doc.Model().Symbols()[i].get() && s->Kind() == SymbolKind::Value)
                values.push_back(static_cast<int>(i));
    if (values.empty()) return;
    auto* page = new CSymValuePPGeneral(
        static_cast<CSymValue&>(*m_doc.Model().Symbols()[static_cast<std::size_t>(values[0])]));
    CSymbolSheet sheet("Value Properties", page, m_window);
    if (Run(sheet) != QDialog::Accepted) return;
    m_doc.Edit("Value Properties", [&] {
        for (int i : values)
            page->Apply(
                static_cast<CSymValue&>(*m_doc.Model().Symbols()[static_cast<std::size_t>(i)]));
    });
    m_view.Select(values);
}

bool CClavonController::ExportToRom() {
    CClavonModel& model = m_doc.Model();
    if (model.ComponentCount() == 0) return ExportRom(model, "", m_doc.PathName(), askRomPath);
    std::optional<std::string> target = askRomPath();
    if (!target) return false;
    WaitCursor wait;
    return ExportRom(model, *target, m_doc.PathName(), nullptr);
}

void CClavonController::DownloadRom() {
    if (!CanDownload()) return;
    {
        WaitCursor wait;
        if (!ExportRom(m_doc.Model(), kDownloadRomFile, m_doc.PathName(), nullptr)) return;
    }
    m_ready = false;
    QThread::msleep(100);
    sSSFDCPROPERTY properties{};
    if (!m_manager.UploadSSFDCProps(&properties)) {
        Warn(kCanNotReadProps);
        m_ready = true;
        return;
    }
    if (properties.blocks == 0 && properties.pagesPerBlock == 0) {
        Warn(kNoSSFDC);
        m_ready = true;
        return;
    }
    const bool fetched = m_manager.UploadSSFDCFileProps(kSSFDCPropsFile);
    m_ready = true;
    if (!fetched) return;
    QThread::msleep(100);
    const std::optional<CSSFDCFileTable> table =
        CSSFDCFileTable::Read(kestra::platform::JoinPath(ProgramFolder(), kSSFDCPropsFile));
    if (!table) {
        Warn(kNoSSFDCInformation);
        return;
    }
    CSubtypeDlg dialog(*table, ReadFieldNames(ProgramFolder()), m_window);
    if (Run(dialog) != QDialog::Accepted) return;
    const int subtype = dialog.Subtype();
    if (subtype < 1) {
        Warn(kErrorAssigningSubtype);
        return;
    }
    m_progress =
        new QProgressDialog("Sending the keyboard to the SSFDC card...", QString(), 0, 0, m_window);
    m_progress->setWindowTitle("Download ROM");
    m_progress->setMinimumDuration(500);
    m_manager.Download(kDownloadRomFile, kKeyboardFileType, subtype);
    emit transferChanged();
}

void CClavonController::OpenSSFDCFiles() {
    if (m_manager.IsUsed()) return;
    CSSFDCFilesDlg dialog(m_manager, m_window);
    Run(dialog);
}

void CClavonController::CommunicationParameters() {
    CCommParamsDlg dialog(m_manager.Port(), m_window);
    if (Run(dialog) != QDialog::Accepted) return;
    m_manager.SetPort(dialog.Port());
    QSettings().setValue("Settings/ReaderPort", dialog.Port());
}

void CClavonController::Replace() {
    m_doc.Edit("Re-place Symbols", [&] { m_doc.Model().ReplaceAll(); });
}

void CClavonController::Copy() {
    const std::vector<CODKesSymbol*> selection = m_view.Selection();
    if (selection.empty()) return;
    CClavonModel copy;
    for (CODKesSymbol* symbol : selection) copy.Add(symbol->Clone(copy));
    auto* data = new QMimeData;
    data->setData(kSymbolsMime, SaveKbd(copy));
    QApplication::clipboard()->setMimeData(data);
}

void CClavonController::Cut() {
    Copy();
    Delete();
}

void CClavonController::Delete() {
    const std::vector<CODKesSymbol*> selection = m_view.Selection();
    if (selection.empty()) return;
    m_doc.Edit("Delete", [&] {
        for (CODKesSymbol* symbol : selection) m_doc.Model().Remove(symbol);
    });
}

void CClavonController::Paste() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(kSymbolsMime)) return;
    std::string error;
    std::unique_ptr<CClavonModel> pasted = ParseKbd(data->data(kSymbolsMime), error);
    if (!pasted || pasted->ComponentCount() == 0) return;
    CClavonModel& model = m_doc.Model();
    const int first = model.ComponentCount();
    m_doc.Edit("Paste", [&] {
        for (auto& symbol : pasted->Symbols()) {
            std::unique_ptr<CODKesSymbol> copy = symbol->Clone(model);
            copy->MoveTo(copy->x + model.GridWidth(), copy->y + model.GridHeight());
            model.Add(std::move(copy));
        }
    });
    std::vector<int> indexes;
    for (int i = first; i < m_doc.Model().ComponentCount(); ++i) indexes.push_back(i);
    m_view.Select(indexes);
}

void CClavonController::Undo() {
    m_doc.UndoStack().undo();
}

void CClavonController::Redo() {
    m_doc.UndoStack().redo();
}

QMenu* CClavonController::ContextMenu(QWidget* parent) {
    const std::vector<CODKesSymbol*> selection = m_view.Selection();
    auto* menu = new QMenu(parent);
    auto add = [&](const char* text, void (CClavonController::*slot)()) {
        menu->addAction(text, this, slot);
    };
    if (selection.size() == 1) {
        menu->setTitle("Button Menu");
        add("Cut", &CClavonController::Cut);
        add("Copy", &CClavonController::Copy);
        add("Paste", &CClavonController::Paste);
        menu->addSeparator();
        add("Properties", &CClavonController::SymbolProperties);
    } else if (selection.empty()) {
        menu->setTitle("Model Menu");
        add("Properties", &CClavonController::ModelProperties);
    } else {
        add("Cut", &CClavonController::Cut);
        add("Copy", &CClavonController::Copy);
        add("Paste", &CClavonController::Paste);
        add("Delete", &CClavonController::Delete);
    }
    return menu;
}

QString CClavonController::SelectionText() const {
    const std::vector<CODKesSymbol*> selection = m_view.Selection();
    if (selection.size() != 1) return "-  -";
    const CODKesSymbol& s = *selection[0];
    return QString::asprintf("x:%d y:%d w:%d h:%d", s.SnappedX(), s.SnappedY(), s.SnappedWidth(),
                             s.SnappedHeight());
}

bool CClavonController::CanClose() {
    if (!m_manager.IsUsed()) return true;
    Warn(kDownloading);
    return false;
}

}  // namespace clavon
