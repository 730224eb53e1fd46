// KXCSpinButton: an up-down button pair beside a text box (its buddy), as the value edit
// managers drive it.
//
// Pressing and holding an arrow (or Up/Down in the buddy, Page Up/Page Down there for five
// steps) emits deltaPos with the step's increment: 1 at first, then the increment of the
// acceleration table's last entry whose time of holding has passed. The button's own position
// follows the steps within its range; the steps are reported even at its ends.
#pragma once

#include <QWidget>
#include <vector>

class QLineEdit;
class QToolButton;
class QElapsedTimer;

struct KXCSpinAccel {
    int seconds;    // after this long of holding
    int increment;  // each step moves by this much
};

class KXCSpinButton : public QWidget {
    Q_OBJECT
  public:
    explicit KXCSpinButton(QWidget* parent = nullptr);
    ~KXCSpinButton() override;

    void SetBuddy(QLineEdit* buddy);
    QLineEdit* GetBuddy() const { return m_buddy; }
    void SetRange(int lower, int upper);
    int GetLower() const { return m_lower; }
    int GetUpper() const { return m_upper; }
    void SetPos(int pos);
    int GetPos() const { return m_pos; }
    void SetAccel(std::vector<KXCSpinAccel> table);
    const std::vector<KXCSpinAccel>& GetAccel() const { return m_accel; }

    // One step as if an arrow were pressed: direction > 0 up, otherwise down.
    void Step(int direction);

  signals:
    void deltaPos(int delta);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int currentIncrement() const;

    QToolButton* m_up;
    QToolButton* m_down;
    QLineEdit* m_buddy = nullptr;
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    std::vector<KXCSpinAccel> m_accel;
    QElapsedTimer* m_held;
};
