#include "kestra/json_records.h"

namespace kestra::json::records {
namespace {

using K = Kind;

constexpr FieldEntry kNodeFields[] = {
    {0, 1, "protocol", K::U8},     {1, 2, "model", K::U16},         {32, 2, "nameString", K::U16},
    {34, 2, "nodeKey", K::U16},    {36, 2, "slaveAddress", K::U16}, {38, 2, "childCount", K::U16},
    {40, 4, "children", K::Const}, {44, 1, "flags", K::U8},         {50, 2, "nodeKind", K::U16},
};

constexpr FieldEntry kProjectFields[] = {
    {0, 2, "titleString", K::U16},
    {2, 1, "settings2", K::U8},
    {3, 1, "settings3", K::U8},
    {4, 1, "listHead0", K::U8},
    {5, 1, "listHead1", K::U8},
    {13, 1, "imageSizeClass", K::U8},
    {14, 1, "loadedFrom", K::U8},
    {15, 2, "plcType", K::U16},
    {17, 64, "nodeA", K::Sub, 0, &kNetworkNode},
    {81, 1, "projectType", K::U8},
    {82, 1, "firmware", K::U8},
    {411, 1, "onNetwork", K::U8},
    {427, 1, "entries20Count", K::Derived},
    {428, 4, "entries20", K::Const},
    {448, 2, "listEntriesCount", K::Derived},
    {450, 4, "listEntries", K::Const},
    {454, 1, "groupCount", K::U8},
    {458, 4, "groups", K::Const},
    {464, 2, "block108Present", K::U16},
    {466, 4, "block108", K::Const},
    {470, 2, "pageCount", K::U16},
    {472, 4, "pages", K::Const},
    {525, 1, "textBlock1Length", K::Derived},
    {526, 1, "textBlock2Length", K::Derived},
    {527, 4, "textBlock1", K::Const},
    {531, 4, "textBlock2", K::Const},
    {551, 2, "entries14Count", K::Derived},
    {553, 4, "entries14", K::Const},
    {573, 2, "stringCount", K::Derived},
    {595, 2, "keyedCapacity", K::U16},
    {597, 4, "keyed", K::Const},
    {601, 2, "records310Count", K::Derived},
    {603, 4, "records310", K::Const},
    {607, 2, "listEntries6Count", K::Derived},
    {609, 4, "listEntries6", K::Const},
    {613, 2, "variableBlockPresent", K::U16},
    {615, 4, "variableBlock", K::Const},
};

constexpr FieldEntry kTagFolderFields[] = {
    {0, 2, "count", K::U16},
    {6, 2, "nameString", K::U16},
    {16, 4, "elements", K::Derived},
};
constexpr RecordTable kTagFolder{20, kTagFolderFields};

constexpr FieldEntry kExtensionFields[] = {
    {3, 64, "nodeB", K::Sub, 0, &kNetworkNode},
    {72, 2, "network72", K::U16},
    {74, 1, "network74", K::U8},
    {75, 4, "optionFlags", K::U32},
    {79, 4, "optionBlock", K::Derived},
    {83, 2, "pageExtensions", K::U16},
    {85, 1, "blobFlags", K::U8},
    {87, 2, "bitmapCount", K::Derived},
    {89, 2, "shapeCount", K::U16},
    {91, 4, "bitmaps", K::Const},
    {95, 4, "shapes", K::Const},
    {99, 4, "slot99", K::Const},
    {139, 4, "resourcesPresent", K::U32},
    {143, 4, "resources", K::Const},
    {175, 20, "tagFolder", K::Sub, 0, &kTagFolder},
    {195, 4, "listSection195", K::U32},
    {199, 4, "listSection199", K::U32},
    {203, 4, "listSection203", K::U32},
    {207, 4, "listSection", K::Const},
    {228, 1, "languageCount", K::U8},
    {229, 1, "languageByte229", K::U8},
    {230, 2, "set1Count", K::U16},
    {232, 2, "set2Count", K::U16},
    {234, 4, "languages", K::Const},
    {247, 2, "textString1", K::U16},
    {249, 2, "textString2", K::U16},
    {251, 2, "textString3", K::U16},
    {253, 2, "textString4", K::U16},
    {255, 2, "textString5", K::U16},
    {257, 2, "textString6", K::U16},
    {259, 2, "textString7", K::U16},
    {261, 2, "textString8", K::U16},
    {263, 2, "textString9", K::U16},
    {265, 2, "savedMark", K::Const, 3},
    {297, 4, "tailLength", K::U32},
    {303, 4, "codeBlock", K::Derived},
    {307, 4, "wordGroups", K::Derived},
    {311, 4, "table264", K::Derived},
    {336, 4, "block124", K::Derived},
    {340, 4, "tail", K::Derived},
};

constexpr FieldEntry kPageSingleFields[] = {
    {0, 41, "name", K::Derived},       {45, 4, "text", K::Const},   {49, 1, "byte49", K::U8},
    {50, 2, "fieldCount", K::Derived}, {52, 4, "fields", K::Const}, {56, 4, "extension1", K::Const},
    {62, 4, "extension2", K::Const},
};
constexpr FieldEntry kPageMultiFields[] = {
    {0, 2, "nameString", K::U16},      {45, 4, "text", K::Const},   {49, 1, "byte49", K::U8},
    {50, 2, "fieldCount", K::Derived}, {52, 4, "fields", K::Const}, {56, 4, "extension1", K::Const},
    {62, 4, "extension2", K::Const},
};

constexpr FieldEntry kFieldFields[] = {
    {2, 1, "width", K::U8},
    {3, 1, "height", K::U8},
    {4, 2, "fieldClass", K::U16},
    {6, 1, "kind", K::U8},
    {30, 2, "list1Count", K::Derived},
    {32, 4, "list1", K::Const},
    {36, 2, "list1Numeric", K::U16},
    {38, 2, "list1Word", K::U16},
    {40, 2, "list2Count", K::S16},
    {42, 4, "list2", K::Const},
    {46, 2, "list2Numeric", K::U16},
    {48, 2, "list2Word", K::U16},
    {66, 1, "subKind", K::U8},
    {93, 2, "textString", K::U16},
    {95, 1, "mode", K::U8},
    {96, 1, "flags", K::U8},
    {97, 2, "childCount", K::U16},
    {99, 4, "children", K::Const},
    {103, 1, "namesRecipe", K::U8},
    {104, 4, "label", K::Derived},
    {108, 2, "labelAttribute", K::U16},
};

constexpr FieldEntry kGroupFields[] = {
    {4, 2, "entryCount", K::Derived},
    {42, 2, "textString", K::U16},
    {108, 4, "entries", K::Const},
};

constexpr FieldEntry kFolderEntryFields[] = {
    {0, 2, "firstKey", K::S16},
    {2, 2, "lastKey", K::S16},
    {4, 2, "textString", K::U16},
    {6, 4, "value", K::S32},
};
constexpr FieldEntry kIndexedEntryFields[] = {
    {0, 2, "firstKey", K::S16},
    {2, 2, "textString", K::U16},
    {4, 2, "word4", K::U16},
    {6, 4, "value", K::S32},
};

constexpr FieldEntry kEntry14Fields[] = {{2, 2, "textString", K::U16}};

constexpr FieldEntry kRecord310Fields[] = {
    {300, 2, "entryCount", K::Derived},
    {302, 4, "entries", K::Const},
};

constexpr FieldEntry kTagElementFields[] = {
    {0, 2, "key", K::U16},        {2, 2, "nameString", K::U16}, {4, 32, "data", K::Hex},
    {36, 2, "parentKey", K::U16}, {38, 1, "flags", K::U8},
};

constexpr FieldEntry kLanguageFields[] = {
    {0, 2, "nameString", K::U16},
    {3, 4, "textSet1", K::Const},
    {7, 4, "textSet2", K::Const},
};

constexpr FieldEntry kBitmapHeadFields[] = {
    {0, 1, "nameMark", K::U8},     {4, 4, "word4", K::U32},        {8, 1, "byte8", K::U8},
    {9, 2, "attribute9", K::U16},  {11, 2, "attribute11", K::U16}, {13, 2, "attribute13", K::U16},
    {15, 2, "attributes", K::U16}, {17, 2, "dataFlag", K::U16},
};

constexpr FieldEntry kShapeHeadFields[] = {
    {0, 4, "word0", K::U32},           {4, 4, "word4", K::U32},   {8, 1, "byte8", K::U8},
    {9, 4, "points", K::Const},        {13, 2, "word13", K::U16}, {15, 2, "word15", K::U16},
    {17, 2, "pointCount", K::Derived},
};

constexpr FieldEntry kInfoHeaderFields[] = {
    {0, 4, "size", K::Const, 40},       {4, 4, "width", K::S32},
    {8, 4, "height", K::S32},           {12, 2, "planes", K::U16},
    {14, 2, "bitCount", K::U16},        {16, 4, "compression", K::U32},
    {20, 4, "sizeImage", K::U32},       {24, 4, "xPelsPerMeter", K::S32},
    {28, 4, "yPelsPerMeter", K::S32},   {32, 4, "colorsUsed", K::U32},
    {36, 4, "colorsImportant", K::U32},
};
constexpr FieldEntry kCoreHeaderFields[] = {
    {0, 4, "size", K::U32},   {4, 2, "width", K::U16},     {6, 2, "height", K::U16},
    {8, 2, "planes", K::U16}, {10, 2, "bitCount", K::U16},
};

constexpr FieldEntry kResourceFields[] = {
    {0, 2, "word0", K::U16},    {2, 2, "bytes2", K::Hex},  {4, 2, "value4", K::U16},
    {6, 2, "value6", K::U16},   {8, 2, "value10", K::U16}, {10, 2, "value14", K::U16},
    {12, 8, "bytes18", K::Hex},
};

constexpr FieldEntry kResourceHeadFields[] = {
    {0, 2, "storedCount", K::Derived},
    {12, 18, "marks", K::Derived},
};

constexpr FieldEntry kTextEntryFields[] = {
    {0, 4, "value0", K::U32},
    {4, 4, "value4", K::U32},
    {8, 4, "value8", K::U32},
};

constexpr FieldEntry kOptionListHeadFields[] = {
    {0, 4, "value0", K::U32},
    {4, 2, "word4", K::U16},
    {6, 2, "count", K::Derived},
};

}  // namespace

const RecordTable kNetworkNode{64, kNodeFields};
const RecordTable kProjectRecord{627, kProjectFields};
const RecordTable kExtensionRecord{375, kExtensionFields};
const RecordTable kPageSingleLanguage{76, kPageSingleFields};
const RecordTable kPageMultiLanguage{76, kPageMultiFields};
const RecordTable kField{111, kFieldFields};
const RecordTable kGroup{118, kGroupFields};
const RecordTable kFolderEntry{16, kFolderEntryFields};
const RecordTable kIndexedEntry{16, kIndexedEntryFields};
const RecordTable kEntry14{14, kEntry14Fields};
const RecordTable kRecord310{310, kRecord310Fields};
const RecordTable kTagElement{45, kTagElementFields};
const RecordTable kLanguage{11, kLanguageFields};
const RecordTable kBitmapHead{19, kBitmapHeadFields};
const RecordTable kShapeHead{19, kShapeHeadFields};
const RecordTable kInfoHeader{40, kInfoHeaderFields};
const RecordTable kCoreHeader{12, kCoreHeaderFields};
const RecordTable kResource{20, kResourceFields};
const RecordTable kResourceHead{32, kResourceHeadFields};
const RecordTable kTextEntryValues{12, kTextEntryFields};
const RecordTable kOptionListHead{8, kOptionListHeadFields};

}  // namespace kestra::json::records
