// The activity log, log.txt in the program's directory: the size limit, the
// layout of one line, and appending a line.
#pragma once

#include <cstdint>

#include "framework/cstring.h"

// A log that has grown past this many bytes is emptied before the next line.
constexpr unsigned long long kLogLimitBytes = 10240;

// "%H:%M:%S" of the local time `now` (seconds since 1970-01-01 UTC); empty when it cannot be
// formatted.
CString LogTimeStamp(int64_t now);

// Time stamp, one blank, the message, CR LF.
CString LogLine(const CString& stamp, const CString& message);

// Appends one time-stamped line to log.txt in `directory` (the program's
// directory, ending in a separator, which it makes current), if that file
// exists. Never creates the file; failures are silent.
void WriteLogLine(const CString& directory, const CString& message);
