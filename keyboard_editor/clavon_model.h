// The keyboard model: its settings, the panel palette, the background bitmap, the symbols in
// component order, the derived keyboard rectangle and the model's own ROM records.
#pragma once

#include <QImage>
#include <QJsonObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "keyboard_editor/kes_symbol.h"
#include "keyboard_editor/panel_palette.h"
#include "keyboard_editor/properties.h"
#include "keyboard_editor/rom_image.h"

namespace clavon {

inline constexpr const char* kEmptyProject = "Empty project!";
inline constexpr const char* kCanNotLoadBitmap = "Can not load bitmap:";
inline constexpr const char* kKeyboardTooBig = "Keyboard too big";
inline constexpr const char* kDefaultKbdName = "Default Kbd Name";

// Model property ids.
enum ModelProperty : int {
    kNumColors = 65537,
    kPanelWidth = 65538,
    kPanelHeight = 65539,
    kGridWidth = 65540,
    kGridHeight = 65541,
    kAvoidField = 65542,
    kTransparent = 65543,
    kHorzReference = 65548,
    kVertReference = 65549,
    kHorzPosition = 65550,
    kVertPosition = 65551,
    kFieldMask = 65552,
    kName = 65553,
    kAbsolute = 65554,
    kBitmapPath = 65563,
    kBorder = 65564,
    kBorderFace = 65565,
    kBorderShadow = 65566,
    kBorderLine = 65567,
    kBackColour = 65568,
};

class CClavonModel {
  public:
    CClavonModel();
    CClavonModel(const CClavonModel&) = delete;
    CClavonModel& operator=(const CClavonModel&) = delete;

    PropertyContainer& Properties() { return m_properties; }
    const PropertyContainer& Properties() const { return m_properties; }
    std::int32_t Int(int id) const { return m_properties.Int(id); }
    std::string Text(int id) const { return m_properties.Text(id); }
    void SetInt(int id, std::int32_t value) { m_properties.Set(id, value); }
    void SetText(int id, const std::string& value) { m_properties.Set(id, value); }
    // The sheet's properties that older models lack, with their defaults (the name as
    // "Default Kbd Name").
    void AddMissingSheetProperties();

    const CPanelPalette& Palette() const { return m_palette; }
    // Sets property 65537 and refills the palette.
    void SetColourCount(int count);
    int GridWidth() const;
    int GridHeight() const;
    int PanelWidth() const { return Int(kPanelWidth); }
    int PanelHeight() const { return Int(kPanelHeight); }

    int SnapX(double value) const { return SnapToGrid(value, GridWidth()); }
    int SnapY(double value) const { return SnapToGrid(value, GridHeight()); }

    // Symbols in component order.
    std::vector<std::unique_ptr<CODKesSymbol>>& Symbols() { return m_symbols; }
    const std::vector<std::unique_ptr<CODKesSymbol>>& Symbols() const { return m_symbols; }
    CODKesSymbol& Add(std::unique_ptr<CODKesSymbol> symbol);
    std::unique_ptr<CODKesSymbol> Remove(const CODKesSymbol* symbol);
    void Clear() { m_symbols.clear(); }
    int ComponentCount() const { return static_cast<int>(m_symbols.size()); }

    // Union of the symbols' snapped rectangles.
    PanelRect ComponentBounds() const;
    // The union grown by one grid cell when the border is on and the grown rectangle fits
    // the panel; the plain union otherwise.
    PanelRect KeyboardRect() const;

    // Fresh identifiers for records.
    std::uint32_t NewId() { return m_nextId++; }
    std::uint32_t NextId() const { return m_nextId; }
    void SetNextId(std::uint32_t next) { m_nextId = next; }

    // Loads the background bitmap named by 65563; a failure shows "Can not load bitmap:"
    // with the path and leaves no bitmap. An empty path just drops the bitmap.
    bool LoadBackground();
    const QImage& Background() const { return m_background; }

    // The background picture of the keyboard rectangle, with the border's bands.
    QImage RenderBackground() const;
    // The model's two records: the background image and the keyboard record.
    std::vector<CRomBlock> ImageBlocks();

    // Records every symbol's grid-snapped placement.
    void RecordPlacements();

    // Members of the document and of its model entry that this version does not know,
    // written back on saving.
    QJsonObject keptDocument, keptModel;

  private:
    PropertyContainer m_properties;
    CPanelPalette m_palette;
    QImage m_background;
    std::vector<std::unique_ptr<CODKesSymbol>> m_symbols;
    std::uint32_t m_nextId = 1;
};

// Builds the ROM image of the model and writes it. An empty target asks `askPath` (which
// returns nothing on Cancel). `documentPath`, when not empty, is the name the image carries.
bool ExportRom(CClavonModel& model, std::string target, const std::string& documentPath,
               const std::function<std::optional<std::string>()>& askPath);
// The image without writing it (for tests and the download).
CKbdRomImage BuildRomImage(CClavonModel& model, const std::string& documentPath);

// The field indexes set in an associated-field mask, ascending.
std::vector<std::uint8_t> FieldsOfMask(std::uint32_t mask);

}  // namespace clavon
