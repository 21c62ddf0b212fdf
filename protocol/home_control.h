// The home-control side of the device: Z-Wave requests and answers, the node table, the plug
// memory copy with its scenes, the Z-Wave jobs, and the remote key table commands.
#pragma once

#include "link/link_state.h"
#include "protocol/commands.h"
#include "protocol/device_state.h"
#include "protocol/event_sink.h"
#include "protocol/plug_record.h"
#include "protocol/sync_jobs.h"
#include "protocol/zwave_frame.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace fenno {

// 3025 kinds.
inline constexpr int kZWaveProgressScene = 1; // lParam 0 at the start of a scene run, 1 at its end
inline constexpr int kZWaveProgressJob = 8;   // the Z-Wave read or reset job has finished

// One node table entry: present is the node id itself while the node is in the network, else 0.
struct ZWaveNode {
    uint8_t present = 0;
    uint8_t state = 0; // the last value set or reported
};

using NodeTable = std::array<ZWaveNode, kZWaveNodeCount>;

class HomeControl {
  public:
    HomeControl(Commands& commands, LinkState& link, DeviceState& state, SyncJobs& jobs,
                EventSink* sink);
    ~HomeControl();
    HomeControl(const HomeControl&) = delete;
    HomeControl& operator=(const HomeControl&) = delete;

    // Senders. The Z-Wave ones do not wait for the device's answer to the previous command.
    // data is the function id and its parameters; returns what the link returned.
    int SendZWaveRequest(const uint8_t* data, size_t n);
    int SendZWaveRequest(std::initializer_list<uint8_t> data) {
        return SendZWaveRequest(data.begin(), data.size());
    }
    int SendZWaveAck();
    // True when the node list arrived within 200 × 30 ms.
    bool ZWaveGetNodeList();
    // True when the controller confirmed the reset within 600 × 10 ms.
    bool ZWaveSetDefault();
    void ZWaveRemoveStop();
    // Basic Set of value to node, or the HDMI (254) and delay (240) scene steps. Does not wait
    // for the answer; the step-done flag tells when it came.
    void ZWaveSetNode(int node, uint8_t value);
    // 13 hi lo n data; n is at most 56. 0 when the range is outside the plug memory.
    int WritePlugMemory(int address, const uint8_t* data, size_t n);
    // Takes type and name from record (bytes 1..3 of the host record stay) and writes the host
    // record to the device.
    void SetPlugRecord(int node, const PlugRecord& record);
    // Writes the host record of node as it is (after an add, the new-plug template).
    void WritePlugRecord(int node);
    void ClearScenes();
    // Stores the scene in the host copy and writes it to the device.
    void SaveScene(int scene, const SceneRecord& record);
    void ZWAVE_ReadAll();
    // Runs the scene's steps on the calling thread.
    void ZWAVE_LoadMode(int scene);
    int SendRemoteKeyTable();
    // Asks for the table with 0x62 and waits for the answer (at most 2 s). The device reports
    // only bytes 0..15 this way; the rest stays as the host has it.
    bool ReadRemoteKeyTable();

    // The start and cancel requests of the wait dialog's jobs (kind 0x13, 0x4A or 0x4B).
    void SendZWaveJobStart(int kind, int arg1, int arg2);
    void SendZWaveJobCancel(int kind);

    // Receivers, on the link's receive thread. p[0..available-1] are valid.
    void ProcessZwaveMsg(const uint8_t* p, size_t available);
    void ZWaveReadMemFunc(const uint8_t* p, size_t available);

    // Worker threads (through SyncJobs, so they never overlap other jobs).
    void StartReadJob();  // SynchronizeReadZWAVEThreadProc
    void StartResetJob(); // SynchronizeResetThreadProc
    // Sets the scene index and runs ZWAVE_LoadMode with 3025 (1, 0) before and (1, 1) after.
    void StartSceneRun(int scene);
    // The job bodies, on the calling thread.
    void SynchronizeReadZWAVEThreadProc();
    void SynchronizeResetThreadProc();

    // Host copies, safe from any thread.
    NodeTable Nodes() const;
    bool IsNodePresent(int node) const;
    uint8_t NodeState(int node) const;
    // Present nodes 2..232 in increasing order.
    std::vector<int> PlugNodes() const;
    PlugRecord GetPlugRecord(int node) const;
    SceneRecord GetScene(int scene) const;
    // Host copy only; SaveScene also writes the device.
    void SetScene(int scene, const SceneRecord& record);
    PlugMemory Memory() const;
    void SetNewPlugTemplate(const PlugRecord& record);
    PlugRecord NewPlugTemplate() const;
    std::array<uint8_t, kRemoteKeyTableSize> RemoteKeyTable() const;
    void SetRemoteKeyTable(const std::array<uint8_t, kRemoteKeyTableSize>& table);

    bool Synced() const { return m_synced.load(); }
    void ClearSynced() { m_synced.store(false); }
    bool NodeListReceived() const { return m_nodeListReceived.load(); }
    bool StepDone() const { return m_stepDone.load(); }
    // Set when a plug reported a new state; the GUI clears it when it has refreshed.
    bool PlugChanged() const { return m_plugChanged.load(); }
    void ClearPlugChanged() { m_plugChanged.store(false); }
    int SceneIndex() const { return m_sceneIndex.load(); }

    // The pause after acknowledging a module frame (20 ms); shorter in tests and fuzzing.
    void SetAckPause(std::chrono::milliseconds pause) { m_ackPauseMs.store(int(pause.count())); }

  private:
    bool Network() const;
    bool Connected() const { return m_link.connected.load(); }
    bool PollFlag(const std::atomic<bool>& flag, std::chrono::milliseconds every, int times) const;
    void SleepWhileConnected(std::chrono::milliseconds total) const;
    void Post(int id, intptr_t w, intptr_t l) {
        if (m_sink) m_sink->Post(id, w, l);
    }
    void Send(int id, intptr_t w, intptr_t l) {
        if (m_sink) m_sink->Send(id, w, l);
    }
    void NodeListAnswer(const uint8_t* p, size_t end);
    void NodeReport(const uint8_t* p, size_t end);
    void SendDataCallback(const uint8_t* p, size_t end);
    void AddNodeProgress(const uint8_t* p, size_t end);
    void RemoveNodeProgress(const uint8_t* p, size_t end);

    Commands& m_cmd;
    LinkState& m_link;
    DeviceState& m_state;
    SyncJobs& m_jobs;
    EventSink* m_sink;

    mutable std::mutex m_mutex; // guards the three below
    NodeTable m_nodes{};
    PlugMemory m_memory{};
    PlugRecord m_template{};

    std::atomic<bool> m_nodeListReceived{false};
    std::atomic<bool> m_stepDone{false};
    std::atomic<bool> m_synced{false};
    std::atomic<bool> m_plugChanged{false};
    std::atomic<int> m_sceneIndex{0};
    std::atomic<int> m_ackPauseMs{20};
};

} // namespace fenno
