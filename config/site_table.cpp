#include "config/site_table.h"

#include "feed/feed_text.h"
#include "framework/file.h"

SiteTable g_sites;

namespace
{
const char kStatusFile[] = "status.dat";
const char kStatusTempFile[] = "status.tmp";
} // namespace

void SiteTable::Load()
{
    if (!SetCurrentDir(directory)) return;
    CStdioFile file;
    if (!file.Open(kStatusFile, CFile::modeRead | CFile::typeText)) return;
    try {
        for (SiteEntry& slot : slots) {
            file.ReadString(slot.url);
            file.ReadString(slot.name);
            file.ReadString(slot.sound);
        }
    } catch (const CFileException&) {
        // A read error keeps what was read; the rest stays as it was emptied.
    }
}

void SiteTable::Save()
{
    // Never write the file anywhere but in the program's directory.
    if (!SetCurrentDir(directory)) return;
    CString text;
    for (const SiteEntry& slot : slots) {
        text += slot.url;
        text += "\r\n";
        text += slot.name;
        text += "\r\n";
        text += slot.sound;
        text += "\r\n";
    }
    try {
        CFile file(kStatusTempFile, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
        file.Write(text.GetString(), static_cast<unsigned>(text.GetLength()));
        file.Flush();
    } catch (const CFileException&) {
        DeleteFileNamed(kStatusTempFile);
        return;
    }
    if (!ReplaceFileWith(kStatusTempFile, kStatusFile)) DeleteFileNamed(kStatusTempFile);
}

void SiteTable::SanitizeFileName(CString& text)
{
    ::SanitizeFileName(text);
}
