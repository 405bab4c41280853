// DecodeFeedFile: whole files in, Shift_JIS text out.
#include <gtest/gtest.h>

#include <string>

#include "feed/decode_feed.h"
#include "feed_corpus.h"
#include "framework/file.h"
#include "jis1997/jis1997.h"
#include "jis_iconv_reference.h"
#include "read_file.h"
#include "temp_dir.h"

namespace
{

std::string Decode(const std::string& bytes)
{
    TempDir dir;
    dir.write("feed.xml", bytes);
    CString out("not touched");
    DecodeFeedFile(dir.file("feed.xml").c_str(), out);
    return out.str();
}

TEST(DecodeFeedFile, EmptyFileGivesEmptyText)
{
    EXPECT_EQ(Decode(""), "");
}

TEST(DecodeFeedFile, ConvertsEachDetectedCode)
{
    // "日本" in every code the library converts, and byte for byte in Shift_JIS.
    const std::string sjis = "<t>\x93\xFA\x96\x7B</t>";
    EXPECT_EQ(Decode("<t>\xC6\xFC\xCB\xDC</t>"), sjis);
    EXPECT_EQ(Decode("<t>\x1B$BF|K\\\x1B(B</t>"), sjis);
    EXPECT_EQ(Decode("<t>\xE6\x97\xA5\xE6\x9C\xAC</t>"), sjis);
    EXPECT_EQ(Decode(std::string("<\0t\0>\0\xE5\x65\x2C\x67<\0/\0t\0>\0", 18)), sjis);
    EXPECT_EQ(Decode(std::string("\0<\0t\0>\x65\xE5\x67\x2C\0<\0/\0t\0>", 18)), sjis);
    EXPECT_EQ(Decode(sjis), sjis);
}

TEST(DecodeFeedFile, ByteForByteCodesComeBackAsStored)
{
    const std::string latin = "<title>S\xE3o Paulo: elei\xE7\xE3o \xE9 hoje</title>";
    ASSERT_EQ(JisDetectCode(latin.data(), static_cast<uint32_t>(latin.size())), JIS_CODE_OTHER);
    EXPECT_EQ(Decode(latin), latin);
    EXPECT_EQ(Decode("plain ascii\r\n"), "plain ascii\r\n");
}

TEST(DecodeFeedFile, DeclaredEuropeanCodeIsReadUnlessTheBytesAreUnicode)
{
    const std::pair<std::string, std::string> rows[] = {
        // Latin-1 read as Windows-1252: 0x81 is undefined there.
        {"<?xml version='1.0' encoding='ISO-8859-1'?><t>M\xE3os \xE9 \x81</t>",
         "<?xml version='1.0' encoding='ISO-8859-1'?><t>Maos e \x81\xAC</t>"},
        {"<?xml encoding=\"latin1\"?><t>M\xC3\xA3os</t>", "<?xml encoding=\"latin1\"?><t>Maos</t>"},
        {"<?xml encoding=\"windows-1250\"?><t>\x8Ao\xF8\xEDk \xA3\xF3\x64\x9F</t>",
         "<?xml encoding=\"windows-1250\"?><t>Sorik Lodz</t>"},
        {"<?xml encoding=\"iso-8859-2\"?><t>\xA9um</t>",
         "<?xml encoding=\"iso-8859-2\"?><t>Sum</t>"},
        {"<?xml encoding=\"Shift_JIS\"?><t>\x93\xFA\x96\x7B</t>",
         "<?xml encoding=\"Shift_JIS\"?><t>\x93\xFA\x96\x7B</t>"},
    };
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(Decode(bytes), text) << bytes;
}

TEST(DecodeFeedFile, ZeroByteCutsTheText)
{
    std::string text(200, 'a');
    text[50] = '\0';
    EXPECT_EQ(Decode(text), std::string(50, 'a'));
    std::string euc;
    for (int i = 0; i < 25; ++i)
        euc += "\xA4\xA2\xA4\xA4"; // "あい"
    std::string sjis;
    for (int i = 0; i < 25; ++i)
        sjis += "\x82\xA0\x82\xA2";
    EXPECT_EQ(Decode(euc + std::string("\0\xA4\xA6", 3)), sjis);
}

TEST(DecodeFeedFile, RealFeedsMatchIconv)
{
    const char* const eucFeed = "plagger/eucjp_rss10_tdiary.rdf";
    const char* const sjisFeed = "chardet/sjis_rss10_10e.org.xml";
    NEED_FEED_CORPUS();
    std::string euc, sjis;
    ASSERT_TRUE(testfiles::ReadFile(feedcorpus::Path(eucFeed), euc));
    ASSERT_TRUE(testfiles::ReadFile(feedcorpus::Path(sjisFeed), sjis));
    std::string expected;
    ASSERT_TRUE(jistest::ReferenceToCp932(euc, "EUC-JP", expected));
    CString out;
    DecodeFeedFile(feedcorpus::Path(eucFeed).c_str(), out);
    EXPECT_TRUE(out.str() == expected);
    DecodeFeedFile(feedcorpus::Path(sjisFeed).c_str(), out);
    EXPECT_TRUE(out.str() == sjis);
}

TEST(DecodeFeedFile, MissingFileThrowsWithItsName)
{
    CString out("kept");
    try {
        DecodeFeedFile("/nonexistent-folder/dl.dat", out);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_STREQ(e.m_strFileName, "/nonexistent-folder/dl.dat");
        EXPECT_NE(e.m_lOsError, 0);
    }
    EXPECT_EQ(out.str(), "kept");
}

TEST(ConvertDetected, UnknownResultsGiveEmptyText)
{
    const char source[] = "abc\0\0\0\0";
    for (uint32_t result : {1u, 255u, 257u, 513u, 2051u, 4097u, 0xFFFFFFFFu})
        EXPECT_EQ(feed_decode::ConvertDetected(result, source, 3).str(), "") << result;
    for (uint32_t result : {0u, 256u, 512u, 1024u, 2048u, 2049u, 2050u, 4096u, 8192u})
        EXPECT_NE(feed_decode::ConvertDetected(result, source, 3).str(), "") << result;
}

TEST(ConvertDetected, LengthZeroAllowsNoOutput)
{
    // The conversions are told 4 x 0 bytes: nothing is written even though
    // the buffer read holds text.
    const char source[] = "abc\0\0\0\0";
    for (uint32_t result : {0u, 256u, 1024u, 2048u, 2049u, 2050u})
        EXPECT_EQ(feed_decode::ConvertDetected(result, source, 0).str(), "") << result;
}

TEST(ConvertDetected, Utf16PassesThroughUtf8)
{
    // U+0126 has no CP932 form: the second step writes the geta mark.
    const char le[] = "\x26\x01\x61\0\0\0\0\0";
    EXPECT_EQ(feed_decode::ConvertDetected(JIS_CODE_UTF16_LE, le, 4).str(), "\x81\xAC"
                                                                            "a");
}

} // namespace
