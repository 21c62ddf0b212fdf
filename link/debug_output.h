// Developer diagnostics of the link and protocol layers: plain text lines, no levels, no log file.
#pragma once

namespace fenno {

// True when FENNO_DEBUG is set in the environment; diagnostics go to stderr only then.
bool DebugEnabled();

// printf-style; the text is written as given (the callers supply their own line ends).
void DebugOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace fenno
