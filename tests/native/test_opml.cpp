// OPML files of other feed readers read in, the sites written out, and the
// free slots filled from a file.
#include <gtest/gtest.h>

#include <sstream>
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
const std::string kUtf8News = "\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9";

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// Folder names compared as upper-case ASCII; only "Links" stands in Favorites.
class FakeFolders : public SiteFolders
{
  public:
    std::string FolderKey(const CString& name) const override
    {
        std::string key = name.str();
        for (char& c : key)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return key;
    }
    bool FolderExists(const CString& name) const override { return FolderKey(name) == "LINKS"; }
};

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
    const auto body = [](const std::string& name) {
        return "<outline text=\"" + name + "\" xmlUrl=\"http://a.test/\"/>";
    };
    const std::string files[] = {"\xEF\xBB\xBF" + body(kUtf8News), body(kNews),
                                 body("\xA5\xCB\xA5\xE5\xA1\xBC\xA5\xB9"), // EUC-JP
                                 body(kNews) + std::string(kOpmlFileMaxBytes - 50, ' '),
                                 body(kNews) + std::string(kOpmlFileMaxBytes - 49, ' ')};
    TempDir dir;
    for (const std::string& bytes : files) {
        const bool fits = bytes.size() <= kOpmlFileMaxBytes; // the last one is a byte more
        dir.write("sites.opml", bytes);
        std::vector<OpmlOutline> outlines;
        EXPECT_EQ(ReadOpmlFile(dir.file("sites.opml").c_str(), outlines),
                  fits ? OpmlFileStatus::read : OpmlFileStatus::tooLarge);
        EXPECT_EQ(Outlines(outlines), fits ? kNews + "||http://a.test/" : "") << bytes.size();
    }
    std::vector<OpmlOutline> outlines;
    EXPECT_EQ(ReadOpmlFile(dir.file("missing.opml").c_str(), outlines), OpmlFileStatus::unreadable);
}

TEST(OpmlWrite, DocumentEscapedDatedAndReadBack)
{
    const std::string& news = kUtf8News;
    const std::string document = OpmlDocument(
        {{news + " & <b>\"\t\x01", "http://a.test/?x=1&y=2"}, {"B", "https://b.test/"}}, 951868799);
    EXPECT_EQ(
        document,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<opml version=\"2.0\">\r\n  <head>\r\n"
        "    <title>Tansy sites</title>\r\n    <dateCreated>Tue, 29 Feb 2000 23:59:59 GMT"
        "</dateCreated>\r\n  </head>\r\n  <body>\r\n    <outline type=\"rss\" text=\"" +
            news + " &amp; &lt;b&gt;&quot;&#9;\" title=\"" + news +
            " &amp; &lt;b&gt;&quot;&#9;\" xmlUrl=\"http://a.test/?x=1&amp;y=2\"/>\r\n"
            "    <outline type=\"rss\" text=\"B\" title=\"B\" xmlUrl=\"https://b.test/\"/>\r\n"
            "  </body>\r\n</opml>\r\n");
    EXPECT_EQ(Rfc822Date(int64_t(4102444800)),
              "Fri, 01 Jan 2100 00:00:00 GMT"); // past 32-bit time_t
    TempDir dir;
    dir.write("sites.opml", "old");
    ASSERT_TRUE(SaveOpmlFile(dir.file("sites.opml").c_str(), document));
    std::vector<OpmlOutline> outlines;
    ReadOpmlFile(dir.file("sites.opml").c_str(), outlines);
    const std::string name = kNews + " & <b>\"";
    EXPECT_EQ(Outlines(outlines),
              name + "|" + name + "|http://a.test/?x=1&y=2; B|B|https://b.test/");
    EXPECT_FALSE(SaveOpmlFile(dir.file("no folder/sites.opml").c_str(), document));
}

TEST(SiteImport, FeedsFillTheFreeSlotsInOrderAndTheReportSaysSo)
{
    const struct {
        const char* what;
        std::string slots;  // "url|name;..." from slot 0, each with a sound
        std::string feeds;  // "text|title|url;..."
        std::string filled; // "url|name sound;..." of the slots filled, and the report
    } cases[] = {
        {"free slots in order, stale lines replaced, name from text, title or host",
         "http://x.test/|X;|stale", "A|T|http://a.test/;|T| https://b.test/ ;||http://u@c.test:81/",
         "http://a.test/|A;https://b.test/|T;http://u@c.test:81/|c.test;3 sites added, as 2, 3 and "
         "4."},
        {"watched or repeated addresses: scheme and host in any case, the rest exactly",
         "http://x.test/Feed|X", "||HTTP://X.TEST/Feed;||http://x.test/feed;||http://X.test/feed",
         "http://x.test/feed|x.test;1 site added, as 2.\r\nLeft out: 2 already watched."},
        {"not web addresses", "", "||file:///c:/x;||javascript:x;||http:///x;||http://a.test/\x01",
         "No sites added.\r\nLeft out: 4 not a web address."},
        {"names of other slots and the user's folders are never shared",
         "http://x.test/|News;http://y.test/|News (2)",
         "news||http://a/;NEWS.||http://b/;Links||http://c/",
         "http://a/|news (3);http://b/|NEWS. (2);http://c/|Links (2);3 sites added, as 3, 4 and "
         "5."},
        {"hostile names become folder names inside Favorites", "",
         "a/b:c||http://a/;..||http://b/;CON||http://c/;\x01 |..|http://../;" +
             std::string(70, 'n') + "||http://d/",
         "http://a/|a\201\136b\201\106c;http://b/|b;http://c/|CON_;http://../|Site;http://d/|" +
             std::string(64, 'n') + ";5 sites added, as 1, 2, 3, 4 and 5."},
        {"more feeds than free slots",
         "http://1/|1;http://2/|2;http://3/|3;http://4/|4;http://5/|5;http://6/|6;http://7/"
         "|7;http://8/|8",
         "A||http://a/;B||http://b/;||http://1/;C||ftp://c/",
         "http://a/|A;1 site added, as 9.\r\nLeft out: 1 no free slot, 1 already watched, 1 not a "
         "web address."},
    };
    for (const auto& c : cases) {
        SiteEntry slots[kSiteCount];
        const std::vector<std::string> before = Split(c.slots, ';');
        for (size_t i = 0; i < before.size(); ++i)
            slots[i] = {Split(before[i], '|')[0].c_str(), Split(before[i], '|')[1].c_str(),
                        "C:\\x.wav"};
        std::vector<OpmlOutline> feeds;
        for (const std::string& feed : Split(c.feeds, ';'))
            feeds.push_back({Split(feed, '|')[0].c_str(), Split(feed, '|')[1].c_str(),
                             Split(feed, '|')[2].c_str()});
        const ImportReport report = ImportSites(slots, feeds, FakeFolders());
        std::string filled;
        for (const int i : report.added)
            filled += slots[i].url.str() + "|" + slots[i].name.str() + slots[i].sound.str() + ";";
        EXPECT_EQ(filled + ImportReportText(report).str(), c.filled) << c.what;
        for (size_t i = 0; i < before.size(); ++i) // the used slots stay as they were
            if (before[i][0] != '|')
                EXPECT_EQ(slots[i].url + "|" + slots[i].name + slots[i].sound,
                          before[i] + "C:\\x.wav");
    }
}
