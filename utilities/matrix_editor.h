// K32FABUTIL1 parameter matrix editor: the dialog "MATRIX_ED" that shows a recipe as a grid,
// one row per field and one column per parameter set, and edits the fields' parameter
// folders.
//
// The host describes the recipe in a ParameterMatrix. The editor works on copies of the
// folders (each row's working copy) and gives them to the fields only after OK, together with
// the number of sets, the recipe-name mark and the multipage list; Cancel leaves everything as
// it was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kestra/project.h"
#include "platform/records.h"
#include "windows/window.h"

extern "C" {
struct ParameterMatrix;

// The name shown for a row.
using MATRIXROWNAME = void (*)(ParameterMatrix* matrix, int row, char* text, int room);
// A numeric row's value as shown in a cell.
using MATRIXVALUETOTEXT = void (*)(ParameterMatrix* matrix, int row, LONG value, char* text,
                                   int room);
// A numeric cell's text as a value; FALSE refuses the text (the cell keeps its value).
using MATRIXTEXTTOVALUE = BOOL (*)(ParameterMatrix* matrix, int row, const char* text, LONG* value);
}

namespace kestra {

// One row of the matrix (32 bytes). References name blocks of the block table; the field's
// folder header and the field record lie at the given offsets inside their blocks.
struct MatrixRow {
    le32 folderBlock;            // 0: block holding the field's parameter folder header
    FolderHeader folder;         // 4: the editor's working copy of that header
    std::uint8_t r14[2];         // 14
    le32 fieldBlock;             // 16: block holding the field record
    le32 fieldOffset;            // 20: of the field record in its block
    le32 folderOffset;           // 24: of the folder header in its block
    std::uint8_t maxTextLength;  // 28: longest text of a text row
    std::uint8_t r29[3];
};
static_assert(sizeof(MatrixRow) == 32);
static_assert(offsetof(MatrixRow, folder) == 4 && offsetof(MatrixRow, fieldBlock) == 16);
static_assert(offsetof(MatrixRow, maxTextLength) == 28);

}  // namespace kestra

extern "C" {

// The matrix record (128 bytes; the fields up to offset 16 and the project at 124 are shared
// with ValidateParSets).
struct ParameterMatrix {
    kestra::le32 setCountBlock;     // 0: block holding the host's s16 number of sets
    kestra::les16 setCount;         // 4: the working number of sets, 1 to 255
    kestra::les16 setBase;          // 6: added to the set numbers shown
    kestra::les16 rowCount;         // 8
    kestra::les16 rowBase;          // 10: added to the row numbers shown
    kestra::le32 rows;              // 12: block of rowCount MatrixRow records
    MATRIXROWNAME rowName;          // 16
    MATRIXVALUETOTEXT valueToText;  // 24: null shows the value in decimal
    MATRIXTEXTTOVALUE textToValue;  // 32: null takes a whole decimal number
    kestra::les16 key;              // 40: this recipe's key in the multipage list
    kestra::les16 firstRow;         // 42: scroll positions
    kestra::les16 firstSet;         // 44
    kestra::les16 selected;         // 46: nonzero while a block is selected
    kestra::les16 selFirstRow;      // 48
    kestra::les16 selLastRow;       // 50
    kestra::les16 selFirstSet;      // 52
    kestra::les16 selLastSet;       // 54
    const char* title;              // 56: window title
    const char* rowCaption;         // 64
    const char* columnCaption;      // 72
    kestra::le32 setCountOffset;    // 80: of the s16 number of sets in its block
    std::uint8_t r84[4];
    void* hostData;  // 88: for the host's callbacks
    std::uint8_t r96[28];
    kestra::le32 project;  // 124: the project block
};
static_assert(sizeof(ParameterMatrix) == 128);
static_assert(offsetof(ParameterMatrix, rows) == 12 && offsetof(ParameterMatrix, rowName) == 16);
static_assert(offsetof(ParameterMatrix, key) == 40 && offsetof(ParameterMatrix, title) == 56);
static_assert(offsetof(ParameterMatrix, setCountOffset) == 80);
static_assert(offsetof(ParameterMatrix, project) == 124);

// 1 after OK, 0 after Cancel or when the editor cannot start.
INT_PTR StartMatrixEd(HWND owner, ParameterMatrix* matrix);
INT_PTR MatrixEdProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // extern "C"

// Controls of "MATRIX_ED".
inline constexpr int kMatrixSetCountEdit = 1002;
inline constexpr int kMatrixSetCountSpin = 1004;
inline constexpr int kMatrixHScroll = 1006;
inline constexpr int kMatrixVScroll = 1007;
inline constexpr int kMatrixRowCaption = 1008;
inline constexpr int kMatrixFirstRowName = 1009;
inline constexpr int kMatrixCorner = 1019;
inline constexpr int kMatrixFirstColumnHead = 1020;
inline constexpr int kMatrixFirstRowHead = 1025;
inline constexpr int kMatrixColumnCaption = 1035;
inline constexpr int kMatrixCut = 1040;
inline constexpr int kMatrixCopy = 1041;
inline constexpr int kMatrixPaste = 1042;
inline constexpr int kMatrixFirstCell = 1050;
inline constexpr int kMatrixRecipeName = 1100;
inline constexpr int kMatrixMultipage = 1101;

inline constexpr int kMatrixVisibleRows = 10;
inline constexpr int kMatrixVisibleSets = 5;
inline constexpr int kMatrixMaxSets = 255;
inline constexpr int kMatrixNumericLimit = 40;

constexpr int MatrixCell(int column, int row) {
    return kMatrixFirstCell + 10 * column + row;
}
