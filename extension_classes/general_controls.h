// General controls: CTabCtrlEx (a tab bar whose tabs can be disabled), KXCBmpTreeCtrl (a tree
// over a tiled background picture), KXCFixedHeaderList (a list whose columns keep their widths)
// and CFileFilterCombo (a combo box of file filters that tells its owner of a new choice).
#pragma once

#include <QComboBox>
#include <QImage>
#include <QTabBar>
#include <QTreeWidget>

#include "extension_classes/wnd_socket.h"

class QKeyEvent;

class CTabCtrlEx : public QTabBar {
    Q_OBJECT
  public:
    // Notification codes sent to the parent around a change of tab; a negative answer to the
    // first keeps the current tab.
    static constexpr UINT kSelChanging = UINT(-552);
    static constexpr UINT kSelChange = UINT(-551);
    static constexpr int kMaxTabs = 32;

    explicit CTabCtrlEx(QWidget* parent = nullptr);

    bool EnableTab(int index, bool on = true);
    bool IsTabEnabled(int index) const;
    // The next or previous enabled tab after `index`; -1 when there is none.
    int NextEnabledTab(int index, bool wrap) const;
    int PrevEnabledTab(int index, bool wrap) const;
    bool SetActiveTab(int index);
    // Ctrl+Tab and Ctrl+Page Down select the next enabled tab, Ctrl+Shift+Tab and Ctrl+Page Up
    // the previous one, wrapping around; true when the key was taken.
    bool TranslatePropSheetMsg(QKeyEvent* event);
    CWndSocket& Socket() { return m_socket; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    quint32 m_enabled = 0xFFFFFFFFu;
    CWndSocket m_socket;
};

class KXCBmpTreeCtrl : public QTreeWidget {
    Q_OBJECT
  public:
    explicit KXCBmpTreeCtrl(QWidget* parent = nullptr);
    // A background from the library's resources (":/kxc/bitmaps/<id>.bmp"); false when none.
    bool SetBitmap(UINT resourceId);
    void SetBitmap(const QImage& image);
    const QImage& GetBitmap() const { return m_bitmap; }
    // The colours the background is drawn with: its own colour table (up to 256 entries) or, for
    // deeper pictures, none (drawn as they are).
    const QList<QRgb>& GetPalette() const { return m_palette; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    QImage m_bitmap;
    QList<QRgb> m_palette;
};

class KXCFixedHeaderList : public QTreeWidget {
    Q_OBJECT
  public:
    explicit KXCFixedHeaderList(QWidget* parent = nullptr);
    // Columns can no longer be resized or moved by the user.
    void Init();
};

class CFileFilterCombo : public QComboBox {
    Q_OBJECT
  public:
    explicit CFileFilterCombo(QWidget* parent = nullptr);
    // Adds "text|patterns|text|patterns|..." entries; each item's data is its patterns.
    void SetFilters(const QString& filters);
    QString GetFilter() const { return currentData().toString(); }
    CWndSocket& Socket() { return m_socket; }

  private:
    CWndSocket m_socket;
};
