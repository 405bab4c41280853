#include <gtest/gtest.h>

#include "framework/cstring.h"

namespace
{
const char kSo[] = "\x83\x5C"; // katakana SO: trail byte is the backslash
const char kPo[] = "\x83\x7C"; // katakana PO: trail byte is the vertical line
} // namespace

TEST(ShiftJisFind, NeverMatchesOnATrailByte)
{
    const CString text = CString("a") + kSo + "b\\c";
    EXPECT_EQ(text.Find("\\"), 4);
    EXPECT_EQ(CString(kPo).Find("|"), -1);
    EXPECT_EQ((CString(kPo) + "|").Find("|"), 2);
}

TEST(ShiftJisFind, StartsFromTheGivenPosition)
{
    const CString text("<item>a</item><item>b</item>");
    EXPECT_EQ(text.Find("<item>", 0), 0);
    EXPECT_EQ(text.Find("<item>", 1), 14);
    EXPECT_EQ(text.Find("<item>", 15), -1);
    EXPECT_EQ(text.Find("<item>", 400), -1);
}

TEST(ShiftJisFind, ReverseFindSkipsTrailBytes)
{
    // C:\ソフト\Tansy.exe: the SO of the folder name ends in 0x5C.
    const CString path = CString("C:\\") + kSo + "\x83\x74\x83\x67\\Tansy.exe";
    EXPECT_EQ(path.ReverseFind('\\'), 9);
    EXPECT_EQ((CString("C:\\") + kSo).ReverseFind('\\'), 2);
    EXPECT_EQ(CString(kSo).ReverseFind('\\'), -1);
    EXPECT_EQ(path.ReverseFind('.'), 15);
}

TEST(ShiftJisFind, LoneLeadByteAtTheEndIsACharacterOfItsOwn)
{
    const CString text("ab\x83");
    EXPECT_EQ(text.Find("\x83"), 2);
}

TEST(ShiftJisReplace, OnePassNeverRescansInsertedText)
{
    CString text("&amp;amp;");
    EXPECT_EQ(text.Replace("&amp;", "&"), 1);
    EXPECT_EQ(text, "&amp;");

    CString grow("aaa");
    EXPECT_EQ(grow.Replace("a", "aa"), 3);
    EXPECT_EQ(grow, "aaaaaa");
}

TEST(ShiftJisReplace, LeavesDoubleByteCharactersWhole)
{
    CString text = CString(kSo) + "\\" + kPo + "|";
    text.Replace("\\", "/");
    text.Replace("|", "!");
    EXPECT_EQ(text, CString(kSo) + "/" + kPo + "!");
}

TEST(ShiftJisReplace, EmptyPatternChangesNothing)
{
    CString text("abc");
    EXPECT_EQ(text.Replace("", "x"), 0);
    EXPECT_EQ(text, "abc");
}

TEST(ShiftJisFitLength, NeverCutsAPair)
{
    const std::string text = "a\x82\xA0\x82\xA2"; // a, two hiragana
    EXPECT_EQ(sjis::FitLength(text.data(), text.size(), 2), 1u);
    EXPECT_EQ(sjis::FitLength(text.data(), text.size(), 3), 3u);
    EXPECT_EQ(sjis::FitLength(text.data(), text.size(), 10), 5u);
}

TEST(CStringBasics, MidAndFormat)
{
    const CString text("0123456789");
    EXPECT_EQ(text.Mid(3, 2), "34");
    EXPECT_EQ(text.Mid(8, 10), "89");
    EXPECT_EQ(text.Mid(20), "");
    CString f;
    f.Format("%d %s", 3, "NOMODIFY ");
    EXPECT_EQ(f, "3 NOMODIFY ");
}
