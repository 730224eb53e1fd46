// The help stub's window and the place message that tells it where to go.
#include "panel_setup/help_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <cstring>

#include "panel_setup/setup_channel.h"
#include "platform/records.h"
#include "support/temp_folder.h"

namespace kestra::panel {
namespace {

std::vector<std::uint8_t> Bytes(const QByteArray& frame) {
    // The frame's bytes after its header.
    return {frame.begin() + kFrameHeaderSize, frame.end()};
}

TEST(HelpPlaceMessage, RoundTripsAndRefusesWhatDoesNotFit) {
    const HelpPlace place{-40, 120, 700, 560, "external-devices"};
    const QByteArray frame = EncodeHelpPlace(place);
    EXPECT_EQ(ReadLe32(reinterpret_cast<const std::uint8_t*>(frame.constData())), 1225u);
    EXPECT_EQ(frame.size(), static_cast<qsizetype>(kFrameHeaderSize + 16 + 16));
    EXPECT_EQ(DecodeHelpPlace(Bytes(frame)), place);

    // A topic that cannot be an anchor name is not sent.
    EXPECT_EQ(DecodeHelpPlace(Bytes(EncodeHelpPlace({1, 2, 3, 4, "a b"})))->topic, "");

    struct Bad {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    auto fixed = [](std::int32_t l, std::int32_t t, std::int32_t w, std::int32_t h,
                    const std::string& topic = "") {
        std::vector<std::uint8_t> b(16);
        const std::int32_t v[] = {l, t, w, h};
        for (int i = 0; i < 4; ++i) WriteLe32(&b[i * 4], static_cast<std::uint32_t>(v[i]));
        b.insert(b.end(), topic.begin(), topic.end());
        return b;
    };
    const Bad bad[] = {
        {"short", std::vector<std::uint8_t>(15)},
        {"no width", fixed(0, 0, 0, 10)},
        {"negative height", fixed(0, 0, 10, -1)},
        {"huge width", fixed(0, 0, kMaxHelpPlaceSide + 1, 10)},
        {"far left", fixed(INT32_MIN, 0, 10, 10)},
        {"far down", fixed(0, INT32_MAX, 10, 10)},
        {"topic with a zero", fixed(0, 0, 10, 10, std::string("net\0work", 8))},
        {"topic too long", fixed(0, 0, 10, 10, std::string(kMaxHelpTopic + 1, 'a'))},
    };
    for (const Bad& b : bad) EXPECT_FALSE(DecodeHelpPlace(b.bytes)) << b.what;
    EXPECT_TRUE(DecodeHelpPlace(fixed(0, 0, 10, 10, std::string(kMaxHelpTopic, 'a'))));
}

TEST(HelpWindowPlace, BesideTheSheetWhereThereIsRoom) {
    const QRect screen(0, 0, 1280, 1024);
    const QSize size(400, 500);
    struct Case {
        const char* what;
        QRect sheet;
        QRect expected;
    };
    const Case cases[] = {
        {"right", QRect(100, 100, 600, 500), QRect(708, 100, 400, 500)},
        {"left", QRect(700, 200, 500, 400), QRect(292, 200, 400, 500)},
        {"narrowed on the right", QRect(300, 50, 600, 500), QRect(908, 50, 372, 500)},
        {"narrowed on the left", QRect(390, 50, 600, 500), QRect(0, 50, 382, 500)},
        {"over the sheet", QRect(200, 50, 900, 500), QRect(0, 50, 300, 500)},
        {"moved up to stay on the screen", QRect(0, 800, 600, 200), QRect(608, 524, 400, 500)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceBeside(c.sheet, size, screen, 300), c.expected) << c.what;
    // Never larger than the screen.
    EXPECT_EQ(PlaceBeside(QRect(0, 0, 100, 100), QSize(2000, 2000), QRect(0, 0, 800, 600), 300),
              QRect(108, 0, 692, 600));
}

class HelpWindowTest : public ::testing::Test {
  protected:
    // A page long enough to scroll, with the topic "far" at its end.
    std::string Page() {
        std::string html = "<html><head><title>Setup Help Page</title></head><body>";
        for (int i = 0; i < 80; ++i) html += "<p>Paragraph " + std::to_string(i) + "</p>";
        html += "<h3><a name=\"far\"></a>Far Topic</h3><p>The end.</p></body></html>";
        return folder.write("help.html", html);
    }
    testing::TempFolder folder;
};

TEST_F(HelpWindowTest, TitledAfterItsPageBesideTheSheetAtTheTopic) {
    HelpWindow window(QString::fromStdString(Page()));
    window.SetPlace({20, 30, 300, 400, "far"});
    window.Show();
    EXPECT_EQ(window.windowTitle(), "Setup Help Page");
    EXPECT_TRUE(window.isVisible());
    EXPECT_GE(window.frameGeometry().left(), 20 + 300 + HelpWindow::kGap);
    EXPECT_EQ(window.frameGeometry().top(), 30);
    // The topic's heading is inside the visible part of the page.
    const QTextCursor heading = window.document()->find("Far Topic");
    ASSERT_FALSE(heading.isNull());
    const QRect where = window.cursorRect(heading);
    EXPECT_GT(window.verticalScrollBar()->value(), 0);
    EXPECT_TRUE(window.viewport()->rect().contains(where)) << where.y();

    window.SetPlace({20, 30, 300, 400, ""});  // no topic: the top of the page
    window.Show();
    EXPECT_EQ(window.verticalScrollBar()->value(), 0);
}

TEST_F(HelpWindowTest, AMissingPageSaysSo) {
    HelpWindow window(QString::fromStdString(folder.file("none.html")));
    window.Show();
    EXPECT_EQ(window.windowTitle(), "Panel Setup Help");
    EXPECT_TRUE(window.toPlainText().contains("is missing"));
}

}  // namespace
}  // namespace kestra::panel
