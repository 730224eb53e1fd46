// What the keyboard editor's tests share: a Qt application for painting, recorded message
// boxes, and an independent packer of palette indexes.
#pragma once

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace clavon::testing {

// Records every message box and answers it with the next of `answers`, or with its default
// button when none is left.
class MessageLog {
  public:
    MessageLog() {
        previous_ = kestra::platform::SetMessageBoxPresenter(
            [this](HWND, std::string_view text, std::string_view, UINT type) {
                texts.emplace_back(text);
                types.push_back(type);
                if (answers.empty()) return kestra::platform::DefaultButton(type);
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            });
    }
    ~MessageLog() { kestra::platform::SetMessageBoxPresenter(previous_); }
    void clear() {
        texts.clear();
        types.clear();
    }
    std::vector<std::string> texts;
    std::vector<UINT> types;
    std::deque<int> answers;

  private:
    kestra::platform::MessageBoxPresenter previous_;
};

// Rows of palette indexes packed as the panel wants them: most significant bits first, each
// row padded to a byte.
inline std::vector<std::uint8_t> PackIndexes(const std::vector<std::vector<int>>& rows, int bpp) {
    std::vector<std::uint8_t> out;
    for (const auto& row : rows) {
        std::vector<std::uint8_t> bytes((row.size() * static_cast<std::size_t>(bpp) + 7) / 8, 0);
        for (std::size_t x = 0; x < row.size(); ++x) {
            const std::size_t bit = x * static_cast<std::size_t>(bpp);
            bytes[bit / 8] |= static_cast<std::uint8_t>(row[x] << (8 - bpp - bit % 8));
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

inline void Le16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Le32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Le16(out, v & 0xFFFF);
    Le16(out, v >> 16);
}

}  // namespace clavon::testing

// One Qt application for the whole test program (fonts and painting need one).
class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "keyboard-tests";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance()) app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QGuiApplication> app_;
};
