// Panora's interface window: never shown, it waits on the local server for the project
// editor's setup request, runs the setup sheet, answers and ends the program.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLocalServer>
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
    const QString& ProgramFolder() const { return m_programFolder; }

    // Called with the sheet before it runs (the scripted runs of tests use it).
    std::function<void(CPanelSetupDlg&)> onSheet;

  private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);
    void Serve(QLocalSocket* socket, const Frame& frame);
    void SendIdle();
    void OnHelp();

    QLocalServer m_server;
    std::map<QLocalSocket*, std::unique_ptr<FrameReader>> m_readers;
    QPointer<QLocalSocket> m_editor;
    QPointer<CPanelSetupDlg> m_sheet;
    bool m_serving = false;
    QString m_programFolder;
    QElapsedTimer m_sinceIdle;
};

// Posts the help message to the help stub, starting it when it is not running; a place, when
// given, goes first.
bool SendHelpRequest(const QString& programFolder, const std::optional<HelpPlace>& place = {});

}  // namespace kestra::panel
