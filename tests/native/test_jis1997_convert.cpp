// Conversions: the tables against glibc iconv for every code, real feeds
// against iconv, the output limit under hostile input, and cut sequences.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jis1997/jis1997.h"
#include "jis_iconv_reference.h"

namespace {

using Converter = uint32_t (*)(char*, const char*, uint32_t);
const std::string kGeta = "\x81\xAC";

// Runs a conversion with a zero-terminated copy of `src` (four zero bytes,
// as the program supplies) and room for 4 bytes per input byte.
std::string Convert(Converter f, const std::string& src)
{
    std::vector<char> in(src.begin(), src.end());
    in.resize(src.size() + 4, '\0');
    std::vector<char> out(src.size() * 4 + 4, '\0');
    const uint32_t n = f(out.data(), in.data(), static_cast<uint32_t>(src.size() * 4));
    return std::string(out.data(), n);
}

std::string Utf8(uint32_t cp)
{
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | cp >> 6);
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | cp >> 12);
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | cp >> 18);
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

TEST(ConvertTables, EveryBmpCharacterMatchesGlibcCp932)
{
    int checked = 0, differences = 0;
    for (uint32_t cp = 1; cp < 0x10000; ++cp) {
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFEFF) // FEFF alone is a dropped mark
            continue;
        const std::string ours = Convert(JisUtf8ToSjis, Utf8(cp));
        std::string glibc = jistest::GlibcCp932(cp);
        if (glibc.empty())
            glibc = kGeta;
        if (jistest::IsKnownGlibcDifference(cp)) {
            ++differences;
            continue;
        }
        EXPECT_EQ(ours, glibc) << std::hex << "U+" << cp;
        ++checked;
    }
    EXPECT_EQ(differences, 15);
    EXPECT_GT(checked, 60000);
}

TEST(ConvertTables, KnownDifferencesFollowWindows)
{
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0x80)), "\x80");
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0xF8F0)), "\xA0");
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0xF8F3)), "\xFF");
    for (uint32_t cp : {0xA5u, 0x203Eu, 0xA2u, 0xA3u, 0xACu, 0x2014u, 0x2016u, 0x2212u, 0x301Cu, 0xA6u})
        EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(cp)), kGeta) << std::hex << cp;
}

TEST(ConvertTables, MicrosoftRoundTripChoices)
{
    // NEC-selected IBM kanji are written as IBM extensions; NEC row 13
    // symbols that JIS X 0208 also has are written as JIS X 0208.
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0x7E8A)), "\xFA\x5C");
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0x2235)), "\x81\xE6");
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0x2160)), "\x87\x54");
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0x2170)), "\xFA\x40");
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0xFF5E)), "\x81\x60");
    EXPECT_EQ(Convert(JisEucToSjis, "\xF9\xA1"), "\xFA\x5C"); // row 89 -> IBM
    EXPECT_EQ(Convert(JisEucToSjis, "\xAD\xF9"), "\x87\x99"); // NEC row 13
    EXPECT_EQ(Convert(JisEucToSjis, "\xAD\xFA"), "\x81\xE6"); // NEC ∵ -> JIS ∵
}

// JIS X 0208 position -> Shift_JIS position by arithmetic.
std::string ShiftJisAt(int row, int col)
{
    const int lead = (row - 1) / 2 + (row <= 62 ? 0x81 : 0xC1);
    const int trail = row % 2 ? col + (col <= 63 ? 0x3F : 0x40) : col + 0x9E;
    return {static_cast<char>(lead), static_cast<char>(trail)};
}

TEST(ConvertTables, EveryJisX0208CodeMatchesGlibc)
{
    int mapped = 0;
    for (int row = 1; row <= 94; ++row) {
        for (int col = 1; col <= 94; ++col) {
            const std::string euc = {static_cast<char>(row + 0xA0), static_cast<char>(col + 0xA0)};
            const std::string jis = "\x1B$B" + std::string{char(row + 0x20), char(col + 0x20)};
            std::string expected;
            if (row >= 89 && row <= 92) {
                // glibc's EUC-JP-MS has a user area here; ours is Microsoft's
                // EUC-JP: the NEC-selected IBM extensions, read as CP932.
                if (!jistest::ReferenceToCp932(ShiftJisAt(row, col), "CP932", expected))
                    expected = kGeta;
            } else if (!jistest::ReferenceToCp932(euc, "EUC-JP-MS", expected) ||
                       (row >= 85 && expected != kGeta)) {
                expected = kGeta; // undefined, or the eucJP-ms user area
            }
            mapped += expected != kGeta;
            EXPECT_EQ(Convert(JisEucToSjis, euc), expected) << "row " << row << " col " << col;
            EXPECT_EQ(Convert(JisIso2022ToSjis, jis), expected) << "row " << row << " col " << col;
        }
    }
    EXPECT_EQ(mapped, 7336 - 1); // the geta mark itself counts as mapped
}

TEST(ConvertTables, EveryJisX0212CodeMatchesGlibc)
{
    int mapped = 0;
    for (int row = 1; row <= 94; ++row) {
        for (int col = 1; col <= 94; ++col) {
            const std::string euc = {'\x8F', static_cast<char>(row + 0xA0), static_cast<char>(col + 0xA0)};
            std::string expected;
            const char* from = row >= 83 ? "EUC-JP-MS" : "EUC-JP";
            if (!jistest::ReferenceToCp932(euc, from, expected) || row >= 85)
                expected = kGeta;
            if (row == 2 && col == 23)
                expected = "~"; // TILDE: glibc reads U+FF5E, Unicode's JIS X 0212 table U+007E
            mapped += expected != kGeta;
            EXPECT_EQ(Convert(JisEucToSjis, euc), expected) << "row " << row << " col " << col;
        }
    }
    EXPECT_GT(mapped, 300);
}

struct FeedCase {
    const char* file;
    const char* glibcCode;
    Converter first;
    Converter second;
};

TEST(ConvertFeeds, JapaneseFeedsMatchIconv)
{
    const FeedCase cases[] = {
        {"chardet/eucjp_atom03_overcube.com.xml", "EUC-JP", JisEucToSjis, nullptr},
        {"chardet/eucjp_rss091_halfwidth-kana_artifact-jp.com.xml", "EUC-JP", JisEucToSjis, nullptr},
        {"chardet/eucjp_rss10_arclamp.jp.xml", "EUC-JP", JisEucToSjis, nullptr},
        {"chardet/eucjp_rss10_lowercase-decl_tls.org.xml", "EUC-JP", JisEucToSjis, nullptr},
        {"chardet/eucjp_rss10_siesta.co.jp.aozora.xml", "EUC-JP", JisEucToSjis, nullptr},
        {"feedparser/eucjp_rss_no-decl_eucjp.xml", "EUC-JP", JisEucToSjis, nullptr},
        {"plagger/eucjp_rss10_tdiary.rdf", "EUC-JP", JisEucToSjis, nullptr},
        {"xml-liberal/eucjp-nec-ext_rss10_crlf_MAYBE-BAD-euc.xml", "EUC-JP-MS", JisEucToSjis, nullptr},
        {"plagger/utf8_rss10_japanese_hatena-rss.xml", "UTF-8", JisUtf8ToSjis, nullptr},
        {"chardet/utf8_rss20_hungarian_weblabor.hu.xml", "UTF-8", JisUtf8ToSjis, nullptr},
        {"rome/rss10_utf8_large_rss_1.0-ns-on-channel.xml", "UTF-8", JisUtf8ToSjis, nullptr},
        {"rsparser/rss20_utf8-bom_crlf_donthitsave.xml", "UTF-8", JisUtf8ToSjis, nullptr},
        {"feedparser/utf16le-bom_rss_empty_utf-16le-bom.xml", "UTF-16LE", JisUtf16LeToUtf8, JisUtf8ToSjis},
        {"simplepie/utf16le-nobom_rss20_feed-utf16le.xml", "UTF-16LE", JisUtf16LeToUtf8, JisUtf8ToSjis},
        {"simplepie/utf16be-nobom_rss20_feed-utf16be.xml", "UTF-16BE", JisUtf16BeToUtf8, JisUtf8ToSjis},
    };
    for (const FeedCase& c : cases) {
        std::string bytes;
        if (!jistest::ReadFile(jistest::FeedPath(c.file), bytes))
            GTEST_SKIP() << "no feed corpus";
        std::string expected;
        ASSERT_TRUE(jistest::ReferenceToCp932(bytes, c.glibcCode, expected)) << c.file;
        std::string ours = Convert(c.first, bytes);
        if (c.second)
            ours = Convert(c.second, ours);
        EXPECT_EQ(ours.size(), expected.size()) << c.file;
        EXPECT_TRUE(ours == expected) << c.file;
    }
}

TEST(ConvertFeeds, ReplacementsAreOnePerCharacter)
{
    // "ő" and "ű" have no CP932 form; the Hungarian feed keeps its length
    // in characters.
    EXPECT_EQ(Convert(JisUtf8ToSjis, "Gy\xC5\x91r \xC3\xBCt\xC5\xB1"), "Gy" + kGeta + "r " + kGeta + "t" + kGeta);
    EXPECT_EQ(Convert(JisUtf8ToSjis, Utf8(0x1F600) + "x"), kGeta + "x");
}

TEST(ConvertMalformed, Utf8BrokenSequencesNeverEatAscii)
{
    EXPECT_EQ(Convert(JisUtf8ToSjis, "a\xE3\x81" "b"), "a" + kGeta + "b");
    EXPECT_EQ(Convert(JisUtf8ToSjis, "\x80\xBF"), kGeta + kGeta);
    EXPECT_EQ(Convert(JisUtf8ToSjis, "\xC0\xAF"), kGeta + kGeta);         // overlong
    EXPECT_EQ(Convert(JisUtf8ToSjis, "\xED\xA0\x80"), kGeta + kGeta + kGeta); // surrogate
    EXPECT_EQ(Convert(JisUtf8ToSjis, "\xF4\x90\x80\x80"), kGeta + kGeta + kGeta + kGeta);
    EXPECT_EQ(Convert(JisUtf8ToSjis, "\xEF\xBB\xBFx\xEF\xBB\xBF"), "x" + kGeta); // BOM only at start
}

TEST(ConvertMalformed, CutSequencesAtTheEnd)
{
    EXPECT_EQ(Convert(JisUtf8ToSjis, "ab\xE3\x81"), "ab" + kGeta);
    EXPECT_EQ(Convert(JisUtf8ToSjis, "ab\xF0\x9F\x98"), "ab" + kGeta);
    EXPECT_EQ(Convert(JisEucToSjis, "ab\xA4"), "ab" + kGeta);
    EXPECT_EQ(Convert(JisEucToSjis, "ab\x8E"), "ab" + kGeta);
    EXPECT_EQ(Convert(JisEucToSjis, "ab\x8F\xA2"), "ab" + kGeta);
    EXPECT_EQ(Convert(JisIso2022ToSjis, "ab\x1B$B\x30"), "ab" + kGeta);
    EXPECT_EQ(Convert(JisIso2022ToSjis, "ab\x1B$"), "ab" + kGeta + "$");
    EXPECT_EQ(Convert(JisUtf16LeToUtf8, std::string("a\0\x3D\xD8", 4)), "a\xEF\xBF\xBD");
    EXPECT_EQ(Convert(JisUtf16BeToUtf8, std::string("\0a\xD8\x3D", 4)), "a\xEF\xBF\xBD");
    // An odd last byte is a code unit of its own with a zero high byte.
    EXPECT_EQ(Convert(JisUtf16LeToUtf8, std::string("a\0b", 3)), "ab");
}

TEST(ConvertMalformed, EucAndIso2022BadBytes)
{
    EXPECT_EQ(Convert(JisEucToSjis, "\xA4\x41"), kGeta + "A");
    EXPECT_EQ(Convert(JisEucToSjis, "\x8E\xE0"), kGeta + kGeta);
    EXPECT_EQ(Convert(JisEucToSjis, "\xFF\x80x"), kGeta + kGeta + "x");
    EXPECT_EQ(Convert(JisEucToSjis, "\xA9\xA1"), kGeta); // unassigned row 9
    EXPECT_EQ(Convert(JisIso2022ToSjis, "\x1B$B$\n\x1B(Bx"), kGeta + "\nx");
    EXPECT_EQ(Convert(JisIso2022ToSjis, "\x1B$B\x80"), kGeta);
}

TEST(ConvertText, Iso2022Modes)
{
    // ESC $ @ and ESC $ B: "こんにちは"; ESC ( J roman; ESC ( I and SO/SI kana.
    const std::string hello = "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD";
    EXPECT_EQ(Convert(JisIso2022ToSjis, "\x1B$B$3$s$K$A$O\x1B(B!"), hello + "!");
    EXPECT_EQ(Convert(JisIso2022ToSjis, "\x1B$@$3$s$K$A$O\x1B(J\\"), hello + "\\");
    EXPECT_EQ(Convert(JisIso2022ToSjis, "\x1B(I12\x1B(Bx"), "\xB1\xB2x");
    EXPECT_EQ(Convert(JisIso2022ToSjis, "a\x0E\x31\x0F" "1"), "a\xB1" "1");
    EXPECT_EQ(Convert(JisIso2022ToSjis, "\x1B$(D\x30\x21\x1B(B"), Convert(JisEucToSjis, "\x8F\xB0\xA1"));
}

TEST(ConvertText, Utf16SurrogatesAndMarks)
{
    // U+1F600 as a pair; a low surrogate alone; the mark dropped.
    EXPECT_EQ(Convert(JisUtf16LeToUtf8, std::string("\xFF\xFE\x3D\xD8\x00\xDE" "a\0", 8)),
              "\xF0\x9F\x98\x80" "a");
    EXPECT_EQ(Convert(JisUtf16BeToUtf8, std::string("\xDE\x00\x30\x42", 4)), "\xEF\xBF\xBD\xE3\x81\x82");
    EXPECT_EQ(Convert(JisUtf16LeToUtf8, std::string("\xE5\x65\x2C\x67", 4)), "\xE6\x97\xA5\xE6\x9C\xAC");
    // Text ends at the first zero code unit, not at a zero byte.
    EXPECT_EQ(Convert(JisUtf16LeToUtf8, std::string("\x00\x30" "a\0\0\0b\0", 8)), "\xE3\x80\x80" "a");
}

// Every conversion with every small limit over hostile input: the count
// stays within the limit, bytes past it are untouched, and the output is the
// unlimited output cut at a character boundary.
TEST(ConvertLimits, NeverWritesPastMaxUnderRandomInput)
{
    const Converter all[] = {JisEucToSjis, JisIso2022ToSjis, JisUtf8ToSjis, JisUtf16LeToUtf8,
                             JisUtf16BeToUtf8};
    const unsigned char interesting[] = {0x1B, '$', 'B', '(', 'I', 0x0E, 0x0F, 0x8E, 0x8F,
                                         0xA4, 0xA2, 0xE3, 0x81, 0x82, 0xD8, 0xDC, 0xF0,
                                         0x9F, 0xEF, 0xBB, 0xBF, 0xFF, 0xFE, 'a', '\n'};
    std::mt19937 rng(1997);
    for (int round = 0; round < 400; ++round) {
        std::string src(rng() % 40, '\0');
        for (char& c : src)
            c = rng() % 2 ? static_cast<char>(interesting[rng() % sizeof interesting])
                          : static_cast<char>(rng() % 255 + 1);
        for (Converter f : all) {
            const std::string full = Convert(f, src);
            for (uint32_t max = 0; max <= 24; ++max) {
                std::vector<char> in(src.begin(), src.end());
                in.resize(src.size() + 4, '\0');
                std::vector<char> out(max + 16, '\x5A');
                const uint32_t n = f(out.data(), in.data(), max);
                ASSERT_LE(n, max);
                for (size_t k = n; k < out.size(); ++k)
                    ASSERT_EQ(out[k], '\x5A') << "byte " << k << " max " << max;
                const std::string got(out.data(), n);
                ASSERT_EQ(got, full.substr(0, n));
                // At most one character (up to 4 bytes) left out for want of room.
                ASSERT_TRUE(n == full.size() || n + 4 > max) << "n " << n << " max " << max;
            }
        }
    }
}

TEST(ConvertLimits, LongAsciiRunsHitTheLimitExactly)
{
    const std::string text(100, 'x');
    std::vector<char> in(text.begin(), text.end());
    in.resize(text.size() + 4, '\0');
    for (uint32_t max : {0u, 7u, 8u, 9u, 63u}) {
        std::vector<char> out(max + 8, '\x5A');
        EXPECT_EQ(JisUtf8ToSjis(out.data(), in.data(), max), max);
        EXPECT_EQ(out[max], '\x5A');
    }
}

} // namespace
