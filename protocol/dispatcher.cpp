#include "protocol/dispatcher.h"

#include "link/debug_output.h"
#include "link/link_state.h"
#include "protocol/device_state.h"
#include "protocol/event_sink.h"
#include "protocol/param_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace fenno {

namespace {

enum Command : uint8_t {
    kCmdModeLoaded = 0x05,
    kCmdFactoryRestored = 0x06,
    kCmdCurrentMode = 0x07,
    kCmdParamAck = 0x09,
    kCmdParamError = 0x0A,
    kCmdStatus = 0x0E,
    kCmdZwave = 0x12,
    kCmdZwaveMemory = 0x14,
    kCmdImageRead = 0x30,
    kCmdImageWriteAck = 0x31,
    kCmdImageWriteDone = 0x32,
    kCmdRemoteKey = 0x60,
    kCmdRemoteTable = 0x62,
    kCmdDspVersion = 0x7E,
    kCmdCommandVersion = 0x7F,
    kCmdModelName = 0x80,
    kCmdMcuVersion = 0x81,
    kCmdEqImage = 0x86,
    kCmdMachineSettings = 0x92,
};

constexpr size_t kArgs = 2;
// hi lo n, then the data
constexpr size_t kBlockData = 5;
constexpr int kModeCount = 4;
constexpr size_t kRemoteTableReply = 16;
// A 0x7F answer carries board codes only when its length value is above this.
constexpr size_t kBoardCodeMinLength = 8;
constexpr size_t kBoardCodeAt = 4;
constexpr size_t kBoardHalfAt = 8;
constexpr size_t kPitchAt = 9;
constexpr int kPitchBias = 5;

// Bytes of a "hi lo n data" block that both arrived and fit below the target's end.
size_t BlockCount(const uint8_t* p, size_t avail, size_t offset, size_t targetSize) {
    size_t count = p[4];
    count = std::min(count, avail - kBlockData);
    return offset < targetSize ? std::min(count, targetSize - offset) : 0;
}

} // namespace

// Signals the reply event exactly once, on whichever path the payload leaves by.
class Dispatcher::ReplySignal {
  public:
    explicit ReplySignal(AutoResetEvent& event) : m_event(event) {}
    ~ReplySignal() { Signal(); }
    ReplySignal(const ReplySignal&) = delete;
    ReplySignal& operator=(const ReplySignal&) = delete;
    void Signal() {
        if (m_done) return;
        m_done = true;
        m_event.Set();
    }

  private:
    AutoResetEvent& m_event;
    bool m_done = false;
};

Dispatcher::Dispatcher(ParamStore& store, DeviceState& state, LinkState& link, EventSink* sink,
                       DispatcherHooks hooks)
    : m_store(store), m_state(state), m_link(link), m_sink(sink), m_hooks(std::move(hooks)) {}

void Dispatcher::DispatchReceived(const uint8_t* p, size_t L, size_t available) {
    ReplySignal reply(m_link.replyEvent);
    if (!p || available < kArgs) return;
    Dispatch(p, L, available, reply);
}

void Dispatcher::Dispatch(const uint8_t* p, size_t L, size_t n, ReplySignal& reply) {
    switch (p[1]) {
    case kCmdModeLoaded:
    case kCmdFactoryRestored:
        // The read job's first send waits for this signal.
        reply.Signal();
        DebugOutput("Start thread:SynchronizeData\n");
        if (m_hooks.startReadJob) m_hooks.startReadJob();
        return;
    case kCmdCurrentMode:
        if (n > 2 && p[2] < kModeCount) m_state.currentMode = p[2];
        break;
    case kCmdParamAck:
        m_state.settingsChanged = true;
        break;
    case kCmdParamError:
        ReportError(p, n);
        break;
    case kCmdStatus: {
        std::lock_guard lock(m_state.mutex);
        const size_t count = std::min<size_t>(n - kArgs, kStatusBlockSize);
        std::memcpy(m_state.status.data(), p + kArgs, count);
        if (n > kPitchAt) m_store.musicPitch = (p[kPitchAt] >> 4) - kPitchBias;
        break;
    }
    case kCmdZwave:
        if (m_hooks.processZwaveMsg) m_hooks.processZwaveMsg(p, n);
        break;
    case kCmdZwaveMemory:
        if (m_hooks.zwaveReadMem) m_hooks.zwaveReadMem(p, n);
        break;
    case kCmdImageRead:
        CopyImage(p, n);
        break;
    case kCmdImageWriteAck:
    case kCmdImageWriteDone:
        break;
    case kCmdRemoteKey:
        RemoteKey(p, n);
        break;
    case kCmdRemoteTable: {
        std::lock_guard lock(m_state.mutex);
        std::memcpy(m_state.remoteKeys.data(), p + kArgs, std::min(n - kArgs, kRemoteTableReply));
        break;
    }
    case kCmdDspVersion:
        CopyText(m_state.info.dspVersion.data(), m_state.info.dspVersion.size(), p, n);
        break;
    case kCmdCommandVersion:
        SetVersionAndBoard(p, L, n);
        break;
    case kCmdModelName:
        CopyText(m_state.info.modelName.data(), m_state.info.modelName.size(), p, n);
        break;
    case kCmdMcuVersion:
        CopyText(m_state.info.mcuVersion.data(), m_state.info.mcuVersion.size(), p, n);
        break;
    case kCmdEqImage:
        CopyEqImage(p, n);
        break;
    case kCmdMachineSettings: {
        std::lock_guard lock(m_state.mutex);
        const size_t count = std::min<size_t>(n - kArgs, kMachineSettingsSize);
        std::memcpy(m_state.machineSettings.data(), p + kArgs, count);
        std::memcpy(m_state.machineSettingsSent.data(), p + kArgs, count);
        break;
    }
    default:
        break;
    }
}

void Dispatcher::CopyImage(const uint8_t* p, size_t n) {
    if (n < kBlockData) return;
    const size_t offset = size_t(p[2]) << 8 | p[3];
    const size_t count = BlockCount(p, n, offset, kDeviceImageSize);
    if (count) std::memcpy(m_store.image.data() + offset, p + kBlockData, count);
}

void Dispatcher::CopyEqImage(const uint8_t* p, size_t n) {
    if (n < kBlockData) return;
    const size_t offset = size_t(p[2]) << 8 | p[3];
    if (offset < size_t(kEqSectionSize)) {
        // FF FF in the first two data bytes means "no EQ records", whatever the count says.
        if (n >= kBlockData + 2 && p[5] == 0xFF && p[6] == 0xFF) {
            std::fill_n(m_store.eq.begin(), kEqSectionSize, uint8_t(0));
            return;
        }
    } else if (offset != size_t(kSurroundLevelOffset) && offset != size_t(kSurroundLayoutOffset) &&
               offset != size_t(kSurroundFloatOffset)) {
        return;
    }
    const size_t count = BlockCount(p, n, offset, kEqImageSize);
    if (count) std::memcpy(m_store.eq.data() + offset, p + kBlockData, count);
    if (offset == size_t(kSurroundLayoutOffset))
        m_store.surround = DecodeSurroundLayout(&m_store.eq[kSurroundLayoutOffset]);
}

void Dispatcher::ReportError(const uint8_t* p, size_t n) {
    auto at = [&](size_t i) -> unsigned { return i < n ? p[i] : 0; };
    const unsigned code = at(2);
    if (code == 0 || !m_sink) return;
    if (m_state.errorShown.exchange(true)) return;
    char text[128];
    std::snprintf(text, sizeof text, "参数错误,代码0x:%02X,指令1:0x%02X,指令2:0x%02X ", code, at(3),
                  at(4));
    m_sink->PostText(kEvDeviceError, text);
}

void Dispatcher::RemoteKey(const uint8_t* p, size_t n) {
    // A report cut short carries no key; inventing one would learn a wrong code.
    if (n < 5) return;
    const uint8_t t = p[2], k = p[3], v = p[4];
    {
        std::lock_guard lock(m_state.mutex);
        m_state.remoteKeys[0] = t;
        if (k < kRemoteKeyTableSize) m_state.remoteKeys[k] = v;
    }
    // Not under the lock: the GUI reads the table while handling the event.
    if (m_sink) m_sink->Send(kEvRemoteKey, v, 0);
}

void Dispatcher::CopyText(char* field, size_t fieldSize, const uint8_t* p, size_t n) {
    const size_t limit = std::min({kMaxTextReply, fieldSize - 1, n - kArgs});
    std::lock_guard lock(m_state.mutex);
    std::memset(field, 0, fieldSize);
    for (size_t i = 0; i < limit && p[kArgs + i] != 0; ++i)
        field[i] = char(p[kArgs + i]);
}

void Dispatcher::SetVersionAndBoard(const uint8_t* p, size_t L, size_t n) {
    std::lock_guard lock(m_state.mutex);
    DeviceInfo& info = m_state.info;
    if (n > 2) info.commandVersion = p[2];
    info.boardCode.fill(0);
    info.boardCodeHalf.fill(0);
    if (L <= kBoardCodeMinLength) return;
    // L can promise more than arrived; bytes past the payload stay 0.
    for (size_t i = 0; i < info.boardCode.size() && kBoardCodeAt + i < n; ++i)
        info.boardCode[i] = p[kBoardCodeAt + i];
    for (size_t i = 0; i < info.boardCodeHalf.size() && kBoardHalfAt + i < n; ++i)
        info.boardCodeHalf[i] = p[kBoardHalfAt + i];
}

} // namespace fenno
