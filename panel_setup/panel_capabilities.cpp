#include "panel_setup/panel_capabilities.h"

#include <cstdio>
#include <cstring>

namespace kestra::panel {
namespace {

struct CapabilityKey {
    const char* key;
    int selector;  // 1 = the firmware version, else a fixed section
    std::size_t offset;
    int bit;
};
constexpr int kVersion = 1;

constexpr CapabilityKey kCapabilities[] = {
    {"RecipeBackupSupport", kVersion, setup::kFlags414, 6},
    {"EventBackupSupport", kVersion, setup::kFlags414, 7},
    {"NiceFontsSupport", kVersion, setup::kCaps406, 5},
    {"MultiLanguageSupport", kVersion, setup::kCaps405, 4},
    {"ReportPrintoutSupport", kVersion, setup::kCaps405, 5},
    {"OOTCSupport", kVersion, setup::kCaps405, 6},
    {"TrendSupport", kVersion, setup::kCaps405, 7},
    {"InstrumentSupport", kVersion, setup::kCaps406, 0},
    {"TextObjectSupport", kVersion, setup::kCaps406, 1},
    {"ForthSupport", kVersion, setup::kCaps406, 2},
    {"MinMaxRefreshType", kVersion, setup::kCaps406, 3},
    {"MinMaxReferences", kVersion, setup::kCaps406, 4},
    {"Downloadable", kFirmware, setup::kCaps406, 6},
    {"ExtDataEntrySupport", kVersion, setup::kCaps406, 7},
};

// Semigraphic list elements and the attribute bits they set.
constexpr struct {
    int element, bit;
} kSemigraphics[] = {{2, 7}, {1, 5}, {0, 6}, {3, 9}, {4, 10}, {5, 11}};

constexpr struct {
    const char* word;
    std::uint16_t bit;
} kAttributeWords[] = {
    {"Highlight", attr::kHighlight}, {"Blink", attr::kBlink}, {"Reverse", attr::kReverse}};

constexpr struct {
    const char* key;
    std::uint16_t bit;
} kFeatureKeys[] = {{"PixelPositionSupport", feature::kPixelPositioning},
                    {"ZOrderSupport", feature::kZOrder},
                    {"ShapesSupport", feature::kShapes}};

void SetBits(le16& word, std::uint16_t bits, bool on) {
    word = static_cast<std::uint16_t>(on ? (word | bits) : (word & ~bits));
}

void CopyText(char* target, std::size_t size, const std::string& text) {
    std::memset(target, 0, size);
    std::memcpy(target, text.data(), std::min(text.size(), size - 1));
}

void StoreIfPresent(les16& field, int value) {
    if (value != kMissing) field = static_cast<std::int16_t>(value);
}

void LoadSemigraphics(DisplayRecord& record, const CDisplaysFile& display) {
    if (!display.HasKey("ExtSemiGraphics")) return;
    for (const auto& sg : kSemigraphics) {
        const int element = display.ListElement("ExtSemiGraphics", sg.element);
        SetBits(record.attributes, static_cast<std::uint16_t>(1u << sg.bit),
                element != kMissing && element != 0);
    }
    SetBits(record.attributes, attr::kAnySemigraphics, (record.attributes & 0xE0) != 0);
}

void LoadColours(DisplayColours& colours, const CDisplaysFile& display) {
    const struct {
        const char* key;
        std::array<int, 3>* target;
    } keys[] = {{"ScreenTextColor", &colours.screenText},
                {"GridColor", &colours.grid},
                {"ScreenDataColor", &colours.screenData},
                {"PageBgrColor", &colours.pageBackground},
                {"ScreenBgrColor", &colours.screenBackground},
                {"AttributeColor", &colours.attribute},
                {"TSGridColor", &colours.touchGrid}};
    for (const auto& k : keys)
        if (auto triple = display.ReadTriple(k.key)) *k.target = *triple;
}

}  // namespace

bool HasColourSemigraphics(const CPanelFile& model) {
    const int element = model.Display().ListElement("ExtSemiGraphics", 3);
    return element != kMissing && element != 0;
}

int ModelColours(const CPanelFile& model) {
    if (auto colours = model.ReadChoiceValue("Colors", kDisplay)) return *colours;
    return HasColourSemigraphics(model) ? 4 : 1;
}

void ApplyCapabilities(CTargetSetupData& setup, const CPanelFile& model, int version) {
    const int code = model.Display().ReadInt("NCode");
    if (code != kMissing) setup.Byte(setup::kDisplayCode) = static_cast<std::uint8_t>(code);
    for (const auto& cap : kCapabilities) {
        const int selector = cap.selector == kVersion ? version : cap.selector;
        auto text = model.ReadText(cap.key, selector);
        if (!text) {
            if (!model.IsGeneric()) setup.SetBit(cap.offset, cap.bit, false);
        } else if (!IsChoiceList(*text)) {
            setup.SetBit(cap.offset, cap.bit, ParseInteger(*text).value_or(0) & 1);
        }
    }
    if (setup.Byte(setup::kColours) == 0)
        setup.Byte(setup::kColours) = static_cast<std::uint8_t>(ModelColours(model));
}

void LoadDisplayFromModel(CPanelDisplayData& chunk, const CPanelFile& model, int version,
                          bool resetFirst) {
    if (resetFirst) chunk.SetDefaults();
    chunk.SetText(model.Path());
    DisplayRecord& record = chunk.Record();
    const CDisplaysFile& display = model.Display();

    if (auto name = model.ReadText("ModelName", kModel))
        CopyText(record.modelName, sizeof record.modelName, *name);
    const int ncode = display.ReadInt("NCode");
    StoreIfPresent(record.displayCode, ncode);
    char section[sizeof record.sectionName + 16];
    std::snprintf(section, sizeof section, "DTYPE%d", ncode != kMissing ? ncode : display.Code());
    CopyText(record.sectionName, sizeof record.sectionName, section);
    if (auto mfg = model.ReadInt("MfgCode", kModel))
        record.mfgCode = static_cast<std::int16_t>(*mfg);

    StoreIfPresent(record.rows, display.ReadInt("Rows"));
    StoreIfPresent(record.columns, display.ReadInt("Columns"));
    StoreIfPresent(record.charWidth, display.ReadInt("CharWidth"));
    StoreIfPresent(record.charHeight, display.ReadInt("CharHeight"));
    StoreIfPresent(record.bargraphStart, display.ReadInt("BargraphStart"));

    if (display.HasKey("Attributes"))
        for (const auto& word : kAttributeWords)
            SetBits(record.attributes, word.bit, display.TextContains("Attributes", word.word));
    if (auto touch = model.ReadBoolean("TouchscreenSupport", kDisplay))
        SetBits(record.attributes, attr::kTouchscreen, *touch != 0);
    LoadSemigraphics(record, display);

    StoreIfPresent(record.touchColumns, display.TouchColumns());
    StoreIfPresent(record.touchRows, display.TouchRows());
    record.touchType = display.TouchType();

    LoadColours(chunk.Colours(), display);
    record.colours = static_cast<std::int16_t>(ModelColours(model));
    LoadDisplayFeatures(chunk, model, version);
}

void LoadDisplayFeatures(CPanelDisplayData& chunk, const CPanelFile& model, int version) {
    for (const auto& f : kFeatureKeys)
        if (auto on = model.ReadBoolean(f.key, version))
            SetBits(chunk.Record().features, f.bit, *on != 0);
}

void AlignDisplayWithSetup(CPanelDisplayData& display, const CTargetSetupData& setup) {
    const int colours = setup.Byte(setup::kColours);
    if (colours == 0) return;
    DisplayRecord& record = display.Record();
    record.colours = static_cast<std::int16_t>(colours);
    SetBits(record.attributes, attr::kColourDisplay, colours >= 2);
}

}  // namespace kestra::panel
