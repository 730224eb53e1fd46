#include "keyboard_editor/clavon_model.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <algorithm>

#include "platform/message_box.h"
#include "platform/records.h"

namespace clavon {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);
// A background bitmap larger than this in either direction, or in bytes, is refused.
constexpr int kMaxBitmapSide = 8192;
constexpr qint64 kMaxBitmapBytes = 64 * 1024 * 1024;

struct Default {
    int id;
    Property value;
};

// Every model property with its default.
const Default kModelDefaults[] = {
    {kNumColors, 16},
    {kPanelWidth, 640},
    {kPanelHeight, 400},
    {kGridWidth, 8},
    {kGridHeight, 16},
    {kAvoidField, 1},
    {kTransparent, 0},
    {65544, 0},
    {65545, 0},
    {65546, 0},
    {65547, 0},
    {kHorzReference, 0},
    {kVertReference, 0},
    {kHorzPosition, 0},
    {kVertPosition, 0},
    {kFieldMask, 1},
    {kName, std::string("Keyboard")},
    {kAbsolute, 0},
    {65555, 0},
    {65556, 0},
    {65557, 0},
    {65558, std::string("Keyboard Caption")},
    {65559, 0xFFFFFF},
    {65560, 0},
    {65561, 0},
    {65562, std::string("Keyboard Status Bar")},
    {kBitmapPath, std::string()},
    {kBorder, 0},
    {kBorderFace, 0xC0C0C0},
    {kBorderShadow, 0x505050},
    {kBorderLine, 0},
    {kBackColour, 0xFFFFFF},
};

// The properties the model sheet adds to a model stored before they existed.
constexpr int kSheetProperties[] = {kName,       kAbsolute,     kBitmapPath, kBorder,
                                    kBorderFace, kBorderShadow, kBorderLine, kBackColour};

void Warn(const std::string& text) {
    MessageBox(nullptr, text.c_str(), "Clavon", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

CClavonModel::CClavonModel() {
    for (const Default& d : kModelDefaults) m_properties.Set(d.id, d.value);
    m_palette.SetNumColors(16);
}

void CClavonModel::AddMissingSheetProperties() {
    for (int id : kSheetProperties) {
        if (m_properties.Has(id)) continue;
        if (id == kName) {
            m_properties.Set(id, std::string(kDefaultKbdName));
            continue;
        }
        for (const Default& d : kModelDefaults)
            if (d.id == id) m_properties.Set(id, d.value);
    }
}

void CClavonModel::SetColourCount(int count) {
    SetInt(kNumColors, count);
    m_palette.SetNumColors(count);
}

int CClavonModel::GridWidth() const {
    return std::max(Int(kGridWidth), 1);
}

int CClavonModel::GridHeight() const {
    return std::max(Int(kGridHeight), 1);
}

CODKesSymbol& CClavonModel::Add(std::unique_ptr<CODKesSymbol> symbol) {
    m_symbols.push_back(std::move(symbol));
    return *m_symbols.back();
}

std::unique_ptr<CODKesSymbol> CClavonModel::Remove(const CODKesSymbol* symbol) {
    auto it = std::find_if(m_symbols.begin(), m_symbols.end(),
                           [&](const auto& s) { return s.get() == symbol; });
    if (it == m_symbols.end()) return nullptr;
    std::unique_ptr<CODKesSymbol> removed = std::move(*it);
    m_symbols.erase(it);
    return removed;
}

PanelRect CClavonModel::ComponentBounds() const {
    PanelRect bounds{1000000, 1000000, -1, -1};
    for (const auto& symbol : m_symbols) {
        const PanelRect r = symbol->SnappedRect();
        bounds.left = std::min(bounds.left, r.left);
        bounds.top = std::min(bounds.top, r.top);
        bounds.right = std::max(bounds.right, r.right);
        bounds.bottom = std::max(bounds.bottom, r.bottom);
    }
    return bounds;
}

PanelRect CClavonModel::KeyboardRect() const {
    const PanelRect plain = ComponentBounds();
    if (!Int(kBorder)) return plain;
    const PanelRect grown{plain.left - GridWidth(), plain.top - GridHeight(),
                          plain.right + GridWidth(), plain.bottom + GridHeight()};
    if (grown.left >= 0 && grown.top >= 0 && grown.right <= PanelWidth() &&
        grown.bottom <= PanelHeight())
        return grown;
    return plain;
}

bool CClavonModel::LoadBackground() {
    m_background = QImage();
    const std::string path = Text(kBitmapPath);
    if (path.empty()) return true;
    const QString file = QString::fromStdString(path);
    const QFileInfo info(file);
    QImageReader reader(file);
    const QSize size = reader.size();
    if (info.isFile() && info.size() <= kMaxBitmapBytes && size.isValid() &&
        size.width() <= kMaxBitmapSide && size.height() <= kMaxBitmapSide) {
        QImage loaded;
        if (reader.read(&loaded) && !loaded.isNull()) {
            m_background = loaded.convertToFormat(QImage::Format_RGB32);
            return true;
        }
    }
    Warn(kCanNotLoadBitmap + path);
    return false;
}

QImage CClavonModel::RenderBackground() const {
    const PanelRect r = KeyboardRect(), u = ComponentBounds();
    const int w = r.Width(), h = r.Height();
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    if (w <= 0 || h <= 0) return QImage();
    const CPanelPalette& palette = m_palette;
    auto colour = [&](int id) { return palette.DrawingColour(static_cast<Colour>(Int(id))); };
    FillPixels(image, 0, 0, w, h, colour(kBackColour));
    const int ul = u.left - r.left, ut = u.top - r.top, ur = u.right - r.left,
              ub = u.bottom - r.top;
    if (!m_background.isNull()) {
        QPainter painter(&image);
        painter.drawImage(QRect(ul, ut, u.Width(), u.Height()), m_background);
    }
    if (r == u) return image;
    // The raised frame: bands in the face colour, white highlights on its top-left edges
    // and along the row below the symbols, shadow and line on its bottom-right edges and
    // a shadow around the symbols' area.
    FillPixels(image, 0, 0, ul, h, colour(kBorderFace));
    FillPixels(image, ur, 0, w, h, colour(kBorderFace));
    FillPixels(image, 0, 0, w, ut, colour(kBorderFace));
    FillPixels(image, 0, ub, w, h, colour(kBorderFace));
    FillPixels(image, ul - 1, ut - 1, ur + 1, ut, colour(kBorderShadow));
    FillPixels(image, ul - 1, ut - 1, ul, ub + 1, colour(kBorderShadow));
    FillPixels(image, w - 2, 1, w - 1, h - 1, colour(kBorderShadow));
    FillPixels(image, 1, h - 2, w - 1, h - 1, colour(kBorderShadow));
    FillPixels(image, w - 1, 0, w, h, colour(kBorderLine));
    FillPixels(image, 0, h - 1, w, h, colour(kBorderLine));
    FillPixels(image, 1, 1, 2, h - 2, kWhite);
    FillPixels(image, 1, 1, w - 2, 2, kWhite);
    FillPixels(image, ul - 1, ub + 1, ur + 1, ub + 2, kWhite);
    return image;
}

std::vector<CRomBlock> CClavonModel::ImageBlocks() {
    const PanelRect r = KeyboardRect();
    const std::uint32_t imageId = NewId();
    CRomBlock image =
        ImageRecord(imageId, 0, 0, r.Width(), r.Height(), RenderBackground(), m_palette);
    const std::uint32_t keyboardId = NewId();
    std::vector<std::uint8_t> keyboard(33, 0);
    keyboard[0] = 21;
    keyboard[1] = 2;
    keyboard[2] = 0x82;
    kestra::WriteLe32(&keyboard[3], keyboardId);
    kestra::WriteLe16(&keyboard[21], static_cast<std::uint16_t>(r.Width()));
    kestra::WriteLe16(&keyboard[23], static_cast<std::uint16_t>(r.Height()));
    kestra::WriteLe32(&keyboard[29], imageId);
    std::vector<CRomBlock> blocks;
    blocks.push_back(std::move(image));
    blocks.push_back(CRomBlock{21, 2, keyboardId, std::move(keyboard)});
    return blocks;
}

void CClavonModel::RecordPlacements() {
    for (auto& symbol : m_symbols) symbol->RecordPlacement();
}

std::vector<std::uint8_t> FieldsOfMask(std::uint32_t mask) {
    std::vector<std::uint8_t> fields;
    for (unsigned i = 0; i < 32; ++i)
        if (mask & (1u << i)) fields.push_back(static_cast<std::uint8_t>(i));
    return fields;
}

CKbdRomImage BuildRomImage(CClavonModel& model, const std::string& documentPath) {
    CKbdRomImage image;
    std::string name = model.Text(kName);
    if (name.empty()) name = kDefaultKbdName;
    if (!documentPath.empty()) name = documentPath;
    image.SetHeader(1, name, 0);
    const PanelRect r = model.KeyboardRect();
    for (auto& symbol : model.Symbols())
        for (CRomBlock& block : symbol->RomRecords(r)) image.AddBlock(std::move(block));
    for (CRomBlock& block : model.ImageBlocks()) image.AddBlock(std::move(block));
    image.SetAvoidField(static_cast<std::uint8_t>(model.Int(kAvoidField)));
    image.SetHorzPosition(model.Int(kHorzPosition));
    image.SetVertPosition(model.Int(kVertPosition));
    image.SetHorzReference(model.Int(kHorzReference));
    image.SetVertReference(model.Int(kVertReference));
    image.SetTransparentColour(static_cast<std::uint32_t>(model.Int(kTransparent)));
    image.SetSize(r.Width(), r.Height());
    if (model.Int(kAbsolute)) image.SetAbsolutePlacement(r.left, r.top);
    for (std::uint8_t field : FieldsOfMask(static_cast<std::uint32_t>(model.Int(kFieldMask))))
        image.AddAssociatedField(field);
    return image;
}

bool ExportRom(CClavonModel& model, std::string target, const std::string& documentPath,
               const std::function<std::optional<std::string>()>& askPath) {
    if (model.ComponentCount() == 0) {
        Warn(kEmptyProject);
        return false;
    }
    if (target.empty()) {
        std::optional<std::string> chosen = askPath ? askPath() : std::nullopt;
        if (!chosen || chosen->empty()) return false;
        target = *chosen;
    }
    CKbdRomImage image = BuildRomImage(model, documentPath);
    image.SetTarget(target);
    return image.Write();
}

}  // namespace clavon
