// Telling a web page from a feed, and finding the feed a page names.
#include <gtest/gtest.h>

#include "fetch/feed_discovery.h"
#include "jis_iconv_reference.h"
#include "temp_dir.h"

TEST(FeedDiscovery, WhatCountsAsAnHtmlPage)
{
    EXPECT_TRUE(IsHtmlPage("\xEF\xBB\xBF \r\n<?xml version=\"1.0\"?><!-- <rss> --><!DOCTYPE html "
                           "PUBLIC \"-//W3C//DTD XHTML 1.0//EN\" \"x.dtd\">\t<HTML xmlns=\"x\">"));
    EXPECT_TRUE(IsHtmlPage("<html"));
    for (const char* other : {"<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><html>", "<feed>",
                              "<!-- <html> -->", "<htmlx>", "<head><title>", "text <html>", ""})
        EXPECT_FALSE(IsHtmlPage(other)) << other;
}

TEST(FeedDiscovery, WhichLinkNamesTheFeed)
{
    const char* const rss = "<link rel=alternate type=application/rss+xml href=";
    const struct {
        std::string text;
        const char* href; // nullptr: no feed link
    } cases[] = {
        {"<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/rss.xml\">", "/rss.xml"},
        {"<LINK HREF='//b.jp/a' TYPE='Application/Atom+XML' REL='Alternate'/>", "//b.jp/a"},
        {"<link rel=\"home alternate\" type=\"application/rdf+xml; charset=x\" "
         "href=\"https://c/r\">",
         "https://c/r"},
        {"<link rel=\"alternate stylesheet\" type=\"application/rss+xml\" href=\"x.css\">"
         "<link rel=alternate type=text/html href=/en>" +
             std::string(rss) + "/feed>",
         "/feed"},
        {"<body><p>news</p><link title=\"Tom's\" " + std::string(rss + 6) + "b.xml></body>",
         "b.xml"},
        {std::string(rss) + "\" /f?a=1&amp;b=2&#x26;c\n&eacute; \">", "/f?a=1&b=2&c&eacute;"},
        {"<title>\x83\x41</title>" + std::string(rss) + "/\x83\x6A\x83\x58.xml>",
         "/\x83\x6A\x83\x58.xml"}, // Shift_JIS, whose trail bytes may be letters
        {"<!-- " + std::string(rss) + "/old> -->", nullptr},
        {"<script>s='" + std::string(rss) + "/js>';</script><style>" + rss + "/c></style>",
         nullptr},
        {"<SCRIPT src=a.js></SCRIPT >" + std::string(rss) + "/s>", "/s"},
        {std::string(rss) + "\"  \">" +
             "<link rel=alternative type=application/rss+xml href=/f>"
             "<link rel=alternate href=/f><linkset rel=alternate type=application/rss+xml href=/f>",
         nullptr},
        {std::string(rss) + "\"/f", nullptr}, // a tag the text ends in
        {std::string(rss) + "\"/a&#13;&#10;b\">" + rss + "/next>", "/next"}, // a control character
    };
    for (const auto& c : cases) {
        CString href = "none";
        EXPECT_EQ(FindFeedLink(c.text.c_str(), href), c.href != nullptr) << c.text;
        EXPECT_EQ(href.str(), c.href ? c.href : "none") << c.text;
    }
}

// The link is found in the decoded text, its href in Shift_JIS whatever the
// page's own code.
TEST(FeedDiscovery, PagesInEachCharacterCode)
{
    const std::string page = "<!DOCTYPE html>\n<html><head><title>みなと町図書館のお知らせ</title>"
                             "<link rel=\"alternate\" type=\"application/rss+xml\" "
                             "href=\"/ニュース.xml\"></head><body>ソース表示、予定表</body></html>";
    TempDir dir;
    const char* const codes[][2] = {{"CP932", ""},
                                    {"EUC-JP", ""},
                                    {"UTF-8", ""},
                                    {"UTF-8", "\xEF\xBB\xBF"},
                                    {"UTF-16LE", "\xFF\xFE"}};
    for (const auto& code : codes) {
        SCOPED_TRACE(code[1]);
        std::string bytes;
        ASSERT_TRUE(jistest::Iconv(code[0], "UTF-8", page, bytes));
        dir.write("dl.dat", code[1] + bytes);
        CString href;
        EXPECT_EQ(ExamineDownload(dir.file("dl.dat").c_str(), href), DownloadKind::pageWithFeedLink)
            << code[0];
        EXPECT_EQ(href.str(), "/\x83\x6A\x83\x85\x81\x5B\x83\x58.xml") << code[0];
    }
    CString href;
    dir.write("dl.dat", "<html><head><title>ホーム</title></head></html>");
    EXPECT_EQ(ExamineDownload(dir.file("dl.dat").c_str(), href), DownloadKind::pageWithoutFeedLink);
    dir.write("dl.dat", "<rss><channel><item><title>記事</title></item>");
    EXPECT_EQ(ExamineDownload(dir.file("dl.dat").c_str(), href), DownloadKind::feed);
}
