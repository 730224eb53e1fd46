// The progress display of the card device service: a thread of its own that shows the
// running operation on the terminal (percentage, bytes, rate, time left) while the card work
// runs on the caller's thread.
//
// CThreadSync is how a caller waits for the display thread: the thread holds it locked while
// it runs; WaitToUnlock(true) tells it that no more work comes and returns once it has shown
// what was left and unlocked.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "card_service/progress.h"
#include "platform/message_box.h"

class CThreadSync {
  public:
    void Lock();
    void Unlock();
    bool IsLocked() const;
    // Returns true once the holder has unlocked. With `endWork`, first asks it to finish.
    bool WaitToUnlock(bool endWork);

    // For the holder: whether it was asked to finish.
    bool EndRequested() const;
    // For the holder: waits until notified, asked to finish, or `timeout` passed.
    void WaitForWork(std::chrono::milliseconds timeout);
    void Notify();

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool locked_ = false;
    bool endRequested_ = false;
    bool notified_ = false;
};

namespace kestra::card {

class TerminalProgress : public ProgressSink {
  public:
    // Draws on `out`: a line redrawn in place on a terminal; elsewhere (a file, a pipe) one
    // line when each task ends. `show` false keeps the thread but draws nothing.
    TerminalProgress(std::FILE* out, bool show);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void start();
    bool started() const { return thread_.joinable(); }
    CThreadSync& sync() { return sync_; }

    // Ends the line on the terminal before something else is written there: a task that
    // ended is shown as ended, a line still being redrawn is closed with a line end (and
    // redrawn on a line of its own). Message boxes do this themselves while the display runs.
    void settle();

    void begin(std::string_view task, std::uint64_t totalBytes) override;
    void advance(std::uint64_t doneBytes) override;
    void end(bool completed) override;

  private:
    struct Task {
        std::string name;
        std::uint64_t total = 0;
        std::uint64_t done = 0;
        std::chrono::steady_clock::time_point started;
        std::chrono::steady_clock::time_point finishedAt;
        bool active = false;
        bool finished = false;  // ended and not yet drawn as ended
        bool completed = false;
    };
    void run();
    void draw(const Task& task, bool final);

    std::FILE* out_;
    bool show_;
    bool interactive_;
    std::mutex mutex_;
    Task task_;
    std::size_t drawnWidth_ = 0;
    bool running_ = false;  // the thread draws; guarded by mutex_
    CThreadSync sync_;
    std::thread thread_;
    kestra::platform::MessageBoxPresenter previousPresenter_;
    bool presenterInstalled_ = false;
};

}  // namespace kestra::card
