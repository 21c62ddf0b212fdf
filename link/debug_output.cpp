#include "link/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace fenno {

bool DebugEnabled() {
    // Read every time so a test can switch it on; getenv does not allocate.
    const char* v = std::getenv("FENNO_DEBUG");
    return v != nullptr && *v != '\0' && *v != '0';
}

void DebugOutput(const char* format, ...) {
    if (!DebugEnabled()) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fputs(line, stderr);
}

} // namespace fenno
