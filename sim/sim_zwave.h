// The simulated amplifier's Z-Wave module and plug memory: a controller, switch, dimmer and
// infrared plugs that answer like real ones, pairing flows driven by a pretend user, six scenes.
#pragma once

#include "protocol/plug_record.h"
#include "sim/sim_device.h"

#include <array>
#include <bitset>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fenno {

enum class SimPlugKind { Switch, Dimmer };

inline constexpr int kPlugKeySlots = 32;
// Values of a Basic Set to a plug with an infrared transmitter.
inline constexpr uint8_t kPlugSendKeyBase = 128;  // 128 + k sends slot k
inline constexpr uint8_t kPlugLearnKeyBase = 192; // 192 + k learns slot k

// What an infrared plug reports about a key request.
enum SimKeyReport : uint8_t {
    kKeyReady = 2,
    kKeyLearned = 3,
    kKeyVerifyError = 4,
    kKeyNoKey = 5,
    kKeySent = 6,
    kKeySendFailed = 7,
};

struct SimPlug {
    uint8_t node = 0;
    SimPlugKind kind = SimPlugKind::Switch;
    bool infrared = false;
    std::u16string name; // its record in the plug memory, with the type of its kind
    uint8_t level = 0;   // switch: 0 or 0xFF; dimmer: 0..99
    std::bitset<kPlugKeySlots> learned{};
};

struct SimZWaveConfig {
    std::vector<SimPlug> plugs = DefaultPlugs();
    // The six scene records at power-on; DefaultScenes() when empty.
    std::optional<std::array<SceneRecord, kSceneCount>> scenes;

    bool controllerPresent = true; // false: the node list names no controller (module not ready)
    bool silent = false;           // the module answers no frame at all

    // The pretend user and radio. Callbacks and reports follow each other in this order.
    std::chrono::milliseconds callbackDelay{20}; // send-data callback after the request
    std::chrono::milliseconds reportDelay{20};   // the plug's report after its callback
    std::chrono::milliseconds pressDelay{600};   // until the user holds the plug's button
    std::chrono::milliseconds stepDelay{50};     // between the statuses of one add or remove
    std::chrono::milliseconds irLearnDelay{400}; // until the remote's key reaches the plug
    std::chrono::milliseconds resetDelay{50};    // controller reset

    // Faults.
    bool failAdd = false;      // the add flow ends in status 7
    bool failRemove = false;   // the remove flow ends in status 7
    bool failTransmit = false; // every send-data callback reports status 1 (no acknowledgement)
    uint8_t irLearnResult = kKeyLearned; // or kKeyVerifyError, kKeyNoKey

    // The plug whose button the user holds during a removal; 0 (or a node not in the network) is
    // a plug that belongs to no network, as when a new plug is prepared for adding.
    uint8_t removeNode = 0;
    SimPlugKind newPlugKind = SimPlugKind::Dimmer;
    bool newPlugInfrared = false;

    static std::vector<SimPlug> DefaultPlugs();
    static std::array<SceneRecord, kSceneCount> DefaultScenes();
};

// Called by SimDevice with its call lock held; the accessors may be used from any thread.
class SimZWave : public SimHomeControl {
  public:
    explicit SimZWave(SimZWaveConfig config = {});

    void HandleCommand(const uint8_t* payload, size_t n, const Emit& emit) override;
    void HandleZWaveFrame(const uint8_t* frame, size_t n, const Emit& emit) override;
    void Tick(SimClock::time_point now, const Emit& emit) override;
    std::optional<SimClock::time_point> NextDeadline() const override;

    // Changes knobs of the running module (faults, delays, removeNode).
    void Configure(const std::function<void(SimZWaveConfig&)>& change);

    // Node ids in the network, the controller first when present.
    std::vector<uint8_t> NetworkNodes() const;
    bool InNetwork(int node) const;
    // The plug's level; nullopt when it is not in the network.
    std::optional<uint8_t> Level(int node) const;
    bool KeyLearned(int node, int slot) const;
    PlugMemory Memory() const;

    // Frames from the PC: requests by function id, acknowledgements, and frames refused with a
    // NAK (bad length or checksum). Received() keeps the last 256 frames as they arrived.
    uint64_t Requests(uint8_t function) const;
    uint64_t AcksReceived() const;
    uint64_t FramesRefused() const;
    std::vector<std::vector<uint8_t>> Received() const;

  private:
    using Out = std::vector<std::vector<uint8_t>>;
    enum class Flow { None, Add, Remove };
    struct Pending {
        SimClock::time_point due;
        uint64_t seq;
        Flow flow;
        std::function<void(SimClock::time_point, Out&)> act;
    };

    void HandleFrame(const uint8_t* f, size_t n, bool network, Out& out);
    void Request(const uint8_t* f, size_t n, SimClock::time_point now, Out& out);
    void SendData(const uint8_t* params, size_t n, SimClock::time_point now, Out& out);
    void BasicSet(SimPlug& plug, uint8_t value, SimClock::time_point at);
    void StartAdd(uint8_t callback, SimClock::time_point now);
    void StartRemove(uint8_t callback, SimClock::time_point now);
    void Schedule(SimClock::time_point due, Flow flow,
                  std::function<void(SimClock::time_point, Out&)> act);
    void ScheduleFrame(SimClock::time_point due, Flow flow, uint8_t type,
                       std::vector<uint8_t> data);
    void Cancel(Flow flow);
    void RunDue(SimClock::time_point now, Out& out);
    SimPlug* FindPlug(int node);
    const SimPlug* FindPlug(int node) const;
    static void Frame(Out& out, uint8_t type, const std::vector<uint8_t>& data);
    void NodeList(Out& out) const;
    void ReadMemory(const uint8_t* p, size_t n, Out& out) const;
    void WriteMemory(const uint8_t* p, size_t n);

    mutable std::mutex m_mutex; // everything below
    SimZWaveConfig m_config;
    std::vector<SimPlug> m_network; // the plugs in the network, by node id
    PlugMemory m_memory{};
    std::vector<Pending> m_pending;
    uint64_t m_seq = 0;

    std::array<uint64_t, 256> m_requests{};
    uint64_t m_acks = 0;
    uint64_t m_refused = 0;
    std::vector<std::vector<uint8_t>> m_received;
};

} // namespace fenno
