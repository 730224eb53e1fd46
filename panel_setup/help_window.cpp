#include "panel_setup/help_window.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

namespace kestra::panel {
namespace {

const char* const kFallbackTitle = "Panel Setup Help";

QString MissingPage(const QString& path) {
    return QString(
               "<html><head><title>%1</title></head><body><h2>Panel Setup</h2><p>The help "
               "page %2 is missing. Reinstall the panel setup program.</p></body></html>")
        .arg(kFallbackTitle, path.toHtmlEscaped());
}

}  // namespace

QRect PlaceBeside(const QRect& sheet, QSize size, const QRect& screen, int minWidth) {
    const int width = std::min(size.width(), screen.width());
    const int height = std::min(size.height(), screen.height());
    const int gap = HelpWindow::kGap;
    const int roomRight = screen.right() - sheet.right() - gap;
    const int roomLeft = sheet.left() - screen.left() - gap;
    int left;
    int placedWidth = width;
    if (roomRight >= width) {
        left = sheet.right() + 1 + gap;
    } else if (roomLeft >= width) {
        left = sheet.left() - gap - width;
    } else {
        const bool right = roomRight >= roomLeft;
        const int room = right ? roomRight : roomLeft;
        placedWidth = std::max(room, std::min(minWidth, width));
        if (room >= placedWidth)  // narrowed, it still fits beside the sheet
            left = right ? sheet.right() + 1 + gap : sheet.left() - gap - placedWidth;
        else  // against the screen's edge, over part of the sheet
            left = right ? screen.right() + 1 - placedWidth : screen.left();
    }
    const int top = std::clamp(sheet.top(), screen.top(), screen.bottom() + 1 - height);
    return QRect(left, top, placedWidth, height);
}

HelpWindow::HelpWindow(QString pagePath) : m_pagePath(std::move(pagePath)) {
    setObjectName("HHLP");
    setOpenExternalLinks(true);
    setWindowTitle(kFallbackTitle);
    resize(kPreferredSize);
}

void HelpWindow::Show() {
    QFile file(m_pagePath);
    setHtml(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                           : MissingPage(m_pagePath));
    const QString title = document()->metaInformation(QTextDocument::DocumentTitle);
    setWindowTitle(title.isEmpty() ? kFallbackTitle : title);
    if (m_place) {
        const QRect sheet(m_place->left, m_place->top, m_place->width, m_place->height);
        QScreen* screen = QGuiApplication::screenAt(sheet.center());
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (screen) {
            // The window manager adds a frame around the client area; keep room for it.
            const QSize frame = frameGeometry().size() - geometry().size();
            const QRect placed =
                PlaceBeside(sheet, kPreferredSize + frame, screen->availableGeometry(),
                            kMinWidth + frame.width());
            resize(placed.size() - frame);
            move(placed.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
    if (m_place && !m_place->topic.empty())
        scrollToAnchor(QString::fromStdString(m_place->topic));
    else
        verticalScrollBar()->setValue(0);
}

}  // namespace kestra::panel
