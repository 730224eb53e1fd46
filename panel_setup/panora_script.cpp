#include "panel_setup/panora_script.h"

#include <QTabWidget>
#include <QTimer>
#include <vector>

#include "panel_setup/setup_pages.h"
#include "platform/message_box.h"

namespace kestra::panel {
namespace {

struct ScriptState {
    std::vector<std::string> steps;
    std::size_t next = 0;
    int answer = IDYES;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        auto end = text.find(separator, pos);
        if (end == std::string::npos) end = text.size();
        if (end > pos) parts.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

void RunStep(CPanelSetupDlg& sheet, ScriptState& state, const std::string& step) {
    const auto eq = step.find('=');
    const std::string verb = step.substr(0, eq);
    const std::string arg = eq == std::string::npos ? "" : step.substr(eq + 1);
    auto* model = static_cast<CPanelModelPpg*>(sheet.Page(372));
    auto* settings = static_cast<CPanelDisplayPpg*>(sheet.Page(374));
    auto* misc = static_cast<CPanelMiscPpg*>(sheet.Page(378));
    auto* network = static_cast<CPanelNetworkPpg*>(sheet.Page(379));
    if (verb == "tab") {
        sheet.Tabs()->setCurrentIndex(std::stoi(arg));
    } else if (verb == "grab") {
        sheet.grab().save(QString::fromStdString(arg));
    } else if (verb == "answer") {
        state.answer = arg == "no" ? IDNO : IDYES;
    } else if (verb == "model") {
        auto items = model->models->findItems(QString::fromStdString(arg), Qt::MatchExactly);
        if (!items.empty()) model->models->setCurrentItem(items.front());
    } else if (verb == "version") {
        model->versions->setCurrentIndex(model->versions->findData(std::stoi(arg)));
    } else if (verb == "item") {
        const auto parts = Split(arg, ',');
        if (auto* item = settings->ItemFor(std::stoi(parts.at(0))))
            item->setCheckState(parts.at(1) == "on" ? Qt::Checked : Qt::Unchecked);
    } else if (verb == "network" && network) {
        network->enable->setChecked(arg == "on");
    } else if (verb == "clock" && network) {
        network->clockSync->setChecked(arg == "on");
    } else if (verb == "password") {
        misc->password->setText(QString::fromStdString(arg));
    } else if (verb == "help") {
        sheet.ShowHelp();
    } else if (verb == "ok") {
        sheet.accept();
    } else if (verb == "cancel") {
        sheet.reject();
    }
}

// Runs one step every 50 ms; lives as long as the sheet.
class ScriptRunner : public QObject {
  public:
    ScriptRunner(CPanelSetupDlg& sheet, const std::string& script)
        : QObject(&sheet), m_sheet(sheet) {
        m_state.steps = Split(script, ';');
        platform::SetMessageBoxPresenter(
            [this](HWND, std::string_view, std::string_view, UINT type) {
                const UINT buttons = type & MB_TYPEMASK;
                if (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) return m_state.answer;
                if (buttons == MB_OKCANCEL) return m_state.answer == IDYES ? IDOK : IDCANCEL;
                return IDOK;
            });
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_state.next >= m_state.steps.size()) return m_timer.stop();
            RunStep(m_sheet, m_state, m_state.steps[m_state.next++]);
        });
        m_timer.start();
    }
    ~ScriptRunner() override { platform::SetMessageBoxPresenter({}); }

  private:
    CPanelSetupDlg& m_sheet;
    ScriptState m_state;
    QTimer m_timer;
};

}  // namespace

void RunSheetScript(CPanelSetupDlg& sheet, const std::string& script) {
    new ScriptRunner(sheet, script);  // owned by the sheet
}

}  // namespace kestra::panel
