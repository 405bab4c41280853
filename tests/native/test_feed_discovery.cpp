// Telling a web page from a feed, and finding the feed a page names.
#include <gtest/gtest.h>

#include <string>

#include "fetch/feed_discovery.h"
#include "jis_iconv_reference.h"
#include "temp_dir.h"

TEST(FeedDiscovery, WhatCountsAsAnHtmlPage)
{
    const struct {
        const char* text;
        bool html;
    } cases[] = {
        {"<!DOCTYPE html>\n<html lang=\"ja\"><head>", true},
        {"\xEF\xBB\xBF \r\n<?xml version=\"1.0\"?><!-- <rss> --><!DOCTYPE html PUBLIC \"-//W3C//DTD "
         "XHTML 1.0 Strict//EN\" \"x.dtd\">\t<HTML xmlns=\"http://www.w3.org/1999/xhtml\">",
         true},
        {"<Html>", true},
        {"<html", true},
        {"<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><link>http://a.jp/</link>", false},
        {"<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">", false},
        {"<rdf:RDF><html>", false},
        {"<!-- <html> -->\n<rss>", false},
        {"<htmlx>", false},
        {"<head><title>no root element</title>", false},
        {"text <html>", false},
        {"<!-- never closed <html>", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsHtmlPage(c.text), c.html) << c.text;
}

TEST(FeedDiscovery, WhichLinkNamesTheFeed)
{
    const struct {
        const char* what;
        const char* text;
        const char* href; // nullptr: no feed link
    } cases[] = {
        {"relative", "<head><link rel=\"alternate\" type=\"application/rss+xml\" href=\"/rss.xml\">",
         "/rss.xml"},
        {"any order, any case, single quotes",
         "<LINK HREF='feed.atom' TYPE='Application/Atom+XML' REL='Alternate'>", "feed.atom"},
        {"unquoted values, RDF", "<link rel=alternate type=application/rdf+xml href=index.rdf>",
         "index.rdf"},
        {"absolute",
         "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"https://b.example/atom\" />",
         "https://b.example/atom"},
        {"protocol-relative",
         "<link type=\"application/rss+xml\" rel=\"alternate\" href=\"//feeds.example/x\"/>",
         "//feeds.example/x"},
        {"an alternate style sheet is no feed",
         "<link rel=\"alternate stylesheet\" type=\"application/rss+xml\" href=\"x.css\">"
         "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/feed\">",
         "/feed"},
        {"other words in rel, a charset in type",
         "<link rel=\"home  alternate\" type=\" application/rss+xml; charset=UTF-8\" href=\"/f\">",
         "/f"},
        {"the first feed link counts, not a translation",
         "<link rel=\"alternate\" hreflang=\"en\" type=\"text/html\" href=\"/en/\">"
         "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"/atom\">"
         "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/rss\">",
         "/atom"},
        {"a link in the body",
         "<html><head></head><body><p>news</p>\n"
         "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/b.xml\"></body>",
         "/b.xml"},
        {"a quote of the other kind in a value",
         "<link title=\"Tom's feed\" rel=alternate type=application/rss+xml href=/t>", "/t"},
        {"the first of a repeated attribute",
         "<link rel=alternate rel=stylesheet type=application/rss+xml href=/r1 href=/r2>", "/r1"},
        {"references decoded, blanks dropped",
         "<link rel=\"alternate\" type=\"application/rss+xml\" href=\" /f?a=1&amp;b=2&#x26;c&#38;d\n"
         "&eacute;&#x3042; \">",
         "/f?a=1&b=2&c&d&eacute;&#x3042;"},
        {"Shift_JIS text kept as it is (ア is 83 41)",
         "<title>\x83\x41</title><link rel=alternate type=application/rss+xml "
         "href=\"/\x83\x6A\x83\x85\x81\x5B\x83\x58.xml\">",
         "/\x83\x6A\x83\x85\x81\x5B\x83\x58.xml"},
        {"commented out",
         "<!-- <link rel=\"alternate\" type=\"application/rss+xml\" href=\"/old\"> -->", nullptr},
        {"in a script",
         "<script>var s = '<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/js\">';"
         "</script><style>/* <link rel=alternate type=application/rss+xml href=/css> */</style>",
         nullptr},
        {"after a script",
         "<SCRIPT src=a.js></SCRIPT ><link rel=alternate type=application/rss+xml href=/s>", "/s"},
        {"empty href", "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"  \">", nullptr},
        {"no href", "<link rel=\"alternate\" type=\"application/rss+xml\">", nullptr},
        {"no type", "<link rel=\"alternate\" href=\"/feed\">", nullptr},
        {"not alternate", "<link rel=\"alternative\" type=\"application/rss+xml\" href=\"/f\">",
         nullptr},
        {"another element", "<linkset rel=alternate type=application/rss+xml href=/f>", nullptr},
        {"a tag left open", "<link rel=alternate type=application/rss+xml href=\"/f", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CString href = "unchanged";
        EXPECT_EQ(FindFeedLink(c.text, href), c.href != nullptr);
        EXPECT_EQ(href.str(), c.href ? c.href : "unchanged");
    }
}

// A page as a server sends it: the link is found in the decoded text, its
// href in Shift_JIS whatever the page's own code.
TEST(FeedDiscovery, PagesInEachCharacterCode)
{
    const std::string page =
        "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"x\">"
        "<title>みなと町図書館のお知らせ</title>\n<link rel=\"alternate\" "
        "type=\"application/rss+xml\" title=\"新着情報\" href=\"/ニュース.xml\"></head>"
        "<body>ソース表示、予定表</body></html>\n";
    const std::string sjisHref = "/\x83\x6A\x83\x85\x81\x5B\x83\x58.xml";
    const struct {
        const char* code;
        const char* prefix; // a byte-order mark
    } codes[] = {{"CP932", ""}, {"EUC-JP", ""}, {"UTF-8", ""}, {"UTF-8", "\xEF\xBB\xBF"},
                 {"UTF-16LE", "\xFF\xFE"}};
    TempDir dir;
    for (const auto& c : codes) {
        SCOPED_TRACE(std::string(c.code) + (*c.prefix ? " with BOM" : ""));
        std::string bytes;
        ASSERT_TRUE(jistest::Iconv(c.code, "UTF-8", page, bytes));
        dir.write("dl.dat", c.prefix + bytes);
        CString href;
        EXPECT_EQ(ExamineDownload(dir.file("dl.dat").c_str(), href),
                  DownloadKind::pageWithFeedLink);
        EXPECT_EQ(href.str(), sjisHref);
    }

    const struct {
        const char* text;
        DownloadKind kind;
    } others[] = {
        {"<html><head><title>ホーム</title></head></html>", DownloadKind::pageWithoutFeedLink},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><item><title>記事</title>"
         "<link>http://a.jp/1</link></item></channel></rss>",
         DownloadKind::feed},
        {"", DownloadKind::feed},
    };
    for (const auto& other : others) {
        dir.write("dl.dat", other.text);
        CString href;
        EXPECT_EQ(ExamineDownload(dir.file("dl.dat").c_str(), href), other.kind) << other.text;
    }
}
