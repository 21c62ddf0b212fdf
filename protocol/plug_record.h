// Layout of the device's plug memory: one record per Z-Wave node, then six scene records.
#pragma once

#include "protocol/zwave_frame.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace fenno {

inline constexpr int kPlugRecordSize = 28;
inline constexpr int kPlugNameOffset = 4;
inline constexpr int kPlugNameUnits = 12; // UTF-16 code units, the terminating zero included
inline constexpr int kPlugNameMaxUnits = 11;

inline constexpr int kSceneCount = 6;
inline constexpr int kScenePairs = 28;
inline constexpr int kSceneRecordSize = 2 * kScenePairs;
inline constexpr int kSceneMemoryBase = kPlugRecordSize * kZWaveNodeCount; // 6524
inline constexpr int kPlugMemorySize = kSceneMemoryBase + kSceneCount * kSceneRecordSize;
inline constexpr int kPowerOnScene = 4;
inline constexpr int kPowerOffScene = 5;

static_assert(kSceneMemoryBase == 6524);
static_assert(kPlugMemorySize - 1 == 6859);
static_assert(kPlugNameOffset + 2 * kPlugNameUnits == kPlugRecordSize);

// Scene steps with a node id that is not a plug.
inline constexpr uint8_t kEmptyStepNode = 0;
inline constexpr uint8_t kDelayStepNode = 240; // value: seconds
inline constexpr uint8_t kHdmiStepNode = 254;  // nothing is sent

// Record byte 0, chosen by the user.
enum PlugType : uint8_t {
    kPlugNoType = 0,
    kPlugSwitch = 1,
    kPlugDimmer = 2,
};

using PlugRecord = std::array<uint8_t, kPlugRecordSize>;
using SceneRecord = std::array<uint8_t, kSceneRecordSize>;
using PlugMemory = std::array<uint8_t, kPlugMemorySize>;

struct ScenePair {
    uint8_t node = 0;
    uint8_t value = 0;
    friend bool operator==(const ScenePair&, const ScenePair&) = default;
};

constexpr int PlugRecordAddress(int node) {
    return kPlugRecordSize * node;
}
constexpr int SceneAddress(int scene) {
    return kSceneMemoryBase + kSceneRecordSize * scene;
}
constexpr bool IsValidNode(int node) {
    return node >= 0 && node <= kZWaveMaxNode;
}
constexpr bool IsValidScene(int scene) {
    return scene >= 0 && scene < kSceneCount;
}

// The name up to its terminating zero (at most 12 units).
std::u16string PlugName(const PlugRecord& record);
// Writes the name cut to 11 units (a surrogate pair is never split), a zero, and zero fill.
void SetPlugName(PlugRecord& record, std::u16string_view name);
PlugRecord MakePlugRecord(uint8_t type, std::u16string_view name);

inline ScenePair SceneStep(const SceneRecord& scene, int i) {
    return {scene[size_t(2 * i)], scene[size_t(2 * i + 1)]};
}
inline void SetSceneStep(SceneRecord& scene, int i, ScenePair step) {
    scene[size_t(2 * i)] = step.node;
    scene[size_t(2 * i + 1)] = step.value;
}

// Invalid sequences become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

} // namespace fenno
