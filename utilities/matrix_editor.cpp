// Parameter matrix editor: the dialog "MATRIX_ED".
#include "utilities/matrix_editor.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/boundary.h"
#include "utilities/controls.h"
#include "utilities/dialog_helpers.h"
#include "utilities/folders.h"
#include "utilities/matrix_text.h"
#include "utilities/services.h"
#include "windows/canvas.h"
#include "windows/clipboard.h"
#include "windows/controls.h"
#include "windows/dialog.h"

using kestra::FieldRecord;
using kestra::FolderHeader;
using kestra::MatrixRow;
using kestra::ProjectBlock;
using kestra::utilities::AtBoundary;
namespace blocks = kestra::blocks;
namespace mem = kestra::mem;
namespace ku = kestra::utilities;

namespace {

// --- strings --------------------------------------------------------------------------------

constexpr UINT kCaptionText = 50;
constexpr UINT kOnlyAsciiText = 60;

constexpr kestra::platform::StringResource kStrings[] = {
    {kOnlyAsciiText, "Only ASCII field can be recipe name!"},
};
const kestra::platform::ResourceRegistration kStringRegistration(
    &kStrings, kestra::platform::ResourceKind::Strings, kStrings, std::size(kStrings));

// --- dialog template ------------------------------------------------------------------------

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kHead = WS_VISIBLE | BS_PUSHBUTTON;
constexpr DWORD kCellStyle = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;

constexpr short kHeadWidth = 20;
constexpr short kNameLeft = 7 + kHeadWidth + 2;
constexpr short kNameWidth = 100;
constexpr short kCellLeft = kNameLeft + kNameWidth + 2;
constexpr short kCellWidth = 46;
constexpr short kLineHeight = 12;
constexpr short kGridTop = 40;
constexpr short kRowsTop = kGridTop + kLineHeight + 1;
constexpr short kGridRight = kCellLeft + kCellWidth * kMatrixVisibleSets;
constexpr short kGridBottom = kRowsTop + kLineHeight * kMatrixVisibleRows;
constexpr short kButtonsTop = kGridBottom + 18;

constexpr std::size_t kItemCount =
    10 + kMatrixVisibleSets + kMatrixVisibleRows * (2 + kMatrixVisibleSets) + 6;

constexpr std::array<DialogItemTemplate, kItemCount> makeItems() {
    std::array<DialogItemTemplate, kItemCount> items{};
    std::size_t n = 0;
    items[n++] = {-1, "static", "Number of parameter sets:", 7, 9, 90, 8, WS_VISIBLE | SS_LEFT};
    items[n++] = {kMatrixSetCountEdit, "edit", "", 98, 7, 24, 12, kCellStyle};
    items[n++] = {kMatrixSetCountSpin, kSpinClass, "", 123, 5, 10, 16, WS_VISIBLE | WS_TABSTOP};
    items[n++] = {kMatrixCut, "button", "Cu&t", 150, 6, 40, 14, kButton};
    items[n++] = {kMatrixCopy, "button", "&Copy", 194, 6, 40, 14, kButton};
    items[n++] = {kMatrixPaste, "button", "&Paste", 238, 6, 40, 14, kButton};
    items[n++] = {kMatrixMultipage,
                  "button",
                  "&Multipage recipe",
                  290,
                  8,
                  80,
                  10,
                  WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX};
    items[n++] = {kMatrixRowCaption, "static",   "", kNameLeft,
                  kGridTop - 12,     kNameWidth, 8,  WS_VISIBLE | SS_LEFT | SS_NOPREFIX};
    items[n++] = {kMatrixColumnCaption,
                  "static",
                  "",
                  kCellLeft,
                  kGridTop - 12,
                  kCellWidth * kMatrixVisibleSets,
                  8,
                  WS_VISIBLE | SS_CENTER | SS_NOPREFIX};
    items[n++] = {kMatrixCorner, "button", "", 7, kGridTop, kHeadWidth + 2 + kNameWidth,
                  kLineHeight,   kHead};
    for (short c = 0; c < kMatrixVisibleSets; ++c)
        items[n++] = {kMatrixFirstColumnHead + c,
                      "button",
                      "",
                      static_cast<short>(kCellLeft + kCellWidth * c),
                      kGridTop,
                      kCellWidth,
                      kLineHeight,
                      kHead};
    for (short r = 0; r < kMatrixVisibleRows; ++r) {
        const auto y = static_cast<short>(kRowsTop + kLineHeight * r);
        items[n++] = {kMatrixFirstRowHead + r, "button", "", 7, y, kHeadWidth, kLineHeight, kHead};
        items[n++] = {
            kMatrixFirstRowName + r,   "static",   "", kNameLeft,
            static_cast<short>(y + 2), kNameWidth, 8,  WS_VISIBLE | SS_LEFT | SS_NOPREFIX};
        for (short c = 0; c < kMatrixVisibleSets; ++c)
            items[n++] = {MatrixCell(c, r),
                          "edit",
                          "",
                          static_cast<short>(kCellLeft + kCellWidth * c),
                          y,
                          kCellWidth,
                          kLineHeight,
                          kCellStyle};
    }
    items[n++] = {kMatrixVScroll,
                  "scrollbar",
                  "",
                  kGridRight + 1,
                  kRowsTop,
                  9,
                  kLineHeight * kMatrixVisibleRows,
                  WS_VISIBLE | SBS_VERT};
    items[n++] = {kMatrixHScroll,
                  "scrollbar",
                  "",
                  kCellLeft,
                  kGridBottom + 1,
                  kCellWidth * kMatrixVisibleSets,
                  9,
                  WS_VISIBLE | SBS_HORZ};
    items[n++] = {
        kMatrixRecipeName, "button", "Set As &Recipe name", 7, kButtonsTop, 84, 14, kButton};
    items[n++] = {IDOK,        "button", "OK", 264,
                  kButtonsTop, 50,       14,   WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON};
    items[n++] = {IDCANCEL, "button", "Cancel", 320, kButtonsTop, 50, 14, kButton};
    items[n++] = {-1, "static", "", 7, kButtonsTop - 6, 363, 1, WS_VISIBLE | SS_ETCHEDHORZ};
    if (n != items.size()) throw "the item count is wrong";
    return items;
}
constexpr auto kItems = makeItems();

constexpr DialogTemplate kDialogs[] = {
    {"MATRIX_ED", 0, "", 0, 0, 378, kButtonsTop + 20, kDialogStyle, "MS Sans Serif", 8,
     kItems.data(), kItems.size()},
};
const kestra::platform::ResourceRegistration kDialogRegistration(
    &kDialogs, kestra::platform::ResourceKind::Dialogs, kDialogs, std::size(kDialogs));

HMODULE thisModule() {
    return KESTRA_THIS_MODULE();
}

std::string loadText(UINT id) {
    char text[256] = "";
    LoadString(thisModule(), id, text, sizeof text);
    return text;
}

// --- the editor -----------------------------------------------------------------------------

constexpr int kTextRoom = 256;
constexpr char kRecipeMark[] = " *";

struct Cell {
    int row;
    int set;
};

struct Block {
    int firstRow, lastRow, firstSet, lastSet;
    bool holds(int row, int set) const {
        return row >= firstRow && row <= lastRow && set >= firstSet && set <= lastSet;
    }
    bool single() const { return firstRow == lastRow && firstSet == lastSet; }
};

class Editor {
  public:
    Editor(HWND dialog, ParameterMatrix& matrix) : dialog_(dialog), m_(matrix) {}

    bool open();
    void close(INT_PTR result);
    void destroy();

    void showGrid();
    void command(int id, WORD code);
    void scroll(HWND bar, WORD code, int thumb);
    void spin(WORD half);
    INT_PTR cellColour(HWND edit, HDC dc);
    void clipboardChanged(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    int rowCount() const { return std::max<int>(m_.rowCount, 0); }
    int setCount() const { return m_.setCount; }
    bool numeric(int row) const { return rows_[row].folder.numeric != 0; }
    int cellLimit(int row) const {
        return numeric(row) ? kMatrixNumericLimit : rows_[row].maxTextLength;
    }
    std::optional<Cell> cellOf(int id) const;
    std::optional<Block> selection() const;
    void select(Block block);

    std::string cellText(int row, int set) const;
    std::string rowName(int row) const;
    std::optional<DWORD> valueOf(int row, const std::string& text) const;
    void place(int row, int set, DWORD value);
    void commitCell(int id);
    void commitFocusedCell();
    void setSetCount(int count);

    void clickCell(Cell cell);
    void clickColumn(int column);
    void clickRow(int row);
    void copy(bool cut);
    void paste();
    void markRecipeName();

    std::optional<FolderHeader*> hostFolder(const MatrixRow& row) const;
    FieldRecord* fieldOf(const MatrixRow& row) const;
    void storeMultipage();
    void releaseWorkingCopies(std::size_t count);

    HWND dialog_;
    ParameterMatrix& m_;
    void* project_ = nullptr;
    std::span<MatrixRow> rows_;
    std::vector<FolderHeader*> folders_;
    int recipeRow_ = -1;
    Cell anchor_{0, 0};
    HBRUSH highlight_ = nullptr;
    HWND nextViewer_ = nullptr;
    bool showing_ = false;
    bool copied_ = false;  // the working copies exist
};

FieldRecord* Editor::fieldOf(const MatrixRow& row) const {
    std::byte* at = mem::At(row.fieldBlock, row.fieldOffset, sizeof(FieldRecord));
    return at ? &kestra::RecordAt<FieldRecord>(at) : nullptr;
}

std::optional<FolderHeader*> Editor::hostFolder(const MatrixRow& row) const {
    std::byte* at = mem::At(row.folderBlock, row.folderOffset, sizeof(FolderHeader));
    if (!at) return std::nullopt;
    return &kestra::RecordAt<FolderHeader>(at);
}

void Editor::releaseWorkingCopies(std::size_t count) {
    for (std::size_t i = 0; i < count && i < rows_.size(); ++i)
        ExpDeleteFolder(&rows_[i].folder, project_);
}

bool Editor::open() {
    CenterDialogBox(dialog_);
    project_ = mem::At(m_.project, 0, kestra::kProjectBlockSize);
    std::byte* count = mem::At(m_.setCountBlock, m_.setCountOffset, sizeof(std::int16_t));
    auto rows = blocks::Records<MatrixRow>(m_.rows, static_cast<std::size_t>(rowCount()));
    if (!project_ || !count || !rows) return false;
    rows_ = *rows;
    const int hostCount = static_cast<std::int16_t>(kestra::ReadLe16(count));
    m_.setCount = static_cast<std::int16_t>(std::clamp(hostCount, 1, kMatrixMaxSets));
    for (const MatrixRow& row : rows_) {
        auto folder = hostFolder(row);
        if (!folder) return false;
        folders_.push_back(*folder);
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!ExpDuplicateFolder(&rows_[i].folder, folders_[i], project_)) {
            releaseWorkingCopies(i);
            return false;
        }
    }
    copied_ = true;
    for (std::size_t i = 0; i < rows_.size() && recipeRow_ < 0; ++i)
        if (FieldRecord* field = fieldOf(rows_[i]); field && field->namesRecipe == 1)
            recipeRow_ = static_cast<int>(i);
    ValidateParSets(&m_);
    m_.firstRow = 0;
    m_.firstSet = 0;
    m_.selected = 0;
    if (m_.title) SetWindowText(dialog_, m_.title);
    SetDlgItemText(dialog_, kMatrixRowCaption, m_.rowCaption ? m_.rowCaption : "");
    SetDlgItemText(dialog_, kMatrixColumnCaption, m_.columnCaption ? m_.columnCaption : "");
    highlight_ = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
    nextViewer_ = SetClipboardViewer(dialog_);
    EnableWindow(GetDlgItem(dialog_, kMatrixPaste), IsClipboardFormatAvailable(CF_TEXT));
    const auto& block = kestra::RecordAt<ProjectBlock>(project_);
    auto list = mem::Bytes(block.ext.wordList);
    const bool multipage =
        ku::MultipageHasKey(list, static_cast<std::uint16_t>(m_.key.get())).value_or(false);
    CheckDlgButton(dialog_, kMatrixMultipage, multipage ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessage(dialog_, kMatrixSetCountEdit, EM_LIMITTEXT, 3, 0);
    showGrid();
    return true;
}

void Editor::close(INT_PTR result) {
    if (result == 1) {
        commitFocusedCell();
        std::byte* count = mem::At(m_.setCountBlock, m_.setCountOffset, sizeof(std::int16_t));
        if (count) kestra::WriteLe16(count, static_cast<std::uint16_t>(m_.setCount.get()));
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            ExpDeleteFolder(folders_[i], project_);
            *folders_[i] = rows_[i].folder;
            if (FieldRecord* field = fieldOf(rows_[i]))
                field->namesRecipe = static_cast<int>(i) == recipeRow_ ? 1 : 0;
        }
        storeMultipage();
    } else if (copied_) {
        releaseWorkingCopies(rows_.size());
    }
    copied_ = false;
    EndDialog(dialog_, result);
}

void Editor::destroy() {
    ChangeClipboardChain(dialog_, nextViewer_);
    if (highlight_) DeleteObject(highlight_);
    highlight_ = nullptr;
}

// Group 0 of the grouped word list lists the multipage recipes.
void Editor::storeMultipage() {
    auto& block = kestra::RecordAt<ProjectBlock>(project_);
    const mem::Ref list = block.ext.wordList;
    auto bytes = mem::Bytes(list);
    const auto key = static_cast<std::uint16_t>(m_.key.get());
    auto has = ku::MultipageHasKey(bytes, key);
    if (!has) return;  // a damaged list is left as it is
    const bool wanted = IsDlgButtonChecked(dialog_, kMatrixMultipage) == BST_CHECKED;
    if (wanted == *has) return;
    auto changed = wanted ? ku::MultipageWithKey(bytes, key) : ku::MultipageWithoutKey(bytes, key);
    if (!changed) return;
    mem::Ref target = list;
    if (list != 0u) {
        if (!mem::Resize(list, changed->size())) return;
    } else {
        APPFMALLOC allocate = GetAppFmalloc();
        target = allocate ? allocate(static_cast<std::uint32_t>(changed->size()))
                          : mem::HostAllocate(static_cast<std::uint32_t>(changed->size()));
        if (!mem::At(target, 0, changed->size())) return;
        block.ext.wordList = target;
    }
    std::memcpy(mem::Data(target), changed->data(), changed->size());
}

// --- showing --------------------------------------------------------------------------------

std::string Editor::cellText(int row, int set) const {
    DWORD value = 0;
    if (!ExpGetValueFromFolder(&rows_[row].folder, set + m_.setBase, &value, project_)) return {};
    char text[kTextRoom] = "";
    if (numeric(row)) {
        if (m_.valueToText)
            m_.valueToText(&m_, row, static_cast<LONG>(value), text, kTextRoom);
        else
            std::snprintf(text, sizeof text, "%ld", static_cast<long>(static_cast<LONG>(value)));
    } else if (value != 0) {
        StrTabGetText(static_cast<WORD>(value), project_, text, kTextRoom - 1, 0);
    }
    text[kTextRoom - 1] = 0;
    return text;
}

std::string Editor::rowName(int row) const {
    char text[kTextRoom] = "";
    if (m_.rowName) m_.rowName(&m_, row, text, kTextRoom);
    text[kTextRoom - 1] = 0;
    std::string name = text;
    if (row == recipeRow_) name += kRecipeMark;
    return name;
}

void Editor::showGrid() {
    showing_ = true;
    const int rowRange = std::max(rowCount() - kMatrixVisibleRows, 0);
    const int setRange = std::max(setCount() - kMatrixVisibleSets, 0);
    m_.firstRow = static_cast<std::int16_t>(std::clamp<int>(m_.firstRow, 0, rowRange));
    m_.firstSet = static_cast<std::int16_t>(std::clamp<int>(m_.firstSet, 0, setRange));
    SetDlgItemInt(dialog_, kMatrixSetCountEdit, static_cast<UINT>(setCount()), FALSE);
    HWND vertical = GetDlgItem(dialog_, kMatrixVScroll);
    HWND horizontal = GetDlgItem(dialog_, kMatrixHScroll);
    SetScrollRange(vertical, SB_CTL, 0, rowRange, FALSE);
    SetScrollPos(vertical, SB_CTL, m_.firstRow, TRUE);
    SetScrollRange(horizontal, SB_CTL, 0, setRange, FALSE);
    SetScrollPos(horizontal, SB_CTL, m_.firstSet, TRUE);
    for (int c = 0; c < kMatrixVisibleSets; ++c) {
        const int set = m_.firstSet + c;
        const bool there = set < setCount();
        std::string head = there ? std::to_string(m_.setBase + set + 1) : "";
        SetDlgItemText(dialog_, kMatrixFirstColumnHead + c, head.c_str());
        EnableWindow(GetDlgItem(dialog_, kMatrixFirstColumnHead + c), there);
    }
    for (int r = 0; r < kMatrixVisibleRows; ++r) {
        const int row = m_.firstRow + r;
        const bool there = row < rowCount();
        std::string head = there ? std::to_string(m_.rowBase + row + 1) : "";
        SetDlgItemText(dialog_, kMatrixFirstRowHead + r, head.c_str());
        EnableWindow(GetDlgItem(dialog_, kMatrixFirstRowHead + r), there);
        SetDlgItemText(dialog_, kMatrixFirstRowName + r, there ? rowName(row).c_str() : "");
        for (int c = 0; c < kMatrixVisibleSets; ++c) {
            const int set = m_.firstSet + c;
            const bool cell = there && set < setCount();
            HWND edit = GetDlgItem(dialog_, MatrixCell(c, r));
            SendMessage(edit, EM_LIMITTEXT, cell ? static_cast<WPARAM>(cellLimit(row)) : 0, 0);
            SetWindowText(edit, cell ? cellText(row, set).c_str() : "");
            EnableWindow(edit, cell);
            InvalidateRect(edit, nullptr, TRUE);
        }
    }
    showing_ = false;
}

INT_PTR Editor::cellColour(HWND edit, HDC dc) {
    auto cell = cellOf(GetDlgCtrlID(edit));
    auto block = selection();
    if (!cell || !block || !block->holds(cell->row, cell->set) || !highlight_) return FALSE;
    SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    return reinterpret_cast<INT_PTR>(highlight_);
}

// --- cells and selection --------------------------------------------------------------------

std::optional<Cell> Editor::cellOf(int id) const {
    const int offset = id - kMatrixFirstCell;
    if (offset < 0 || offset >= 10 * kMatrixVisibleSets || offset % 10 >= kMatrixVisibleRows)
        return std::nullopt;
    Cell cell{m_.firstRow + offset % 10, m_.firstSet + offset / 10};
    if (cell.row >= rowCount() || cell.set >= setCount()) return std::nullopt;
    return cell;
}

std::optional<Block> Editor::selection() const {
    if (!m_.selected) return std::nullopt;
    Block block{m_.selFirstRow, m_.selLastRow, m_.selFirstSet, m_.selLastSet};
    if (block.firstRow < 0 || block.firstSet < 0 || block.lastRow >= rowCount() ||
        block.lastSet >= setCount() || block.firstRow > block.lastRow ||
        block.firstSet > block.lastSet)
        return std::nullopt;
    return block;
}

void Editor::select(Block block) {
    m_.selected = 1;
    m_.selFirstRow = static_cast<std::int16_t>(std::min(block.firstRow, block.lastRow));
    m_.selLastRow = static_cast<std::int16_t>(std::max(block.firstRow, block.lastRow));
    m_.selFirstSet = static_cast<std::int16_t>(std::min(block.firstSet, block.lastSet));
    m_.selLastSet = static_cast<std::int16_t>(std::max(block.firstSet, block.lastSet));
    for (int r = 0; r < kMatrixVisibleRows; ++r)
        for (int c = 0; c < kMatrixVisibleSets; ++c)
            InvalidateRect(GetDlgItem(dialog_, MatrixCell(c, r)), nullptr, TRUE);
}

bool shiftHeld() {
    return GetKeyState(VK_SHIFT) < 0;
}

void Editor::clickCell(Cell cell) {
    if (shiftHeld() && m_.selected) {
        select({anchor_.row, cell.row, anchor_.set, cell.set});
        return;
    }
    anchor_ = cell;
    select({cell.row, cell.row, cell.set, cell.set});
}

void Editor::clickColumn(int column) {
    const int set = m_.firstSet + column;
    if (set >= setCount() || rowCount() == 0) return;
    if (!(shiftHeld() && m_.selected)) anchor_ = {0, set};
    select({0, rowCount() - 1, anchor_.set, set});
}

void Editor::clickRow(int visibleRow) {
    const int row = m_.firstRow + visibleRow;
    if (row >= rowCount()) return;
    if (!(shiftHeld() && m_.selected)) anchor_ = {row, 0};
    select({anchor_.row, row, 0, setCount() - 1});
}

// --- editing --------------------------------------------------------------------------------

// The value a cell's text stands for; nothing when the host refuses the text.
std::optional<DWORD> Editor::valueOf(int row, const std::string& typed) const {
    std::string text = typed.substr(0, static_cast<std::size_t>(cellLimit(row)));
    if (!numeric(row)) return StrTabAddText(text.c_str(), project_);
    LONG value = 0;
    if (m_.textToValue) {
        if (!m_.textToValue(&m_, row, text.c_str(), &value)) return std::nullopt;
        return static_cast<DWORD>(value);
    }
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || parsed < INT32_MIN || parsed > INT32_MAX) return std::nullopt;
    return static_cast<DWORD>(static_cast<LONG>(parsed));
}

// The set is the column's own number: the base only shifts what is shown.
void Editor::place(int row, int set, DWORD value) {
    ExpPlaceValueInFolder(&rows_[row].folder, set, value, project_);
}

void Editor::commitCell(int id) {
    auto cell = cellOf(id);
    HWND edit = GetDlgItem(dialog_, id);
    if (!cell || !SendMessage(edit, EM_GETMODIFY, 0, 0)) return;
    char text[kTextRoom] = "";
    GetWindowText(edit, text, sizeof text);
    auto value = valueOf(cell->row, text);
    if (value)
        place(cell->row, cell->set, *value);
    else
        MessageBeep(MB_ICONERROR);
    showing_ = true;
    SetWindowText(edit, cellText(cell->row, cell->set).c_str());
    showing_ = false;
}

void Editor::commitFocusedCell() {
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == dialog_) commitCell(GetDlgCtrlID(focus));
}

void Editor::setSetCount(int count) {
    commitFocusedCell();
    m_.setCount = static_cast<std::int16_t>(std::clamp(count, 1, kMatrixMaxSets));
    ValidateParSets(&m_);
    if (!selection()) m_.selected = 0;
    showGrid();
}

void Editor::spin(WORD half) {
    int count = setCount();
    if (half == kSpinUp) count = count >= kMatrixMaxSets ? 1 : count + 1;
    if (half == kSpinDown) count = count <= 1 ? kMatrixMaxSets : count - 1;
    setSetCount(count);
}

void Editor::scroll(HWND bar, WORD code, int thumb) {
    const bool vertical = GetDlgCtrlID(bar) == kMatrixVScroll;
    const int page = vertical ? kMatrixVisibleRows : kMatrixVisibleSets;
    const int range = vertical ? std::max(rowCount() - kMatrixVisibleRows, 0)
                               : std::max(setCount() - kMatrixVisibleSets, 0);
    int position = vertical ? m_.firstRow : m_.firstSet;
    switch (code) {
        case SB_LINEUP:
            --position;
            break;
        case SB_LINEDOWN:
            ++position;
            break;
        case SB_PAGEUP:
            position -= page;
            break;
        case SB_PAGEDOWN:
            position += page;
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            position = thumb;
            break;
        case SB_TOP:
            position = 0;
            break;
        case SB_BOTTOM:
            position = range;
            break;
        default:
            return;
    }
    position = std::clamp(position, 0, range);
    if (position == (vertical ? m_.firstRow : m_.firstSet)) return;
    commitFocusedCell();
    (vertical ? m_.firstRow : m_.firstSet) = static_cast<std::int16_t>(position);
    showGrid();
}

// --- clipboard ------------------------------------------------------------------------------

void putClipboardText(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GHND, text.size() + 1);
    if (block) {
        std::memcpy(mem::Data(block), text.data(), text.size());
        SetClipboardData(CF_TEXT, kestra::platform::ClipboardHandle(block));
    }
    CloseClipboard();
}

// The clipboard's text up to its first zero or the end of its block.
std::optional<std::string> clipboardText(HWND owner) {
    if (!OpenClipboard(owner)) return std::nullopt;
    std::optional<std::string> text;
    HGLOBAL block = kestra::platform::ClipboardGlobal(GetClipboardData(CF_TEXT));
    auto bytes = mem::Bytes(block);
    if (!bytes.empty()) {
        const char* chars = reinterpret_cast<const char*>(bytes.data());
        text = std::string(chars, strnlen(chars, bytes.size()));
    }
    CloseClipboard();
    return text;
}

void Editor::copy(bool cut) {
    commitFocusedCell();
    auto block = selection();
    if (!block) {
        MessageBeep(0);
        return;
    }
    ku::CellBlock cells;
    for (int row = block->firstRow; row <= block->lastRow; ++row) {
        auto& line = cells.emplace_back();
        for (int set = block->firstSet; set <= block->lastSet; ++set)
            line.push_back(cellText(row, set));
    }
    putClipboardText(dialog_, ku::FormatCellBlock(cells));
    if (!cut) return;
    for (int row = block->firstRow; row <= block->lastRow; ++row)
        for (int set = block->firstSet; set <= block->lastSet; ++set)
            place(row, set, numeric(row) ? 0 : StrTabAddText("", project_));
    showGrid();
}

void Editor::paste() {
    commitFocusedCell();
    auto block = selection();
    auto text = clipboardText(dialog_);
    if (!block || !text) {
        MessageBeep(0);
        return;
    }
    const int lastRow = block->single() ? rowCount() - 1 : block->lastRow;
    const int lastSet = block->single() ? setCount() - 1 : block->lastSet;
    auto cells =
        ku::ParseCellBlock(*text, static_cast<std::size_t>(lastRow - block->firstRow + 1),
                           static_cast<std::size_t>(lastSet - block->firstSet + 1), kTextRoom - 1);
    // Every value first, so that a refused cell leaves the whole block as it was.
    struct Entry {
        int row, set;
        std::string text;
    };
    std::vector<Entry> entries;
    std::vector<std::pair<Entry, DWORD>> numbers;
    for (std::size_t i = 0; i < cells.size(); ++i)
        for (std::size_t j = 0; j < cells[i].size(); ++j)
            entries.push_back({block->firstRow + static_cast<int>(i),
                               block->firstSet + static_cast<int>(j), cells[i][j]});
    for (const Entry& entry : entries) {
        if (!numeric(entry.row)) continue;
        auto value = valueOf(entry.row, entry.text);
        if (!value) {
            MessageBeep(MB_ICONERROR);
            return;
        }
        numbers.push_back({entry, *value});
    }
    for (const auto& [entry, value] : numbers) place(entry.row, entry.set, value);
    for (const Entry& entry : entries)
        if (!numeric(entry.row)) place(entry.row, entry.set, *valueOf(entry.row, entry.text));
    showGrid();
}

void Editor::clipboardChanged(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHANGECBCHAIN) {
        if (reinterpret_cast<HWND>(wParam) == nextViewer_)
            nextViewer_ = reinterpret_cast<HWND>(lParam);
        else if (nextViewer_)
            SendMessage(nextViewer_, message, wParam, lParam);
        return;
    }
    EnableWindow(GetDlgItem(dialog_, kMatrixPaste), IsClipboardFormatAvailable(CF_TEXT));
    if (nextViewer_) SendMessage(nextViewer_, message, wParam, lParam);
}

void Editor::markRecipeName() {
    auto block = selection();
    if (!block || block->firstRow != block->lastRow) {
        MessageBeep(0);
        return;
    }
    const int row = block->firstRow;
    FieldRecord* field = fieldOf(rows_[row]);
    if (row == recipeRow_) {
        recipeRow_ = -1;
    } else if (!field || field->kind() != FieldRecord::kTextKind) {
        MessageBox(dialog_, loadText(kOnlyAsciiText).c_str(), loadText(kCaptionText).c_str(),
                   MB_OK | MB_ICONINFORMATION);
        return;
    } else {
        recipeRow_ = row;
    }
    showGrid();
}

void Editor::command(int id, WORD code) {
    if (showing_) return;
    if (auto cell = cellOf(id)) {
        if (code == EN_SETFOCUS) clickCell(*cell);
        if (code == EN_KILLFOCUS) commitCell(id);
        return;
    }
    if (id == kMatrixSetCountEdit) {
        if (code != EN_KILLFOCUS) return;
        BOOL translated = FALSE;
        const int typed = static_cast<int>(GetDlgItemInt(dialog_, id, &translated, TRUE));
        if (translated && typed != setCount())
            setSetCount(typed);
        else
            showGrid();
        return;
    }
    if (code != BN_CLICKED) return;
    if (id >= kMatrixFirstColumnHead && id < kMatrixFirstColumnHead + kMatrixVisibleSets)
        return clickColumn(id - kMatrixFirstColumnHead);
    if (id >= kMatrixFirstRowHead && id < kMatrixFirstRowHead + kMatrixVisibleRows)
        return clickRow(id - kMatrixFirstRowHead);
    switch (id) {
        case kMatrixCorner:
            if (rowCount() > 0) select({0, rowCount() - 1, 0, setCount() - 1});
            break;
        case kMatrixCut:
        case kMatrixCopy:
            copy(id == kMatrixCut);
            break;
        case kMatrixPaste:
            paste();
            break;
        case kMatrixRecipeName:
            markRecipeName();
            break;
        case IDOK:
            close(1);
            break;
        case IDCANCEL:
            close(0);
            break;
    }
}

Editor* editorOf(HWND dialog) {
    return reinterpret_cast<Editor*>(GetWindowLongPtr(dialog, DWLP_USER));
}

INT_PTR matrixProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Editor* editor = editorOf(dialog);
    if (message == WM_INITDIALOG) {
        auto* matrix = reinterpret_cast<ParameterMatrix*>(lParam);
        if (!matrix) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        editor = new Editor(dialog, *matrix);
        SetWindowLongPtr(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(editor));
        if (!editor->open()) EndDialog(dialog, 0);
        return TRUE;
    }
    if (!editor) return FALSE;
    switch (message) {
        case WM_COMMAND:
            editor->command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            editor->close(0);
            return TRUE;
        case WM_VSCROLL:
        case WM_HSCROLL:
            editor->scroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam),
                           static_cast<std::int16_t>(HIWORD(wParam)));
            return TRUE;
        case kSpinStepMessage:
            editor->spin(LOWORD(lParam));
            return TRUE;
        case WM_CTLCOLOREDIT:
            return editor->cellColour(reinterpret_cast<HWND>(lParam),
                                      reinterpret_cast<HDC>(wParam));
        case WM_DRAWCLIPBOARD:
        case WM_CHANGECBCHAIN:
            editor->clipboardChanged(message, wParam, lParam);
            return TRUE;
        case WM_DESTROY:
            editor->destroy();
            delete editor;
            SetWindowLongPtr(dialog, DWLP_USER, 0);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

extern "C" {

INT_PTR MatrixEdProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<INT_PTR>(FALSE, [&] { return matrixProc(dialog, message, wParam, lParam); });
}

INT_PTR StartMatrixEd(HWND owner, ParameterMatrix* matrix) {
    return AtBoundary<INT_PTR>(0, [&]() -> INT_PTR {
        if (!matrix) return 0;
        INT_PTR result = DialogBoxParam(thisModule(), "MATRIX_ED", owner, MatrixEdProc,
                                        reinterpret_cast<LPARAM>(matrix));
        return result == 1 ? 1 : 0;
    });
}

}  // extern "C"
