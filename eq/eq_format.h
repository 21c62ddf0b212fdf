// Value texts shared by every EQ editor.
#pragma once

#include <string>

namespace fenno {

std::string FormatFrequency(double hz); // "%.0fHz"
std::string FormatGain(double db);      // "%+-.1fdB"
std::string FormatQ(double q);          // "%.2f"
std::string FormatAxisGain(double db);  // "%+-.0fdB", the gain axis labels

} // namespace fenno
