// Progress of long card operations.
//
// The file system reports what it is doing to a progress sink: a task with its size in bytes,
// the bytes done so far, and its end. ProgressScope ends a task also when an error leaves it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestra::card {

class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void begin(std::string_view task, std::uint64_t totalBytes) = 0;
    virtual void advance(std::uint64_t doneBytes) = 0;
    virtual void end(bool completed) = 0;
};

class ProgressScope {
  public:
    ProgressScope(ProgressSink* sink, std::string_view task, std::uint64_t totalBytes)
        : sink_(sink) {
        if (sink_) sink_->begin(task, totalBytes);
    }
    ~ProgressScope() {
        if (sink_) sink_->end(completed_);
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

    void advance(std::uint64_t doneBytes) {
        if (sink_) sink_->advance(doneBytes);
    }
    void complete() { completed_ = true; }

  private:
    ProgressSink* sink_;
    bool completed_ = false;
};

// One line of the terminal display: "<task>: 42% 1761607/4194304 bytes, 120.5 KB/s, 0:20 left".
std::string FormatProgressLine(std::string_view task, std::uint64_t done, std::uint64_t total,
                               double elapsedSeconds, bool finished);

}  // namespace kestra::card
