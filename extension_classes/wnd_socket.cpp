#include "extension_classes/wnd_socket.h"

#include <QCoreApplication>

QEvent::Type KXCNotifyEvent::Type() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void CWndSocket::PlugInTo(QWidget* owner) {
    m_owner = owner;
    if (!owner) return;
    KXCNotifyHeader header;
    header.hwndFrom = m_attached;
    KXCNotifyEvent event(kSocketPlugInMessage, header, reinterpret_cast<WPARAM>(m_attached.data()));
    QCoreApplication::sendEvent(owner, &event);
}

QWidget* CWndSocket::Target() const {
    if (m_owner) return m_owner;
    return m_attached ? m_attached->parentWidget() : nullptr;
}

LRESULT CWndSocket::Notify(const KXCNotifyHeader& header) {
    QWidget* target = Target();
    if (!target) return 0;
    KXCNotifyEvent event(kNotifyMessage, header);
    QCoreApplication::sendEvent(target, &event);
    return event.result;
}

LRESULT CWndSocket::SendMsg(UINT message, WPARAM w, const KXCNotifyHeader& header) {
    QWidget* target = Target();
    if (!target) return -1;
    KXCNotifyEvent event(message, header, w);
    QCoreApplication::sendEvent(target, &event);
    return event.result;
}
