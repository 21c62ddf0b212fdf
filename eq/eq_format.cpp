#include "eq/eq_format.h"

#include <cstdio>

namespace fenno {
namespace {

std::string Format(const char* format, double value) {
    // "%.0f" of a huge double needs over 300 characters; measure first.
    const int n = std::snprintf(nullptr, 0, format, value);
    if (n <= 0) return {};
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, value);
    text.resize(static_cast<size_t>(n));
    return text;
}

} // namespace

std::string FormatFrequency(double hz) {
    return Format("%.0fHz", hz);
}
std::string FormatGain(double db) {
    return Format("%+-.1fdB", db);
}
std::string FormatQ(double q) {
    return Format("%.2f", q);
}
std::string FormatAxisGain(double db) {
    return Format("%+-.0fdB", db);
}

} // namespace fenno
