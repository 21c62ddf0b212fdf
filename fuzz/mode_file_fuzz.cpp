// Arbitrary bytes as a mode file: refused or applied, never out of bounds, host values sane.
#include <cmath>
#include <cstdlib>

#include "protocol/mode_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fenno::ParamStore* store = new fenno::ParamStore;
    fenno::ModeFileError err;
    fenno::DeviceInfo header;
    const char* model = size && (data[0] & 1) ? "Fenno" : "Istren";
    if (fenno::ApplyModeFileBytes(data, size, *store, model, &err, &header)) {
        if (header.modelName.back() != 0 || header.mcuVersion.back() != 0) std::abort();
        if (store->musicPitch < -5 || store->musicPitch > 250) std::abort();
    } else if (!err.badVersion) {
        std::abort();
    }
    return 0;
}
