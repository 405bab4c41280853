#include "config/site_import.h"

#include "feed/item_text.h"

namespace
{

// Length of the scheme and "//" of an address MakeSafeLink accepted, and
// the position behind its host.
size_t HostEnd(const std::string& url, size_t& hostStart)
{
    hostStart = url.find("//");
    hostStart = hostStart == std::string::npos ? 0 : hostStart + 2;
    const size_t end = url.find_first_of("/?#\\", hostStart);
    return end == std::string::npos ? url.size() : end;
}

std::string LowerAscii(std::string text)
{
    for (char& c : text)
        c = ascii::Lower(c);
    return text;
}

// The host of an address: without user information and port.
CString HostOf(const CString& url)
{
    size_t start;
    const size_t end = HostEnd(url.str(), start);
    std::string host = url.str().substr(start, end - start);
    const size_t at = host.rfind('@');
    if (at != std::string::npos) host.erase(0, at + 1);
    const size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos) host.erase(colon);
    return CString(host);
}

// A candidate name as it would name the folder; empty when it cannot.
CString FolderNameOf(const CString& candidate)
{
    CString name = FitText(candidate, kImportedNameMaxBytes);
    if (!MakeItemFileTitle(name)) return CString();
    return name;
}

// The name as the file system compares folder names: "News." and "news"
// are one folder.
std::string FolderKeyOf(const CString& name, const SiteFolders& folders)
{
    int length = name.GetLength();
    while (length > 0 && (name.GetAt(length - 1) == '.' || name.GetAt(length - 1) == ' '))
        --length;
    return folders.FolderKey(name.Left(length));
}

bool NameTaken(const CString& name, const SiteEntry (&slots)[kSiteCount],
               const SiteFolders& folders)
{
    const std::string key = FolderKeyOf(name, folders);
    for (const SiteEntry& slot : slots)
        if (!slot.url.IsEmpty() && !slot.name.IsEmpty() && FolderKeyOf(slot.name, folders) == key)
            return true;
    // A folder that no slot owns is the user's, and never mirrored into.
    return folders.FolderExists(name);
}

bool Watched(const CString& url, const SiteEntry (&slots)[kSiteCount])
{
    for (const SiteEntry& slot : slots)
        if (!slot.url.IsEmpty() && SameFeedAddress(slot.url, url)) return true;
    return false;
}

} // namespace

bool SameFeedAddress(const CString& a, const CString& b)
{
    size_t startA, startB;
    const size_t endA = HostEnd(a.str(), startA);
    const size_t endB = HostEnd(b.str(), startB);
    return LowerAscii(a.str().substr(0, endA)) == LowerAscii(b.str().substr(0, endB)) &&
           a.str().compare(endA, std::string::npos, b.str(), endB, std::string::npos) == 0;
}

CString ImportedSiteName(const OpmlOutline& outline, const CString& url,
                         const SiteEntry (&slots)[kSiteCount], const SiteFolders& folders)
{
    CString base;
    for (const CString& candidate : {outline.text, outline.title, HostOf(url)}) {
        base = FolderNameOf(candidate);
        if (!base.IsEmpty()) break;
    }
    if (base.IsEmpty()) base = "Site";
    CString name = base;
    for (int copy = 2; NameTaken(name, slots, folders); ++copy)
        name.Format("%s (%d)", base.GetString(), copy);
    return name;
}

ImportReport ImportSites(SiteEntry (&slots)[kSiteCount], const std::vector<OpmlOutline>& outlines,
                         const SiteFolders& folders)
{
    ImportReport report;
    int next = 0; // the first slot that may be free
    for (const OpmlOutline& outline : outlines) {
        CString url = outline.xmlUrl;
        if (!MakeSafeLink(url)) {
            ++report.notWebAddress;
            continue;
        }
        // Slots filled from this list hold their URL already.
        if (Watched(url, slots)) {
            ++report.alreadyWatched;
            continue;
        }
        while (next < kSiteCount && !slots[next].url.IsEmpty())
            ++next;
        if (next == kSiteCount) {
            ++report.noFreeSlot;
            continue;
        }
        const CString name = ImportedSiteName(outline, url, slots, folders);
        SiteEntry& slot = slots[next];
        slot.url = url;
        slot.name = name;
        slot.sound.Empty();
        report.added.push_back(next);
    }
    return report;
}

CString ImportReportText(const ImportReport& report)
{
    CString text;
    const size_t count = report.added.size();
    if (count == 0) {
        text = "No sites added.";
    } else {
        text.Format("%u site%s added, as ", static_cast<unsigned>(count), count == 1 ? "" : "s");
        for (size_t i = 0; i < count; ++i) {
            CString number;
            number.Format("%s%d",
                          i == 0           ? ""
                          : i + 1 == count ? " and "
                                           : ", ",
                          report.added[i] + 1);
            text += number;
        }
        text += ".";
    }
    struct Reason {
        int count;
        const char* what;
    };
    const Reason reasons[] = {{report.noFreeSlot, "no free slot"},
                              {report.alreadyWatched, "already watched"},
                              {report.notWebAddress, "not a web address"}};
    CString left;
    for (const Reason& reason : reasons) {
        if (reason.count == 0) continue;
        CString part;
        part.Format("%s%d %s", left.IsEmpty() ? "" : ", ", reason.count, reason.what);
        left += part;
    }
    if (!left.IsEmpty()) text += "\r\nLeft out: " + left + ".";
    return text;
}
