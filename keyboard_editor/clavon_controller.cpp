#include "keyboard_editor/clavon_controller.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QSettings>

#include "keyboard_editor/clavon_view.h"
#include "keyboard_editor/download_dialogs.h"
#include "keyboard_editor/kbd_document.h"
#include "keyboard_editor/model_sheet.h"
#include "keyboard_editor/symbol_sheets.h"
#include "keyboard_editor/user_folders.h"
#include "keyboard_editor/user_messages.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace clavon {
namespace {

constexpr const char* kSymbolsMime = "application/x-clavon-symbols";

}  // namespace

QString CClavonController::DocumentFolder() const {
    if (!m_doc.PathName().empty())
        return QFileInfo(QString::fromStdString(m_doc.PathName())).absolutePath();
    return QDir::homePath();
}

CClavonController::CClavonController(CClavonDoc& doc, CClavonView& view, QWidget* window)
    : QObject(window), m_doc(doc), m_view(view), m_window(window) {
    runDialog = [](QDialog& dialog) { return dialog.exec(); };
    askRomPath = [this]() -> std::optional<std::string> {
        QFileDialog dialog(m_window, "Export To ROM",
                           QDir(DocumentFolder()).filePath("KesKeyboard"));
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
            this, [this, ok, report] { OnDownloadFinished(ok, report); }, Qt::QueuedConnection);
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
    connect(&view, &CClavonView::arrowKey, this,
            [this](int columns, int rows) { MoveSelection(columns, rows); });
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

CClavonController::~CClavonController() {
    m_manager.Wait();
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
        symbol->RecordPlacement();  // re-placing a new symbol leaves it where it was made
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
    const QByteArray beforeText = SnapshotKbd(model);
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
    const std::string program = kestra::platform::ProgramFolder();
    CModelSheet sheet(model, ReadFieldNames(program),
                      ReadPanelModels(kestra::platform::JoinPath(program, "Panels")), m_window);
    if (Run(sheet) != QDialog::Accepted) return;
    const PropertyContainer result = sheet.Result();
    m_doc.Edit("Keyboard Properties", [&] {
        // A grid change moves the symbols from their places as the sheet opened.
        model.RecordPlacements();
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
        auto* page = new CKesButtonPPGeneral(
            static_cast<CKesButton&>(*selection[0]),
            ReadKeyCodes(kestra::platform::ProgramFolder(), UserDataFolder()));
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

void CClavonController::Replace() {
    std::vector<CODKesSymbol*> symbols = m_view.Selection();
    const std::vector<int> selected = m_view.SelectedIndexes();
    if (symbols.empty())
        for (auto& symbol : m_doc.Model().Symbols()) symbols.push_back(symbol.get());
    m_doc.Edit("Re-place Symbols", [&] {
        for (CODKesSymbol* symbol : symbols) symbol->ReplaceFromPlacement();
    });
    m_view.Select(selected);
}

bool CClavonController::MoveSelection(int columns, int rows) {
    CClavonModel& model = m_doc.Model();
    const std::vector<CODKesSymbol*> selection = m_view.Selection();
    if (selection.empty()) return false;
    const int dx = columns * model.GridWidth(), dy = rows * model.GridHeight();
    for (const CODKesSymbol* symbol : selection) {
        const PanelRect r = symbol->SnappedRect();
        if (r.left + dx < 0 || r.top + dy < 0 || r.right + dx > model.PanelWidth() ||
            r.bottom + dy > model.PanelHeight())
            return false;
    }
    const std::vector<int> selected = m_view.SelectedIndexes();
    m_doc.Edit("Move", [&] {
        for (CODKesSymbol* symbol : selection)
            symbol->MoveTo(symbol->SnappedX() + dx, symbol->SnappedY() + dy);
    });
    m_view.Select(selected);
    return true;
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
            copy->RecordPlacement();
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
