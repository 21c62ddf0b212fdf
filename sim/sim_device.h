// The simulated amplifier's core: its memory, stored modes, identity and answers, with no
// transport.
#pragma once

#include "protocol/device_info.h"
#include "protocol/device_state.h"
#include "protocol/param_table.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fenno {

inline constexpr int kSimModeCount = 4;
// The 0x7F answer carries a 4-byte board code word and a 2-byte half-word.
inline constexpr int kBoardCodeSize = 6;
// Longest text answer: command byte, text and its zero must fit one 60-byte payload.
inline constexpr int kMaxTextAnswer = 58;
// A memory read is answered in pieces that fit one payload on either transport.
inline constexpr int kMaxMemAnswer = 56;

using DeviceImageBytes = std::array<uint8_t, kDeviceImageSize>;
using SimClock = std::chrono::steady_clock;

// Who the device says it is.
struct SimIdentity {
    std::string model = "Fenno";
    std::string mcuVersion = "2018-09-20";
    std::string dspVersion = "2018-09-20";
    int commandSet = kRequiredCommandVersion;
    std::array<uint8_t, kBoardCodeSize> board{0x01, 0x02, 0x03, 0x04, 0x05, 0x00};
    // Converter boards as the status block reports them.
    CodecBoards codecs{.mic = 2, .music = 2, .ch12 = 2, .ch34 = 2, .ch56 = 2, .ch78 = 2};
};

struct SimConfig {
    SimIdentity identity;
    // Working memory at power-on; the factory image when empty. Also the content of all four
    // stored modes.
    std::optional<DeviceImageBytes> image;
    std::chrono::milliseconds learnDelay{300};
    uint8_t decoderFormat = 0; // status byte 7 low nibble: 0 STEREO .. 8 LPCM MultiCh
};

// Reads a .mode file as the PC writes it: the image goes over the factory image (a short file
// leaves the rest as the factory made it) and the header's non-empty texts become the identity's.
// False with a reason in error when the file cannot be read or its version is not 24.
bool LoadSimModeFile(const std::string& path, SimConfig& config, std::string& error);

// One answer or report payload, [cmd][args], without any transport prefix.
using SimOutput = std::function<void(const uint8_t* payload, size_t n)>;

// The home-control side (Z-Wave module, plug memory). SimDevice hands it commands 0x12, 0x13 and
// 0x14 and bare Z-Wave frames (TCP prefix 0x80); it answers through emit. Called with the
// device's call lock held, never concurrently.
class SimHomeControl {
  public:
    using Emit = std::function<void(std::vector<uint8_t> payload)>;
    virtual ~SimHomeControl() = default;
    virtual void HandleCommand(const uint8_t* payload, size_t n, const Emit& emit) = 0;
    virtual void HandleZWaveFrame(const uint8_t* frame, size_t n, const Emit& emit) = 0;
    virtual void Tick(SimClock::time_point /*now*/, const Emit& /*emit*/) {}
    virtual std::optional<SimClock::time_point> NextDeadline() const { return std::nullopt; }
};

// A device without a Z-Wave module: every request is acknowledged, plug memory reads as empty,
// so that the PC's pacing never stalls.
class SimNoHomeControl : public SimHomeControl {
  public:
    void HandleCommand(const uint8_t* payload, size_t n, const Emit& emit) override;
    void HandleZWaveFrame(const uint8_t* frame, size_t n, const Emit& emit) override;
};

// Thread-safe: HandlePayload, HandleZWaveFrame and Tick may come from different threads; they
// are serialised, and the output is never called concurrently. The output runs with the call
// lock held: it must not call HandlePayload, HandleZWaveFrame, Tick or NextDeadline.
class SimDevice {
  public:
    explicit SimDevice(SimConfig config = {});
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    void SetOutput(SimOutput output);
    void SetHomeControl(std::unique_ptr<SimHomeControl> homeControl);

    // One unprefixed payload [cmd][args]; answers go to the output before this returns.
    void HandlePayload(const uint8_t* payload, size_t n);
    void HandleZWaveFrame(const uint8_t* frame, size_t n);
    // Sends what has fallen due (a learned key).
    void Tick(SimClock::time_point now);
    // When Tick next has something to do.
    std::optional<SimClock::time_point> NextDeadline() const;

    // Frames per command code: received payloads and sent answers/reports.
    uint64_t FramesIn(uint8_t cmd) const { return m_framesIn[cmd].load(); }
    uint64_t FramesOut(uint8_t cmd) const { return m_framesOut[cmd].load(); }
    uint64_t TotalFramesIn() const;
    uint64_t TotalFramesOut() const;
    uint64_t ZWaveFramesIn() const { return m_zwaveIn.load(); }

    DeviceImageBytes Memory() const;
    DeviceImageBytes StoredMode(int mode) const;
    std::array<uint8_t, kRemoteKeyTableSize> KeyTable() const;
    std::array<uint8_t, kMachineSettingsSize> Settings() const;
    int CurrentMode() const;
    SimIdentity Identity() const;
    // The status block the next 0x0E will carry, apart from the meters.
    std::array<uint8_t, kStatusBlockSize> StatusBlock() const;

    // The code the device pretends to receive when key k is learned.
    static uint8_t LearnedCode(uint8_t key);
    static constexpr uint8_t kLearnedRemoteType = 0x01;

  private:
    using Answers = std::vector<std::vector<uint8_t>>;

    void Dispatch(const uint8_t* p, size_t n, Answers& out);
    void WriteParam(const uint8_t* p, size_t n);
    void ReadMemory(const uint8_t* p, size_t n, Answers& out) const;
    void WriteMemory(const uint8_t* p, size_t n, int limit);
    std::array<uint8_t, kStatusBlockSize> StatusLocked() const;
    void Emit(const Answers& answers);

    SimConfig m_config;
    DeviceImageBytes m_factory{};

    mutable std::mutex m_callMutex; // one handler at a time, answers leave in order
    mutable std::mutex m_mutex;     // the state below, for the accessors
    DeviceImageBytes m_memory{};
    std::array<DeviceImageBytes, kSimModeCount> m_modes{};
    int m_currentMode = 0;
    std::array<uint8_t, kRemoteKeyTableSize> m_keys{};
    std::array<uint8_t, kMachineSettingsSize> m_settings{};
    uint32_t m_statusPolls = 0;
    struct PendingLearn {
        uint8_t key;
        SimClock::time_point due;
    };
    std::optional<PendingLearn> m_learn;

    SimOutput m_output;
    std::unique_ptr<SimHomeControl> m_home;

    std::array<std::atomic<uint64_t>, 256> m_framesIn{};
    std::array<std::atomic<uint64_t>, 256> m_framesOut{};
    std::atomic<uint64_t> m_zwaveIn{0};
};

// DeviceImage offset of the value words of the record (module, index), found by walking the
// records of the parameter section; -1 when there is none. count gets the record's word count.
int FindParamRecord(const uint8_t* image, int module, int index, int* count = nullptr);

} // namespace fenno
