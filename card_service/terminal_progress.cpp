#include "card_service/terminal_progress.h"

#include <unistd.h>

void CThreadSync::Lock() {
    std::lock_guard lock(mutex_);
    locked_ = true;
    endRequested_ = false;
}

void CThreadSync::Unlock() {
    {
        std::lock_guard lock(mutex_);
        locked_ = false;
    }
    changed_.notify_all();
}

bool CThreadSync::IsLocked() const {
    std::lock_guard lock(mutex_);
    return locked_;
}

bool CThreadSync::WaitToUnlock(bool endWork) {
    std::unique_lock lock(mutex_);
    if (endWork) {
        endRequested_ = true;
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return !locked_; });
    return true;
}

bool CThreadSync::EndRequested() const {
    std::lock_guard lock(mutex_);
    return endRequested_;
}

void CThreadSync::WaitForWork(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return notified_ || endRequested_; });
    notified_ = false;
}

void CThreadSync::Notify() {
    {
        std::lock_guard lock(mutex_);
        notified_ = true;
    }
    changed_.notify_all();
}

namespace kestra::card {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

TerminalProgress::TerminalProgress(std::FILE* out, bool show)
    : out_(out), show_(show), interactive_(out && isatty(fileno(out))) {}

TerminalProgress::~TerminalProgress() {
    if (presenterInstalled_) kestra::platform::SetMessageBoxPresenter(previousPresenter_);
    if (thread_.joinable()) {
        sync_.WaitToUnlock(true);
        thread_.join();
    }
}

void TerminalProgress::start() {
    if (thread_.joinable()) return;
    sync_.Lock();
    running_ = true;
    thread_ = std::thread([this] { run(); });
    // A message shown while the display runs starts on a line of its own.
    auto previous = kestra::platform::SetMessageBoxPresenter({});
    previousPresenter_ = previous;
    presenterInstalled_ = true;
    kestra::platform::SetMessageBoxPresenter(
        [this, previous](HWND owner, std::string_view text, std::string_view caption, UINT type) {
            settle();
            return previous ? previous(owner, text, caption, type)
                            : kestra::platform::ShowOnStandardError(owner, text, caption, type);
        });
}

void TerminalProgress::settle() {
    std::lock_guard lock(mutex_);
    if (task_.finished) {
        draw(task_, true);
        task_.finished = false;
    } else if (interactive_ && show_ && out_ && drawnWidth_ > 0) {
        std::fputs("\n", out_);
        std::fflush(out_);
        drawnWidth_ = 0;
    }
}

void TerminalProgress::begin(std::string_view task, std::uint64_t totalBytes) {
    {
        std::lock_guard lock(mutex_);
        // A task that ended is shown as ended before the next one begins.
        if (task_.finished) draw(task_, true);
        task_ = Task{std::string(task),
                     totalBytes,
                     0,
                     std::chrono::steady_clock::now(),
                     {},
                     true,
                     false,
                     false};
    }
    sync_.Notify();
}

void TerminalProgress::advance(std::uint64_t doneBytes) {
    std::lock_guard lock(mutex_);
    task_.done = doneBytes;
}

void TerminalProgress::end(bool completed) {
    {
        std::lock_guard lock(mutex_);
        task_.active = false;
        task_.finished = true;
        task_.completed = completed;
        task_.finishedAt = std::chrono::steady_clock::now();
        if (!running_) {
            draw(task_, true);
            task_.finished = false;
        }
    }
    sync_.Notify();
}

// Called with mutex_ held.
void TerminalProgress::draw(const Task& task, bool final) {
    if (!show_ || !out_) return;
    const auto now = final ? task.finishedAt : std::chrono::steady_clock::now();
    std::string line = FormatProgressLine(task.name, task.done, task.total,
                                          Seconds(now - task.started), final && task.completed);
    if (final && !task.completed) line += " - stopped";
    if (interactive_) {
        const std::size_t width = line.size();
        if (line.size() < drawnWidth_) line.append(drawnWidth_ - line.size(), ' ');
        drawnWidth_ = final ? 0 : width;
        std::fprintf(out_, "\r%s%s", line.c_str(), final ? "\n" : "");
    } else if (final) {
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
}

void TerminalProgress::run() {
    for (;;) {
        sync_.WaitForWork(kRedrawInterval);
        bool idle = false;
        {
            std::lock_guard lock(mutex_);
            if (task_.finished) {
                draw(task_, true);
                task_.finished = false;
            } else if (task_.active) {
                draw(task_, false);
            }
            idle = !task_.active;
            if (idle && sync_.EndRequested()) running_ = false;
        }
        if (idle && sync_.EndRequested()) break;
    }
    sync_.Unlock();
}

}  // namespace kestra::card
