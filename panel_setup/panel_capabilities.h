// What a panel model file does to the data chunks: its capabilities in the setup record and its
// display geometry in the display record.
#pragma once

#include "panel_setup/data_chunk.h"
#include "panel_setup/panel_file.h"

namespace kestra::panel {

// Sets the display code, the capability bits and (when still 0) the colours code of the setup
// record from a model file read for a firmware version.
void ApplyCapabilities(CTargetSetupData& setup, const CPanelFile& model, int version);

// Fills the display record from a model file and its display type.
void LoadDisplayFromModel(CPanelDisplayData& display, const CPanelFile& model, int version,
                          bool resetFirst);

// Sets the display record's pixel positioning, z-order and shapes bits for a firmware version.
void LoadDisplayFeatures(CPanelDisplayData& display, const CPanelFile& model, int version);

// Brings the display record's colour code and colour bit in line with the setup record.
void AlignDisplayWithSetup(CPanelDisplayData& display, const CTargetSetupData& setup);

// Whether the model's display has semigraphic set 3, which marks a colour display.
bool HasColourSemigraphics(const CPanelFile& model);

// The colours code a model gives: "Colors" of its "Display" section, else 4 for a display
// with the fourth semigraphic set, else 1.
int ModelColours(const CPanelFile& model);

}  // namespace kestra::panel
