#include "sim/sim_zwave.h"

#include "protocol/commands.h"
#include "protocol/zwave_frame.h"

#include <algorithm>

namespace fenno {
namespace {

constexpr size_t kReceivedKept = 256;
// What the module tells about itself in its node list answer.
constexpr uint8_t kApiVersion = 0x05;
constexpr uint8_t kCapabilities = 0x08; // a primary controller
constexpr uint8_t kChipType = 0x05;
constexpr uint8_t kChipVersion = 0x00;
// Basic, generic and specific device class of a plug, reported when it joins.
constexpr uint8_t kPlugClasses[] = {0x04, 0x10, 0x01};
constexpr uint8_t kRxStatus = 0x00;
constexpr uint8_t kSwitchOn = 0xFF;
constexpr uint8_t kDimmerMax = 99;
constexpr uint8_t kFullOn = 99; // what the scene editor writes for "on"

constexpr size_t kMemHeader = 4; // cmd hi lo n

bool IsPlugNode(int node) {
    return node >= kFirstPlugNode && node <= kZWaveMaxNode;
}

} // namespace

std::vector<SimPlug> SimZWaveConfig::DefaultPlugs() {
    auto plug = [](uint8_t node, SimPlugKind kind, bool infrared, std::u16string name,
                   uint8_t level) {
        SimPlug p;
        p.node = node;
        p.kind = kind;
        p.infrared = infrared;
        p.name = std::move(name);
        p.level = level;
        return p;
    };
    SimPlug tv = plug(4, SimPlugKind::Switch, true, u"电视插座", 0);
    tv.learned.set(0); // the television's power key
    return {plug(2, SimPlugKind::Switch, false, u"开关1", 0),
            plug(3, SimPlugKind::Dimmer, false, u"调压1", 40), tv};
}

std::array<SceneRecord, kSceneCount> SimZWaveConfig::DefaultScenes() {
    std::array<SceneRecord, kSceneCount> s{};
    auto set = [&](int scene, std::initializer_list<ScenePair> steps) {
        int i = 0;
        for (ScenePair p : steps)
            SetSceneStep(s[size_t(scene)], i++, p);
    };
    set(0, {{4, kFullOn}, {kDelayStepNode, 1}, {4, kPlugSendKeyBase}, {3, 30}});
    set(2, {{3, 70}, {2, kFullOn}});
    set(kPowerOnScene, {{2, kFullOn}, {kDelayStepNode, 1}, {3, 60}, {4, kFullOn}});
    set(kPowerOffScene, {{3, 0}, {4, 0}, {2, 0}});
    return s;
}

SimZWave::SimZWave(SimZWaveConfig config) : m_config(std::move(config)) {
    for (const SimPlug& p : m_config.plugs) {
        if (!IsPlugNode(p.node) || FindPlug(p.node)) continue;
        m_network.push_back(p);
        const uint8_t type = p.kind == SimPlugKind::Switch ? kPlugSwitch : kPlugDimmer;
        const PlugRecord r = MakePlugRecord(type, p.name);
        std::copy(r.begin(), r.end(), m_memory.begin() + PlugRecordAddress(p.node));
    }
    std::sort(m_network.begin(), m_network.end(),
              [](const SimPlug& a, const SimPlug& b) { return a.node < b.node; });
    const auto scenes = m_config.scenes ? *m_config.scenes : SimZWaveConfig::DefaultScenes();
    for (int s = 0; s < kSceneCount; ++s)
        std::copy(scenes[size_t(s)].begin(), scenes[size_t(s)].end(),
                  m_memory.begin() + SceneAddress(s));
}

void SimZWave::Configure(const std::function<void(SimZWaveConfig&)>& change) {
    std::lock_guard lock(m_mutex);
    change(m_config);
}

SimPlug* SimZWave::FindPlug(int node) {
    for (SimPlug& p : m_network)
        if (p.node == node) return &p;
    return nullptr;
}

const SimPlug* SimZWave::FindPlug(int node) const {
    for (const SimPlug& p : m_network)
        if (p.node == node) return &p;
    return nullptr;
}

void SimZWave::Frame(Out& out, uint8_t type, const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> f = EncodeZWaveFrame(type, data.data(), data.size());
    if (f.empty()) return;
    std::vector<uint8_t> payload{kCmdZWave, uint8_t(f.size())};
    payload.insert(payload.end(), f.begin(), f.end());
    out.push_back(std::move(payload));
}

void SimZWave::HandleCommand(const uint8_t* p, size_t n, const Emit& emit) {
    Out out;
    {
        std::lock_guard lock(m_mutex);
        switch (p[0]) {
        case kCmdZWave:
            // 12 n frame: the frame is cut to what arrived.
            if (n >= 2) HandleFrame(p + 2, std::min<size_t>(p[1], n - 2), false, out);
            break;
        case kCmdWritePlugMem:
            WriteMemory(p, n);
            out.push_back({kCmdWritePlugMem});
            break;
        case kCmdReadPlugMem:
            ReadMemory(p, n, out);
            break;
        default:
            out.push_back({p[0]});
            break;
        }
    }
    for (auto& a : out)
        emit(std::move(a));
}

void SimZWave::HandleZWaveFrame(const uint8_t* frame, size_t n, const Emit& emit) {
    Out out;
    {
        std::lock_guard lock(m_mutex);
        HandleFrame(frame, n, true, out);
    }
    for (auto& a : out)
        emit(std::move(a));
}

void SimZWave::HandleFrame(const uint8_t* f, size_t n, bool network, Out& out) {
    if (n == 0) return;
    m_received.emplace_back(f, f + n);
    if (m_received.size() > kReceivedKept) m_received.erase(m_received.begin());
    if (f[0] == kZWaveAck) {
        ++m_acks;
        // The PC's TCP write queue sends its next frame only after an answer; the device
        // confirms every frame it passes on. Over USB nothing waits for it.
        if (network && !m_config.silent) out.push_back({kCmdZWave, 1, kZWaveAck});
        return;
    }
    if (m_config.silent) return;
    if (!IsValidZWaveFrame(f, n)) {
        ++m_refused;
        out.push_back({kCmdZWave, 1, kZWaveNak});
        return;
    }
    out.push_back({kCmdZWave, 1, kZWaveAck});
    Request(f, n, SimClock::now(), out);
}

void SimZWave::Request(const uint8_t* f, size_t n, SimClock::time_point now, Out& out) {
    if (f[2] != kZWaveTypeRequest) return;
    const uint8_t function = f[3];
    ++m_requests[function];
    const uint8_t* params = f + 4;
    const size_t count = n - 5; // SOF, L, type, function, checksum
    auto param = [&](size_t i) -> uint8_t { return i < count ? params[i] : 0; };

    switch (function) {
    case kZwNodeList:
        NodeList(out);
        break;
    case kZwSendData:
        SendData(params, count, now, out);
        break;
    case kZwSetDefault: {
        const uint8_t callback = param(0);
        Cancel(Flow::Add);
        Cancel(Flow::Remove);
        Schedule(now + m_config.resetDelay, Flow::None,
                 [this, callback](SimClock::time_point, Out& o) {
                     m_network.clear(); // the plugs now belong to no network
                     Frame(o, kZWaveTypeRequest, {kZwSetDefault, callback});
                 });
        break;
    }
    case kZwAddNode:
        if ((param(0) & 0x0F) == kZwModeStop)
            Cancel(Flow::Add);
        else if ((param(0) & 0x0F) == kZwModeAny)
            StartAdd(param(1), now);
        break;
    case kZwRemoveNode:
        if ((param(0) & 0x0F) == kZwModeStop)
            Cancel(Flow::Remove);
        else if ((param(0) & 0x0F) == kZwModeAny)
            StartRemove(param(1), now);
        break;
    default:
        break; // acknowledged, otherwise unknown to this module
    }
}

void SimZWave::NodeList(Out& out) const {
    std::vector<uint8_t> data{kZwNodeList, kApiVersion, kCapabilities, uint8_t(kNodeBitmapSize)};
    std::array<uint8_t, kNodeBitmapSize> bitmap{};
    auto mark = [&](int node) { bitmap[size_t(node - 1) / 8] |= uint8_t(1u << ((node - 1) % 8)); };
    if (m_config.controllerPresent) mark(kControllerNode);
    for (const SimPlug& p : m_network)
        mark(p.node);
    data.insert(data.end(), bitmap.begin(), bitmap.end());
    data.push_back(kChipType);
    data.push_back(kChipVersion);
    Frame(out, kZWaveTypeResponse, data);
}

void SimZWave::SendData(const uint8_t* params, size_t n, SimClock::time_point now, Out& out) {
    // node, command length, command, transmit options, callback id
    if (n < 2 || n < size_t(params[1]) + 4) {
        Frame(out, kZWaveTypeResponse, {kZwSendData, 0}); // not queued
        return;
    }
    const uint8_t node = params[0];
    const size_t cmdLength = params[1];
    const uint8_t* cmd = params + 2;
    const uint8_t callback = params[2 + cmdLength + 1];
    Frame(out, kZWaveTypeResponse, {kZwSendData, 1});

    SimPlug* plug = FindPlug(node);
    const bool delivered = plug && !m_config.failTransmit;
    const auto at = now + m_config.callbackDelay;
    ScheduleFrame(at, Flow::None, kZWaveTypeRequest,
                  {kZwSendData, callback, delivered ? kTransmitOk : kTransmitNoAck});
    if (delivered && cmdLength == 3 && cmd[0] == kBasicClass && cmd[1] == kBasicSet)
        BasicSet(*plug, cmd[2], at);
}

void SimZWave::BasicSet(SimPlug& plug, uint8_t value, SimClock::time_point at) {
    const uint8_t node = plug.node;
    auto report = [this, node](SimClock::time_point due, uint8_t v) {
        ScheduleFrame(due, Flow::None, kZWaveTypeRequest,
                      {kZwApplicationCommand, kRxStatus, node, 3, kBasicClass, kBasicReport, v});
    };
    const auto reportAt = at + m_config.reportDelay;
    if (plug.infrared && value >= kPlugLearnKeyBase && value < kPlugLearnKeyBase + kPlugKeySlots) {
        const int slot = value - kPlugLearnKeyBase;
        report(reportAt, kKeyReady);
        const uint8_t result = m_config.irLearnResult;
        Schedule(reportAt + m_config.irLearnDelay, Flow::None,
                 [this, node, slot, result](SimClock::time_point, Out& o) {
                     SimPlug* p = FindPlug(node);
                     if (!p) return; // removed meanwhile
                     p->learned.set(size_t(slot), result == kKeyLearned);
                     Frame(o, kZWaveTypeRequest,
                           {kZwApplicationCommand, kRxStatus, node, 3, kBasicClass, kBasicReport,
                            result});
                 });
        return;
    }
    if (plug.infrared && value >= kPlugSendKeyBase && value < kPlugSendKeyBase + kPlugKeySlots) {
        report(reportAt,
               plug.learned.test(size_t(value - kPlugSendKeyBase)) ? kKeySent : kKeySendFailed);
        return;
    }
    if (plug.kind == SimPlugKind::Switch) {
        if (value == 0)
            plug.level = 0;
        else if (value <= kDimmerMax || value == kSwitchOn)
            plug.level = kSwitchOn;
        else
            return; // reserved values change nothing
    } else {
        if (value <= kDimmerMax)
            plug.level = value;
        else if (value == kSwitchOn)
            plug.level = plug.level ? plug.level : kDimmerMax;
        else
            return;
    }
    report(reportAt, plug.level);
}

void SimZWave::StartAdd(uint8_t callback, SimClock::time_point now) {
    Cancel(Flow::Add);
    auto status = [callback](uint8_t s, uint8_t node = 0) {
        return std::vector<uint8_t>{kZwAddNode, callback, s, node, 0};
    };
    ScheduleFrame(now, Flow::Add, kZWaveTypeRequest, status(kZwStatusReady));
    const auto pressed = now + m_config.pressDelay;
    if (m_config.failAdd) {
        ScheduleFrame(pressed, Flow::Add, kZWaveTypeRequest, status(kZwStatusFailed));
        return;
    }
    ScheduleFrame(pressed, Flow::Add, kZWaveTypeRequest, status(kZwStatusFound));
    Schedule(pressed + m_config.stepDelay, Flow::Add,
             [this, callback, status](SimClock::time_point at, Out& o) {
                 int node = kFirstPlugNode;
                 while (node <= kZWaveMaxNode && FindPlug(node))
                     ++node;
                 if (node > kZWaveMaxNode) { // the network is full
                     Frame(o, kZWaveTypeRequest, status(kZwStatusFailed));
                     return;
                 }
                 SimPlug plug;
                 plug.node = uint8_t(node);
                 plug.kind = m_config.newPlugKind;
                 plug.infrared = m_config.newPlugInfrared;
                 m_network.push_back(plug);
                 std::sort(m_network.begin(), m_network.end(),
                           [](const SimPlug& a, const SimPlug& b) { return a.node < b.node; });
                 Frame(o, kZWaveTypeRequest, status(kZwStatusAddingSlave, uint8_t(node)));
                 std::vector<uint8_t> added{kZwAddNode, callback, kZwStatusNodeAdded, uint8_t(node),
                                            uint8_t(sizeof kPlugClasses)};
                 added.insert(added.end(), std::begin(kPlugClasses), std::end(kPlugClasses));
                 ScheduleFrame(at + m_config.stepDelay, Flow::Add, kZWaveTypeRequest, added);
                 ScheduleFrame(at + 2 * m_config.stepDelay, Flow::Add, kZWaveTypeRequest,
                               status(kZwStatusDone, uint8_t(node)));
             });
}

void SimZWave::StartRemove(uint8_t callback, SimClock::time_point now) {
    Cancel(Flow::Remove);
    auto status = [callback](uint8_t s, uint8_t node = 0) {
        return std::vector<uint8_t>{kZwRemoveNode, callback, s, node, 0};
    };
    ScheduleFrame(now, Flow::Remove, kZWaveTypeRequest, status(kZwStatusReady));
    const auto pressed = now + m_config.pressDelay;
    if (m_config.failRemove) {
        ScheduleFrame(pressed, Flow::Remove, kZWaveTypeRequest, status(kZwStatusFailed));
        return;
    }
    Schedule(pressed, Flow::Remove, [this, status](SimClock::time_point at, Out& o) {
        // Decided when the button is held, so a test may pick the plug meanwhile.
        const uint8_t node = FindPlug(m_config.removeNode) ? m_config.removeNode : 0;
        Frame(o, kZWaveTypeRequest, status(kZwStatusAddingSlave, node));
        Schedule(at + m_config.stepDelay, Flow::Remove,
                 [this, node, status](SimClock::time_point, Out& o2) {
                     std::erase_if(m_network, [&](const SimPlug& p) { return p.node == node; });
                     Frame(o2, kZWaveTypeRequest, status(kZwStatusDone, node));
                 });
    });
}

void SimZWave::Schedule(SimClock::time_point due, Flow flow,
                        std::function<void(SimClock::time_point, Out&)> act) {
    m_pending.push_back({due, m_seq++, flow, std::move(act)});
}

void SimZWave::ScheduleFrame(SimClock::time_point due, Flow flow, uint8_t type,
                             std::vector<uint8_t> data) {
    Schedule(due, flow, [type, data = std::move(data)](SimClock::time_point, Out& o) {
        Frame(o, type, data);
    });
}

void SimZWave::Cancel(Flow flow) {
    std::erase_if(m_pending, [flow](const Pending& p) { return p.flow == flow; });
}

void SimZWave::RunDue(SimClock::time_point now, Out& out) {
    for (;;) {
        auto next = std::min_element(m_pending.begin(), m_pending.end(),
                                     [](const Pending& a, const Pending& b) {
                                         return a.due != b.due ? a.due < b.due : a.seq < b.seq;
                                     });
        if (next == m_pending.end() || next->due > now) return;
        Pending p = std::move(*next);
        m_pending.erase(next);
        if (!m_config.silent) p.act(p.due, out);
    }
}

void SimZWave::Tick(SimClock::time_point now, const Emit& emit) {
    Out out;
    {
        std::lock_guard lock(m_mutex);
        RunDue(now, out);
    }
    for (auto& a : out)
        emit(std::move(a));
}

std::optional<SimClock::time_point> SimZWave::NextDeadline() const {
    std::lock_guard lock(m_mutex);
    std::optional<SimClock::time_point> due;
    for (const Pending& p : m_pending)
        if (!due || p.due < *due) due = p.due;
    return due;
}

void SimZWave::ReadMemory(const uint8_t* p, size_t n, Out& out) const {
    const uint8_t hi = n > 1 ? p[1] : 0, lo = n > 2 ? p[2] : 0;
    const int address = hi << 8 | lo;
    int count = n > 3 ? std::min<int>(p[3], kMaxMemAnswer) : 0;
    count = std::clamp(count, 0, std::max(0, kPlugMemorySize - address));
    std::vector<uint8_t> a{kCmdReadPlugMem, hi, lo, uint8_t(count)};
    a.insert(a.end(), m_memory.begin() + std::min(address, kPlugMemorySize),
             m_memory.begin() + std::min(address, kPlugMemorySize) + count);
    out.push_back(std::move(a));
}

void SimZWave::WriteMemory(const uint8_t* p, size_t n) {
    if (n < kMemHeader) return;
    const int address = p[1] << 8 | p[2];
    if (address >= kPlugMemorySize) return;
    const int count = std::min({int(p[3]), int(n - kMemHeader), kPlugMemorySize - address});
    std::copy_n(p + kMemHeader, count, m_memory.begin() + address);
}

std::vector<uint8_t> SimZWave::NetworkNodes() const {
    std::lock_guard lock(m_mutex);
    std::vector<uint8_t> nodes;
    if (m_config.controllerPresent) nodes.push_back(kControllerNode);
    for (const SimPlug& p : m_network)
        nodes.push_back(p.node);
    return nodes;
}

bool SimZWave::InNetwork(int node) const {
    std::lock_guard lock(m_mutex);
    return FindPlug(node) != nullptr;
}

std::optional<uint8_t> SimZWave::Level(int node) const {
    std::lock_guard lock(m_mutex);
    const SimPlug* p = FindPlug(node);
    if (!p) return std::nullopt;
    return p->level;
}

bool SimZWave::KeyLearned(int node, int slot) const {
    std::lock_guard lock(m_mutex);
    const SimPlug* p = FindPlug(node);
    return p && slot >= 0 && slot < kPlugKeySlots && p->learned.test(size_t(slot));
}

PlugMemory SimZWave::Memory() const {
    std::lock_guard lock(m_mutex);
    return m_memory;
}

uint64_t SimZWave::Requests(uint8_t function) const {
    std::lock_guard lock(m_mutex);
    return m_requests[function];
}

uint64_t SimZWave::AcksReceived() const {
    std::lock_guard lock(m_mutex);
    return m_acks;
}

uint64_t SimZWave::FramesRefused() const {
    std::lock_guard lock(m_mutex);
    return m_refused;
}

std::vector<std::vector<uint8_t>> SimZWave::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

} // namespace fenno
