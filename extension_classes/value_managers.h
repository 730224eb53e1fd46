// Value edit managers: a text box and a spin button side by side that edit one value and keep
// it valid. A dialog makes the manager, attaches it to its two controls, sets range and mode,
// sets the value, and reads it back when it closes. Every spin step and every text typed (on
// leaving the text box) is brought to a legal value and written back to the text box.
//
// KXCBaudRateMgr edits a communication speed, KXCTimerMgr a time span that the panel stores in
// one byte (bit 7 set: seconds; clear: tens of milliseconds).
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>

#include "extension_classes/spin_button.h"
#include "platform/win_types.h"

class QWidget;

// Control numbers for Qt dialogs: a widget carries its number in a property, so that a manager
// can find "the dialog's control 1042" as the dialogs of the suite name their controls.
void KXCSetControlId(QWidget* control, UINT id);
QWidget* KXCFindControl(QWidget* dialog, UINT id);

class KXCSpinEditMgr : public QObject {
    Q_OBJECT
  public:
    KXCSpinEditMgr();
    ~KXCSpinEditMgr() override;

    // Attach to the dialog's spin button and text box (found by control number), make the
    // text box the spin button's buddy and set the spin button's range to 0 to 100. False
    // when either control is missing.
    bool SubClassControls(UINT spinId, UINT editId, QWidget* dialog);
    bool SubClassControls(KXCSpinButton* spin, QLineEdit* edit);

    // One step of the spin button; only the sign counts.
    virtual void IncDecPos(int delta) = 0;
    // The text typed into the text box.
    virtual void ParseUserData(const QString& text) = 0;

    QLineEdit* GetEdit() const { return m_edit; }
    KXCSpinButton* GetSpin() const { return m_spin; }
    // The text last written to the text box.
    const QString& GetLastText() const { return m_lastText; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Writes the text to the text box (when attached) and remembers it.
    void WriteText(const QString& text);
    // Whether the user changed the text box since it was last written.
    bool TextChanged() const;
    QString CurrentText() const;

  private:
    QPointer<QLineEdit> m_edit;
    QPointer<KXCSpinButton> m_spin;
    QString m_lastText;
};

enum BAUDRATE_MODE { BAUDRATE_NUMERIC = 0, BAUDRATE_INDEX = 1 };

class KXCBaudRateMgr : public KXCSpinEditMgr {
    Q_OBJECT
  public:
    // Names of the index mode, positions 0 to 9.
    static constexpr int kNameCount = 10;
    static const char* const kNames[kNameCount];

    KXCBaudRateMgr() = default;

    void SetBaudRateMode(int mode) { m_mode = mode; }
    int GetBaudRateMode() const { return m_mode; }
    // Numeric mode: both bounds are brought to the series 150 x 2^k; index mode: unchanged.
    void SetBaudRateRange(LONG lower, LONG upper);
    // Numeric mode: the nearest series value clamped to the bounds; index mode: unchanged.
    void SetBaudRate(LONG value);
    LONG GetBaudRate() const { return m_value; }
    LONG GetLower() const { return m_lower; }
    LONG GetUpper() const { return m_upper; }

    // The series value nearest to a wish (halfway goes up; up to 150 gives 150).
    static LONG NearestBaudRate(LONG wish);

    void IncDecPos(int delta) override;
    void ParseUserData(const QString& text) override;

  private:
    void Refresh();

    int m_mode = BAUDRATE_NUMERIC;
    LONG m_lower = 150;
    LONG m_upper = 150;
    LONG m_value = 150;
};

enum TIMER_MODE { TIMER_BOTH = 0, TIMER_SEC_ONLY = 1, TIMER_MSEC_ONLY = 2 };
enum TIMER_UNIT { TIMER_SEC = 0, TIMER_MSEC = 1 };

class KXCTimerMgr : public KXCSpinEditMgr {
    Q_OBJECT
  public:
    KXCTimerMgr() = default;

    void SetTimerMode(int mode);
    int GetTimerMode() const { return m_mode; }
    void SetRangeStepSec(int lower, int upper, int step);
    void SetRangeStepMiliSec(int lower, int upper, int step);
    void SetTimerPos(int value, int unit);
    int GetTimerPos() const { return m_pos; }
    int GetTimerUnit() const { return m_unit; }

    BYTE GetKestraByte() const;
    WORD GetKestraWord() const;
    BYTE GetKestraFlaggedByte() const;
    void SetKestraByte(BYTE value);
    void Enable(BOOL enable);

    int GetStepValue() const;
    int GetUpperValue() const;
    int GetLowerValue() const;

    void IncDecPos(int delta) override;
    void ParseUserData(const QString& text) override;

  private:
    struct Range {
        int lower;
        int upper;
        int step;
    };
    const Range& range() const { return m_unit == TIMER_MSEC ? m_msec : m_sec; }
    void SetTimerUnit(int unit);
    void ToggleUnit();
    int Adjust(int value) const;
    void SetAccelForStep(int step);
    void Refresh();

    int m_mode = TIMER_BOTH;
    int m_unit = TIMER_SEC;
    Range m_sec{1, 127, 1};
    Range m_msec{10, 990, 10};
    int m_pos = 1;
};
