// The message boxes the program shows in a test: each recorded as "caption: text" and answered
// with the next of the answers given, then with its default button.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

namespace kestra::workbench::testing {

struct ToldMessages {
    std::vector<std::string> told;  // "caption: text" of every message box shown
    std::deque<int> answers;        // the answers to give, in order; then the default button

    // What to give platform::SetMessageBoxPresenter while the test runs.
    platform::MessageBoxPresenter presenter() {
        return [this](HWND, std::string_view text, std::string_view caption, UINT type) {
            told.push_back(std::string(caption) + ": " + std::string(text));
            if (answers.empty()) return platform::DefaultButton(type);
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        };
    }
};

}  // namespace kestra::workbench::testing
