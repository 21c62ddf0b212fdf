// Everything the device sends lands here: stores, status fields, the reply event, GUI events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/frame_codec.h"

namespace fenno {

struct ParamStore;
struct DeviceState;
struct LinkState;
class EventSink;

// Text answers carry at most this many bytes from p[2] on.
inline constexpr size_t kMaxTextReply = 58;

struct DispatcherHooks {
    // Starts the "Delay Read SynchronizeData" job after the device loaded or restored a mode.
    std::function<void()> startReadJob;
    // Z-Wave answers (0x12) and plug memory (0x14); p[0..available-1] are valid.
    std::function<void(const uint8_t* p, size_t available)> processZwaveMsg;
    std::function<void(const uint8_t* p, size_t available)> zwaveReadMem;
};

class Dispatcher {
  public:
    Dispatcher(ParamStore& store, DeviceState& state, LinkState& link, EventSink* sink,
               DispatcherHooks hooks);

    // p[0] is ignored, p[1] is the command. L is the frame's length value on TCP (payload + 1)
    // or 61 for a USB report. Only p[0..available-1] is read.
    void DispatchReceived(const uint8_t* p, size_t L, size_t available);

    // Derives the valid length from L: 61 for a USB report, else L - 1 payload bytes.
    // A TCP frame whose L happens to be 61 then also exposes its check byte as p[60], which the
    // reassembly buffer holds; callers that know the exact count use the three-argument form.
    void DispatchReceived(const uint8_t* p, size_t L) { DispatchReceived(p, L, AvailableFor(L)); }
    static size_t AvailableFor(size_t L) { return L == kUsbReportSize ? L : (L > 0 ? L - 1 : 0); }

  private:
    class ReplySignal;
    void Dispatch(const uint8_t* p, size_t L, size_t n, ReplySignal& reply);
    void CopyImage(const uint8_t* p, size_t n);
    void CopyEqImage(const uint8_t* p, size_t n);
    void ReportError(const uint8_t* p, size_t n);
    void RemoteKey(const uint8_t* p, size_t n);
    void CopyText(char* field, size_t fieldSize, const uint8_t* p, size_t n);
    void SetVersionAndBoard(const uint8_t* p, size_t L, size_t n);

    ParamStore& m_store;
    DeviceState& m_state;
    LinkState& m_link;
    EventSink* m_sink;
    DispatcherHooks m_hooks;
};

} // namespace fenno
