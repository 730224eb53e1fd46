// Small display tables and model files written into a temporary folder for one test.
#pragma once

#include <string>

#include "support/temp_folder.h"

namespace kestra::panel::test {

inline constexpr const char* kDisplays = R"([DTYPE5]
NCode=5
Rows=8
Columns=40
CharWidth=6
CharHeight=8
BargraphStart=128
Attributes=Highlight,Reverse
ExtSemiGraphics=1,0,1,0,0,1
TSType=1
ScreenTextColor=1,2,3
[DTYPE9]
NCode=9
Rows=16
Columns=20
Attributes=Blink
ExtSemiGraphics=0,0,0,1
[DTYPE13]
NCode=13
Columns=30
[Touchscreens]
TS1=1,20,8,1
TS3=1,20,8
TS4=7.0.0.1
[Panel Model]
Forty Text=DTYPE5
Colour 9=DTYPE9 colour
)";

inline constexpr const char* kSpecificModel = R"([Model]
ModelName=Alpha
MfgCode=12
DisplayOrder=5
[Display]
DisplayCode=5
TouchscreenSupport=No|Yes:1
[Firmware]
Downloadable=1
[Attributes]
Versions=v100, 105,v110
RecipeBackupSupport=1
EventBackupSupport=0|1:1
NiceFontsSupport=1
PanelMemory=128K;131072|256K;262144:1
RecipeBackupMemory=16 kbyte
Description=base
ZOrderSupport=1
[Attributes.v0100]
Description=one hundred
[Attributes.v0105]
Description=one oh five
ShapesSupport=0|1:1
[Attributes.v0110]
Description=one ten
)";

inline constexpr const char* kGenericModel = R"([Model]
ModelName=Generic
MfgCode=-1
[Attributes]
Versions=100
NiceFontsSupport=0|1:0
)";

// A folder with "Displays.ini" as the Windows folder and "Panels" with the two models.
struct PanelFolder {
    testing::TempFolder temp;
    testing::WindowsFolderScope windows{temp.path()};
    std::string displays = temp.write("Displays.ini", kDisplays);
    std::string specific = temp.write("Panels/Alpha.dat", kSpecificModel);
    std::string generic = temp.write("Panels/Generic.dat", kGenericModel);
    std::string panels = temp.path() + "/Panels";
};

}  // namespace kestra::panel::test
