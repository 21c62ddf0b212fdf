#include "sim/sim_device.h"

#include "protocol/commands.h"
#include "protocol/mode_file.h"
#include "protocol/param_store.h"

#include <algorithm>
#include <cstring>

namespace fenno {
namespace {

constexpr int kParamRecordHeader = 3; // module, index, word count
constexpr int kPitchModule = 4;
constexpr int kPitchIndex = 16;
constexpr int kStatusFormatByte = 7;
constexpr int kMeterCount = 6;
constexpr int kMeterRange = 60; // the PC's peak meters show 0..60

// Start volumes unused, both maximum volumes at 99.
constexpr std::array<uint8_t, kMachineSettingsSize> kFactorySettings{0, 0, 0, 0, 0, 0x63, 0x63,
                                                                     0, 0, 0, 0, 0, 0,    0};

constexpr uint8_t kZWaveAck = 0x06;

DeviceImageBytes FactoryImage() {
    ParamStore store;
    store.LoadFactoryImage();
    return store.image;
}

std::vector<uint8_t> TextAnswer(uint8_t cmd, const std::string& text) {
    const size_t n = std::min(text.size(), size_t(kMaxTextAnswer));
    std::vector<uint8_t> a(n + 2, 0); // command, text, terminating zero
    a[0] = cmd;
    std::memcpy(a.data() + 1, text.data(), n);
    return a;
}

// A triangle wave so the PC's meters visibly move, each meter out of phase with the others.
uint8_t MeterLevel(uint32_t poll, int meter) {
    const int period = 2 * kMeterRange;
    const int phase = int((poll * 7u + uint32_t(meter) * 23u) % uint32_t(period));
    return uint8_t(phase <= kMeterRange ? phase : period - phase);
}

} // namespace

int FindParamRecord(const uint8_t* image, int module, int index, int* count) {
    int off = kParamSectionOffset;
    while (off + kParamRecordHeader <= kDeviceImageSize) {
        const int words = image[off + 2];
        const int end = off + kParamRecordHeader + 4 * words;
        // A record without words or running past the end means the rest is not a record list.
        if (words == 0 || end > kDeviceImageSize) return -1;
        if (image[off] == module && image[off + 1] == index) {
            if (count != nullptr) *count = words;
            return off + kParamRecordHeader;
        }
        off = end;
    }
    return -1;
}

bool LoadSimModeFile(const std::string& path, SimConfig& config, std::string& error) {
    ParamStore store;
    store.LoadFactoryImage();
    DeviceInfo header;
    ModeFileError failure;
    // No model to correct the input source for: the file's memory is taken as it stands.
    if (!LoadModeFile(path, store, "", &failure, &header)) {
        error = failure.message;
        return false;
    }
    if (!header.Model().empty()) config.identity.model = std::string(header.Model());
    if (!header.Mcu().empty()) config.identity.mcuVersion = std::string(header.Mcu());
    if (!header.Dsp().empty()) config.identity.dspVersion = std::string(header.Dsp());
    config.image = store.image;
    return true;
}

void SimNoHomeControl::HandleCommand(const uint8_t* p, size_t n, const Emit& emit) {
    switch (p[0]) {
    case kCmdZWave:
        emit({kCmdZWave, 1, kZWaveAck});
        break;
    case kCmdReadPlugMem:
        // No plug memory: an answer with no data bytes keeps the PC's read going.
        emit({kCmdReadPlugMem, n > 1 ? p[1] : uint8_t(0), n > 2 ? p[2] : uint8_t(0), 0});
        break;
    default:
        emit({p[0]});
        break;
    }
}

void SimNoHomeControl::HandleZWaveFrame(const uint8_t*, size_t, const Emit& emit) {
    emit({kCmdZWave, 1, kZWaveAck});
}

SimDevice::SimDevice(SimConfig config) : m_config(std::move(config)) {
    m_factory = FactoryImage();
    m_memory = m_config.image ? *m_config.image : m_factory;
    m_modes.fill(m_memory);
    m_settings = kFactorySettings;
    m_home = std::make_unique<SimNoHomeControl>();
}

void SimDevice::SetOutput(SimOutput output) {
    std::lock_guard call(m_callMutex);
    m_output = std::move(output);
}

void SimDevice::SetHomeControl(std::unique_ptr<SimHomeControl> homeControl) {
    std::lock_guard call(m_callMutex);
    m_home = homeControl ? std::move(homeControl) : std::make_unique<SimNoHomeControl>();
}

void SimDevice::HandlePayload(const uint8_t* payload, size_t n) {
    if (payload == nullptr || n == 0) return;
    std::lock_guard call(m_callMutex);
    m_framesIn[payload[0]].fetch_add(1);
    Answers answers;
    Dispatch(payload, n, answers);
    Emit(answers);
}

void SimDevice::HandleZWaveFrame(const uint8_t* frame, size_t n) {
    if (frame == nullptr || n == 0) return;
    std::lock_guard call(m_callMutex);
    m_zwaveIn.fetch_add(1);
    Answers answers;
    m_home->HandleZWaveFrame(frame, n,
                             [&](std::vector<uint8_t> a) { answers.push_back(std::move(a)); });
    Emit(answers);
}

void SimDevice::Tick(SimClock::time_point now) {
    std::lock_guard call(m_callMutex);
    Answers answers;
    {
        std::lock_guard lock(m_mutex);
        if (m_learn && now >= m_learn->due) {
            const uint8_t k = m_learn->key;
            const uint8_t v = LearnedCode(k);
            m_learn.reset();
            m_keys[0] = kLearnedRemoteType;
            // Byte 0 holds the remote type; a key number outside the table is not stored.
            if (k >= 1 && k < kRemoteKeyTableSize) m_keys[k] = v;
            answers.push_back({kCmdLearnKey, kLearnedRemoteType, k, v});
        }
    }
    m_home->Tick(now, [&](std::vector<uint8_t> a) { answers.push_back(std::move(a)); });
    Emit(answers);
}

std::optional<SimClock::time_point> SimDevice::NextDeadline() const {
    std::optional<SimClock::time_point> home;
    {
        std::lock_guard call(m_callMutex);
        home = m_home->NextDeadline();
    }
    std::lock_guard lock(m_mutex);
    if (!m_learn) return home;
    if (!home) return m_learn->due;
    return std::min(*home, m_learn->due);
}

void SimDevice::Emit(const Answers& answers) {
    for (const auto& a : answers) {
        if (a.empty()) continue;
        m_framesOut[a[0]].fetch_add(1);
        if (m_output) m_output(a.data(), a.size());
    }
}

uint8_t SimDevice::LearnedCode(uint8_t key) {
    // Distinct and non-zero for every key number below 128.
    return uint8_t(0x80 | ((key * 29) & 0x7F));
}

void SimDevice::Dispatch(const uint8_t* p, size_t n, Answers& out) {
    const uint8_t cmd = p[0];
    const uint8_t arg = n > 1 ? p[1] : 0;
    const bool modeOk = n > 1 && arg < kSimModeCount;
    auto ack = [&] { out.push_back({cmd}); };

    switch (cmd) {
    case kCmdSetCurrentMode: {
        std::lock_guard lock(m_mutex);
        if (modeOk) m_currentMode = arg;
        ack();
        break;
    }
    case kCmdStoreMode: {
        std::lock_guard lock(m_mutex);
        if (modeOk) m_modes[arg] = m_memory;
        ack();
        break;
    }
    case kCmdLoadMode:
    case kCmdRestoreMode: {
        std::lock_guard lock(m_mutex);
        if (modeOk) {
            if (cmd == kCmdRestoreMode) m_modes[arg] = m_factory;
            m_memory = m_modes[arg];
            m_currentMode = arg;
        }
        // Exactly one answer: each one makes the PC start a full read.
        ack();
        break;
    }
    case kCmdGetMode: {
        std::lock_guard lock(m_mutex);
        out.push_back({kCmdGetMode, uint8_t(m_currentMode)});
        break;
    }
    case kCmdSetParam:
        WriteParam(p, n);
        ack();
        break;
    case kCmdStatus: {
        std::lock_guard lock(m_mutex);
        std::vector<uint8_t> a{kCmdStatus};
        const auto status = StatusLocked();
        a.insert(a.end(), status.begin(), status.end());
        for (int i = 0; i < kMeterCount; ++i)
            a[1 + i] = MeterLevel(m_statusPolls, i);
        ++m_statusPolls;
        out.push_back(std::move(a));
        break;
    }
    case kCmdZWave:
    case kCmdWritePlugMem:
    case kCmdReadPlugMem:
        m_home->HandleCommand(p, n, [&](std::vector<uint8_t> a) { out.push_back(std::move(a)); });
        break;
    case kCmdReadImage:
        ReadMemory(p, n, out);
        break;
    case kCmdWriteImage:
        WriteMemory(p, n, kDeviceImageSize);
        ack();
        break;
    case kCmdWriteEqImage:
        // Only the EQ part of the memory can be reached this way.
        WriteMemory(p, n, kEqImageSize);
        ack();
        break;
    case kCmdWriteImageEnd:
    case kCmdResetMachine:
        ack();
        break;
    case kCmdLearnKey: {
        std::lock_guard lock(m_mutex);
        // The answer is the learned key itself, once the pretend remote has been pressed.
        m_learn = PendingLearn{arg, SimClock::now() + m_config.learnDelay};
        break;
    }
    case kCmdEndLearn: {
        std::lock_guard lock(m_mutex);
        m_learn.reset();
        ack();
        break;
    }
    case kCmdReadKeys: {
        std::lock_guard lock(m_mutex);
        std::vector<uint8_t> a{kCmdReadKeys};
        a.insert(a.end(), m_keys.begin(), m_keys.begin() + 16);
        out.push_back(std::move(a));
        break;
    }
    case kCmdWriteKeys: {
        std::lock_guard lock(m_mutex);
        const size_t k = std::min(n - 1, m_keys.size());
        std::copy_n(p + 1, k, m_keys.begin());
        ack();
        break;
    }
    case kCmdWriteSettings: {
        std::lock_guard lock(m_mutex);
        const size_t k = std::min(n - 1, m_settings.size());
        std::copy_n(p + 1, k, m_settings.begin());
        ack();
        break;
    }
    case kCmdReadSettings: {
        std::lock_guard lock(m_mutex);
        std::vector<uint8_t> a{kCmdReadSettings};
        a.insert(a.end(), m_settings.begin(), m_settings.end());
        out.push_back(std::move(a));
        break;
    }
    case kCmdDspVersion:
        out.push_back(TextAnswer(cmd, m_config.identity.dspVersion));
        break;
    case kCmdModel:
        out.push_back(TextAnswer(cmd, m_config.identity.model));
        break;
    case kCmdMcuVersion:
        out.push_back(TextAnswer(cmd, m_config.identity.mcuVersion));
        break;
    case kCmdCommandSet: {
        const auto& id = m_config.identity;
        std::vector<uint8_t> a{kCmdCommandSet, uint8_t(id.commandSet), 0};
        a.insert(a.end(), id.board.begin(), id.board.end());
        out.push_back(std::move(a));
        break;
    }
    case kCmdBye:
        break; // the PC is gone; nobody waits for an answer
    default:
        break; // unknown commands get no answer
    }
}

void SimDevice::WriteParam(const uint8_t* p, size_t n) {
    // 09 00 module index count, then count big-endian words.
    if (n < 5 || p[1] != 0) return;
    std::lock_guard lock(m_mutex);
    int words = 0;
    const int off = FindParamRecord(m_memory.data(), p[2], p[3], &words);
    if (off < 0) return;
    const size_t given = std::min<size_t>(p[4], (n - 5) / 4);
    const size_t k = std::min<size_t>(given, size_t(words));
    std::copy_n(p + 5, 4 * k, m_memory.begin() + off);
}

void SimDevice::ReadMemory(const uint8_t* p, size_t n, Answers& out) const {
    if (n < 4) {
        out.push_back({kCmdReadImage, n > 1 ? p[1] : uint8_t(0), n > 2 ? p[2] : uint8_t(0), 0});
        return;
    }
    const int offset = p[1] * 256 + p[2];
    int count = std::min<int>(p[3], kMaxMemAnswer);
    count = std::clamp(count, 0, std::max(0, kDeviceImageSize - offset));
    // The answer's count says how many bytes follow, so the PC never reads past the payload.
    std::vector<uint8_t> a{kCmdReadImage, p[1], p[2], uint8_t(count)};
    std::lock_guard lock(m_mutex);
    a.insert(a.end(), m_memory.begin() + std::min(offset, kDeviceImageSize),
             m_memory.begin() + std::min(offset, kDeviceImageSize) + count);
    out.push_back(std::move(a));
}

void SimDevice::WriteMemory(const uint8_t* p, size_t n, int limit) {
    if (n < 4) return;
    const int offset = p[1] * 256 + p[2];
    if (offset >= limit) return;
    const int count = std::min({int(p[3]), int(n - 4), limit - offset});
    std::lock_guard lock(m_mutex);
    std::copy_n(p + 4, count, m_memory.begin() + offset);
}

std::array<uint8_t, kStatusBlockSize> SimDevice::StatusLocked() const {
    std::array<uint8_t, kStatusBlockSize> s{};
    int words = 0;
    const int off = FindParamRecord(m_memory.data(), kPitchModule, kPitchIndex, &words);
    // The pitch record holds pitch + 5 in its last byte.
    const uint8_t pitch = off >= 0 ? std::min<uint8_t>(m_memory[off + 4 * words - 1], 0x0F) : 5;
    s[kStatusFormatByte] = uint8_t((pitch << 4) | (m_config.decoderFormat & 0x0F));
    const CodecBoards& c = m_config.identity.codecs;
    s[kStatusMicCodec] = c.mic;
    s[kStatusCh78Codec] = c.ch78;
    s[kStatusCh56Codec] = c.ch56;
    s[kStatusCh34Codec] = c.ch34;
    s[kStatusCh12Codec] = c.ch12;
    s[kStatusMusicCodec] = c.music;
    return s;
}

uint64_t SimDevice::TotalFramesIn() const {
    uint64_t t = 0;
    for (const auto& c : m_framesIn)
        t += c.load();
    return t;
}

uint64_t SimDevice::TotalFramesOut() const {
    uint64_t t = 0;
    for (const auto& c : m_framesOut)
        t += c.load();
    return t;
}

DeviceImageBytes SimDevice::Memory() const {
    std::lock_guard lock(m_mutex);
    return m_memory;
}

DeviceImageBytes SimDevice::StoredMode(int mode) const {
    std::lock_guard lock(m_mutex);
    return m_modes[size_t(std::clamp(mode, 0, kSimModeCount - 1))];
}

std::array<uint8_t, kRemoteKeyTableSize> SimDevice::KeyTable() const {
    std::lock_guard lock(m_mutex);
    return m_keys;
}

std::array<uint8_t, kMachineSettingsSize> SimDevice::Settings() const {
    std::lock_guard lock(m_mutex);
    return m_settings;
}

int SimDevice::CurrentMode() const {
    std::lock_guard lock(m_mutex);
    return m_currentMode;
}

SimIdentity SimDevice::Identity() const {
    return m_config.identity;
}

std::array<uint8_t, kStatusBlockSize> SimDevice::StatusBlock() const {
    std::lock_guard lock(m_mutex);
    return StatusLocked();
}

} // namespace fenno
