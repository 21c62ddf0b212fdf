#include "eq/eq_model.h"

#include "eq/eq_block.h"
#include "eq/eq_group.h"

#include <algorithm>

namespace fenno {
namespace {

inline constexpr std::array<int, 7> kPlaceholderFreqs{31, 62, 125, 250, 500, 1000, 2000};

} // namespace

EqModel::EqModel() {
    for (int i = 0; i < kPanelBandCount; ++i)
        m_bands[i].index = i;
}

void EqModel::SetPlotWidth(int width) {
    if (width == m_plotWidth) return;
    m_plotWidth = width;
    RecomputeAll();
}

EqBand* EqModel::BandAt(int index) {
    return (index >= 0 && index < kPanelBandCount) ? &m_bands[index] : nullptr;
}

const EqBand* EqModel::BandAt(int index) const {
    return (index >= 0 && index < kPanelBandCount) ? &m_bands[index] : nullptr;
}

void EqModel::ResetBand(int index, float frequency) {
    EqBand& b = m_bands[index];
    b.index = index;
    b.kind = kFilterPeq;
    b.frequency = frequency;
    b.gain = 0.0f;
    b.q = kDefaultPeqQ;
    b.followerCount = 0;
    b.followers = {-1, -1, -1};
}

void EqModel::SetBlock(int block) {
    m_block = block;
    const std::span<const int> freqs = DefaultFreqs(block);
    m_bandCount =
        std::min({fenno::BandCount(block), static_cast<int>(freqs.size()), kPanelBandCount});
    // Groups of the previous block must not survive beyond the bands now in use.
    for (EqBand& b : m_bands) {
        b.followerCount = 0;
        b.followers = {-1, -1, -1};
    }
    for (int i = 0; i < m_bandCount; ++i) {
        ResetBand(i, static_cast<float>(freqs[i]));
        fenno::ComputeResponse(m_bands, i, m_plotWidth);
    }
    if (IsOutputBlock(block)) {
        EqBand& master = m_bands[kGroupMasterBand];
        master.followerCount = kMaxFollowers;
        master.followers = {kGroupMasterBand + 1, kGroupMasterBand + 2, kGroupMasterBand + 3};
    }
}

void EqModel::SetPlaceholderBands() {
    m_bandCount = static_cast<int>(kPlaceholderFreqs.size());
    for (EqBand& b : m_bands) {
        b.followerCount = 0;
        b.followers = {-1, -1, -1};
    }
    for (int i = 0; i < m_bandCount; ++i) {
        ResetBand(i, static_cast<float>(kPlaceholderFreqs[i]));
        fenno::ComputeResponse(m_bands, i, m_plotWidth);
    }
}

bool EqModel::SetBandKind(int index, int kind) {
    EqBand* b = BandAt(index);
    if (!b) return false;
    fenno::SetBandKind(*b, kind);
    fenno::ComputeResponse(m_bands, index, m_plotWidth);
    return true;
}

bool EqModel::SetBandGain(int index, float db) {
    EqBand* b = BandAt(index);
    if (!b) return false;
    fenno::SetBandGain(*b, db);
    fenno::ComputeResponse(m_bands, index, m_plotWidth);
    return true;
}

bool EqModel::SetBandQ(int index, float q) {
    EqBand* b = BandAt(index);
    if (!b) return false;
    fenno::SetBandQ(*b, q);
    fenno::ComputeResponse(m_bands, index, m_plotWidth);
    return true;
}

bool EqModel::SetBandFrequency(int index, float hz) {
    EqBand* b = BandAt(index);
    if (!b) return false;
    fenno::SetBandFrequency(*b, hz);
    fenno::ComputeResponse(m_bands, index, m_plotWidth);
    return true;
}

bool EqModel::ComputeResponse(int index) {
    if (!BandAt(index)) return false;
    fenno::ComputeResponse(m_bands, index, m_plotWidth);
    return true;
}

void EqModel::RecomputeAll() {
    if (m_plotWidth <= 0) return;
    std::array<bool, kPanelBandCount> viaMaster{};
    for (int i = 0; i < m_bandCount; ++i) {
        const EqBand& b = m_bands[i];
        // A master of kind 0 does not update its followers, so they are computed on their own.
        if (b.kind == kFilterOff) continue;
        for (int k = 0; k < std::min(b.followerCount, kMaxFollowers); ++k) {
            const int f = b.followers[k];
            if (f >= 0 && f < kPanelBandCount && f != i) viaMaster[f] = true;
        }
    }
    for (int i = 0; i < m_bandCount; ++i) {
        if (!viaMaster[i]) fenno::ComputeResponse(m_bands, i, m_plotWidth);
    }
}

bool EqModel::SetGroupCrossover(int master, int code) {
    const EqBand* b = BandAt(master);
    if (!b || !IsGroupMaster(*b)) return false;
    fenno::SetGroupCrossover(m_bands, master, code, m_plotWidth);
    return true;
}

bool EqModel::SetGroupKind(int index, int kind) {
    return fenno::SetGroupKind(m_bands, index, kind, m_plotWidth);
}

ResponseCurve EqModel::SumResponse() const {
    return fenno::SumResponse(m_bands, m_bandCount);
}

ResponseCurve EqModel::GroupResponse(int index) const {
    return fenno::GroupResponse(m_bands, index);
}

} // namespace fenno
