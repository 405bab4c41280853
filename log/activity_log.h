// Pieces of the activity log (log.txt) that need no file: the size limit and
// the layout of one line. SiteTable::WriteLog does the file work.
#pragma once

#include <ctime>

#include "framework/cstring.h"

// A log that has grown past this many bytes is emptied before the next line.
constexpr unsigned long long kLogLimitBytes = 10240;

// "%H:%M:%S" of the local time `now`; empty when it cannot be formatted.
CString LogTimeStamp(std::time_t now);

// Time stamp, one blank, the message, CR LF.
CString LogLine(const CString& stamp, const CString& message);

// Local time as a broken-down time; false when it cannot be converted.
bool LocalTime(std::time_t now, std::tm& out);
