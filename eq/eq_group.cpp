#include "eq/eq_group.h"

#include "eq/eq_response.h"

#include <algorithm>

namespace fenno {
namespace {

inline constexpr std::array<std::array<int, 4>, 5> kMenuGroupSections{{
    {1, 1, 1, 1},
    {18, 20, 1, 1},
    {19, 21, 1, 1},
    {4, 1, 1, 1},
    {5, 1, 1, 1},
}};

// Sets master gain to 0 and the four section kinds in order, recomputing after each.
void ApplySections(std::span<EqBand> bands, int master, const std::array<int, 4>& kinds,
                   int plotWidth) {
    EqBand& m = bands[master];
    SetBandGain(m, 0.0f);
    SetBandKind(m, kinds[0]);
    ComputeResponse(bands, master, plotWidth);
    const int followers = std::min(m.followerCount, kMaxFollowers);
    for (int k = 0; k < followers; ++k) {
        const int f = m.followers[k];
        if (f < 0 || f >= static_cast<int>(bands.size()) || f == master) continue;
        SetBandKind(bands[f], kinds[k + 1]);
        ComputeResponse(bands, f, plotWidth);
    }
}

bool IsMaster(std::span<const EqBand> bands, int index) {
    return index >= 0 && index < static_cast<int>(bands.size()) && IsGroupMaster(bands[index]);
}

} // namespace

int ClassifyGroup(int k0, int k1, int k2, int k3, int& listKind) {
    const std::array<int, 4> kinds{k0, k1, k2, k3};
    for (const GroupClassRow& row : kGroupClasses) {
        if (row.sections == kinds) {
            listKind = row.listKind;
            return row.groupClass;
        }
    }
    return 0;
}

void SetGroupCrossover(std::span<EqBand> bands, int master, int code, int plotWidth) {
    if (!IsMaster(bands, master)) return;
    if (code < 1 || code >= kCrossoverCodeCount) code = 0;
    const CrossoverRow& row = kCrossoverSections[code];
    // Kind 1 (flat) counts as odd, so a flat group becomes a high-pass.
    const bool lowPass = bands[master].kind % 2 == 0;
    ApplySections(bands, master, lowPass ? row.lowPass : row.highPass, plotWidth);
}

bool SetGroupKind(std::span<EqBand> bands, int index, int kind, int plotWidth) {
    if (index < 0 || index >= static_cast<int>(bands.size())) return false;
    if (!IsGroupMaster(bands[index])) {
        SetBandKind(bands[index], kind);
        ComputeResponse(bands, index, plotWidth);
        return true;
    }
    if (kind < 1 || kind > 5) return false;
    ApplySections(bands, index, kMenuGroupSections[kind - 1], plotWidth);
    return true;
}

} // namespace fenno
