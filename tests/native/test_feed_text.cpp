// The two fixed rewrites: feed normalisation and file-name sanitising.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "feed/feed_text.h"
#include "tests/native/feed_text_reference.h"

namespace
{

std::string Normalized(const char* text)
{
    CString s(text);
    NormalizeFeedText(s);
    return s.str();
}

std::string Sanitized(const std::string& text)
{
    CString s(text);
    SanitizeFileName(s);
    return s.str();
}

TEST(NormalizeFeedText, LowersTheUpperCaseItemTitleAndLinkTags)
{
    EXPECT_EQ(Normalized("<ITEM><TITLE>t</TITLE><LINK>l</LINK></ITEM>"),
              "<item><title>t</title><link>l</link></item>");
}

TEST(NormalizeFeedText, ClosesTheItemTagBeforeItsAttributes)
{
    EXPECT_EQ(Normalized("<item rdf:about=\"http://a/\">x</item>"),
              "<item>rdf:about=\"http://a/\">x</item>");
    EXPECT_EQ(Normalized("<ITEM HREF=\"http://a/\">x</ITEM>"), "<item>HREF=\"http://a/\">x</item>");
}

TEST(NormalizeFeedText, LeavesMixedCaseAndOtherTagsAlone)
{
    EXPECT_EQ(Normalized("<Item><Title>t</Title></Item>"), "<Item><Title>t</Title></Item>");
    EXPECT_EQ(Normalized("<items><rdf:Seq/></items>"), "<items><rdf:Seq/></items>");
    EXPECT_EQ(Normalized("<TITLE lang=\"en\">t</TITLE>"), "<TITLE lang=\"en\">t</title>");
}

TEST(NormalizeFeedText, ResolvesTheThreeAmpersandSpellingsOnce)
{
    EXPECT_EQ(Normalized("A &amp; B"), "A & B");
    EXPECT_EQ(Normalized("A &#38; B"), "A & B");
    EXPECT_EQ(Normalized("A &#x26; B"), "A & B");
    // Each step runs once over the text, so a doubly escaped ampersand keeps
    // one level of escaping, while "&amp;#38;" becomes "&#38;" in step 8 and
    // then "&" in step 9.
    EXPECT_EQ(Normalized("A &amp;amp; B"), "A &amp; B");
    EXPECT_EQ(Normalized("A &amp;#38; B"), "A & B");
    EXPECT_EQ(Normalized("A &amp;#x26; B"), "A & B");
    EXPECT_EQ(Normalized("&#x26;amp;"), "&amp;");
    // Neither the upper-case hex form, the zero-padded form nor other
    // entities are decoded.
    EXPECT_EQ(Normalized("&#X26; &#038; &lt; &quot;"), "&#X26; &#038; &lt; &quot;");
}

TEST(NormalizeFeedText, NeverMatchesOnATrailByte)
{
    // 0x81 pairs with the next byte, so the '&' right behind it is no
    // character of its own and "&amp;" does not start there.
    EXPECT_EQ(Normalized("\x81&amp;&amp;"), "\x81&amp;&");
}

TEST(SanitizeFileName, ReplacesEachForbiddenCharacterByItsFullWidthForm)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"\\", "\x81\x8F"}, {"/", "\x81\x5E"}, {":", "\x81\x46"},
        {"*", "\x81\x96"},  {"?", "\x81\x48"}, {"\"", "\x81\x68"},
        {"<", "\x81\x83"},  {">", "\x81\x84"}, {"|", "\x81\x62"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sanitized(std::string("a") + c.in + "b"), std::string("a") + c.out + "b") << c.in;
    EXPECT_EQ(Sanitized("Q: why? A: because"), "Q\x81\x46 why\x81\x48 A\x81\x46 because");
}

TEST(SanitizeFileName, JoinsLinesAndKeepsEverythingElse)
{
    EXPECT_EQ(Sanitized("first\r\nsecond\nthird\r"), "firstsecondthird");
    EXPECT_EQ(Sanitized(" \ttab\x01 dots... "), " \ttab\x01 dots... ");
}

TEST(SanitizeFileName, KeepsKatakanaSoAndPoButReplacesRealBackslashAndBar)
{
    // SO is 0x83 0x5C and PO is 0x83 0x7C: their trail bytes look like '\' and '|'.
    EXPECT_EQ(Sanitized("\x83\x5C\\\x83\x7C|"), "\x83\x5C\x81\x8F\x83\x7C\x81\x62");
    EXPECT_EQ(Sanitized("\x83\x5C\x83\x5C"), "\x83\x5C\x83\x5C");
}

TEST(SanitizeFileName, TurnsTheBracketsOfACdataSectionFullWidth)
{
    EXPECT_EQ(Sanitized("<![CDATA[Hello]]>"), "\x81\x83![CDATA[Hello]]\x81\x84");
}

// --- the one-pass rewrites against the replace-all steps they replace --------

TEST(NormalizeFeedText, OnePassEqualsTheTenStepsOnRandomText)
{
    // Pieces of every pattern, lead-byte values and the bytes the patterns
    // are made of, so that matches overlap, chain and fall on trail bytes.
    const char* const pieces[] = {
        "<ITEM", "</ITEM>", "<TITLE>", "</TITLE>", "<LINK>", "</LINK>", "<item ", "<item>",
        "&amp;", "&#38;",   "&#x26;",  "#38;",     "#x26;",  "amp;",    "&",      "<",
        "/",     " ",       "I",       "\x81",     "\x83",   "\xE0",    "\\",     "a",
        "\r\n",  ":",       "?",       "|",        "\"",     ">",       "\0"};
    std::mt19937 rng(2026);
    std::uniform_int_distribution<size_t> pick(0, sizeof(pieces) / sizeof(pieces[0]) - 1);
    std::uniform_int_distribution<int> count(0, 60);
    for (int round = 0; round < 30000; ++round) {
        std::string text;
        for (int i = count(rng); i > 0; --i) {
            const char* piece = pieces[pick(rng)];
            text.append(piece, *piece ? std::strlen(piece) : 1);
        }
        CString fast(text), slow(text);
        NormalizeFeedText(fast);
        reference::NormalizeFeedText(slow);
        ASSERT_EQ(fast.str(), slow.str()) << "round " << round;
        CString fastName(text), slowName(text);
        SanitizeFileName(fastName);
        reference::SanitizeFileName(slowName);
        ASSERT_EQ(fastName.str(), slowName.str()) << "round " << round;
    }
}

} // namespace
