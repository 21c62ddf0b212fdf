// Delivers link and job events to a GUI-thread receiver: posted, or waited for when asked.
#pragma once

#include "protocol/event_sink.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

namespace fenno {

struct DeviceEvent {
    int id = 0;
    intptr_t w = 0;
    intptr_t l = 0;
    QString text; // kEvDeviceError only
};

class QtEventSink : public EventSink {
  public:
    using Handler = std::function<void(const DeviceEvent&)>;

    // handler runs on receiver's thread. The receiver must outlive every thread that may call
    // the sink (the Device's links and jobs are joined first); events still queued when the
    // receiver is destroyed are dropped by Qt.
    QtEventSink(QObject* receiver, Handler handler);

    void Post(int id, intptr_t w, intptr_t l) override;
    // From another thread this blocks until the GUI has handled the event. The GUI thread must
    // therefore never wait without a bound on the calling thread.
    void Send(int id, intptr_t w, intptr_t l) override;
    void PostText(int id, const std::string& text) override;

    // From now on events are dropped and senders return at once (the program is ending).
    void Close() { m_closed = true; }

  private:
    void Deliver(DeviceEvent event, Qt::ConnectionType type);

    QObject* m_receiver;
    std::atomic<bool> m_closed{false};
    Handler m_handler;
};

} // namespace fenno
