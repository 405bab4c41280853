#include "log/activity_log.h"

#include "config/site_table.h"
#include "framework/file.h"

bool LocalTime(std::time_t now, std::tm& out)
{
#if defined(_WIN32)
    return localtime_s(&out, &now) == 0;
#else
    return localtime_r(&now, &out) != nullptr;
#endif
}

CString LogTimeStamp(std::time_t now)
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

void SiteTable::WriteLog(CString message)
{
    if (!SetCurrentDir(directory)) return;
    // Write only, existing file only, no sharing: a missing log.txt means
    // logging is off, and a log held open by another program loses the line.
    CFile file;
    if (!file.Open("log.txt", CFile::modeWrite)) return;
    try {
        if (file.GetLength() > kLogLimitBytes) file.SetLength(0);
        file.SeekToEnd();
        const CString line = LogLine(LogTimeStamp(std::time(nullptr)), message);
        file.Write(line.GetString(), static_cast<unsigned>(line.GetLength()));
    } catch (const CFileException&) {
        // A line that cannot be written is lost without notice.
    }
}
