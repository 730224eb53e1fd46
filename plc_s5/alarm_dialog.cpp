// The alarm dialog "AlarmDlg": the project's 256 alarms, edited one at a time in a work
// buffer and written back to the alarm table on OK.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "plc_s5/dialog_contexts.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/export_guard.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/type1_image.h"
#include "string_table/string_table.h"
#include "utilities/controls.h"
#include "windows/canvas.h"
#include "windows/dialog.h"

using namespace kestra;
using namespace kestra::s5;
using namespace kestra::s5::dialog;

namespace {

// The work buffer: per alarm i (number - 1) one byte in each flag row, the priority, and a
// 129-byte text.
constexpr std::size_t kWorkBufferSize = 0x8800;
constexpr std::size_t kTextRoom = 129;
constexpr std::size_t kPriorityRow = 1536;
constexpr std::size_t kTextsAt = 1792;
struct FlagRow {
    std::size_t offset;
    std::uint8_t flag;
    int control;  // 0: kept without a control
};
constexpr FlagRow kFlagRows[] = {
    {0, kAckTime, kAlarmAckTime},
    {256, kResetTime, kAlarmResetTime},
    {512, kAlarmTime, kAlarmOnTime},
    {768, kDefinedAlarm, 0},
    {1024, kOperatorAck, kAlarmOperatorAck},
};
static_assert(kTextsAt + kTextRoom * kAlarmCount <= kWorkBufferSize);

constexpr int kNumberDigits = 4;
constexpr int kLongestText = static_cast<int>(kTextRoom) - 1;
constexpr const char* kShownProperty = "S5Alarm";
constexpr std::uintptr_t kSecondCall = 0x10000;

ALARMDLGCONTEXT* ContextOf(HWND dialog) {
    return reinterpret_cast<ALARMDLGCONTEXT*>(GetWindowLongPtr(dialog, DWLP_USER));
}

AlarmRecord* Table(const ALARMDLGCONTEXT& context) {
    return static_cast<AlarmRecord*>(context.alarmTable);
}

char* TextOf(const ALARMDLGCONTEXT& context, std::size_t index) {
    return reinterpret_cast<char*>(context.workBuffer + kTextsAt + kTextRoom * index);
}

int Shown(HWND dialog) {
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(GetProp(dialog, kShownProperty)));
}

// The editor's message length limit, never more than a text of the buffer holds.
int LengthLimit(const ALARMDLGCONTEXT& context) {
    if (!context.editorRecord) return kLongestText;
    const auto* record = static_cast<const std::uint8_t*>(context.editorRecord);
    const auto limit = static_cast<std::int16_t>(ReadLe16(record + kEditorLengthLimitOffset));
    return limit > 0 ? std::min<int>(limit, kLongestText) : kLongestText;
}

void ShowRemaining(HWND dialog, const ALARMDLGCONTEXT& context) {
    const int length = GetWindowTextLength(GetDlgItem(dialog, kAlarmMessageEdit));
    SetDlgItemInt(dialog, kAlarmRemaining, static_cast<UINT>(LengthLimit(context) - length), TRUE);
}

void ShowAlarm(HWND dialog, const ALARMDLGCONTEXT& context, int number) {
    const auto i = static_cast<std::size_t>(number - 1);
    SetProp(dialog, kShownProperty, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(number)));
    SetDlgItemInt(dialog, kAlarmNumberEdit, static_cast<UINT>(number), FALSE);
    SetDlgItemInt(dialog, kAlarmPriorityEdit, context.workBuffer[kPriorityRow + i], FALSE);
    SetDlgItemText(dialog, kAlarmMessageEdit, TextOf(context, i));
    for (const FlagRow& row : kFlagRows)
        if (row.control)
            CheckDlgButton(dialog, row.control,
                           context.workBuffer[row.offset + i] ? BST_CHECKED : BST_UNCHECKED);
    ShowRemaining(dialog, context);
}

void StorePriority(HWND dialog, const ALARMDLGCONTEXT& context, std::size_t i) {
    BOOL read = FALSE;
    const UINT priority = GetDlgItemInt(dialog, kAlarmPriorityEdit, &read, FALSE);
    // The box takes four digits; the priority is one byte.
    context.workBuffer[kPriorityRow + i] =
        static_cast<std::uint8_t>(read ? std::min(priority, 255u) : 0u);
}

void StoreText(HWND dialog, const ALARMDLGCONTEXT& context, std::size_t i) {
    GetDlgItemText(dialog, kAlarmMessageEdit, TextOf(context, i), LengthLimit(context) + 1);
}

void StoreFlags(HWND dialog, const ALARMDLGCONTEXT& context, std::size_t i) {
    for (const FlagRow& row : kFlagRows)
        if (row.control)
            context.workBuffer[row.offset + i] =
                IsDlgButtonChecked(dialog, row.control) == BST_CHECKED ? 1 : 0;
}

void StoreShown(HWND dialog, const ALARMDLGCONTEXT& context) {
    const int shown = Shown(dialog);
    if (shown < 1 || shown > static_cast<int>(kAlarmCount)) return;
    const auto i = static_cast<std::size_t>(shown - 1);
    StorePriority(dialog, context, i);
    StoreText(dialog, context, i);
    StoreFlags(dialog, context, i);
}

void LoadAlarms(const ALARMDLGCONTEXT& context) {
    const AlarmRecord* table = Table(context);
    for (std::size_t i = 0; i < kAlarmCount; ++i) {
        const AlarmRecord& alarm = table[i];
        context.workBuffer[kPriorityRow + i] = alarm.priority;
        for (const FlagRow& row : kFlagRows)
            context.workBuffer[row.offset + i] = (alarm.flags & row.flag) ? 1 : 0;
        if (alarm.flags & kAlarmHasText)
            StrTabGetText(alarm.textId, context.project, TextOf(context, i), kTextRoom, 0);
    }
}

void SaveAlarms(const ALARMDLGCONTEXT& context) {
    AlarmRecord* table = Table(context);
    std::uint16_t count = 0;
    for (std::size_t i = 0; i < kAlarmCount; ++i) {
        AlarmRecord& alarm = table[i];
        if (alarm.flags & kAlarmHasText)
            StrTabGetText(alarm.textId, context.project, nullptr, 0, 1);
        const char* text = TextOf(context, i);
        alarm.flags = 0;
        alarm.priority = 0;
        alarm.textId = 0;
        if (!*text) continue;
        alarm.textId = StrTabAddText(text, context.project);
        alarm.priority = context.workBuffer[kPriorityRow + i];
        std::uint8_t flags = kAlarmHasText;
        for (const FlagRow& row : kFlagRows)
            if (context.workBuffer[row.offset + i]) flags |= row.flag;
        alarm.flags = flags;
        count = static_cast<std::uint16_t>(i + 1);
    }
    context.project->record.section2aCount = count;
}

void Finish(HWND dialog, ALARMDLGCONTEXT& context, INT_PTR result) {
    if (result == 1 && context.workBuffer && context.alarmTable) {
        StoreShown(dialog, context);
        SaveAlarms(context);
    }
    delete[] context.workBuffer;
    context.workBuffer = nullptr;
    if (context.alarmTable) GlobalUnlock(context.project->record.section2a);
    context.alarmTable = nullptr;
    RemoveProp(dialog, kShownProperty);
    EndDialog(dialog, result);
}

void Open(HWND dialog, ALARMDLGCONTEXT& context) {
    SetWindowLongPtr(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&context));
    context.workBuffer = nullptr;
    context.alarmTable = GlobalLock(context.project->record.section2a);
    if (!context.alarmTable || (context.allowOpen && !context.allowOpen(dialog))) {
        Finish(dialog, context, 0);
        return;
    }
    context.workBuffer = new (std::nothrow) std::uint8_t[kWorkBufferSize]();
    if (!context.workBuffer) {
        Finish(dialog, context, 0);
        return;
    }
    if (context.editorRecord) {
        HFONT font = nullptr;
        std::memcpy(&font,
                    static_cast<const std::uint8_t*>(context.editorRecord) + kEditorFontOffset,
                    sizeof font);
        if (font)
            SendDlgItemMessage(dialog, kAlarmMessageEdit, WM_SETFONT,
                               reinterpret_cast<WPARAM>(font), 0);
    }
    SendDlgItemMessage(dialog, kAlarmMessageEdit, EM_LIMITTEXT,
                       static_cast<WPARAM>(LengthLimit(context)), 0);
    SendDlgItemMessage(dialog, kAlarmNumberEdit, EM_LIMITTEXT, kNumberDigits, 0);
    SendDlgItemMessage(dialog, kAlarmPriorityEdit, EM_LIMITTEXT, kNumberDigits, 0);
    LoadAlarms(context);
    ShowAlarm(dialog, context, 1);
}

void NumberTyped(HWND dialog, const ALARMDLGCONTEXT& context) {
    BOOL read = FALSE;
    const int number = static_cast<int>(GetDlgItemInt(dialog, kAlarmNumberEdit, &read, TRUE));
    const bool valid = read && number >= 1 && number <= static_cast<int>(kAlarmCount);
    StoreShown(dialog, context);
    ShowAlarm(dialog, context, valid ? number : 1);
}

void Spin(HWND dialog, const ALARMDLGCONTEXT& context, WORD direction) {
    StoreShown(dialog, context);
    int number = Shown(dialog) + (direction == kSpinUp ? 1 : (direction == kSpinDown ? -1 : 0));
    if (number > static_cast<int>(kAlarmCount)) number = 1;
    if (number < 1) number = static_cast<int>(kAlarmCount);
    ShowAlarm(dialog, context, number);
}

void PickSpecialCharacter(HWND dialog, const ALARMDLGCONTEXT& context) {
    if (!context.specialChars) return;
    const BOOL picked = context.specialChars(dialog);
    if (picked && context.specialText) {
        HWND edit = GetDlgItem(dialog, kAlarmMessageEdit);
        const int length = GetWindowTextLength(edit);
        SendMessage(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
        SendMessage(edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(context.specialText));
        StoreText(dialog, context, static_cast<std::size_t>(Shown(dialog) - 1));
    }
    context.specialChars(
        reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(dialog) + kSecondCall));
}

bool Command(HWND dialog, ALARMDLGCONTEXT& context, WORD id, WORD code) {
    const auto shown = static_cast<std::size_t>(Shown(dialog) - 1);
    switch (id) {
        case IDOK:
        case IDCANCEL:
            Finish(dialog, context, id == IDOK ? 1 : 0);
            return true;
        case kAlarmNumberEdit:
            if (code == EN_KILLFOCUS) NumberTyped(dialog, context);
            return true;
        case kAlarmPriorityEdit:
            if (code == EN_CHANGE || code == EN_KILLFOCUS) StorePriority(dialog, context, shown);
            return true;
        case kAlarmMessageEdit:
            if (code == EN_CHANGE) ShowRemaining(dialog, context);
            if (code == EN_KILLFOCUS) StoreText(dialog, context, shown);
            return true;
        case kAlarmSpecialChars:
            PickSpecialCharacter(dialog, context);
            return true;
        default:
            for (const FlagRow& row : kFlagRows)
                if (row.control == id) {
                    StoreFlags(dialog, context, shown);
                    return true;
                }
            return false;
    }
}

}  // namespace

extern "C" {

INT_PTR AlarmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
        if (message == WM_INITDIALOG) {
            Open(dialog, *reinterpret_cast<ALARMDLGCONTEXT*>(lParam));
            return TRUE;
        }
        ALARMDLGCONTEXT* context = ContextOf(dialog);
        if (!context || !context->workBuffer) return FALSE;
        if (message == WM_CLOSE) {
            Finish(dialog, *context, 0);
            return TRUE;
        }
        if (message == kSpinStepMessage) {
            Spin(dialog, *context, LOWORD(lParam));
            return TRUE;
        }
        if (message == WM_COMMAND) return Command(dialog, *context, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    });
}

INT_PTR ExecAlarmDlg(HWND parent, ALARMDLGCONTEXT* context) {
    return Guarded<INT_PTR>(0, [&]() -> INT_PTR {
        if (!context || !context->project) return 0;
        ProjectRecord& record = context->project->record;
        const std::size_t full = kAlarmCount * sizeof(AlarmRecord);
        HGLOBAL table = record.section2a != 0u ? GlobalReAlloc(record.section2a, full, GHND)
                                               : GlobalAlloc(GHND, full);
        if (!table) return 0;
        record.section2a = table;
        const INT_PTR result = DialogBoxParam(KESTRA_THIS_MODULE(), kAlarmTemplate, parent,
                                              AlarmProc, reinterpret_cast<LPARAM>(context));
        const std::size_t used = std::size_t{record.section2aCount} * sizeof(AlarmRecord);
        if (used == 0) {
            GlobalFree(record.section2a);
            record.section2a = 0;
        } else {
            GlobalReAlloc(record.section2a, used, GHND);
        }
        return result < 0 ? 0 : result;
    });
}

}  // extern "C"
