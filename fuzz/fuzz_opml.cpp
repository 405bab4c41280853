// libFuzzer target for the OPML reader and the slot filling: the input is
// read as an OPML text and its feeds are put into a table whose first slot
// is used. Every outline must name a feed; every filled slot must hold an
// http(s) address and a name that is one folder inside Favorites, never a
// device, never another slot's; the used slot must stay as it was.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "config/opml_read.h"
#include "config/site_import.h"
#include "feed/item_text.h"
#include "feed/site_folder_name.h"

namespace
{

[[noreturn]] void Fail(const char* what, const CString& value)
{
    std::fprintf(stderr, "%s: [", what);
    for (int i = 0; i < value.GetLength(); ++i)
        std::fprintf(stderr, "%02X ", static_cast<unsigned char>(value.GetAt(i)));
    std::fprintf(stderr, "]\n");
    std::abort();
}

// Names compared as the file system does for ASCII; no folder stands yet.
class Folders : public SiteFolders
{
  public:
    std::string FolderKey(const CString& name) const override
    {
        std::string key = name.str();
        for (char& c : key)
            c = ascii::Lower(c);
        return key;
    }
    bool FolderExists(const CString&) const override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CString text(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const std::vector<OpmlOutline> outlines = ReadOpmlOutlines(text);
    for (const OpmlOutline& outline : outlines) {
        if (outline.xmlUrl.IsEmpty()) Fail("outline without a feed", outline.xmlUrl);
        for (const CString* value : {&outline.text, &outline.title, &outline.xmlUrl})
            if (value->Find('\n') >= 0 || value->Find('\r') >= 0 || value->Find('\t') >= 0)
                Fail("white space left unfolded", *value);
    }

    SiteEntry slots[kSiteCount];
    slots[0].url = "http://watched.test/";
    slots[0].name = "Watched";
    slots[0].sound = "C:\\ding.wav";
    const ImportReport report = ImportSites(slots, outlines, Folders());
    if (slots[0].url != "http://watched.test/" || slots[0].name != "Watched" ||
        slots[0].sound != "C:\\ding.wav")
        Fail("the used slot changed", slots[0].name);
    std::set<std::string> keys = {"watched"};
    for (const int i : report.added) {
        CString url = slots[i].url;
        if (!MakeSafeLink(url) || url != slots[i].url) Fail("not a web address", slots[i].url);
        const CString& name = slots[i].name;
        if (!NamesSiteFolder(name) || IsReservedDeviceName(name)) Fail("not a folder name", name);
        for (int k = 0; k < name.GetLength(); ++k)
            if (static_cast<unsigned char>(name.GetAt(k)) < 0x20) Fail("control byte", name);
        std::string key = Folders().FolderKey(name);
        while (!key.empty() && (key.back() == '.' || key.back() == ' '))
            key.pop_back();
        if (!keys.insert(key).second) Fail("a name used twice", name);
    }
    if (report.added.size() + report.noFreeSlot + report.alreadyWatched + report.notWebAddress !=
        outlines.size())
        Fail("a feed neither added nor left out", CString());
    return 0;
}
