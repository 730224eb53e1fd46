#include "kestra/panel_display.h"

#include "kestra/kept_panel_setup.h"
#include "panel_setup/displays_file.h"

namespace kestra::host {

namespace {

// A character of the display table is at most this large; larger values are no display.
constexpr int kCellLimit = 256;
// Rows and columns of a display.
constexpr int kGridLimit = 255;

bool Plausible(int value, int limit) {
    return value > 0 && value <= limit;
}

void ReadColour(const panel::CDisplaysFile& table, const char* key, Rgb& colour) {
    const auto triple = table.ReadTriple(key);
    if (!triple) return;
    auto channel = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    colour = {channel((*triple)[0]), channel((*triple)[1]), channel((*triple)[2])};
}

std::string NameOf(int code) {
    for (const auto& [name, displayCode] : panel::CDisplaysFile::PanelModelDisplays())
        if (displayCode == code) return name;
    return "DTYPE" + std::to_string(code);
}

}  // namespace

std::optional<PanelDisplay> DisplayOfTable(int code, int touchType) {
    if (code <= 0 || code > 0x7FFF) return std::nullopt;
    panel::CDisplaysFile table;
    table.Select(code, touchType);
    const int rows = table.ReadInt("Rows");
    const int columns = table.ReadInt("Columns");
    if (!Plausible(rows, kGridLimit) || !Plausible(columns, kGridLimit)) return std::nullopt;

    PanelDisplay display;
    display.code = code;
    display.name = NameOf(code);
    display.rows = rows;
    display.columns = columns;
    if (const int w = table.ReadInt("CharWidth"); Plausible(w, kCellLimit)) display.charWidth = w;
    if (const int h = table.ReadInt("CharHeight"); Plausible(h, kCellLimit)) display.charHeight = h;
    display.highlight = table.TextContains("Attributes", "Highlight");
    display.blink = table.TextContains("Attributes", "Blink");
    display.reverse = table.TextContains("Attributes", "Reverse");
    ReadColour(table, "ScreenTextColor", display.screenText);
    ReadColour(table, "ScreenDataColor", display.screenData);
    ReadColour(table, "GridColor", display.grid);
    ReadColour(table, "PageBgrColor", display.pageBackground);
    ReadColour(table, "ScreenBgrColor", display.screenBackground);
    ReadColour(table, "AttributeColor", display.attribute);
    ReadColour(table, "TSGridColor", display.touchGrid);
    if (table.TouchType() >= 0) {
        const int touchColumns = table.TouchColumns(), touchRows = table.TouchRows();
        if (Plausible(touchColumns, kGridLimit) && Plausible(touchRows, kGridLimit)) {
            display.touchColumns = touchColumns;
            display.touchRows = touchRows;
        }
    }
    return display;
}

PanelDisplay PanelDisplayOf(const ProjectBlock& project) {
    // The display the panel setup chose: its record, else the project record's display code.
    if (const auto kept = KeptPanelSetupOf(project)) {
        const panel::DisplayRecord record = kept->display();
        const int code = record.displayCode.get();
        if (code > 0) {
            auto display = DisplayOfTable(code, record.touchType.get());
            if (!display && Plausible(record.rows.get(), kGridLimit) &&
                Plausible(record.columns.get(), kGridLimit)) {
                // A display the table does not know: the geometry the setup recorded.
                display = PanelDisplay{};
                display->code = code;
                display->name = "DTYPE" + std::to_string(code);
                display->rows = record.rows.get();
                display->columns = record.columns.get();
                if (Plausible(record.charWidth.get(), kCellLimit))
                    display->charWidth = record.charWidth.get();
                if (Plausible(record.charHeight.get(), kCellLimit))
                    display->charHeight = record.charHeight.get();
            }
            if (display) {
                display->source = PanelDisplay::Source::PanelSetup;
                return *display;
            }
        }
    }
    const auto* head = reinterpret_cast<const std::uint8_t*>(&project.record);
    if (auto display = DisplayOfTable(head[panel::setup::kDisplayCode])) {
        display->source = PanelDisplay::Source::PanelSetup;
        return *display;
    }
    const auto generic = panel::CDisplaysFile::PanelModelDisplays();
    if (!generic.empty()) {
        if (auto display = DisplayOfTable(generic.front().second)) {
            display->source = PanelDisplay::Source::GenericModel;
            display->name = generic.front().first;
            return *display;
        }
    }
    return PanelDisplay{};
}

}  // namespace kestra::host
