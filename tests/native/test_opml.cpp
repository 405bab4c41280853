// OPML files of other feed readers read in, the sites written out, and the
// free slots filled from a file.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "config/opml_read.h"
#include "config/opml_write.h"
#include "config/site_import.h"
#include "temp_dir.h"

namespace
{

// "text|title|url" per outline, joined by "; ".
std::string Outlines(const std::vector<OpmlOutline>& outlines)
{
    std::string out;
    for (const OpmlOutline& o : outlines)
        out +=
            (out.empty() ? "" : "; ") + o.text.str() + "|" + o.title.str() + "|" + o.xmlUrl.str();
    return out;
}

const std::string kNews = "\x83\x6A\x83\x85\x81\x5B\x83\x58"; // ニュース in CP932

} // namespace

TEST(OpmlRead, OutlinesAsExportersWriteThem)
{
    const struct {
        const char* what;
        std::string opml, outlines;
    } cases[] = {
        {"nested folders, flattened in order",
         "<opml version=\"2.0\"><body><outline text=\"Tech\"><outline type=\"rss\" text=\"A\" "
         "xmlUrl=\"http://a.test/rss\"/><outline text=\"Deep\"><outline xmlUrl=\"http://b.test/\" "
         "title=\"B\"/></outline></outline><outline text=\"C\" xmlUrl=\"http://c.test/\"/></body>",
         "A||http://a.test/rss; |B|http://b.test/; C||http://c.test/"},
        {"either quotes, any order, xmlurl spelling, OPML 1.0",
         "<opml version='1.0'><outline xmlurl='http://a.test/?x=1&y=2' title = \"T\" text='A'>",
         "A|T|http://a.test/?x=1&y=2"},
        {"references decoded once, white space folded, bare & kept",
         "<outline text=\" R&amp;D &#x30CB;&#12517;&#x30FC;&#x30B9;\r\n\tnews \" title='AT&T' "
         "xmlUrl=\"http://a.test/&amp;amp;\"/>",
         "R&D " + kNews + " news|AT&T|http://a.test/&amp;"},
        {"comments, CDATA and the internal subset hold no outline",
         "<!DOCTYPE opml [<!ENTITY e \"<outline xmlUrl='http://evil.test/'/>\">]><!-- <outline "
         "xmlUrl=\"http://c.test/\"/> --><![CDATA[<outline xmlUrl='http://d.test/'/>]]>"
         "<outline text=\"&e;\" xmlUrl=\"http://a.test/\"/>",
         "&e;||http://a.test/"},
        {"no xmlUrl, an empty one, another element, an unclosed value",
         "<outlines xmlUrl='http://x.test/'/><outline text='folder'/><outline xmlUrl=''/>"
         "<OUTLINE xmlUrl=http://a.test/ text=\"A><outline xmlUrl='http://b.test/'/>",
         "A><outline xmlUrl='http://b.test/'/>||http://a.test/"},
        {"not OPML", "<rss><channel><item><title>x</title></item></channel></rss>", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Outlines(ReadOpmlOutlines(CString(c.opml))), c.outlines) << c.what;
}

TEST(OpmlRead, FileIsDecodedAsAFeedAndHeldToOneMebibyte)
{
    const std::string body = "<outline text=\"%\" xmlUrl=\"http://a.test/\"/>";
    const struct {
        const char* what;
        std::string bytes; // '%' stands for the name in the file's code
        std::string name;
        OpmlFileStatus status;
    } cases[] = {
        {"UTF-8 with a BOM", "\xEF\xBB\xBF" + body,
         "\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9", OpmlFileStatus::read},
        {"Shift_JIS", body, kNews, OpmlFileStatus::read},
        {"EUC-JP", body, "\xA5\xCB\xA5\xE5\xA1\xBC\xA5\xB9", OpmlFileStatus::read},
        {"one byte too large", body + std::string(kOpmlFileMaxBytes, ' '), "x",
         OpmlFileStatus::tooLarge},
    };
    TempDir dir;
    for (const auto& c : cases) {
        std::string bytes = c.bytes;
        bytes.replace(bytes.find('%'), 1, c.name);
        if (c.status == OpmlFileStatus::tooLarge) bytes.resize(kOpmlFileMaxBytes + 1);
        dir.write("sites.opml", bytes);
        std::vector<OpmlOutline> outlines;
        EXPECT_EQ(ReadOpmlFile(dir.file("sites.opml").c_str(), outlines), c.status) << c.what;
        EXPECT_EQ(Outlines(outlines),
                  c.status == OpmlFileStatus::read ? kNews + "||http://a.test/" : "")
            << c.what;
    }
    std::vector<OpmlOutline> outlines;
    EXPECT_EQ(ReadOpmlFile(dir.file("missing.opml").c_str(), outlines), OpmlFileStatus::unreadable);
}

TEST(OpmlWrite, AttributeTextAndDate)
{
    EXPECT_EQ(OpmlAttributeText("a&b<c>\"d' e\tf\r\ng\x01\x1F\x7F"),
              "a&amp;b&lt;c&gt;&quot;d' e&#9;f&#13;&#10;g\x7F");
    const struct {
        int64_t seconds;
        const char* date;
    } dates[] = {
        {0, "Thu, 01 Jan 1970 00:00:00 GMT"},
        {951782400 + 86399, "Tue, 29 Feb 2000 23:59:59 GMT"},
        {int64_t(4102444800), "Fri, 01 Jan 2100 00:00:00 GMT"}, // past the 32-bit time_t
    };
    for (const auto& d : dates)
        EXPECT_EQ(Rfc822Date(d.seconds), d.date);
}

TEST(OpmlWrite, DocumentReadsBackAsItsSites)
{
    const std::vector<OpmlSite> sites = {
        {"\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9 & <b>", "http://a.test/?x=1&y=2"},
        {"B", "https://b.test/"}};
    const std::string document = OpmlDocument(sites, 0);
    EXPECT_EQ(document.substr(0, document.find("<body>")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<opml version=\"2.0\">\r\n  <head>\r\n"
              "    <title>Tansy sites</title>\r\n    <dateCreated>Thu, 01 Jan 1970 00:00:00 GMT"
              "</dateCreated>\r\n  </head>\r\n  ");
    TempDir dir;
    dir.write("sites.opml", "old");
    ASSERT_TRUE(SaveOpmlFile(dir.file("sites.opml").c_str(), document));
    EXPECT_EQ(dir.read("sites.opml"), document);
    std::vector<OpmlOutline> outlines;
    ReadOpmlFile(dir.file("sites.opml").c_str(), outlines);
    EXPECT_EQ(Outlines(outlines),
              kNews + " & <b>|" + kNews + " & <b>|http://a.test/?x=1&y=2; B|B|https://b.test/");
    EXPECT_FALSE(SaveOpmlFile(dir.file("no folder/sites.opml").c_str(), document));
}

namespace
{

// Folder names compared as upper-case ASCII; `existing` stands in Favorites.
class FakeFolders : public SiteFolders
{
  public:
    std::set<std::string> existing;
    std::string FolderKey(const CString& name) const override
    {
        std::string key = name.str();
        for (char& c : key)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return key;
    }
    bool FolderExists(const CString& name) const override
    {
        for (const std::string& folder : existing)
            if (FolderKey(folder.c_str()) == FolderKey(name)) return true;
        return false;
    }
};

} // namespace

TEST(SiteImport, FeedsFillTheFreeSlotsInOrder)
{
    const struct {
        const char* what;
        std::vector<std::string> before; // "url|name" per slot from 0
        std::vector<OpmlOutline> feeds;
        std::vector<std::string> filled; // "url|name" of the slots filled, in order
        std::vector<int> added;
        int noFreeSlot, alreadyWatched, notWebAddress;
    } cases[] = {
        {"free slots in order, stale lines replaced, name from text, title or host",
         {"http://x.test/|X", "|stale"},
         {{"A", "T", "http://a.test/"},
          {"", "T", " https://b.test/ "},
          {"", "", "http://u@c.test:8080/rss"}},
         {"http://a.test/|A", "https://b.test/|T", "http://u@c.test:8080/rss|c.test"},
         {1, 2, 3},
         0,
         0,
         0},
        {"watched or repeated addresses, scheme and host in any case, the rest exactly",
         {"http://x.test/Feed|X"},
         {{"", "", "HTTP://X.TEST/Feed"},
          {"", "", "http://x.test/feed"},
          {"", "", "http://X.test/feed"}},
         {"http://x.test/feed|x.test"},
         {1},
         0,
         2,
         0},
        {"not web addresses",
         {},
         {{"", "", "file:///c:/x"},
          {"", "", "javascript:alert(1)"},
          {"", "", "http:///x"},
          {"", "", "http://a.test/\x01"}},
         {},
         {},
         0,
         0,
         4},
        {"names of other slots and the user's folders are never shared",
         {"http://x.test/|News", "http://y.test/|News (2)"},
         {{"news", "", "http://a.test/"},
          {"NEWS.", "", "http://b.test/"},
          {"Links", "", "http://c.test/"}},
         {"http://a.test/|news (3)", "http://b.test/|NEWS. (2)", "http://c.test/|Links (2)"},
         {2, 3, 4},
         0,
         0,
         0},
        {"hostile names become folder names inside Favorites",
         {},
         {{"a/b:c", "", "http://a.test/"},
          {"..", "", "http://b.test/"},
          {"CON", "", "http://c.test/"},
          {"\x01 ", "..", "http://../"},
          {std::string(70, 'n'), "", "http://d.test/"}},
         {"http://a.test/|a\x81\x5E"
          "b\x81\x46"
          "c",
          "http://b.test/|b.test", "http://c.test/|CON_", "http://../|Site",
          "http://d.test/|" + std::string(64, 'n')},
         {0, 1, 2, 3, 4},
         0,
         0,
         0},
        {"more feeds than free slots",
         {"http://1.test/|1", "http://2.test/|2", "http://3.test/|3", "http://4.test/|4",
          "http://5.test/|5", "http://6.test/|6", "http://7.test/|7", "http://8.test/|8"},
         {{"A", "", "http://a.test/"},
          {"B", "", "http://b.test/"},
          {"", "", "http://1.test/"},
          {"C", "", "ftp://c.test/"}},
         {"http://a.test/|A"},
         {8},
         1,
         1,
         1},
    };
    for (const auto& c : cases) {
        SiteEntry slots[kSiteCount];
        for (size_t i = 0; i < c.before.size(); ++i) {
            const size_t bar = c.before[i].find('|');
            slots[i].url = c.before[i].substr(0, bar).c_str();
            slots[i].name = c.before[i].substr(bar + 1).c_str();
            slots[i].sound = "C:\\old.wav";
        }
        FakeFolders folders;
        folders.existing = {"Links"};
        const std::vector<SiteEntry> old(slots, slots + kSiteCount);
        const ImportReport report = ImportSites(slots, c.feeds, folders);
        std::vector<std::string> filled;
        for (int i = 0; i < kSiteCount; ++i) {
            if (!old[i].url.IsEmpty()) {
                EXPECT_EQ(slots[i].url + "|" + slots[i].name + "|" + slots[i].sound,
                          old[i].url + "|" + old[i].name + "|C:\\old.wav")
                    << c.what;
            } else if (!slots[i].url.IsEmpty()) {
                EXPECT_TRUE(slots[i].sound.IsEmpty()) << c.what;
                filled.push_back(slots[i].url.str() + "|" + slots[i].name.str());
            }
        }
        EXPECT_EQ(filled, c.filled) << c.what;
        EXPECT_EQ(report.added, c.added) << c.what;
        EXPECT_EQ(report.noFreeSlot, c.noFreeSlot) << c.what;
        EXPECT_EQ(report.alreadyWatched, c.alreadyWatched) << c.what;
        EXPECT_EQ(report.notWebAddress, c.notWebAddress) << c.what;
    }
}

TEST(SiteImport, ReportSaysWhatWasAddedAndWhatLeftOut)
{
    const struct {
        ImportReport report;
        const char* text;
    } cases[] = {
        {{{3}, 0, 0, 0}, "1 site added, as 4."},
        {{{0, 1, 5}, 2, 0, 1},
         "3 sites added, as 1, 2 and 6.\r\nLeft out: 2 no free slot, 1 not a web address."},
        {{{}, 0, 4, 0}, "No sites added.\r\nLeft out: 4 already watched."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImportReportText(c.report).str(), c.text);
}
