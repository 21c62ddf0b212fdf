#include "protocol/eq_record.h"

#include <algorithm>
#include <cmath>

#include "eq/eq_block.h"
#include "protocol/bytes.h"

namespace fenno {

static uint16_t To16(double v) {
    if (!(v > 0)) return 0;
    return uint16_t(std::min(std::trunc(v), 65535.0));
}

EqRecordBytes EncodeEqRecord(float gainDb, int freqHz, float q, uint8_t type) {
    EqRecordBytes r{};
    StoreBe16(&r[0], To16((double(gainDb) + 0.05 + 15.0) * 10.0));
    StoreBe16(&r[2], To16(freqHz));
    // Formed in single precision on purpose: Q 1.41 must be stored as 1410, not 1409.
    StoreBe16(&r[4], To16(double(q * 1000.0f)));
    r[6] = type;
    return r;
}

EqRecord DecodeEqRecord(const uint8_t* bytes) {
    EqRecord r;
    r.gainDb = float(LoadBe16(&bytes[0]) / 10.0 - 15.0);
    r.freqHz = LoadBe16(&bytes[2]);
    r.q = float(LoadBe16(&bytes[4]) / 1000.0);
    r.type = bytes[6];
    return r;
}

int EqRecordOffset(int block, int band) {
    if (!IsValidBlock(block)) return band * 7;
    int base = kEqBlocks[block].recordOffset;
    return base < 0 ? -1 : base + band * 7;
}

} // namespace fenno
