// How a viewer or a tree tells its owner what happened: notification records sent as Qt events
// to the owner window (or, when no owner was named, to the parent of the window the socket is
// attached to). The owner handles KXCNotifyEvent in its event() and may set an answer.
#pragma once

#include <QEvent>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/win_types.h"

// Notification codes of the viewers, the trees and the filter combo.
inline constexpr UINT kNotifyViewerActivated = 1001;
inline constexpr UINT kNotifyViewerDeactivated = 1002;
inline constexpr UINT kNotifyContextMenu = 1003;
inline constexpr UINT kNotifyFilterChanged = 1001;
inline constexpr UINT kNotifyFileSelected = 33768;
inline constexpr UINT kNotifyBeginDrag = 33769;
inline constexpr UINT kNotifyRightClick = 33770;
// The notification message, and the message a socket sends to its owner when it is plugged in.
inline constexpr UINT kNotifyMessage = 0x004E;
inline constexpr UINT kSocketPlugInMessage = 41777;

struct KXCNotifyHeader {
    QWidget* hwndFrom = nullptr;
    UINT idFrom = 0;
    UINT code = 0;
    void* item = nullptr;  // the viewer, or the tree item, or the combo item's data
    QPoint pos;            // screen position for context requests
    QString path;          // the file of a tree notification
};

class KXCNotifyEvent : public QEvent {
  public:
    static QEvent::Type Type();
    KXCNotifyEvent(UINT message, const KXCNotifyHeader& header, WPARAM w = 0)
        : QEvent(Type()), message(message), header(header), wParam(w) {}
    UINT message;  // WM_NOTIFY, or the message of SendMsg / PlugInTo
    KXCNotifyHeader header;
    WPARAM wParam;
    LRESULT result = 0;
};

class CWndSocket {
  public:
    void Attach(QWidget* window) { m_attached = window; }
    // Names the owner, and tells it (message 41777, the attached window as the word parameter).
    void PlugInTo(QWidget* owner);
    QWidget* GetOwner() const { return m_owner; }
    // Sends the notification; 0 when there is nobody to tell.
    LRESULT Notify(const KXCNotifyHeader& header);
    // Sends any message the same way; -1 when there is nobody to tell.
    LRESULT SendMsg(UINT message, WPARAM w, const KXCNotifyHeader& header = {});

  private:
    QWidget* Target() const;
    QPointer<QWidget> m_attached;
    QPointer<QWidget> m_owner;
};
