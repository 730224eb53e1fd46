// The viewer's property pages and the sheet that holds the current viewer's pages:
// CLeadViewerPpg (image settings), CViewerPanelPpg (colour depth), CViewerGeneralPpg (name, size
// and file) and CViewerPps.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QTabWidget;
class CViewerWnd;
class CLeadViewerWnd;

class CLeadViewerPpg : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSliderMin = -40, kSliderMax = 100, kSliderTick = 10;
    explicit CLeadViewerPpg(CLeadViewerWnd* viewer);
    QString Title() const { return QStringLiteral("Image"); }
    void UpdateFromViewer();
    QSlider* ContrastSlider() const { return m_contrast; }
    QSlider* BrightnessSlider() const { return m_brightness; }
    QComboBox* DitherCombo() const { return m_dither; }

  private:
    QSlider* AddSlider(class QGridLayout* grid, int row, const QString& label, QLabel** value);
    void OnChanged();
    QPointer<CLeadViewerWnd> m_viewer;
    QSlider* m_contrast;
    QSlider* m_brightness;
    QLabel* m_contrastValue;
    QLabel* m_brightnessValue;
    QComboBox* m_dither;
    QCheckBox* m_checks[6];
    QCheckBox* m_sizeToFit;
    bool m_updating = false;
};

class CViewerPanelPpg : public QWidget {
    Q_OBJECT
  public:
    explicit CViewerPanelPpg(CLeadViewerWnd* viewer);
    QString Title() const { return QStringLiteral("Colors"); }
    void UpdateFromViewer();
    QComboBox* ColorCombo() const { return m_colors; }
    // The combo index of a colour depth by the table 1, 4, 8; other depths count as 0.
    static int IndexOfBits(int bits);

  private:
    QPointer<CLeadViewerWnd> m_viewer;
    QComboBox* m_colors;
    bool m_updating = false;
};

class CViewerGeneralPpg : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kNameLength = 8;
    explicit CViewerGeneralPpg(CViewerWnd* viewer);
    QString Title() const { return QStringLiteral("General"); }
    void UpdateFromViewer();
    // Stores the typed name as the image name.
    void Apply();
    QLineEdit* NameEdit() const { return m_name; }

  private:
    QPointer<CViewerWnd> m_viewer;
    QLineEdit* m_name;
    QLabel* m_size;
    QLabel* m_file;
};

// The sheet of the current viewer's pages; a blank page when the viewer has none. Closing it
// hides it (a dialog's close does), and lets the program end while it is open.
class CViewerPps : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kNoProperties = "No properties available for the selected item";
    explicit CViewerPps(QWidget* parent = nullptr);
    void AddPage(QWidget* page, const QString& title);
    void RemovePage(QWidget* page);
    int GetPageCount() const;
    QTabWidget* Tabs() const { return m_tabs; }
    // Called when a viewer opens (or, with none, closes): the viewer's pages replace the old ones.
    void SetViewer(CViewerWnd* viewer);

  protected:
    void contextMenuEvent(class QContextMenuEvent* event) override;

  private:
    void RemoveAllPages();
    QTabWidget* m_tabs;
    QWidget* m_blank;
    QPointer<CViewerWnd> m_viewer;
};
