// Every command the PC composes: stores first, then the payload to the active link.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "link/frame_codec.h"
#include "link/transport.h"
#include "protocol/device_state.h"
#include "protocol/param_store.h"

namespace fenno {

// Outgoing command codes.
enum Cmd : uint8_t {
    kCmdSetCurrentMode = 0x03,
    kCmdStoreMode = 0x04,
    kCmdLoadMode = 0x05,
    kCmdRestoreMode = 0x06,
    kCmdGetMode = 0x07,
    kCmdSetParam = 0x09,
    kCmdStatus = 0x0E,
    kCmdZWave = 0x12,
    kCmdWritePlugMem = 0x13,
    kCmdReadPlugMem = 0x14,
    kCmdReadImage = 0x30,
    kCmdWriteImage = 0x31,
    kCmdWriteImageEnd = 0x32,
    kCmdLearnKey = 0x60,
    kCmdEndLearn = 0x61,
    kCmdReadKeys = 0x62,
    kCmdWriteKeys = 0x63,
    kCmdResetMachine = 0x68,
    kCmdDspVersion = 0x7E,
    kCmdCommandSet = 0x7F,
    kCmdModel = 0x80,
    kCmdMcuVersion = 0x81,
    kCmdWriteEqImage = 0x85,
    kCmdBye = 0x8A,
    kCmdWriteSettings = 0x91,
    kCmdReadSettings = 0x92,
};

// One payload fills a HID report after its report number; on TCP a prefix byte comes first.
inline constexpr size_t kMaxPayload = kMaxUsbPayload + 1;
inline constexpr int kMaxMemData = 56;
inline constexpr int kDelaySplitRows = 26;

// The six words of a channel's surround distance filter for a level in dB.
std::array<uint32_t, 6> SurroundDistanceFilter(float levelDb);

class Commands {
public:
    Commands(ParamStore& store, DeviceState& state) : m_store(store), m_state(state) {}

    // The active link; nullptr while none is up (setters still update the stores).
    void SetTransport(Transport* transport) { m_transport = transport; }
    Transport* ActiveTransport() const { return m_transport.load(); }

    // Routing and raw senders.
    int SendPayload(const uint8_t* payload, size_t length, bool wait);
    int SendCommand(std::initializer_list<uint8_t> bytes);
    int SendCommandBytes(std::span<const uint8_t> bytes);
    int SendMemCommand(uint8_t cmd, uint8_t offsetHi, uint8_t offsetLo, uint8_t length,
                       const uint8_t* data);
    int SendMemCommandAt(uint8_t cmd, int offset, std::span<const uint8_t> data) {
        return SendMemCommand(cmd, uint8_t(offset >> 8), uint8_t(offset), uint8_t(data.size()),
                              data.data());
    }
    int SendParamValues(uint8_t module, uint8_t index, const uint8_t* values, int n);

    // Parameter setters.
    void SetParam(int module, int index, double value);
    void SetParamArray(int module, int index, const uint8_t* values, int n);
    void SetParamWords(int module, int index, std::span<const uint32_t> words);

    // EQ operations.
    void SendBiquad(int module, int index, float c0, float c1, float c2, float c3, float c4);
    void WriteEqRecord(int block, int band, float gainDb, int freqHz, float q, int filterType);
    void SetEqBand(int block, int band, int filterType, int freqHz, float gainDb, float q,
                   float aux = 0.0f);
    void ResetEqBlock(int block);
    void ResetSubEqBlock(int block);
    void ResendEqBlock(int block);
    int CopyEqBlock(int src, int dst);

    // Channel encoders; ch 0..7 is CH1..CH8, compressor channel 8 is the record channel.
    void SetChannelCompressor(int ch, float threshold, float ratio, float attackMs, float releaseMs);
    void SetMusicCompressor(float threshold, float ratio, float attackMs, float releaseMs);
    void SetDelayMode(int ch, int mode);
    void SetDelaySplit(int ch, int row);
    int FindDelaySplitRow(int ch) const;
    void SetEchoRightPredelay(int echo, int percent);
    void SetEchoRightDelay(int echo, int percent);
    void SetMicFbc(int mic, int rate);

    // Surround.
    void SetSurroundConfig(uint8_t value);
    void SendSurroundLayout();
    void ResetSurround();
    void SetSurroundLevel(int ch, float levelDb);

    // Modes and settings.
    void SaveDeviceMode(int mode);
    void SendMachineSettings();

private:
    bool IsNetwork() const {
        Transport* t = m_transport.load();
        return t && t->IsNetwork();
    }
    std::array<uint32_t, 7> CompressorWords(float threshold, float ratio, float attackMs,
                                            float releaseMs) const;

    ParamStore& m_store;
    DeviceState& m_state;
    std::atomic<Transport*> m_transport{nullptr}; // set by the GUI, read by sync workers
};

} // namespace fenno
