// The help stub's window: the panel setup help page in a text browser, titled after the page,
// placed beside the setup sheet and opened at the topic of the sheet's current page.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QTextBrowser>
#include <optional>

#include "panel_setup/setup_channel.h"

namespace kestra::panel {

// Where a window of `size` goes beside `sheet` on `screen`: to the right of the sheet when it
// fits there, else to the left, else on the side with more room, narrowed to that room down to
// `minWidth` and overlapping the sheet when even that does not fit. Its top is the sheet's,
// moved up as far as needed to keep it on the screen; it is never larger than the screen.
QRect PlaceBeside(const QRect& sheet, QSize size, const QRect& screen, int minWidth);

class HelpWindow : public QTextBrowser {
  public:
    static constexpr int kGap = 8;         // between the sheet and the help window
    static constexpr int kMinWidth = 300;  // narrowest the window gets to stay beside the sheet
    static constexpr QSize kPreferredSize{560, 560};

    // `pagePath` is the help page's file.
    explicit HelpWindow(QString pagePath);

    // Where the next Show puts the window and which topic it opens.
    void SetPlace(const HelpPlace& place) { m_place = place; }
    // Loads the page, titles the window after it, places it and opens the topic.
    void Show();

  private:
    QString m_pagePath;
    std::optional<HelpPlace> m_place;
};

}  // namespace kestra::panel
