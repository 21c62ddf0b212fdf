// Whole-file reads and crash-safe writes for the files the PC keeps (mode and remote files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fenno {

// Reads at most max bytes into out (resized to what was read). 0, or the errno of the failure.
int ReadFileUpTo(const std::string& path, size_t max, std::vector<uint8_t>& out);

// Writes to a temporary file in the same folder and renames it over path, so a failure half-way
// never destroys the previous file. 0, or the errno of the failed step.
int WriteFileAtomically(const std::string& path, const uint8_t* data, size_t n);

// "Errcode=%d,Can't write to file:\n%s\nProbaby it is write protected."
std::string WriteFailText(int code, const std::string& path);

} // namespace fenno
