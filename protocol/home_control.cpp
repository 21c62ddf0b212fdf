#include "protocol/home_control.h"

#include "link/debug_output.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace fenno {

using namespace std::chrono_literals;

namespace {

// Incoming payload [b0][12][n][frame...]: where the frame's bytes sit.
constexpr size_t kFrameLengthAt = 2; // n
constexpr size_t kFrameAt = 3;       // SOF or ACK
constexpr size_t kFrameLAt = 4;      // the frame's L
constexpr size_t kFunctionAt = 6;
constexpr size_t kCallbackAt = 7;
constexpr size_t kStatusAt = 8; // also the reporting node of an application command
constexpr size_t kNodeIdAt = 9; // added or removed node; bitmap length; command length
constexpr size_t kBitmapAt = 10;

// Incoming plug memory [b0][14][hi][lo][n][data...].
constexpr size_t kMemDataAt = 5;

constexpr auto kNodeListPoll = 30ms;
constexpr int kNodeListPolls = 200;
constexpr auto kStepPoll = 10ms;
constexpr int kStepPolls = 600;
constexpr auto kReadAllStart = 30ms;
constexpr auto kReadAllScenes = 50ms;
constexpr auto kJobEndPause = 100ms;
constexpr auto kSceneStepPause = 20ms;
constexpr auto kSleepSlice = 100ms;
constexpr auto kReplyBound = 2000ms;

constexpr uint8_t kUsbZWaveAck[] = {kCmdZWave, 1, kZWaveAck};
constexpr uint8_t kTcpZWaveAck[] = {kTcpPrefixZWave, kZWaveAck};

// Bypasses the TCP write queue while a job runs; puts the previous setting back.
class QueueBypass {
  public:
    explicit QueueBypass(LinkState& link)
        : m_link(link), m_was(link.queueEnabled.exchange(false)) {}
    ~QueueBypass() { Restore(); }
    QueueBypass(const QueueBypass&) = delete;
    QueueBypass& operator=(const QueueBypass&) = delete;
    void Restore() {
        if (m_done) return;
        m_done = true;
        m_link.queueEnabled.store(m_was);
    }

  private:
    LinkState& m_link;
    bool m_was;
    bool m_done = false;
};

} // namespace

HomeControl::HomeControl(Commands& commands, LinkState& link, DeviceState& state, SyncJobs& jobs,
                         EventSink* sink)
    : m_cmd(commands), m_link(link), m_state(state), m_jobs(jobs), m_sink(sink) {}

HomeControl::~HomeControl() {
    // Scene runs and Z-Wave jobs use this object until their last step.
    m_jobs.JoinAll();
}

bool HomeControl::Network() const {
    Transport* t = m_cmd.ActiveTransport();
    return t && t->IsNetwork();
}

bool HomeControl::PollFlag(const std::atomic<bool>& flag, std::chrono::milliseconds every,
                           int times) const {
    for (int i = 0; i < times; ++i) {
        if (flag.load()) return true;
        // Without a link no answer can come; the wait would only hold up closing.
        if (!Connected()) break;
        std::this_thread::sleep_for(every);
    }
    return flag.load();
}

void HomeControl::SleepWhileConnected(std::chrono::milliseconds total) const {
    const auto until = std::chrono::steady_clock::now() + total;
    while (Connected()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) break;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kSleepSlice, until - now));
    }
}

int HomeControl::SendZWaveRequest(const uint8_t* data, size_t n) {
    const std::vector<uint8_t> frame = EncodeZWaveFrame(kZWaveTypeRequest, data, n);
    if (frame.empty()) return 0;
    uint8_t payload[kMaxPayload];
    size_t len = 0;
    if (Network()) {
        payload[len++] = kTcpPrefixZWave;
    } else {
        payload[len++] = kCmdZWave;
        payload[len++] = uint8_t(frame.size());
    }
    std::copy(frame.begin(), frame.end(), payload + len);
    len += frame.size();
    return m_cmd.SendPayload(payload, len, false);
}

int HomeControl::SendZWaveAck() {
    if (Network()) return m_cmd.SendPayload(kTcpZWaveAck, sizeof kTcpZWaveAck, false);
    return m_cmd.SendPayload(kUsbZWaveAck, sizeof kUsbZWaveAck, false);
}

bool HomeControl::ZWaveGetNodeList() {
    m_nodeListReceived.store(false);
    SendZWaveRequest({kZwNodeList});
    return PollFlag(m_nodeListReceived, kNodeListPoll, kNodeListPolls);
}

bool HomeControl::ZWaveSetDefault() {
    m_stepDone.store(false);
    SendZWaveRequest({kZwSetDefault, kCallbackSetDefault});
    return PollFlag(m_stepDone, kStepPoll, kStepPolls);
}

void HomeControl::ZWaveRemoveStop() {
    // A sender may be waiting for an answer that the removal flow swallowed.
    m_link.replyEvent.Set();
    SendZWaveRequest({kZwRemoveNode, kZwModeStop});
}

void HomeControl::ZWaveSetNode(int node, uint8_t value) {
    m_stepDone.store(false);
    if (node == kHdmiStepNode) {
        DebugOutput("正在执行HDMI操作\n");
        m_stepDone.store(true);
        return;
    }
    if (node == kDelayStepNode) {
        DebugOutput("正在执行延时操作\n");
        SleepWhileConnected(std::chrono::seconds(value));
        m_stepDone.store(true);
        return;
    }
    if (!IsNodePresent(node)) {
        m_stepDone.store(true);
        DebugOutput("此ID不存在，跳过设置命令\n");
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_nodes[size_t(node)].state = value;
    }
    const uint8_t callback = (value >= 0x80 && value <= 0xFE) ? kCallbackKey : kCallbackSwitch;
    SendZWaveRequest(
        {kZwSendData, uint8_t(node), 3, kBasicClass, kBasicSet, value, kTransmitOptions, callback});
}

int HomeControl::WritePlugMemory(int address, const uint8_t* data, size_t n) {
    if (address < 0 || n > size_t(kMaxMemData) || address + int(n) > kPlugMemorySize) return 0;
    return m_cmd.SendMemCommandAt(kCmdWritePlugMem, address, {data, n});
}

void HomeControl::SetPlugRecord(int node, const PlugRecord& record) {
    if (!IsValidNode(node)) return;
    PlugRecord host;
    {
        std::lock_guard lock(m_mutex);
        uint8_t* r = &m_memory[size_t(PlugRecordAddress(node))];
        std::copy_n(r, kPlugRecordSize, host.begin());
        host[0] = record[0];
        SetPlugName(host, PlugName(record));
        std::copy(host.begin(), host.end(), r);
    }
    WritePlugMemory(PlugRecordAddress(node), host.data(), host.size());
}

void HomeControl::WritePlugRecord(int node) {
    if (!IsValidNode(node)) return;
    const PlugRecord host = GetPlugRecord(node);
    WritePlugMemory(PlugRecordAddress(node), host.data(), host.size());
}

void HomeControl::ClearScenes() {
    {
        std::lock_guard lock(m_mutex);
        std::fill(m_memory.begin() + kSceneMemoryBase, m_memory.end(), uint8_t(0));
    }
    const SceneRecord empty{};
    for (int s = 0; s < kSceneCount; ++s)
        WritePlugMemory(SceneAddress(s), empty.data(), empty.size());
}

void HomeControl::SaveScene(int scene, const SceneRecord& record) {
    if (!IsValidScene(scene)) return;
    SetScene(scene, record);
    WritePlugMemory(SceneAddress(scene), record.data(), record.size());
}

void HomeControl::ZWAVE_ReadAll() {
    std::this_thread::sleep_for(kReadAllStart);
    DebugOutput("ZWAVE_ReadAll\n");
    auto read = [this](int address, int length) {
        m_cmd.SendMemCommand(kCmdReadPlugMem, uint8_t(address >> 8), uint8_t(address),
                             uint8_t(length), nullptr);
    };
    for (int n : PlugNodes())
        read(PlugRecordAddress(n), kPlugRecordSize);
    std::this_thread::sleep_for(kReadAllScenes);
    for (int s = 0; s < kSceneCount; ++s)
        read(SceneAddress(s), kSceneRecordSize);
}

void HomeControl::ZWAVE_LoadMode(int scene) {
    if (!IsValidScene(scene)) return;
    const SceneRecord record = GetScene(scene);
    for (int i = 0; i < kScenePairs; ++i) {
        const ScenePair step = SceneStep(record, i);
        if (step.node == kEmptyStepNode) continue;
        ZWaveSetNode(step.node, step.value);
        if (!m_stepDone.load() && !PollFlag(m_stepDone, kStepPoll, kStepPolls))
            DebugOutput("ZWAVE_LoadMode Time out!\n");
        std::this_thread::sleep_for(kSceneStepPause);
    }
}

int HomeControl::SendRemoteKeyTable() {
    const auto table = RemoteKeyTable();
    uint8_t payload[1 + kRemoteKeyTableSize] = {kCmdWriteKeys};
    std::copy(table.begin(), table.end(), payload + 1);
    return m_cmd.SendCommandBytes(payload);
}

bool HomeControl::ReadRemoteKeyTable() {
    QueueBypass bypass(m_link);
    if (m_cmd.SendCommand({kCmdReadKeys}) <= 0) return false;
    const bool answered = m_link.replyEvent.Wait(kReplyBound);
    // The answer's signal belongs to the next sender as well.
    if (answered) m_link.replyEvent.Set();
    return answered && Connected();
}

void HomeControl::SendZWaveJobStart(int kind, int arg1, int arg2) {
    switch (kind) {
    case kZwSendData:
        if (arg1 != 0) ZWaveSetNode(arg1 & 0xFF, uint8_t(arg2));
        break;
    case kZwAddNode:
        SendZWaveRequest({kZwAddNode, kZwModeAny, kCallbackAddNode});
        break;
    case kZwRemoveNode:
        SendZWaveRequest({kZwRemoveNode, kZwModeAny, kCallbackRemoveNode});
        break;
    default:
        break;
    }
}

void HomeControl::SendZWaveJobCancel(int kind) {
    if (kind == kZwSendData || kind == kZwAddNode || kind == kZwRemoveNode)
        SendZWaveRequest({uint8_t(kind), kZwModeStop, 0x00});
}

void HomeControl::ProcessZwaveMsg(const uint8_t* p, size_t available) {
    if (p == nullptr || available <= kFrameAt) return;
    // Read only what both arrived and the frame itself claims: n after 0x12, then the frame's L
    // (bytes after L, the checksum last, which is not a parameter).
    size_t end = std::min(available, kFrameAt + size_t(p[kFrameLengthAt]));
    if (end <= kFrameAt) return;
    const uint8_t first = p[kFrameAt];
    if (first == kZWaveAck) return;
    // A NAK, CAN or stray byte is not a frame to answer or act on.
    if (first != kZWaveSof || end <= kFrameLAt) return;
    end = std::min(end, kFrameLAt + size_t(p[kFrameLAt]));

    SendZWaveAck();
    if (int ms = m_ackPauseMs.load(); ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    if (end <= kFunctionAt) return;

    switch (p[kFunctionAt]) {
    case kZwNodeList:
        NodeListAnswer(p, end);
        break;
    case kZwApplicationCommand:
        NodeReport(p, end);
        break;
    case kZwSendData:
        SendDataCallback(p, end);
        break;
    case kZwSetDefault:
        m_stepDone.store(true);
        Post(kEvZWaveEvent, kZwSetDefault, 0);
        break;
    case kZwAddNode:
        AddNodeProgress(p, end);
        break;
    case kZwRemoveNode:
        RemoveNodeProgress(p, end);
        break;
    default:
        break;
    }
}

void HomeControl::NodeListAnswer(const uint8_t* p, size_t end) {
    if (end <= kNodeIdAt) return; // no bitmap length: not a node list we can use
    // The bitmap is cut at the frame's end, and at node 232: later bits name no node.
    const size_t bytes =
        std::min({size_t(p[kNodeIdAt]), end - std::min(end, kBitmapAt), size_t(kNodeBitmapSize)});
    {
        std::lock_guard lock(m_mutex);
        m_nodes.fill({});
        for (size_t i = 0; i < bytes; ++i)
            for (int j = 0; j < 8; ++j)
                if (p[kBitmapAt + i] & (1u << j)) {
                    const int node = int(8 * i) + j + 1;
                    m_nodes[size_t(node)].present = uint8_t(node);
                }
    }
    m_nodeListReceived.store(true);
}

void HomeControl::NodeReport(const uint8_t* p, size_t end) {
    if (end <= kNodeIdAt) return;
    const size_t length = p[kNodeIdAt];
    const size_t last = kNodeIdAt + length;
    // An empty command has no value; a length past the frame would read a foreign byte.
    if (length == 0 || last >= end) return;
    const int node = p[kStatusAt];
    if (!IsValidNode(node)) return;
    const uint8_t value = p[last];
    {
        std::lock_guard lock(m_mutex);
        m_nodes[size_t(node)].state = value;
    }
    m_plugChanged.store(true);
    m_stepDone.store(true);
    Post(kEvZWaveEvent, kZwApplicationCommand, intptr_t(node) << 16 | value);
}

void HomeControl::SendDataCallback(const uint8_t* p, size_t end) {
    if (end <= kStatusAt) return; // a response without a status, or a cut frame
    const intptr_t callback = p[kCallbackAt];
    switch (p[kStatusAt]) {
    case kTransmitOk:
        // A key request is done only when the plug reports what it did.
        if (callback != kCallbackKey) m_stepDone.store(true);
        Post(kEvZWaveEvent, kZwSendData, callback << 16);
        break;
    case kTransmitNoAck:
        m_stepDone.store(true);
        m_plugChanged.store(true);
        Post(kEvZWaveEvent, kZwSendData, (callback << 16) + 1);
        break;
    default:
        break;
    }
}

void HomeControl::AddNodeProgress(const uint8_t* p, size_t end) {
    if (end <= kStatusAt) return;
    const uint8_t status = p[kStatusAt];
    switch (status) {
    case kZwStatusReady:
    case kZwStatusFound:
    case kZwStatusFailed:
        Post(kEvZWaveEvent, kZwAddNode, status);
        break;
    case kZwStatusNodeAdded: {
        // Without a usable node id there is no record to fill or write.
        if (end <= kNodeIdAt || !IsValidNode(p[kNodeIdAt])) return;
        const int node = p[kNodeIdAt];
        {
            std::lock_guard lock(m_mutex);
            m_nodes[size_t(node)].present = uint8_t(node);
            std::copy(m_template.begin(), m_template.end(),
                      m_memory.begin() + PlugRecordAddress(node));
        }
        Post(kEvZWaveEvent, kZwAddNode, intptr_t(node) << 16 | kZwStatusNodeAdded);
        break;
    }
    default:
        break;
    }
}

void HomeControl::RemoveNodeProgress(const uint8_t* p, size_t end) {
    if (end <= kStatusAt) return;
    const uint8_t status = p[kStatusAt];
    if (status != kZwStatusDone) {
        Post(kEvZWaveEvent, kZwRemoveNode, status);
        return;
    }
    if (end <= kNodeIdAt || !IsValidNode(p[kNodeIdAt])) return;
    const int node = p[kNodeIdAt];
    DebugOutput("REMOVE ID= %d\n", node);
    if (node != 0) {
        std::lock_guard lock(m_mutex);
        m_nodes[size_t(node)].present = 0;
    }
    Post(kEvZWaveEvent, kZwRemoveNode, (intptr_t(node) << 16) + kZwStatusDone);
}

void HomeControl::ZWaveReadMemFunc(const uint8_t* p, size_t available) {
    if (p == nullptr || available < kMemDataAt) return;
    const int a = p[2] << 8 | p[3];
    size_t count = std::min<size_t>(p[4], available - kMemDataAt);
    int start = 0;
    if (a < kSceneMemoryBase) {
        start = PlugRecordAddress(a / kPlugRecordSize);
        count = std::min<size_t>(count, kPlugRecordSize);
    } else if (a < kPlugMemorySize) {
        start = SceneAddress((a - kSceneMemoryBase) / kSceneRecordSize);
        count = std::min<size_t>(count, kSceneRecordSize);
    } else {
        DebugOutput("ZWaveReadMemFunc over range\n");
        return;
    }
    std::lock_guard lock(m_mutex);
    std::memcpy(m_memory.data() + start, p + kMemDataAt, count);
}

void HomeControl::StartReadJob() {
    m_jobs.StartJob("SynchronizeReadZWAVEThreadProc", [this] { SynchronizeReadZWAVEThreadProc(); });
}

void HomeControl::StartResetJob() {
    m_jobs.StartJob("SynchronizeResetThreadProc", [this] { SynchronizeResetThreadProc(); });
}

void HomeControl::StartSceneRun(int scene) {
    m_sceneIndex.store(scene);
    m_jobs.StartJob("ZWAVE_LoadMode", [this] {
        Post(kEvZWaveProgress, kZWaveProgressScene, 0);
        ZWAVE_LoadMode(m_sceneIndex.load());
        Post(kEvZWaveProgress, kZWaveProgressScene, 1);
    });
}

void HomeControl::SynchronizeReadZWAVEThreadProc() {
    QueueBypass bypass(m_link);
    const bool arrived = ZWaveGetNodeList();
    if (IsNodePresent(kControllerNode)) {
        if (arrived) {
            ZWAVE_ReadAll();
            m_synced.store(true);
            std::this_thread::sleep_for(kJobEndPause);
        }
        bypass.Restore();
        Send(kEvZWaveProgress, kZWaveProgressJob, 0);
        return;
    }
    m_synced.store(false);
    bypass.Restore();
    Post(kEvZWaveProgress, kZWaveProgressJob, 0);
}

void HomeControl::SynchronizeResetThreadProc() {
    QueueBypass bypass(m_link);
    ZWaveSetDefault();
    ClearScenes();
    const bool arrived = ZWaveGetNodeList();
    ZWAVE_ReadAll();
    // The scenes page trusts this flag: it must say whether the re-read found the module.
    m_synced.store(arrived && IsNodePresent(kControllerNode));
    std::this_thread::sleep_for(kJobEndPause);
    bypass.Restore();
    if (arrived)
        Send(kEvZWaveProgress, kZWaveProgressJob, 0);
    else
        Post(kEvZWaveProgress, kZWaveProgressJob, 0);
}

NodeTable HomeControl::Nodes() const {
    std::lock_guard lock(m_mutex);
    return m_nodes;
}

bool HomeControl::IsNodePresent(int node) const {
    if (!IsValidNode(node)) return false;
    std::lock_guard lock(m_mutex);
    return m_nodes[size_t(node)].present != 0;
}

uint8_t HomeControl::NodeState(int node) const {
    if (!IsValidNode(node)) return 0;
    std::lock_guard lock(m_mutex);
    return m_nodes[size_t(node)].state;
}

std::vector<int> HomeControl::PlugNodes() const {
    std::vector<int> nodes;
    std::lock_guard lock(m_mutex);
    for (int n = kFirstPlugNode; n <= kZWaveMaxNode; ++n)
        if (m_nodes[size_t(n)].present != 0) nodes.push_back(n);
    return nodes;
}

PlugRecord HomeControl::GetPlugRecord(int node) const {
    PlugRecord r{};
    if (!IsValidNode(node)) return r;
    std::lock_guard lock(m_mutex);
    std::copy_n(m_memory.begin() + PlugRecordAddress(node), kPlugRecordSize, r.begin());
    return r;
}

SceneRecord HomeControl::GetScene(int scene) const {
    SceneRecord r{};
    if (!IsValidScene(scene)) return r;
    std::lock_guard lock(m_mutex);
    std::copy_n(m_memory.begin() + SceneAddress(scene), kSceneRecordSize, r.begin());
    return r;
}

void HomeControl::SetScene(int scene, const SceneRecord& record) {
    if (!IsValidScene(scene)) return;
    std::lock_guard lock(m_mutex);
    std::copy(record.begin(), record.end(), m_memory.begin() + SceneAddress(scene));
}

PlugMemory HomeControl::Memory() const {
    std::lock_guard lock(m_mutex);
    return m_memory;
}

void HomeControl::SetNewPlugTemplate(const PlugRecord& record) {
    std::lock_guard lock(m_mutex);
    m_template = record;
}

PlugRecord HomeControl::NewPlugTemplate() const {
    std::lock_guard lock(m_mutex);
    return m_template;
}

std::array<uint8_t, kRemoteKeyTableSize> HomeControl::RemoteKeyTable() const {
    std::lock_guard lock(m_state.mutex);
    return m_state.remoteKeys;
}

void HomeControl::SetRemoteKeyTable(const std::array<uint8_t, kRemoteKeyTableSize>& table) {
    std::lock_guard lock(m_state.mutex);
    m_state.remoteKeys = table;
}

} // namespace fenno
