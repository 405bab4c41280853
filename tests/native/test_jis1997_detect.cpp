// Detection of the character code of real feeds and of short made-up texts.
#include <gtest/gtest.h>

#include <dirent.h>

#include <map>
#include <string>

#include "feed_corpus.h"
#include "jis1997/jis1997.h"
#include "read_file.h"

namespace
{

uint32_t Detect(const std::string& text)
{
    return JisDetectCode(text.data(), static_cast<uint32_t>(text.size()));
}

// Every feed of the corpus that is not plain ASCII, with the class it must
// get. Korean and Chinese feeds name their code in the XML declaration and
// are used byte for byte.
const std::map<std::string, uint32_t> kNonAsciiFeeds = {
    {"chardet/cp932_atom03_declared-sjis_y-moto.com.xml", JIS_CODE_SHIFT_JIS},
    {"chardet/eucjp_atom03_overcube.com.xml", JIS_CODE_EUC_JP},
    {"chardet/eucjp_rss091_halfwidth-kana_artifact-jp.com.xml", JIS_CODE_EUC_JP},
    {"chardet/eucjp_rss10_arclamp.jp.xml", JIS_CODE_EUC_JP},
    {"chardet/eucjp_rss10_lowercase-decl_tls.org.xml", JIS_CODE_EUC_JP},
    {"chardet/eucjp_rss10_siesta.co.jp.aozora.xml", JIS_CODE_EUC_JP},
    {"chardet/euckr_rss20_jely.pe.kr.xml", JIS_CODE_OTHER},
    {"chardet/sjis_rss10_10e.org.xml", JIS_CODE_SHIFT_JIS},
    {"chardet/sjis_rss10_5c-in-title_andore.com.inami.xml", JIS_CODE_SHIFT_JIS},
    {"chardet/sjis_rss10_5c-in-title_tamuyou.haun.org.xml", JIS_CODE_SHIFT_JIS},
    {"chardet/sjis_rss10_lowercase-decl_yasuhisa.com.xml", JIS_CODE_SHIFT_JIS},
    {"chardet/sjis_rss20_moon-light.ne.jp.xml", JIS_CODE_SHIFT_JIS},
    {"chardet/utf8_rss20_hungarian_weblabor.hu.xml", JIS_CODE_UTF8},
    {"feedparser/eucjp_rss_no-decl_eucjp.xml", JIS_CODE_EUC_JP},
    {"feedparser/sjis_atom10_no-decl_shiftjis.xml", JIS_CODE_SHIFT_JIS},
    {"feedparser/utf16le-bom_rss_empty_utf-16le-bom.xml", JIS_CODE_UTF16_LE},
    {"plagger/eucjp_rss10_tdiary.rdf", JIS_CODE_EUC_JP},
    {"plagger/utf8_rss10_japanese_hatena-rss.xml", JIS_CODE_UTF8},
    {"rome/rss10_utf8_large_rss_1.0-ns-on-channel.xml", JIS_CODE_UTF8},
    {"rome/rss20_geo-rss-issue-27.rss", JIS_CODE_UTF8},
    {"rsparser/atom10_named-rss_DaringFireball.rss", JIS_CODE_UTF8},
    {"rsparser/rss20_empty-titles_manton.rss", JIS_CODE_UTF8},
    {"rsparser/rss20_gb2312_crlf_kc0011.rss", JIS_CODE_OTHER},
    {"rsparser/rss20_items-without-title_scriptingNews.rss", JIS_CODE_UTF8},
    {"rsparser/rss20_nested-image-title-link_aktuality.rss", JIS_CODE_UTF8},
    {"rsparser/rss20_utf8-bom_crlf_donthitsave.xml", JIS_CODE_UTF8},
    {"rsparser/rss20_utf8_large_atp.rss", JIS_CODE_UTF8},
    {"rsparser/rss20_utf8_large_dcrainmaker.xml", JIS_CODE_UTF8},
    {"rss-parser/rss20_iso-8859-1_crlf_encoding.rss", JIS_CODE_OTHER},
    {"rss-parser/rss20_utf8_huge_giantbomb-podcast.rss", JIS_CODE_UTF8},
    {"rss-parser/rss20_utf8_large_itunes-missing-image.rss", JIS_CODE_UTF8},
    {"rss-parser/rss_no-decl_no-version_latin1_uolNoticias.rss", JIS_CODE_OTHER},
    {"simplepie/rss20_utf8_large_feed_rss-2.0_for_file_mock.xml", JIS_CODE_UTF8},
    {"simplepie/utf16le-nobom_rss20_feed-utf16le.xml", JIS_CODE_UTF16_LE},
    {"simplepie/utf16be-nobom_rss20_feed-utf16be.xml", JIS_CODE_UTF16_BE},
    {"xml-liberal/eucjp-nec-ext_rss10_crlf_MAYBE-BAD-euc.xml", JIS_CODE_EUC_JP},
};

bool IsFeedFile(const std::string& name)
{
    for (const char* ext : {".xml", ".rss", ".rdf"})
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ext) == 0) return true;
    return false;
}

TEST(DetectCorpus, EveryFeedGetsItsClass)
{
    NEED_FEED_CORPUS();
    DIR* top = opendir(feedcorpus::Path("").c_str());
    ASSERT_TRUE(top);
    int seen = 0, nonAscii = 0;
    while (dirent* source = readdir(top)) {
        if (source->d_name[0] == '.') continue;
        DIR* dir = opendir(feedcorpus::Path(source->d_name).c_str());
        if (!dir) continue;
        while (dirent* entry = readdir(dir)) {
            const std::string rel = std::string(source->d_name) + "/" + entry->d_name;
            if (!IsFeedFile(rel)) continue;
            std::string bytes;
            ASSERT_TRUE(testfiles::ReadFile(feedcorpus::Path(rel), bytes)) << rel;
            auto it = kNonAsciiFeeds.find(rel);
            const uint32_t expected = it == kNonAsciiFeeds.end() ? JIS_CODE_ASCII : it->second;
            EXPECT_EQ(Detect(bytes), expected) << rel;
            ++seen;
            nonAscii += it != kNonAsciiFeeds.end();
        }
        closedir(dir);
    }
    closedir(top);
    EXPECT_EQ(seen, 72);
    EXPECT_EQ(nonAscii, static_cast<int>(kNonAsciiFeeds.size()));
}

// The Japanese feeds keep their class when cut down to a short piece that
// holds only the first Japanese title-sized run, without the declaration.
TEST(DetectCorpus, JapaneseFeedsWithoutDeclarationAndCutShort)
{
    NEED_FEED_CORPUS();
    for (const auto& [rel, expected] : kNonAsciiFeeds) {
        if (expected != JIS_CODE_EUC_JP && expected != JIS_CODE_SHIFT_JIS) continue;
        std::string bytes;
        ASSERT_TRUE(testfiles::ReadFile(feedcorpus::Path(rel), bytes)) << rel;
        const size_t decl = bytes.find("encoding=");
        if (decl != std::string::npos) bytes.replace(decl, 8, "xxxxxxxx");
        // From just before the first 8-bit byte, about one title's worth.
        size_t first = 0;
        while (first < bytes.size() && static_cast<unsigned char>(bytes[first]) < 0x80)
            ++first;
        const std::string piece = bytes.substr(first > 20 ? first - 20 : 0, 80);
        EXPECT_EQ(Detect(bytes), expected) << rel << " without declaration";
        EXPECT_EQ(Detect(piece), expected) << rel << " piece: " << piece;
    }
}

TEST(DetectText, ByteOrderMarksDecide)
{
    EXPECT_EQ(Detect("\xEF\xBB\xBF<rss/>"), JIS_CODE_UTF8);
    EXPECT_EQ(Detect(std::string("\xFF\xFE<\0r\0", 6)), JIS_CODE_UTF16_LE);
    EXPECT_EQ(Detect(std::string("\xFE\xFF\0<\0r", 6)), JIS_CODE_UTF16_BE);
}

TEST(DetectText, Utf16WithoutMarkByZeroBytes)
{
    // "<rss>日本語</rss>" in both byte orders: markup gives the zero bytes.
    const std::string le("<\0r\0s\0s\0>\0\xE5\x65\x2C\x67\x9E\x8A<\0/\0r\0s\0s\0>\0", 28);
    std::string be = le;
    for (size_t i = 0; i + 1 < be.size(); i += 2)
        std::swap(be[i], be[i + 1]);
    EXPECT_EQ(Detect(le), JIS_CODE_UTF16_LE);
    EXPECT_EQ(Detect(be), JIS_CODE_UTF16_BE);
    EXPECT_EQ(Detect(std::string("a\0", 2)), JIS_CODE_UTF16_LE);
    // A zero byte beside 8-bit bytes is no UTF-16 evidence.
    EXPECT_EQ(Detect(std::string(60, '\xA4') + std::string("\0\xA2", 2)), JIS_CODE_EUC_JP);
}

TEST(DetectText, AsciiAndIso2022)
{
    EXPECT_EQ(Detect(""), JIS_CODE_ASCII);
    EXPECT_EQ(Detect("<rss version=\"2.0\"><title>&#12304;</title></rss>"), JIS_CODE_ASCII);
    EXPECT_EQ(Detect("<title>\x1B$B$3$s$K$A$O\x1B(B</title>"), JIS_CODE_ISO2022_JP);
    EXPECT_EQ(Detect("\x1B(I12\x1B(B"), JIS_CODE_ISO2022_JP);
    // An escape that starts no Japanese set is just a control byte.
    EXPECT_EQ(Detect("a\x1B[1mb"), JIS_CODE_ASCII);
}

TEST(DetectText, BinaryData)
{
    EXPECT_EQ(Detect(std::string("\x01\x02\x03\x04 GIF89a\x05\x06", 13)), JIS_CODE_BINARY);
    // UTF-32: zero bytes on both sides of every pair.
    EXPECT_EQ(Detect(std::string("<\0\0\0r\0\0\0s\0\0\0s\0\0\0", 16)), JIS_CODE_BINARY);
    // One stray zero in a long text does not make it binary.
    std::string text(200, 'a');
    text[100] = '\0';
    EXPECT_EQ(Detect(text), JIS_CODE_ASCII);
}

TEST(DetectText, ShortJapaneseTexts)
{
    // "あ" in each code.
    EXPECT_EQ(Detect("\xE3\x81\x82"), JIS_CODE_UTF8);
    EXPECT_EQ(Detect("\xA4\xA2"), JIS_CODE_EUC_JP);
    EXPECT_EQ(Detect("\x82\xA0"), JIS_CODE_SHIFT_JIS);
    // "日本" (EUC C6FC CBDC / SJIS 93FA 967B)
    EXPECT_EQ(Detect("\xC6\xFC\xCB\xDC"), JIS_CODE_EUC_JP);
    EXPECT_EQ(Detect("\x93\xFA\x96\x7B"), JIS_CODE_SHIFT_JIS);
}

TEST(DetectText, HalfWidthKatakanaInEucAndShiftJis)
{
    // "ﾃｽﾄです" : half-width katakana then hiragana.
    EXPECT_EQ(Detect("<title>\x8E\xC3\x8E\xBD\x8E\xC4\xA4\xC7\xA4\xB9</title>"), JIS_CODE_EUC_JP);
    EXPECT_EQ(Detect("<title>\xC3\xBD\xC4\x82\xC5\x82\xB7</title>"), JIS_CODE_SHIFT_JIS);
    // Half-width katakana alone.
    EXPECT_EQ(Detect("<title>\xB1\xB2\xB3</title>"), JIS_CODE_SHIFT_JIS);
}

TEST(DetectText, MostlyAsciiWithOneJapaneseTitle)
{
    std::string head(20000, ' ');
    for (size_t i = 0; i < head.size(); ++i)
        head[i] = "<item><link>http://example.com/</link></item>\n"[i % 47];
    // "新着情報" in EUC-JP, Shift_JIS and UTF-8, deep in the text.
    EXPECT_EQ(Detect(head + "<title>\xBF\xB7\xC3\xE5\xBE\xF0\xCA\xF3</title>"), JIS_CODE_EUC_JP);
    EXPECT_EQ(Detect(head + "<title>\x90\x56\x92\x85\x8F\xEE\x95\xF1</title>"), JIS_CODE_SHIFT_JIS);
    EXPECT_EQ(Detect(head + "<title>\xE6\x96\xB0\xE7\x9D\x80</title>"), JIS_CODE_UTF8);
}

TEST(DetectText, DeclarationBreaksTieAndNamesForeignCodes)
{
    // Bytes valid in both readings with no kana: the declaration decides.
    const std::string body = "<title>\xE0\xA1\xE0\xA2</title>";
    EXPECT_EQ(Detect("<?xml version=\"1.0\" encoding=\"EUC-JP\"?>" + body), JIS_CODE_EUC_JP);
    EXPECT_EQ(Detect("<?xml version=\"1.0\" encoding='shift_jis'?>" + body), JIS_CODE_SHIFT_JIS);
    EXPECT_EQ(Detect("<?xml version=\"1.0\" encoding=\"big5\"?>" + body), JIS_CODE_OTHER);
    // A declaration of EUC-JP does not win over bytes that do not read as it.
    const std::string euc = "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>";
    EXPECT_EQ(Detect(euc + "<title>\x82\xA0\x82\xA2\x83\x41</title>"), JIS_CODE_SHIFT_JIS);
    EXPECT_EQ(Detect(euc + "<title>Caf\xE9 cr\xE8me</title>"), JIS_CODE_OTHER);
}

TEST(DetectText, LatinTextIsUsedAsIs)
{
    EXPECT_EQ(Detect("<title>S\xE3o Paulo: elei\xE7\xE3o \xE9 hoje</title>"), JIS_CODE_OTHER);
    EXPECT_EQ(Detect("<title>Caf\xE9 cr\xE8me, d\xE9j\xE0 vu</title>"), JIS_CODE_OTHER);
}

uint32_t Declared(const std::string& text)
{
    return JisDeclaredSingleByteCode(text.data(), static_cast<uint32_t>(text.size()));
}

TEST(DeclaredSingleByteCode, WholeLabelInADeclarationBeforeAnyElement)
{
    const std::pair<const char*, uint32_t> labels[] = {
        {"iso-8859-1", 1252}, {"L1", 1252},      {"x-cp1252", 1252}, {"ISO-8859-15", 28605},
        {"latin9", 28605},    {"latin2", 28592}, {"CP1250", 1250},   {"iso-8859-1 ", 0},
        {"iso-8859-16", 0},   {"us-ascii", 0},   {"euc-jp", 0}};
    for (const auto& [label, codePage] : labels)
        EXPECT_EQ(Declared(std::string("<?xml version=\"1.0\" encoding=\"") + label + "\"?>"),
                  codePage)
            << label;
    EXPECT_EQ(Declared("\r\n<?xml encoding='latin1'?><rss>"), 1252u);
    EXPECT_EQ(Declared("<rss><?xml encoding=\"latin1\"?>"), 0u);
    EXPECT_EQ(Declared("<?xml encoding=\"latin1"), 0u);
    EXPECT_EQ(Declared(std::string(1020, ' ') + "<?xml encoding=\"latin1\"?>"), 0u);
}

} // namespace
