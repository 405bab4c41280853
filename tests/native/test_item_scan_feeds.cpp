// The item scan over real feeds of the third-party corpus as they are stored
// (ASCII or Shift_JIS, so they need no decoding).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "feed/feed_text.h"
#include "feed/item_scan.h"
#include "feed_corpus.h"
#include "read_file.h"
#include "scan_items.h"

namespace
{

using testscan::Items;
using testscan::Scan;

std::string ReadFeed(const std::string& name)
{
    std::string bytes;
    EXPECT_TRUE(testfiles::ReadFile(feedcorpus::Path(name), bytes))
        << "cannot read " << feedcorpus::Path(name);
    return bytes;
}

Items ScanFeed(const std::string& name)
{
    return Scan(ReadFeed(name));
}

struct FeedExpectation {
    const char* file;
    size_t count;
    std::pair<const char*, const char*> first;
    std::pair<const char*, const char*> last;
};

void ExpectItems(const FeedExpectation& e)
{
    SCOPED_TRACE(e.file);
    const Items items = ScanFeed(e.file);
    ASSERT_EQ(items.size(), e.count);
    EXPECT_EQ(items.front(), (std::pair<std::string, std::string>(e.first)));
    EXPECT_EQ(items.back(), (std::pair<std::string, std::string>(e.last)));
}

TEST(ScanRealFeeds, ShiftJisFeedsGiveOneShortcutPerItem)
{
    NEED_FEED_CORPUS();
    const FeedExpectation feeds[] = {
        {"chardet/sjis_rss10_10e.org.xml",
         30,
         {"\x82\xA2\x82\xEB\x82\xA2\x82\xEB\x82\xBF\x82\xE5\x82\xC1\x82\xC6\x91\xD2\x82\xC1"
          "\x82\xC4\x83l\x81"
          "B",
          "http://10e.org/mt/archives/200601/030402.php"},
         {"\x83\x8D\x83V\x83"
          "A\x81"
          "A\x92m\x90l\x82\xF0\x8E"
          "E\x82\xB5\x82\xC4\x8B\xF2\x82\xC1"
          "\x82\xBD\x92j\x90\xAB",
          "http://10e.org/mt/archives/200512/280132.php"}},
        // The first title ends in '?', which becomes the full-width form.
        {"chardet/sjis_rss10_5c-in-title_andore.com.inami.xml",
         15,
         {"Google PC \x82\xAA\x94\xAD\x94\x84\x82\xB3\x82\xEA\x82\xE9\x81\x48",
          "http://andore.com/inami/mtarchives/003416.html"},
         {"\x83"
          "A\x83t\x83^\x81[\x83T\x83\x93\x83N\x83X\x83M\x83r\x83\x93\x83O\x83Z\x81[\x83\x8B"
          "\x82\xC5PC\x82\xCC\x92l\x92i\x82\xAA\x82\xB3\x82\xE7\x82\xC9\x89\xBA\x97\x8E",
          "http://andore.com/inami/mtarchives/003367.html"}},
        {"chardet/sjis_rss10_5c-in-title_tamuyou.haun.org.xml",
         15,
         {"\x8Bx\x82\xDD\x82\xE0\x8D\xC5\x8C\xE3",
          "http://tamuyou.haun.org/mt/archives/2006/01/post_384.html"},
         {"\x92n\x83"
          "f\x83W\x82\xAB\x82\xEA\x82\xA2\x82\xC5\x82\xB7\x82\xCB",
          "http://tamuyou.haun.org/mt/archives/2005/12/post_373.html"}},
        // The first title begins with katakana PO (0x83 0x7C), which stays.
        {"chardet/sjis_rss10_lowercase-decl_yasuhisa.com.xml",
         10,
         {"\x83|\x81[\x83^\x83\x8B 2.0", "http://www.yasuhisa.com/could/entries/000871.php"},
         {"\x82\xE0\x82\xC1\x82\xC6\x83^\x83O\x90\xB6\x8A\x88",
          "http://www.yasuhisa.com/could/entries/000862.php"}},
        {"chardet/sjis_rss20_moon-light.ne.jp.xml",
         15,
         {"2005\x94N\x91\xE5\x8A"
          "A\x93\xFA\x8E\x8B\x92\xAE\x97\xA6",
          "http://www.moon-light.ne.jp/weblog/archives/2006/01/2005_2.html"},
         {"DVD\x94N\x8A\xD4\x83\x89\x83\x93\x83L\x83\x93\x83O",
          "http://www.moon-light.ne.jp/weblog/archives/2005/12/dvd_1.html"}},
    };
    for (const auto& feed : feeds)
        ExpectItems(feed);
}

TEST(ScanRealFeeds, TitlesWithBackslashTrailBytesStayWhole)
{
    NEED_FEED_CORPUS();
    // Titles whose double-byte characters have 0x5C as second byte
    // ("...\x95\\..." is the kanji HYOU of "daihyou").
    const Items andore = ScanFeed("chardet/sjis_rss10_5c-in-title_andore.com.inami.xml");
    ASSERT_EQ(andore.size(), 15u);
    EXPECT_EQ(andore[5].first, "\x83T\x83"
                               "b\x83J\x81[\x93\xFA\x96{\x91\xE3\x95\\\x90\xED\x82\xCC"
                               "\x83`\x83P\x83"
                               "b\x83g\x82\xCD"
                               "20\x93\xFA(\x89\xCE)\x94\xAD\x94\x84");
    EXPECT_EQ(andore[11].first,
              "\x83T\x83"
              "b\x83J\x81[\x93\xFA\x96{\x91\xE3\x95\\\x82\xAA\x83T"
              "\x83\x93\x83t\x83\x89\x83\x93\x83V\x83X\x83R\x82\xC5\x8E\x8E\x8D\x87");
    const Items tamuyou = ScanFeed("chardet/sjis_rss10_5c-in-title_tamuyou.haun.org.xml");
    ASSERT_EQ(tamuyou.size(), 15u);
    EXPECT_EQ(tamuyou[6].first, "\x89\x96\x90\xA3\x82\xCC\x8Dg\x94\x92\xE9\\\x93\xAA\x82\xF0\x97\\"
                                "\x96\xF1\x82\xB5\x82\xC8\x82\xA2\x82\xC5\x94\x83\x82\xA4\x95\xFB"
                                "\x96@");
}

TEST(ScanRealFeeds, AsciiFeedsWithCrLfAndEscapedLinks)
{
    NEED_FEED_CORPUS();
    // rss2sample: of four items one has no title and one no link.
    ExpectItems(
        {"plagger/rss20_crlf_no-encoding-decl_rss2sample.xml",
         3,
         {"Star City", "http://liftoff.msfc.nasa.gov/news/2003/news-starcity.asp"},
         {"Astronauts' Dirty Laundry", "http://liftoff.msfc.nasa.gov/news/2003/news-laundry.asp"}});
    ExpectItems({"plagger/rss20_crlf_no-encoding-decl_amp-in-links_googlevideo.xml",
                 10,
                 {"rubia", "http://video.google.com/videoplay?docid=-3406925506469882756"
                           "&sourceid=top100newfeed"},
                 {"What Old People Do For Fun", "http://video.google.com/videoplay?docid="
                                                "-3412452712894373669&sourceid=top100newfeed"}});
    // Slashdot's question marks become full-width.
    const Items slashdot = ScanFeed("rome/rss10_slashdot.xml");
    ASSERT_EQ(slashdot.size(), 10u);
    EXPECT_EQ(slashdot[6].first, "Is Wi-Fi Ruining College\x81\x48");
}

TEST(ScanRealFeeds, MultiLineCdataTitlesAndLinksOnTheirOwnLines)
{
    NEED_FEED_CORPUS();
    // bioRxiv writes every title as a CDATA section over several lines and
    // every link on a line of its own: titles are unwrapped, their lines
    // joined by a blank, the link's line breaks trimmed.
    const Items items = ScanFeed("rsparser/rss10_no-decl_crlf_multiline-cdata_bio.rdf");
    ASSERT_EQ(items.size(), 30u);
    EXPECT_EQ(items[3], (std::pair<std::string, std::string>(
                            "Algal photosynthesis converts nitric oxide into nitrous oxide",
                            "http://biorxiv.org/cgi/content/short/745463v1?rss=1")));
    for (const auto& item : items) {
        EXPECT_EQ(item.first.find('\r'), std::string::npos);
        EXPECT_EQ(item.first.find('\n'), std::string::npos);
    }
}

TEST(ScanRealFeeds, CdataLinkIsUnwrapped)
{
    NEED_FEED_CORPUS();
    // The second item's link is wrapped in CDATA.
    const Items items = ScanFeed("rome/rss20_cdata-link_CDATATestFeed.xml");
    const char* const link = "http://rtl-now.rtl.de/awz.php?container_id=26908"
                             "&paytype=ppv&productdetail=1&na=1";
    EXPECT_EQ(items, (Items{{"item1", link}, {"item2", link}}));
}

TEST(ScanRealFeeds, ChannelTitleAndLinkAreNotItems)
{
    NEED_FEED_CORPUS();
    // ROME's samples carry placeholder links; made absolute they show that
    // only the items count, not the channel's, image's or text input's tags.
    std::string rss20 = ReadFeed("rome/rss20_rss_2.0.xml");
    EXPECT_TRUE(Scan(rss20).empty()); // placeholder links are relative
    CString absolute(rss20);
    absolute.Replace("<link>", "<link>http://x/");
    const Items items = Scan(absolute.str());
    EXPECT_EQ(items,
              (Items{{"rss_2.0.channel.item[0].title", "http://x/rss_2.0.channel.item[0].link"},
                     {"rss_2.0.channel.item[1].title", "http://x/rss_2.0.channel.item[1].link"}}));

    CString netscape(ReadFeed("rome/rss091-netscape-doctype_rss_0.91N.xml"));
    netscape.Replace("<link>", "<link>http://x/");
    EXPECT_EQ(
        Scan(netscape.str()),
        (Items{{"rss_0.91N.channel.item[0].title", "http://x/rss_0.91N.channel.item[0].link"},
               {"rss_0.91N.channel.item[1].title", "http://x/rss_0.91N.channel.item[1].link"}}));

    CString rdf(ReadFeed("rome/rss10_rss_1.0.xml"));
    rdf.Replace("<link>", "<link>http://x/");
    const Items rdfItems = Scan(rdf.str());
    ASSERT_EQ(rdfItems.size(), 2u);
    EXPECT_EQ(rdfItems[0].first, "rss_1.0.item[0].title");
}

TEST(ScanRealFeeds, FeedsWithoutUsableItemsGiveNone)
{
    NEED_FEED_CORPUS();
    const char* const feeds[] = {
        // Upper-case CDF: a title but no link, and an ITEM with only an HREF.
        "feedparser/cdf_uppercase_item_title.xml",
        "feedparser/cdf_uppercase_item-href_item_href_map_link.xml",
        // Items without links, a self-closing item, an empty title.
        "feedvalidator/rss20_amp-variants_non-problems.xml",
        "feedvalidator/rss20_title-hex-x26_amp-hex-lower.xml",
        "feedvalidator/rss20_title-double-escaped-amp-hex_amp-name-hex.xml",
        "feedvalidator/rss10_self-closing-item_invalid_item_rdf_about.xml",
        "feedvalidator/rss20_blank-title_blank_title.xml",
        "xml-liberal/rss20_nested-cdata_BAD-nested-cdata.xml",
        "xml-liberal/rss20_unclosed-markup_BAD-unclosed.xml",
        "xml-liberal/rss20_trailing-html_BAD-trailing-elements.xml",
    };
    for (const char* feed : feeds)
        EXPECT_TRUE(ScanFeed(feed).empty()) << feed;
    // Four of ten items have an empty title: they are skipped, the others kept.
    ExpectItems({"rsparser/rss20_empty-titles_manton.rss",
                 6,
                 {"Instagram hits 400 million users",
                  "http://www.manton.org/2015/09/instagram-hits-400-million-users.html"},
                 {"Wrap-up thoughts on the TV web",
                  "http://www.manton.org/2015/09/wrap-up-thoughts-on-the-tv-web.html"}});
}

TEST(ScanRealFeeds, UpperCaseCdfItemReadsLikeLowerCase)
{
    NEED_FEED_CORPUS();
    // The CDF sample has no link of its own; given one, the upper-case item
    // is found like a lower-case one.
    std::string cdf = ReadFeed("feedparser/cdf_uppercase_item_title.xml");
    const size_t close = cdf.find("</ITEM>");
    ASSERT_NE(close, std::string::npos);
    cdf.insert(close, "<LINK>http://example.org/</LINK>");
    const Items items = Scan(cdf);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0],
              (std::pair<std::string, std::string>("Example item", "http://example.org/")));
}

} // namespace
