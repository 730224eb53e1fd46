// The recipe of a page in the utilities library's parameter matrix editor.
//
// A page's recipe is made of its numeric and text fields (field kinds 0 and 2), one row each;
// a row's parameter folder is the field's list 1, one value per parameter set. The number of
// sets is what the folders hold (after the editor every row has a value for every set), the
// recipe's key in the multipage list is the page number. The editor works on copies of the
// folder headers: the fields take them only after OK.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "extension_classes/plc_driver.h"
#include "platform/memory.h"
#include "utilities/folders.h"
#include "utilities/matrix_editor.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

constexpr std::uint8_t kNumericKind = 0;
constexpr std::uint8_t kTextKind = FieldRecord::kTextKind;
constexpr int kMaxSets = kMatrixMaxSets;

bool HoldsRecipeValues(const FieldRecord& field) {
    return field.kind() == kNumericKind || field.kind() == kTextKind;
}

// What the editor's callbacks need.
struct Recipe {
    ProjectBlock* project;
    Driver* driver;
    std::vector<std::size_t> fieldIndex;  // of each row
    std::vector<FieldRecord*> fields;     // of each row

    static Recipe& Of(ParameterMatrix* matrix) { return *static_cast<Recipe*>(matrix->hostData); }

    static void RowName(ParameterMatrix* matrix, int row, char* text, int room) {
        Recipe& r = Of(matrix);
        const FieldRecord& field = *r.fields.at(static_cast<std::size_t>(row));
        const std::string address =
            AddressText(*r.driver, *r.project, SetupOfField(*r.project, field), field.plc);
        std::snprintf(text, static_cast<std::size_t>(room), "Field %zu  %s",
                      r.fieldIndex.at(static_cast<std::size_t>(row)) + 1, address.c_str());
    }
    // Values look as the driver shows the field's limits.
    static void ValueToText(ParameterMatrix* matrix, int row, LONG value, char* text, int room) {
        Recipe& r = Of(matrix);
        FieldRecord& field = *r.fields.at(static_cast<std::size_t>(row));
        char shown[256] = "";
        r.driver->loader().ConvertMaxMin2String(&field.display, static_cast<DWORD>(value), shown,
                                                &field.plc);
        std::snprintf(text, static_cast<std::size_t>(room), "%s", shown);
    }
    static BOOL TextToValue(ParameterMatrix* matrix, int row, const char* text, LONG* value) {
        Recipe& r = Of(matrix);
        FieldRecord& field = *r.fields.at(static_cast<std::size_t>(row));
        DWORD converted = 0;
        std::string copy = text;
        r.driver->loader().ConvertString2MaxMin(&field.display, &converted, copy.data(), &field.plc,
                                                0);
        *value = static_cast<LONG>(converted);
        return TRUE;
    }
};

// The number of parameter sets the rows' folders hold: one more than the highest key.
int SetCountOf(const std::vector<FolderHeader>& folders) {
    int sets = 1;
    for (const FolderHeader& folder : folders) {
        const auto count = static_cast<std::size_t>(std::max<int>(folder.count, 0));
        const auto* entries =
            reinterpret_cast<const ListEntry*>(mem::At(folder.block, 0, count * sizeof(ListEntry)));
        if (entries && count > 0) sets = std::max(sets, entries[count - 1].lastKey + 1);
    }
    return std::clamp(sets, 1, kMaxSets);
}

// A global block holding a copy of the records.
template <typename T>
HGLOBAL BlockOf(const std::vector<T>& records) {
    const HGLOBAL block = GlobalAlloc(GHND, std::max<std::size_t>(1, records.size() * sizeof(T)));
    if (!block) host::Fail(host::kExitInternal, "no memory for the recipe");
    if (!records.empty()) std::memcpy(mem::Data(block), records.data(), records.size() * sizeof(T));
    return block;
}

}  // namespace

bool EditRecipe(QWidget* parent, const LoadedProject& project, Driver& driver, std::size_t page) {
    return TellingFailures(parent, "Recipe", [&] {
        WindowCoreHost();
        ProjectBlock& block = project.block();
        const auto pages = PagesOf(block);
        if (page >= pages.size())
            host::Fail(host::kExitInternal, "the project has no page " + std::to_string(page + 1));
        const auto fields = FieldsOf(pages[page]);
        Recipe recipe{&block, &driver, {}, {}};
        std::vector<FolderHeader> folders;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (!HoldsRecipeValues(fields[i])) continue;
            recipe.fieldIndex.push_back(i);
            recipe.fields.push_back(&fields[i]);
            FolderHeader folder = fields[i].list1;
            if (folder.count == 0) folder.numeric = fields[i].kind() == kNumericKind ? 1 : 0;
            folders.push_back(folder);
        }
        if (folders.empty()) {
            Tell(parent, "Recipe",
                 "Page " + std::to_string(page + 1) +
                     " has no numeric or text field that a recipe could set.",
                 MB_OK | MB_ICONINFORMATION);
            return false;
        }
        return ChangedBy(project, [&] {
            std::vector<MatrixRow> rows(folders.size());
            const HGLOBAL headers = BlockOf(folders);
            for (std::size_t r = 0; r < rows.size(); ++r) {
                rows[r].folderBlock = headers;
                rows[r].folderOffset = static_cast<std::uint32_t>(r * sizeof(FolderHeader));
                rows[r].fieldBlock = pages[page].fields;
                rows[r].fieldOffset =
                    static_cast<std::uint32_t>(recipe.fieldIndex[r] * sizeof(FieldRecord));
                rows[r].maxTextLength = std::max<std::uint8_t>(recipe.fields[r]->width, 1);
            }
            const HGLOBAL rowBlock = BlockOf(rows);
            const HGLOBAL setCount =
                BlockOf(std::vector<std::int16_t>{static_cast<std::int16_t>(SetCountOf(folders))});
            const std::string title = "Recipe - Page " + std::to_string(page + 1) + " \"" +
                                      host::ProjectText(block, pages[page].nameId()) + "\"";
            ParameterMatrix matrix{};
            matrix.setCountBlock = setCount;
            matrix.rowCount = static_cast<std::int16_t>(rows.size());
            matrix.rows = rowBlock;
            matrix.rowName = &Recipe::RowName;
            matrix.valueToText = &Recipe::ValueToText;
            matrix.textToValue = &Recipe::TextToValue;
            matrix.key = static_cast<std::int16_t>(page + 1);
            matrix.title = title.c_str();
            matrix.rowCaption = "Recipe field";
            matrix.columnCaption = "Parameter set";
            matrix.hostData = &recipe;
            matrix.project = project.handle;
            const INT_PTR result = StartMatrixEd(OwnerFor(parent), &matrix);
            if (result == 1) {
                const auto* edited = reinterpret_cast<const FolderHeader*>(mem::Data(headers));
                for (std::size_t r = 0; r < rows.size(); ++r) recipe.fields[r]->list1 = edited[r];
            }
            for (HGLOBAL used : {headers, rowBlock, setCount}) GlobalFree(used);
            return result == 1;
        });
    });
}

}  // namespace kestra::workbench
