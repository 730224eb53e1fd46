// One editing window: a keyboard document, its view and its controller.
#pragma once

#include <QWidget>
#include <memory>

#include "keyboard_editor/clavon_controller.h"
#include "keyboard_editor/clavon_view.h"
#include "keyboard_editor/undo_commands.h"

namespace clavon {

class CChildFrame : public QWidget {
    Q_OBJECT
  public:
    explicit CChildFrame(QWidget* parent = nullptr);
    CClavonDoc& Doc() { return m_doc; }
    CClavonView& View() { return *m_view; }
    CClavonController& Controller() { return *m_controller; }

    bool Save();
    bool SaveAs();
    // Asks before unsaved work is lost; false keeps the window.
    bool MaySave();
    void UpdateTitle();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    CClavonDoc m_doc;
    CClavonView* m_view;
    CClavonController* m_controller;
};

}  // namespace clavon
