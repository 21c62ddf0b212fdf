// Whole-device transfers on worker threads: the full read, the full write, the Z-Wave jobs.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "link/link_state.h"
#include "protocol/commands.h"
#include "protocol/event_sink.h"

namespace fenno {

inline constexpr int kImageChunks = 70;
inline constexpr int kImageChunkSize = 56;

struct ImageChunk {
    int offset;
    int length;
};
// Chunk i starts at 56 * i; the last one is 48 bytes long.
constexpr ImageChunk ImageChunkAt(int i) {
    return {i * kImageChunkSize, i == kImageChunks - 1 ? kDeviceImageSize - i * kImageChunkSize
                                                       : kImageChunkSize};
}

class SyncJobs {
public:
    SyncJobs(ParamStore& store, DeviceState& state, LinkState& link, Commands& commands,
             EventSink* sink)
        : m_store(store), m_state(state), m_link(link), m_cmd(commands), m_sink(sink) {}
    ~SyncJobs() { JoinAll(); }

    SyncJobs(const SyncJobs&) = delete;
    SyncJobs& operator=(const SyncJobs&) = delete;

    // Worker threads; each returns at once. Jobs run one after another, never interleaved.
    void StartReadJob();   // "Delay Read SynchronizeData"
    void StartWriteJob();  // SynchronizeWriteThreadProc
    void StartJob(const char* name, std::function<void()> body);

    // The sequences themselves, run on the calling thread. SynchronizeData returns true when it
    // ran to the end (identity accepted, image read and applied).
    bool SynchronizeData();
    // Identity and current mode only (model, command set, MCU, DSP, mode), waiting for the last
    // answer. False when the link went down or the command set is not supported.
    bool ReadIdentity();
    void ReadAllImage();
    void WriteAllImage();

    bool Busy() const { return m_running > 0; }
    // Waits for every job to end; the link should be down or the jobs may take their full time.
    void JoinAll();

private:
    bool Connected() const { return m_link.connected; }
    bool SendIdentityQueries();
    void Post(int id, intptr_t w) {
        if (m_sink) m_sink->Post(id, w, 0);
    }
    void ReapFinished();

    ParamStore& m_store;
    DeviceState& m_state;
    LinkState& m_link;
    Commands& m_cmd;
    EventSink* m_sink;

    struct Job {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::mutex m_jobsMutex; // guards m_jobs
    std::list<Job> m_jobs;
    std::mutex m_runMutex;  // held while a job body runs
    std::atomic<int> m_running{0};
};

} // namespace fenno
