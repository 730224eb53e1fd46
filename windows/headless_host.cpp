// The headless window host: scripted dialogs and message boxes, a manual clock.
#include "windows/window_host.h"
#include "windows/window_object.h"

namespace kestra::platform {

HeadlessHost::HeadlessHost()
    : previousHost_(SetWindowHost(this)),
      previousPresenter_(SetMessageBoxPresenter(
          [this](HWND owner, std::string_view text, std::string_view caption, UINT type) {
              return present(owner, text, caption, type);
          })),
      previousClock_(SetClock(&clock_)) {}

HeadlessHost::~HeadlessHost() {
    SetClock(previousClock_);
    SetMessageBoxPresenter(previousPresenter_);
    SetWindowHost(previousHost_);
}

int HeadlessHost::present(HWND owner, std::string_view text, std::string_view caption, UINT type) {
    boxes_.push_back({owner, std::string(text), std::string(caption), type});
    if (answers_.empty()) return DefaultButton(type);
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void HeadlessHost::answerMessageBoxes(std::vector<int> answers) {
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void HeadlessHost::script(DialogStep step) {
    steps_.push_back(std::move(step));
}

void HeadlessHost::advance(std::uint32_t milliseconds) {
    std::uint32_t target = clock_.tickCount() + milliseconds;
    for (;;) {
        auto due = NextTimerDue();
        std::uint32_t now = clock_.tickCount();
        if (!due || static_cast<std::int32_t>(*due - target) > 0) break;
        if (static_cast<std::int32_t>(*due - now) > 0) clock_.advance(*due - now);
        FireDueTimers();
        DispatchPostedMessages();
    }
    clock_.advance(target - clock_.tickCount());
}

void HeadlessHost::runModal(HWND dialog) {
    modal_.push_back(dialog);
    while (IsWindow(dialog) && !dialog->ended) {
        DispatchPostedMessages();
        if (!IsWindow(dialog) || dialog->ended) break;
        if (steps_.empty()) {
            ++unscriptedCloses_;
            SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            DispatchPostedMessages();
            if (IsWindow(dialog) && !dialog->ended) EndDialog(dialog, -1);
            break;
        }
        DialogStep step = std::move(steps_.front());
        steps_.pop_front();
        step(dialog);
    }
    modal_.pop_back();
}

void HeadlessHost::destroyed(HWND window) {
    outside_.erase(window);
}

Surface* HeadlessHost::windowSurface(HWND window) {
    return &outside_[window];
}

std::unique_ptr<Surface> HeadlessHost::bitmapSurface(HBITMAP bitmap) {
    return detail::MakeBitmapSurface(bitmap);
}

SIZE HeadlessHost::dialogBaseUnits(const char*, int) {
    return {6, 13};
}

std::vector<CanvasOp> HeadlessHost::paint(HWND window) {
    RecordingSurface surface;
    PaintWindow(window, surface);
    return std::move(surface.ops);
}

std::vector<CanvasOp> HeadlessHost::takeDrawnOutsidePaint(HWND window) {
    auto found = outside_.find(window);
    if (found == outside_.end()) return {};
    return std::exchange(found->second.ops, {});
}

}  // namespace kestra::platform
