// Sample data for dialog-gallery: a project with nested tag structures, eight passwords and a
// recipe of 12 rows by 7 sets.
#include "utilities/gallery_samples.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "platform/memory.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/k32fabutil1.h"

using namespace kestra;

namespace {

ProjectBlock& sampleProject() {
    static HGLOBAL handle = [] {
        HGLOBAL h = GlobalAlloc(GHND, kProjectBlockSize);
        StrTabAddText("Sample project", mem::Data(h));
        return h;
    }();
    return RecordAt<ProjectBlock>(mem::Data(handle));
}

BOOL sameName(const void*, const void*, const void*, const void*) {
    return FALSE;  // every sample tag is new
}

DWORD addTag(TagFolderHeader& folder, const char* name, DWORD parent, bool structure) {
    std::uint8_t data[32] = {};
    return AddTagElement(&folder, &sampleProject(), name, data, static_cast<int>(parent), structure,
                         sameName);
}

}  // namespace

INT_PTR OpenSampleTagSelection(HWND owner) {
    static TagFolderHeader folder{};
    static std::uint8_t field[111] = {};
    addTag(folder, "Alarm horn", 0, false);
    DWORD boiler = addTag(folder, "Boiler", 0, true);
    addTag(folder, "Temperature", boiler, false);
    addTag(folder, "Pressure", boiler, false);
    DWORD burner = addTag(folder, "Burner", boiler, true);
    addTag(folder, "Flame", burner, false);
    DWORD valve = addTag(folder, "Fuel valve", burner, false);
    DWORD conveyor = addTag(folder, "Conveyor", 0, true);
    addTag(folder, "Speed", conveyor, false);
    addTag(folder, "Running", conveyor, false);
    addTag(folder, "Shift counter", 0, false);
    WriteLe16(field + 91, static_cast<std::uint16_t>(valve));
    TagSelection selection{};
    selection.hostRecord = field;
    selection.project = &sampleProject();
    selection.folder = &folder;
    INT_PTR result = ExecTagSelDlg(owner, &selection);
    char name[101] = "";
    GetTagElement(&folder, &sampleProject(), ReadLe16(field + 91), nullptr, nullptr, nullptr, name,
                  sizeof name, nullptr);
    std::printf("tag %u \"%s\", flags 0x%02X\n", ReadLe16(field + 91), name, field[88]);
    return result;
}

INT_PTR OpenSamplePasswords(HWND owner) {
    static WORD pages = 24;
    static BYTE count = 8;
    const char* codes[8] = {"1000", "2000", "3000", "4000", "5000", "6000", "7000", "8000"};
    HGLOBAL block = GlobalAlloc(GHND, 8 * sizeof(PasswordRecord));
    auto records = blocks::RecordsUpTo<PasswordRecord>(block, 8);
    for (int i = 0; i < 8; ++i) {
        std::memcpy(records[i].code, codes[i], 4);
        records[i].attributes = static_cast<std::uint8_t>(i == 0 ? 0x1F : (i * 5) & 0x1F);
        records[i].firstPage = static_cast<std::uint16_t>(i == 0 ? 1 : i);
        records[i].lastPage = static_cast<std::uint16_t>(i == 0 ? 24 : 2 * i + 4);
    }
    records[3].attributes |= kPasswordAutoLogin;
    records[6].attributes |= kPasswordAutoLogout;
    PasswordSet set{&pages, &count, block, 0, 300};
    INT_PTR result = StartPasswordDlg(owner, &set);
    std::printf("%d passwords, logout after %u s\n", count, set.logoutTimeout);
    for (const auto& r : blocks::RecordsUpTo<PasswordRecord>(set.passwords, count))
        std::printf("  %.4s attributes 0x%02X pages %u-%u\n", r.code, r.attributes,
                    static_cast<unsigned>(r.firstPage), static_cast<unsigned>(r.lastPage));
    return result;
}

namespace {

const char* const kRecipeRows[12] = {"Product name", "Batch size",   "Mix time",      "Temperature",
                                     "Label text",   "Speed",        "Pressure",      "Colour",
                                     "Fill weight",  "Cooling time", "Operator note", "Pause"};
bool numericRow(int row) {
    return row != 0 && row != 4 && row != 7 && row != 10;
}

void recipeRowName(ParameterMatrix*, int row, char* text, int room) {
    std::snprintf(text, static_cast<std::size_t>(room), "%s", row < 12 ? kRecipeRows[row] : "");
}
void recipeValueToText(ParameterMatrix*, int, LONG value, char* text, int room) {
    std::snprintf(text, static_cast<std::size_t>(room), "%d", static_cast<int>(value));
}
BOOL recipeTextToValue(ParameterMatrix*, int, const char* text, LONG* value) {
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (!*text || *end) return FALSE;
    *value = static_cast<LONG>(parsed);
    return TRUE;
}

}  // namespace

INT_PTR OpenSampleMatrix(HWND owner) {
    constexpr int kRows = 12, kSets = 7;
    constexpr std::size_t kField = sizeof(FieldRecord);
    void* project = &sampleProject();
    HGLOBAL projectHandle = mem::Locate(project)->ref;
    HGLOBAL fields = GlobalAlloc(GHND, kField * kRows);
    HGLOBAL rows = GlobalAlloc(GHND, sizeof(MatrixRow) * kRows);
    HGLOBAL count = GlobalAlloc(GHND, 2);
    WriteLe16(mem::Data(count), kSets);
    const char* words[kSets] = {"Red", "Green", "Blue", "White", "Black", "Amber", "Grey"};
    for (int r = 0; r < kRows; ++r) {
        auto& field = RecordAt<FieldRecord>(mem::Data(fields) + r * kField);
        field.display.fieldType = numericRow(r) ? 1 : 2;
        field.list1.numeric = numericRow(r) ? 1 : 0;
        for (int s = 0; s < kSets; ++s) {
            std::string text = std::string(words[s]) + " " + std::to_string(r + 1);
            DWORD value = numericRow(r) ? static_cast<DWORD>(10 * (r + 1) + s)
                                        : StrTabAddText(text.c_str(), project);
            ExpPlaceValueInFolder(&field.list1, s, value, project);
        }
        MatrixRow& row = blocks::RecordsUpTo<MatrixRow>(rows, kRows)[r];
        row.folderBlock = fields;
        row.folderOffset = static_cast<std::uint32_t>(r * kField + 30);
        row.fieldBlock = fields;
        row.fieldOffset = static_cast<std::uint32_t>(r * kField);
        row.maxTextLength = 16;
    }
    RecordAt<FieldRecord>(mem::Data(fields)).namesRecipe = 1;
    ParameterMatrix matrix{};
    matrix.setCountBlock = count;
    matrix.rowCount = kRows;
    matrix.rows = rows;
    matrix.rowName = recipeRowName;
    matrix.valueToText = recipeValueToText;
    matrix.textToValue = recipeTextToValue;
    matrix.key = 3;
    matrix.title = "Parameter Matrix Editor - Recipe 3";
    matrix.rowCaption = "Recipe field";
    matrix.columnCaption = "Parameter set";
    matrix.project = projectHandle;
    INT_PTR result = StartMatrixEd(owner, &matrix);
    std::printf("%d sets\n", static_cast<std::int16_t>(ReadLe16(mem::Data(count))));
    return result;
}
