// The Atom entry scan and links wrapped in CDATA, on small feeds written for
// the edge cases and on the Atom feeds of the corpus.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "feed/decode_feed.h"
#include "feed/feed_text.h"
#include "feed/item_scan.h"
#include "feed_corpus.h"
#include "scan_items.h"

namespace
{

using testscan::Items;
using testscan::Scan;

std::string Atom(const std::string& entries)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<feed xmlns=\"http://www.w3.org/2005/Atom\">\n<title>Site</title>\n"
           "<link rel=\"alternate\" href=\"http://site/\"/>\n" +
           entries + "</feed>\n";
}

TEST(ScanAtomEntries, ReadsTitleAndLinkOfEachEntry)
{
    struct Case {
        const char* what;
        std::string entry;
        Items expected;
    };
    const Case cases[] = {
        {"plain",
         "<entry><title>One</title><link href=\"http://a/1\"/></entry>",
         {{"One", "http://a/1"}}},
        {"attributes on entry, title and link",
         "<entry xml:lang=\"ja\">\n <title type=\"text\">One</title>\n"
         " <link rel=\"alternate\" type=\"text/html\" href=\"http://a/1\" />\n</entry>",
         {{"One", "http://a/1"}}},
        {"self and enclosure before the alternate link",
         "<entry><link rel=\"self\" href=\"http://a/self\"/>"
         "<link rel='enclosure' href='http://a/x.mp3'/><title>One</title>"
         "<link rel=\"alternate\" href=\"http://a/1\"/></entry>",
         {{"One", "http://a/1"}}},
        {"no rel, single quotes, blanks around =",
         "<entry><title>One</title><link type='text/html' href = 'http://a/1'/></entry>",
         {{"One", "http://a/1"}}},
        {"first usable link wins",
         "<entry><title>One</title><link href=\"http://a/1\"/><link href=\"http://a/2\"/></entry>",
         {{"One", "http://a/1"}}},
        {"link with a closing tag",
         "<entry><title>One</title><link href=\"http://a/1\"></link></entry>",
         {{"One", "http://a/1"}}},
        {"html title with escaped markup",
         "<entry><title type=\"html\">A &amp;lt;b&amp;gt; &amp;amp; B</title>"
         "<link href=\"http://a/1?x=1&amp;y=2\"/></entry>",
         {{"A & B", "http://a/1?x=1&y=2"}}},
        {"title made into a file name",
         "<entry><title> Q: why? </title><link href=\"http://a/1\"/></entry>",
         {{"Q\x81\x46 why\x81\x48", "http://a/1"}}},
        {"Shift_JIS title with 0x5C trail byte",
         "<entry><title>\x83\x5C\x95\\</title><link href=\"http://a/1\"/></entry>",
         {{"\x83\x5C\x95\\", "http://a/1"}}},
        {"the source feed's title and link before the entry's own",
         "<entry><source><id>o</id><title>Origin blog</title>"
         "<link rel=\"alternate\" href=\"http://origin/\"/></source>"
         "<title>One</title><link href=\"http://a/1\"/></entry>",
         {{"One", "http://a/1"}}},
        {"tags in summary, content, comments and CDATA before the entry's own",
         "<entry><summary type=\"html\"><![CDATA[<title>S</title>]]></summary>"
         "<content type=\"xhtml\"><div><link href=\"http://c/\"/><title>C</title></div></content>"
         "<!-- <title>Old</title><link href=\"http://old/\"/> -->"
         "<![CDATA[<title>D</title>]]><content src=\"http://a/x.mp3\"/>"
         "<title>One</title><link href=\"http://a/1\"/></entry>",
         {{"One", "http://a/1"}}},
        {"an end tag inside a comment",
         "<entry><!-- </entry> --><title>One</title><link href=\"http://a/1\"/></entry>",
         {{"One", "http://a/1"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Scan(Atom(c.entry)), c.expected) << c.what;
}

TEST(ScanAtomEntries, SkipsEntriesWithoutUsableTitleOrLinkAndGoesOn)
{
    const std::string last = "<entry><title>Last</title><link href=\"http://a/9\"/></entry>\n";
    const char* const broken[] = {
        "<entry><title>No link</title><summary>x</summary></entry>",
        "<entry><title>Only self</title><link rel=\"self\" href=\"http://a/s\"/></entry>",
        "<entry><title>Link without href</title><link rel=\"alternate\"/></entry>",
        "<entry><title>Relative</title><link href=\"/a/1\"/></entry>",
        "<entry><title></title><link href=\"http://a/1\"/></entry>",
        "<entry><title/><link href=\"http://a/1\"/></entry>",
        "<entry><title>   </title><link href=\"http://a/1\"/></entry>",
        "<entry><link href=\"http://a/1\"/></entry>",
        "<entry><title>Empty href</title><link href=\"\"/></entry>",
        "<entry/>",
        "<entry><title>Only the source's link</title>"
        "<source><link rel=\"alternate\" href=\"http://origin/\"/></source></entry>",
        "<entry><source><title>Only the source's title</title></source>"
        "<link href=\"http://a/1\"/></entry>",
        "<!-- <entry><title>Commented out</title><link href=\"http://a/1\"/></entry> -->",
    };
    for (const char* entry : broken)
        EXPECT_EQ(Scan(Atom(std::string(entry) + "\n" + last)), (Items{{"Last", "http://a/9"}}))
            << entry;
}

TEST(ScanAtomEntries, OnlyARootFeedElementMakesAtom)
{
    const std::string entry = "<entry><title>One</title><link href=\"http://a/1\"/></entry>";
    const std::string item = "<item><title>Two</title><link>http://a/2</link></item>";
    // Whatever stands before the root element is skipped.
    EXPECT_EQ(Scan("\r\n<?xml version=\"1.0\"?>\n<?xml-stylesheet href=\"s.xsl\"?>\n"
                   "<!-- a comment with <rss> in it -->\n"
                   "<!DOCTYPE feed [<!ENTITY e \"<x>\">]>\n<feed>" +
                   entry + item + "</feed>"),
              (Items{{"One", "http://a/1"}}));
    EXPECT_EQ(Scan("<feed\n version=\"0.3\">" + entry + "</feed>"), (Items{{"One", "http://a/1"}}));
    // Any other root is RSS, even with entries inside.
    EXPECT_EQ(Scan("<rss><channel>" + entry + item + "</channel></rss>"),
              (Items{{"Two", "http://a/2"}}));
    EXPECT_EQ(Scan("<feeds>" + entry + item + "</feeds>"), (Items{{"Two", "http://a/2"}}));
    EXPECT_EQ(Scan("<!-- <feed> -->" + entry + item), (Items{{"Two", "http://a/2"}}));
    EXPECT_EQ(Scan("text <feed>" + entry + item + "</feed>"), (Items{{"Two", "http://a/2"}}));

    // A prefixed root: its entries, titles and links are those of the same
    // prefix, read by the same rules.
    const std::string prefixed =
        "<atom:entry><atom:source><atom:title>Origin</atom:title>"
        "<atom:link href=\"http://origin/\"/></atom:source>"
        "<atom:title type=\"text\">P</atom:title><atom:link rel=\"self\" href=\"http://a/s\"/>"
        "<atom:link href=\"http://a/p\"/></atom:entry>";
    EXPECT_EQ(
        Scan("<?xml version=\"1.0\"?>\n<atom:feed xmlns:atom=\"http://www.w3.org/2005/Atom\">" +
             entry + prefixed + item + "</atom:feed>"),
        (Items{{"P", "http://a/p"}}));
    EXPECT_EQ(Scan("<a:b:feed>" + prefixed + item + "</a:b:feed>"), (Items{{"Two", "http://a/2"}}));
    EXPECT_EQ(Scan("<:feed>" + prefixed + item + "</:feed>"), (Items{{"Two", "http://a/2"}}));
    EXPECT_EQ(Scan("<atom:feeds>" + prefixed + item + "</atom:feeds>"),
              (Items{{"Two", "http://a/2"}}));
}

TEST(ScanAtomEntries, EndsAtAnUnclosedEntry)
{
    EXPECT_EQ(Scan(Atom("<entry><title>One</title><link href=\"http://a/1\"/></entry>"
                        "<entry><title>Two</title><link href=\"http://a/2\"/>")),
              (Items{{"One", "http://a/1"}}));
    // Entry tags are found by characters: "<entry>" behind a lead byte is not one.
    EXPECT_EQ(Scan(Atom("\x81<entry><title>One</title><link href=\"http://a/1\"/></entry>")),
              Items{});
}

TEST(CdataLinks, AreUnwrappedBeforeTheLinkCheck)
{
    const std::string rss = "<item><title>One</title><link><![CDATA[http://a/1]]></link></item>"
                            "<item><title>Two</title><link> <![CDATA[ \r\nhttp://a/2\t]]>\n"
                            "</link></item>"
                            "<item><title>Three</title><link><![CDATA[]]></link></item>"
                            "<item><title>Four</title><link><![CDATA[/rel]]></link></item>"
                            "<item><title><![CDATA[Five]]></title><link>http://a/5</link></item>";
    EXPECT_EQ(Scan(rss), (Items{{"One", "http://a/1"},
                                {"Two", "http://a/2"},
                                {"Five", "http://a/5"}}));
    EXPECT_EQ(
        Scan(Atom("<entry><title>One</title><link href=\"<![CDATA[http://a/1]]>\"/></entry>")),
        (Items{{"One", "http://a/1"}}));

    // Only a whole wrapper is taken off.
    const char* const refused[] = {"<![CDATA[http://a/1", "<![CDATA[]]>", "x<![CDATA[http://a/1]]>",
                                   "<![CDATA[http://a/1]]>x", "<![CDATA[<![CDATA[http://a/1]]>]]>"};
    for (const char* text : refused) {
        CString link(text);
        EXPECT_FALSE(MakeSafeLink(link)) << text;
    }
    CString link(" <![CDATA[https://a/1]]> ");
    EXPECT_TRUE(MakeSafeLink(link));
    EXPECT_EQ(link, "https://a/1");
}

// --- the Atom feeds of the corpus -------------------------------------------

TEST(ScanAtomEntries, RealAtomFeeds)
{
    NEED_FEED_CORPUS();
    struct Expectation {
        const char* file;
        size_t count;
        std::pair<const char*, const char*> first;
        std::pair<const char*, const char*> second;
    };
    const Expectation feeds[] = {
        // Atom 0.3, EUC-JP.
        {"chardet/eucjp_atom03_overcube.com.xml",
         15,
         {"\x82\xA0\x82\xAF\x82\xDC\x82\xB5\x82\xC4\x82\xA8\x82\xDF\x82\xC5\x82\xC6\x82\xA4"
          "\x82\xB2\x82\xB4\x82\xA2\x82\xDC\x82\xB7",
          "http://www.overcube.com/blog/archives/000681.php"},
         {nullptr, nullptr}},
        // Atom 0.3, CP932.
        {"chardet/cp932_atom03_declared-sjis_y-moto.com.xml",
         15,
         {"\x82\xB3\x82\xE7\x82\xC8\x82\xE9\x96\x68\x8A\xA6\x91\xCE\x8D\xF4",
          "http://www.y-moto.com/bd-1/archives/2006/01/bd1_9.html"},
         {nullptr, nullptr}},
        // Atom 1.0, UTF-8; every entry has rel="shorturl" and "related" links
        // behind the alternate one.
        {"rsparser/atom10_named-rss_DaringFireball.rss",
         47,
         {"Apple Product Event\x81\x46 Monday March 21",
          "http://recode.net/2016/02/27/remark-your-calendars-apples-product-event-will-week-of-"
          "march-21/"},
         {"Manuscripts and Findings", "http://nucleobytes.com/df.html"}},
        // Atom 1.0 behind a comment, Shift_JIS, one entry without a link.
        {"feedparser/sjis_atom10_no-decl_shiftjis.xml", 0, {nullptr, nullptr}, {nullptr, nullptr}},
    };
    for (const Expectation& e : feeds) {
        SCOPED_TRACE(e.file);
        CString text;
        DecodeFeedFile(feedcorpus::Path(e.file).c_str(), text);
        const Items items = Scan(text.str());
        ASSERT_EQ(items.size(), e.count);
        if (e.count == 0) continue;
        EXPECT_EQ(items.front(), (std::pair<std::string, std::string>(e.first)));
        if (e.second.first) {
            EXPECT_EQ(items[1], (std::pair<std::string, std::string>(e.second)));
        }
        for (const auto& item : items)
            EXPECT_EQ(item.second.compare(0, 4, "http"), 0) << item.second;
    }
}

} // namespace
