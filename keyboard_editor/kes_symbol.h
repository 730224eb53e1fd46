// The symbols of a keyboard: keys and value boxes, with their settings, their drawing and the
// records they add to the keyboard ROM image.
#pragma once

#include <QImage>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "keyboard_editor/panel_palette.h"
#include "keyboard_editor/properties.h"
#include "keyboard_editor/rom_image.h"

class QPainter;

namespace clavon {

class CClavonModel;

// A rectangle in panel pixels; right and bottom exclusive.
struct PanelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const PanelRect&) const = default;
};

// Rounds value / cell half away from zero and multiplies back.
int SnapToGrid(double value, int cell);

enum class SymbolKind { Button, Value };

// The symbol interface: what the model and the commands use on every keyboard symbol.
class CODKesSymbol {
  public:
    static constexpr const char* kInterfaceId = "{9944DAC0-EAD0-11D3-A0E8-444553540001}";
    static constexpr int kSchema = 6;
    // A new symbol is 6 grid cells wide and 2 high.
    static constexpr int kNewColumns = 6, kNewRows = 2;

    explicit CODKesSymbol(CClavonModel& model) : m_model(&model) {}
    virtual ~CODKesSymbol() = default;
    virtual SymbolKind Kind() const = 0;
    virtual std::unique_ptr<CODKesSymbol> Clone(CClavonModel& model) const = 0;

    CClavonModel& Model() const { return *m_model; }
    PropertyContainer& Properties() { return m_properties; }
    const PropertyContainer& Properties() const { return m_properties; }

    // Position and size in the view's logical units (panel pixels here).
    double x = 0, y = 0, width = 0, height = 0;
    void MoveTo(double newX, double newY) {
        x = newX;
        y = newY;
    }

    // Grid-snapped position and size in panel pixels.
    int SnappedX() const;
    int SnappedY() const;
    int SnappedWidth() const;
    int SnappedHeight() const;
    PanelRect SnappedRect() const {
        return {SnappedX(), SnappedY(), SnappedX() + SnappedWidth(), SnappedY() + SnappedHeight()};
    }
    int Columns() const;

    // The placement record mirrors the grid-snapped placement at the last save.
    std::int32_t placement[4] = {0, 0, 0, 0};
    // Members of the symbol's document entry that this version does not know, written back.
    QJsonObject kept;
    void RecordPlacement();
    void ReplaceFromPlacement();

    // The records for the ROM image; keyboard left and top are `keyboard`'s.
    virtual std::vector<CRomBlock> RomRecords(const PanelRect& keyboard) = 0;
    // Draws the symbol into a picture of its snapped size.
    virtual QImage Render() const = 0;

  protected:
    // Gives a clone what every symbol carries: properties, place, size, placement record and
    // the kept document members.
    void CopyCommonTo(CODKesSymbol& copy) const;

    CClavonModel* m_model;
    PropertyContainer m_properties;
};

struct LabelFont {
    std::string face = "MS Sans Serif";
    int height = 16;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    Colour colour = 0;
    bool operator==(const LabelFont&) const = default;
};

class CKesButton : public CODKesSymbol {
  public:
    enum : int {
        kHorzAlign = 65616,
        kVertAlign = 65617,
        kKeyCode = 65619,
        kPicture = 65624,
        kKept1 = 65625,
        kKept2 = 65626,
        kFace = 65627,
        kShadow = 65628,
        kLine = 65629,
        kLabel = 65630,
        kFont = 65631,
    };
    explicit CKesButton(CClavonModel& model);
    SymbolKind Kind() const override { return SymbolKind::Button; }
    std::unique_ptr<CODKesSymbol> Clone(CClavonModel& model) const override;

    LabelFont font;
    // 1 released, 2 pressed.
    int state = 1;

    std::vector<CRomBlock> RomRecords(const PanelRect& keyboard) override;
    QImage Render() const override;
    // Draws the key into `target` at `rect` in the given state.
    void Draw(QImage& target, const PanelRect& rect, int drawState) const;

  private:
    void DrawPicture(QPainter& painter, const PanelRect& content) const;
    mutable QImage m_picture;
    mutable std::string m_loadedPicture;
};

class CSymValue : public CODKesSymbol {
  public:
    enum : int {
        kBackground = 65620,
        kForeground = 65621,
        kAlignment = 65622,
        kType = 65623,
        kFontSize = 65627,
    };
    explicit CSymValue(CClavonModel& model);
    SymbolKind Kind() const override { return SymbolKind::Value; }
    std::unique_ptr<CODKesSymbol> Clone(CClavonModel& model) const override;

    std::vector<CRomBlock> RomRecords(const PanelRect& keyboard) override;
    QImage Render() const override;
    // The text shown in the box, for example "Edit/Reg".
    QString Caption() const;
    // The font size a value box of `columns` grid columns gets when scaled from `fontSize`.
    static int FontSizeForColumns(int fontSize, int columns);
};

// One-pixel-exact fills of a picture in a Windows colour; right and bottom exclusive.
void FillPixels(QImage& image, int left, int top, int right, int bottom, Colour colour);

// The image record (type 18) of a picture of width x height pixels placed at (x, y). The
// size is given apart from the picture: a picture with no pixels in one direction keeps its
// extent in the other.
CRomBlock ImageRecord(std::uint32_t id, int x, int y, int width, int height, const QImage& picture,
                      const CPanelPalette& palette);

}  // namespace clavon
