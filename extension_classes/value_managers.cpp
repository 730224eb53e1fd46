#include "extension_classes/value_managers.h"

#include <QLineEdit>
#include <QVariant>
#include <algorithm>
#include <climits>
#include <cstdint>

#include "extension_classes/kxc_message.h"
#include "extension_classes/spin_button.h"

namespace {

constexpr const char* kControlIdProperty = "kxcControlId";
constexpr int kSpinLower = 0;
constexpr int kSpinUpper = 100;
constexpr int kSpinLowerMsec = 1;

// Strings of the timer texts and the unit letters.
constexpr UINT kSecFormat = 22307;
constexpr UINT kMsecFormat = 22308;
constexpr UINT kSecLetters = 22309;
constexpr UINT kMsecLetters = 22310;

// After this many seconds of holding an arrow, each step moves by this many steps.
constexpr KXCSpinAccel kAccelSteps[] = {{1, 3}, {2, 6}, {3, 10}, {4, 15}, {5, 25}};

constexpr std::int64_t kBaudBase = 150;
// The largest series value that a 32-bit value holds.
constexpr std::int64_t kBaudTop = kBaudBase << 23;

QString formatNumber(UINT formatId, int value) {
    QString format = KXCLoadString(formatId);
    return format.replace(QLatin1String("%d"), QString::number(value));
}

// The decimal number at the start of a text ("-12", "0.5", " 3 sec"), 0 when there is none.
double leadingNumber(const QString& text) {
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+')) ++end;
    while (end < t.size() && t[end].isDigit()) ++end;
    if (end < t.size() && t[end] == u'.') {
        ++end;
        while (end < t.size() && t[end].isDigit()) ++end;
    }
    bool ok = false;
    double value = t.left(end).toDouble(&ok);
    return ok ? value : 0.0;
}

int toInt(double value) {
    return static_cast<int>(std::clamp(value, double(INT_MIN), double(INT_MAX)));
}

bool containsAny(const QString& text, const QString& letters) {
    return std::any_of(letters.begin(), letters.end(),
                       [&](QChar letter) { return text.contains(letter); });
}

}  // namespace

void KXCSetControlId(QWidget* control, UINT id) {
    if (control) control->setProperty(kControlIdProperty, QVariant(uint{id}));
}

QWidget* KXCFindControl(QWidget* dialog, UINT id) {
    if (!dialog) return nullptr;
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        const QVariant value = child->property(kControlIdProperty);
        if (value.isValid() && value.toUInt() == id) return child;
    }
    return nullptr;
}

// The shared base.

KXCSpinEditMgr::KXCSpinEditMgr() = default;
KXCSpinEditMgr::~KXCSpinEditMgr() = default;

bool KXCSpinEditMgr::SubClassControls(UINT spinId, UINT editId, QWidget* dialog) {
    return SubClassControls(qobject_cast<KXCSpinButton*>(KXCFindControl(dialog, spinId)),
                            qobject_cast<QLineEdit*>(KXCFindControl(dialog, editId)));
}

bool KXCSpinEditMgr::SubClassControls(KXCSpinButton* spin, QLineEdit* edit) {
    if (!spin || !edit) return false;
    if (m_spin) disconnect(m_spin, nullptr, this, nullptr);
    if (m_edit) disconnect(m_edit, nullptr, this, nullptr);
    m_spin = spin;
    m_edit = edit;
    spin->SetBuddy(edit);
    spin->SetRange(kSpinLower, kSpinUpper);
    connect(spin, &KXCSpinButton::deltaPos, this, [this](int delta) { IncDecPos(delta); });
    connect(edit, &QLineEdit::editingFinished, this, [this] { ParseUserData(m_edit->text()); });
    edit->setText(m_lastText);
    return true;
}

bool KXCSpinEditMgr::eventFilter(QObject* watched, QEvent* event) {
    return QObject::eventFilter(watched, event);
}

void KXCSpinEditMgr::WriteText(const QString& text) {
    m_lastText = text;
    if (m_edit) m_edit->setText(text);
}

bool KXCSpinEditMgr::TextChanged() const {
    return m_edit && m_edit->text() != m_lastText;
}

QString KXCSpinEditMgr::CurrentText() const {
    return m_edit ? m_edit->text() : m_lastText;
}

// Baud rates.

const char* const KXCBaudRateMgr::kNames[kNameCount] = {"150",  "300",  "600",   "1200",  "2400",
                                                        "4800", "9600", "19200", "38400", "57600"};

LONG KXCBaudRateMgr::NearestBaudRate(LONG wish) {
    std::int64_t b = kBaudBase;
    std::int64_t result = kBaudBase;
    while (b < wish) {
        const std::int64_t c = 2 * b;
        result = (wish - b < c - wish) ? b : c;
        b = c;
    }
    return static_cast<LONG>(std::min(result, kBaudTop));
}

void KXCBaudRateMgr::SetBaudRateRange(LONG lower, LONG upper) {
    if (m_mode == BAUDRATE_NUMERIC) {
        lower = NearestBaudRate(lower);
        upper = NearestBaudRate(upper);
    }
    m_lower = lower;
    m_upper = upper;
}

void KXCBaudRateMgr::SetBaudRate(LONG value) {
    if (m_mode == BAUDRATE_NUMERIC)
        value = std::clamp(NearestBaudRate(value), m_lower, std::max(m_lower, m_upper));
    m_value = value;
    Refresh();
}

void KXCBaudRateMgr::IncDecPos(int delta) {
    if (TextChanged()) {
        ParseUserData(CurrentText());
        return;
    }
    std::int64_t value = m_value;
    if (m_mode == BAUDRATE_INDEX)
        value += delta > 0 ? 1 : -1;
    else
        value = delta > 0 ? value * 2 : value / 2;
    if (value > m_upper)
        value = m_lower;
    else if (value < m_lower)
        value = m_upper;
    m_value = static_cast<LONG>(value);
    Refresh();
}

void KXCBaudRateMgr::ParseUserData(const QString& text) {
    if (m_mode == BAUDRATE_INDEX) {
        const LONG first = std::max<LONG>(m_lower, 0);
        const LONG last = std::min<LONG>(m_upper, kNameCount - 1);
        for (LONG index = first; index <= last; ++index)
            if (text == QLatin1String(kNames[index])) {
                m_value = index;
                break;
            }
        Refresh();
        return;
    }
    SetBaudRate(toInt(leadingNumber(text.section(u'.', 0, 0))));
}

void KXCBaudRateMgr::Refresh() {
    if (m_mode == BAUDRATE_INDEX)
        WriteText(m_value >= 0 && m_value < kNameCount ? QString::fromLatin1(kNames[m_value])
                                                       : QString());
    else
        WriteText(QString::number(m_value));
}

// Timers.

void KXCTimerMgr::SetTimerMode(int mode) {
    m_mode = mode;
    if (mode < 0) return;
    if (mode == TIMER_BOTH || mode == TIMER_SEC_ONLY) SetTimerUnit(TIMER_SEC);
    if (mode == TIMER_MSEC_ONLY) SetTimerUnit(TIMER_MSEC);
}

void KXCTimerMgr::SetTimerUnit(int unit) {
    if (m_mode == TIMER_SEC_ONLY)
        m_unit = TIMER_SEC;
    else if (m_mode == TIMER_MSEC_ONLY)
        m_unit = TIMER_MSEC;
    else
        m_unit = unit == TIMER_MSEC ? TIMER_MSEC : TIMER_SEC;
}

void KXCTimerMgr::ToggleUnit() {
    if (m_mode == TIMER_BOTH) m_unit = m_unit == TIMER_SEC ? TIMER_MSEC : TIMER_SEC;
}

void KXCTimerMgr::SetAccelForStep(int step) {
    std::vector<KXCSpinAccel> table;
    for (const auto& accel : kAccelSteps) table.push_back({accel.seconds, accel.increment * step});
    if (GetSpin()) GetSpin()->SetAccel(std::move(table));
}

void KXCTimerMgr::SetRangeStepSec(int lower, int upper, int step) {
    m_sec = {lower, upper, std::max(step, 1)};
    m_pos = lower;
    m_unit = TIMER_SEC;
    SetAccelForStep(m_sec.step);
    Refresh();
}

void KXCTimerMgr::SetRangeStepMiliSec(int lower, int upper, int step) {
    m_msec = {lower, upper, std::max(step, 1)};
    m_pos = lower;
    m_unit = TIMER_MSEC;
    SetAccelForStep(m_msec.step);
    if (GetSpin()) GetSpin()->SetRange(kSpinLowerMsec, kSpinUpper);
    Refresh();
}

int KXCTimerMgr::Adjust(int value) const {
    const Range& r = range();
    const std::int64_t remainder = value % r.step;
    std::int64_t adjusted = value;
    if (remainder <= r.step / 2)
        adjusted -= remainder;
    else
        adjusted += r.step - remainder;
    return static_cast<int>(
        std::clamp<std::int64_t>(adjusted, r.lower, std::max(r.lower, r.upper)));
}

void KXCTimerMgr::SetTimerPos(int value, int unit) {
    SetTimerUnit(unit);
    m_pos = Adjust(value);
    Refresh();
}

BYTE KXCTimerMgr::GetKestraByte() const {
    return static_cast<BYTE>(m_pos / 10);
}

WORD KXCTimerMgr::GetKestraWord() const {
    return static_cast<WORD>(m_pos);
}

BYTE KXCTimerMgr::GetKestraFlaggedByte() const {
    if (m_unit == TIMER_SEC) return static_cast<BYTE>((m_pos & 0xFF) | 0x80);
    return static_cast<BYTE>((m_pos / 10) & 0x7F);
}

void KXCTimerMgr::SetKestraByte(BYTE value) {
    if (value & 0x80)
        SetTimerPos(value & 0x7F, TIMER_SEC);
    else
        SetTimerPos((value & 0x7F) * 10, TIMER_MSEC);
}

void KXCTimerMgr::Enable(BOOL enable) {
    if (GetSpin()) GetSpin()->setEnabled(enable != 0);
    if (GetEdit()) GetEdit()->setEnabled(enable != 0);
}

int KXCTimerMgr::GetStepValue() const {
    return range().step;
}
int KXCTimerMgr::GetUpperValue() const {
    return range().upper;
}
int KXCTimerMgr::GetLowerValue() const {
    return range().lower;
}

void KXCTimerMgr::IncDecPos(int delta) {
    if (TextChanged()) {
        ParseUserData(CurrentText());
        return;
    }
    std::int64_t pos = std::int64_t{m_pos} + (delta > 0 ? range().step : -range().step);
    if (pos > range().upper) {
        ToggleUnit();
        pos = range().lower;
    } else if (pos < range().lower) {
        ToggleUnit();
        pos = range().upper;
    }
    m_pos = Adjust(static_cast<int>(pos));
    Refresh();
}

void KXCTimerMgr::ParseUserData(const QString& text) {
    double number = leadingNumber(text);
    if (containsAny(text, KXCLoadString(kMsecLetters))) {
        SetTimerUnit(TIMER_MSEC);
    } else if (containsAny(text, KXCLoadString(kSecLetters))) {
        if (m_mode == TIMER_MSEC_ONLY)
            number *= 1000;
        else
            SetTimerUnit(TIMER_SEC);
    }
    m_pos = Adjust(toInt(number));
    Refresh();
}

void KXCTimerMgr::Refresh() {
    if (m_mode < 0 || m_mode > TIMER_MSEC_ONLY)
        WriteText(QString());
    else if (m_mode == TIMER_MSEC_ONLY && m_pos % 1000 == 0)
        WriteText(formatNumber(kSecFormat, m_pos / 1000));
    else if (m_mode == TIMER_MSEC_ONLY)
        WriteText(formatNumber(kMsecFormat, m_pos));
    else
        WriteText(formatNumber(m_unit == TIMER_SEC ? kSecFormat : kMsecFormat, m_pos));
}
