#include "protocol/sync_jobs.h"

#include <chrono>

#include "link/debug_output.h"

namespace fenno {

using namespace std::chrono_literals;

void SyncJobs::ReapFinished() {
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (it->done) {
            it->thread.join();
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
}

void SyncJobs::StartJob(const char* name, std::function<void()> body) {
    std::lock_guard lock(m_jobsMutex);
    ReapFinished();
    Job& job = m_jobs.emplace_back();
    ++m_running;
    job.thread = std::thread([this, name, body = std::move(body), &job] {
        {
            std::lock_guard run(m_runMutex);
            body();
            DebugOutput("End thread: %s\n", name);
        }
        --m_running;
        job.done = true;
    });
}

void SyncJobs::JoinAll() {
    std::list<Job> jobs;
    {
        std::lock_guard lock(m_jobsMutex);
        jobs.splice(jobs.end(), m_jobs);
    }
    for (Job& j : jobs) j.thread.join();
}

void SyncJobs::StartReadJob() {
    StartJob("Delay Read SynchronizeData", [this] {
        m_state.ClearStatus();
        m_link.statusPoll = false;
        std::this_thread::sleep_for(100ms);
        SynchronizeData();
        Post(kEvSyncDone, 0);
        m_state.ClearStatus();
        m_link.statusPoll = true;
    });
}

void SyncJobs::StartWriteJob() {
    StartJob("SynchronizeWriteThreadProc", [this] {
        m_state.ClearStatus();
        m_link.statusPoll = false;
        std::this_thread::sleep_for(100ms);
        m_link.queueEnabled = false;
        WriteAllImage();
        m_link.queueEnabled = true;
        std::this_thread::sleep_for(50ms);
        m_state.settingsChanged = false;
        Post(kEvSyncDone, 1);
        m_state.ClearStatus();
        m_link.statusPoll = true;
    });
}

bool SyncJobs::SendIdentityQueries() {
    auto once = [this] {
        m_cmd.SendCommand({kCmdModel});
        m_cmd.SendCommand({kCmdCommandSet});
        if (!Connected()) return false;
        m_cmd.SendCommand({kCmdMcuVersion});
        m_cmd.SendCommand({kCmdDspVersion});
        return Connected();
    };
    if (!once()) return false;
    if (IsSupportedCommandVersion(m_state.Info().commandVersion)) return true;
    // One more try: a device that was still starting may answer properly now.
    return once() && IsSupportedCommandVersion(m_state.Info().commandVersion);
}

bool SyncJobs::SynchronizeData() {
    m_link.queueEnabled = false;
    if (!SendIdentityQueries()) return false;
    m_cmd.SendCommand({kCmdGetMode});
    if (!Connected()) return false;
    ReadAllImage();
    m_cmd.SendCommand({kCmdReadSettings}); // waits for the last chunk's answer
    if (!Connected()) return false;
    m_store.ApplyDeviceImage();
    if (!Connected()) return false;
    m_cmd.SendCommand({kCmdReadKeys});
    m_state.settingsChanged = false;
    m_link.queueEnabled = true;
    std::this_thread::sleep_for(50ms);
    return true;
}

bool SyncJobs::ReadIdentity() {
    bool queue = m_link.queueEnabled;
    m_link.queueEnabled = false;
    bool ok = SendIdentityQueries();
    if (ok) {
        m_cmd.SendCommand({kCmdGetMode});
        // The answer to the last query releases this wait; put the signal back for the next sender.
        if (m_link.replyEvent.Wait(2000ms)) m_link.replyEvent.Set();
        ok = Connected();
    }
    m_link.queueEnabled = queue;
    return ok;
}

void SyncJobs::ReadAllImage() {
    for (int i = 0; i < kImageChunks; ++i) {
        ImageChunk c = ImageChunkAt(i);
        m_cmd.SendMemCommand(kCmdReadImage, uint8_t(c.offset >> 8), uint8_t(c.offset),
                             uint8_t(c.length), nullptr);
    }
}

void SyncJobs::WriteAllImage() {
    for (int i = 0; i < kImageChunks; ++i) {
        ImageChunk c = ImageChunkAt(i);
        m_cmd.SendMemCommandAt(kCmdWriteImage, c.offset, {&m_store.image[c.offset], size_t(c.length)});
    }
    m_cmd.SendCommand({kCmdWriteImageEnd});
}

} // namespace fenno
