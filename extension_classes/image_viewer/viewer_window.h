// The image viewer's main window: the file tree beside the viewers, a toolbar for the panel's
// colours and size, the property sheet, and the menus (File, Edit, View, Help).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTextBrowser>

#include "extension_classes/viewer_host.h"
#include "extension_classes/viewer_wnd.h"

class CFileFilterCombo;
class CFileListTree;
class CViewerPps;
class QComboBox;
class QSpinBox;
class QTreeWidgetItem;

class ViewerWindow : public QMainWindow {
    Q_OBJECT
  public:
    // The help page shipped in the program folder.
    static constexpr const char* kHelpPage = "ImageViewerHelp.html";
    static constexpr const char* kTitle = "Image Viewer";

    ViewerWindow();
    ~ViewerWindow() override;

    void Browse(const QString& folder);
    bool Open(const QString& file);
    void SetDepth(int bits);
    void SetPanelSize(QSize size);
    void ShowTab(const QString& name);
    CViewerPps* Sheet() { return m_sheet; }
    void ShowProperties();
    // Help ▸ Help Topics (F1): the help page in a window of its own.
    void ShowHelp();
    QTextBrowser* HelpWindow() const { return m_help; }
    // The text of Help ▸ About.
    static QString AboutText();

  protected:
    bool event(QEvent* e) override;

  private:
    void BuildMenus();
    void BuildToolBar();
    void LoadViewers();
    void ApplyPanel();
    bool Show(const QString& path);
    void CopyPanelImage();
    void Paste(QTreeWidgetItem* item);
    void TreeMenu(QTreeWidgetItem* item, QPoint at);
    void ChooseFolder();

    CViewerList m_viewers;
    CFileFilterCombo* m_filter;
    CFileListTree* m_tree;
    CMainViewerWnd* m_host;
    CViewerPps* m_sheet;
    QComboBox* m_depth;
    QSpinBox* m_width;
    QSpinBox* m_height;
    QAction* m_properties;
    QAction* m_copy;
    QAction* m_paste;
    QPointer<QTextBrowser> m_help;
};
