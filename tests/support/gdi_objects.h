// Drawing tests end with as many live GDI objects (brushes, pens, fonts, bitmaps that are not
// stock objects) as they began with: whatever a test or the code under test made, it deleted.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "windows/canvas.h"

namespace kestra::testing {

class DrawingTest : public ::testing::Test {
  protected:
    void SetUp() override { liveAtStart_ = platform::LiveGdiObjects(); }
    void TearDown() override {
        EXPECT_EQ(platform::LiveGdiObjects(), liveAtStart_) << "GDI objects left behind";
    }

  private:
    std::size_t liveAtStart_ = 0;
};

}  // namespace kestra::testing
