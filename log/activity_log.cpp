#include "log/activity_log.h"

#include "framework/file.h"
#include "framework/local_time.h"

namespace
{
const char kLogFile[] = "log.txt";
} // namespace

CString LogTimeStamp(int64_t now)
{
    std::tm local;
    char buf[128];
    if (!LocalTime(now, local) || std::strftime(buf, sizeof buf, "%H:%M:%S", &local) == 0)
        return CString();
    return CString(buf);
}

CString LogLine(const CString& stamp, const CString& message)
{
    return stamp + " " + message + "\r\n";
}

void WriteLogLine(const CString& directory, const CString& message)
{
    if (!SetCurrentDir(directory)) return;
    // Write only, existing file only, no sharing: a missing log.txt means
    // logging is off, and a log held open by another program loses the line.
    CFile file;
    if (!file.Open(kLogFile, CFile::modeWrite)) return;
    try {
        if (file.GetLength() > kLogLimitBytes) file.SetLength(0);
        file.SeekToEnd();
        const CString line = LogLine(LogTimeStamp(ClockSeconds()), message);
        file.Write(line.GetString(), static_cast<unsigned>(line.GetLength()));
    } catch (const CFileException&) {
        // A line that cannot be written is lost without notice.
    }
}
