// The whole way from a feed file to its shortcuts (detection, decoding to
// Shift_JIS, normalisation, the item scan) over the project's own feeds in
// tests/feeds, written by tests/feeds/make_feeds.py. Each feed has beside it
// NAME.expected: its shortcuts as "name<TAB>link" lines in Shift_JIS.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "feed/decode_feed.h"
#include "feed/feed_text.h"
#include "feed/item_scan.h"
#include "jis1997/jis1997.h"
#include "jis_iconv_reference.h"
#include "read_file.h"
#include "scan_items.h"

namespace
{

using testscan::Items;
using testscan::Scan;

std::string OwnFeedPath(const std::string& name)
{
    return std::string(TANSY_OWN_FEEDS_DIR) + "/" + name;
}

Items ReadExpected(const std::string& name)
{
    std::string text;
    EXPECT_TRUE(testfiles::ReadFile(OwnFeedPath(name + ".expected"), text)) << name;
    Items items;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.find('\t');
        items.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return items;
}

struct OwnFeed {
    const char* file;
    uint32_t code;         // what detection must find
    const char* glibcCode; // how iconv reads it, for the decoded text; null: as stored
};

const OwnFeed kOwnFeeds[] = {
    {"sjis_rss10_5c_trail.rdf", JIS_CODE_SHIFT_JIS, nullptr},
    {"ascii_rss20_crlf.xml", JIS_CODE_ASCII, nullptr},
    {"ascii_rss10_multiline_cdata.rdf", JIS_CODE_ASCII, nullptr},
    {"ascii_cdf_uppercase.cdf", JIS_CODE_ASCII, nullptr},
    {"eucjp_rss091_halfwidth_kana.xml", JIS_CODE_EUC_JP, "EUC-JP"},
    {"eucjp_nec_rss20.xml", JIS_CODE_EUC_JP, "EUC-JP-MS"},
    {"utf8_atom10.xml", JIS_CODE_UTF8, "UTF-8"},
    {"sjis_atom03.xml", JIS_CODE_SHIFT_JIS, nullptr},
    {"utf16le_bom_rss20.xml", JIS_CODE_UTF16_LE, "UTF-16LE"},
    {"utf16be_bom_rss20.xml", JIS_CODE_UTF16_BE, "UTF-16BE"},
    {"utf16le_nobom_rss20.xml", JIS_CODE_UTF16_LE, "UTF-16LE"},
    {"utf16be_nobom_rss20.xml", JIS_CODE_UTF16_BE, "UTF-16BE"},
    {"utf8_bom_rss20_crlf.xml", JIS_CODE_UTF8, "UTF-8"},
    {"empty.xml", JIS_CODE_ASCII, nullptr},
    {"no_items_rss20.xml", JIS_CODE_ASCII, nullptr},
};

TEST(ScanOwnFeeds, EachFeedGivesItsShortcuts)
{
    for (const OwnFeed& feed : kOwnFeeds) {
        SCOPED_TRACE(feed.file);
        std::string bytes;
        ASSERT_TRUE(testfiles::ReadFile(OwnFeedPath(feed.file), bytes));
        EXPECT_EQ(JisDetectCode(bytes.data(), static_cast<uint32_t>(bytes.size())), feed.code);

        CString decoded;
        DecodeFeedFile(OwnFeedPath(feed.file).c_str(), decoded);
        std::string reference = bytes;
        if (feed.glibcCode) {
            ASSERT_TRUE(jistest::ReferenceToCp932(bytes, feed.glibcCode, reference));
        }
        EXPECT_TRUE(decoded.str() == reference) << "decoded text differs from iconv's";

        EXPECT_EQ(Scan(decoded.str()), ReadExpected(feed.file));
    }
}

// The Japanese feeds keep their class without their XML declaration, and
// cut down to about one title around their first Japanese character.
TEST(ScanOwnFeeds, JapaneseFeedsAreDetectedWithoutDeclarationAndCutShort)
{
    for (const OwnFeed& feed : kOwnFeeds) {
        if (feed.code != JIS_CODE_EUC_JP && feed.code != JIS_CODE_SHIFT_JIS) continue;
        SCOPED_TRACE(feed.file);
        std::string bytes;
        ASSERT_TRUE(testfiles::ReadFile(OwnFeedPath(feed.file), bytes));
        const size_t decl = bytes.find("encoding=");
        ASSERT_NE(decl, std::string::npos);
        bytes.replace(decl, 8, "xxxxxxxx");
        size_t first = 0;
        while (first < bytes.size() && static_cast<unsigned char>(bytes[first]) < 0x80)
            ++first;
        const std::string piece = bytes.substr(first > 20 ? first - 20 : 0, 80);
        EXPECT_EQ(JisDetectCode(bytes.data(), static_cast<uint32_t>(bytes.size())), feed.code);
        EXPECT_EQ(JisDetectCode(piece.data(), static_cast<uint32_t>(piece.size())), feed.code)
            << piece;
    }
}

} // namespace
