#include "app/qt_event_sink.h"

#include <QMetaObject>
#include <QThread>

namespace fenno {

QtEventSink::QtEventSink(QObject* receiver, Handler handler)
    : m_receiver(receiver), m_handler(std::move(handler)) {}

void QtEventSink::Deliver(DeviceEvent event, Qt::ConnectionType type) {
    if (m_closed) return;
    // The handler is copied so that a queued event never refers back to the sink.
    QMetaObject::invokeMethod(
        m_receiver, [handler = m_handler, event = std::move(event)] { handler(event); }, type);
}

void QtEventSink::Post(int id, intptr_t w, intptr_t l) {
    Deliver({id, w, l, {}}, Qt::QueuedConnection);
}

void QtEventSink::Send(int id, intptr_t w, intptr_t l) {
    if (m_closed) return;
    if (QThread::currentThread() == m_receiver->thread()) {
        m_handler({id, w, l, {}});
        return;
    }
    Deliver({id, w, l, {}}, Qt::BlockingQueuedConnection);
}

void QtEventSink::PostText(int id, const std::string& text) {
    Deliver({id, 0, 0, QString::fromStdString(text)}, Qt::QueuedConnection);
}

} // namespace fenno
