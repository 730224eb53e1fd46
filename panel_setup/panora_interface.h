// Panora's interface window: never shown, it waits on the local server for the project
// editor's setup request, runs the setup sheet, answers and ends the program.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "panel_setup/exchange_block.h"
#include "panel_setup/setup_channel.h"

class QLocalSocket;

namespace kestra::panel {

class CPanelSetupDlg;

class CPanoraInterfaceDlg : public QDialog {
  public:
    explicit CPanoraInterfaceDlg(QWidget* parent = nullptr);
    ~CPanoraInterfaceDlg() override;

    // Starts listening; false when another Panora already serves this user.
    bool Listen();
    // Panora started by a person, not by a project editor, would wait unseen for a request
    // that never comes: when no editor has connected `waitMs` after this call, a note says how
    // Panora is started, and closing it ends the program. A request that comes while the note
    // shows takes it away and is served.
    void TellWhenAlone(int waitMs);
    const QString& ProgramFolder() const { return m_programFolder; }

    // Called with the sheet before it runs (the scripted runs of tests use it).
    std::function<void(CPanelSetupDlg&)> onSheet;
    // Ends the program (after a request is answered, or the note closes).
    std::function<void()> onEnd;

  private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);
    void Serve(QLocalSocket* socket, const Frame& frame);
    void SendIdle();
    void OnHelp();
    void CloseHelp();

    QLocalServer m_server;
    std::map<QLocalSocket*, std::unique_ptr<FrameReader>> m_readers;
    QPointer<QLocalSocket> m_editor;
    QPointer<CPanelSetupDlg> m_sheet;
    bool m_serving = false;
    QString m_programFolder;
    QElapsedTimer m_sinceIdle;
    bool m_editorCame = false;  // a project editor has connected
    bool m_helpShown = false;   // the help window was asked for during this request
    QPointer<QMessageBox> m_aloneNote;
};

// Posts the help message to the help stub, starting it when it is not running; a place, when
// given, goes first.
bool SendHelpRequest(const QString& programFolder, const std::optional<HelpPlace>& place = {});
// Tells a running help stub to close; false when none runs.
bool SendHelpClose();

// What Panora says when a person starts it without a project editor.
inline constexpr const char* kAloneNote =
    "Panora is the panel setup program of the Kestra panel tools. It has no window of its "
    "own: a project editor starts it to set up the panel of a project, and it shows the "
    "\"Panel Setup\" sheet for that request.\n\nTo set up a panel, open the project in "
    "Kestra Workbench and choose Project > Panel Setup.\n\nTo try the sheet without a "
    "project, run panora-request.";

}  // namespace kestra::panel
