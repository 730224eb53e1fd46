// Long work away from the user-interface thread, behind a modal progress dialog.
//
// The libraries are not re-entrant and keep shared buffers: while the work calls them on its
// thread, the dialog keeps the user away from every window of the program (it is
// application-modal from the start; it shows itself only when the work takes longer than a
// moment). The caller keeps its own timers (autosave) away from the libraries meanwhile.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace kestra::workbench {

// What the work tells the dialog and asks of it; called on the work's thread.
class JobProgress {
  public:
    virtual ~JobProgress() = default;
    // What is being done now.
    virtual void step(const QString& text) = 0;
    // How far it is; a total of 0 shows that it is busy without knowing how long it takes.
    virtual void advance(std::uint64_t done, std::uint64_t total) = 0;
    // Whether Cancel is offered: only where stopping leaves everything as it was.
    virtual void allowCancel(bool allowed) = 0;
    virtual bool cancelRequested() const = 0;
    // Shows the dialog at once and returns when it shows: for work that opens a window of its
    // own meanwhile, which is to come up above it.
    virtual void showNow() = 0;
    // Asks the user a Yes/No question on the user-interface thread and waits for the answer;
    // No is the default, as the questions are about work that cannot be undone.
    virtual bool confirm(const std::string& caption, const std::string& question) = 0;
};

// Runs `work` on a thread of its own behind a modal progress dialog titled `title` over
// `parent`. The libraries show no message boxes meanwhile: what they say goes into the message
// of a host::Failure the work throws, which is thrown again here (any other exception becomes
// a host::Failure with kExitInternal), or is told to the user after work that ended well.
void RunJob(QWidget* parent, const QString& title, const std::function<void(JobProgress&)>& work);

}  // namespace kestra::workbench
