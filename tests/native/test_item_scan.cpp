// The item scan and the mends that make each title and link safe to use.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "feed/feed_text.h"
#include "feed/item_scan.h"
#include "scan_items.h"
#include "feed_text_reference.h"

namespace
{

using testscan::Items;
using testscan::Scan;

std::string Item(const std::string& title, const std::string& link)
{
    return "<item><title>" + title + "</title><link>" + link + "</link></item>\n";
}

// --- the scan as such -------------------------------------------------------

TEST(ScanFeedItems, EmitsTitleAndLinkOfEachItemInOrder)
{
    const Items items = Scan("<channel><title>Site</title><link>http://site/</link>\n" +
                             Item("One", "http://a/1") + Item("Two", "http://a/2") + "</channel>");
    EXPECT_EQ(items, (Items{{"One", "http://a/1"}, {"Two", "http://a/2"}}));
}

TEST(ScanFeedItems, ReadsItemTagsWithAttributes)
{
    const Items items = Scan(
        "<item rdf:about=\"http://a/1\"><title>One</title><link>http://a/1</link></item>"
        "<item rdf:about=\"http://a/2\">\n<title>Two</title>\n<link>http://a/2</link>\n</item>");
    EXPECT_EQ(items, (Items{{"One", "http://a/1"}, {"Two", "http://a/2"}}));
}

TEST(ScanFeedItems, UpperCaseFeedGivesTheSameItemsAsLowerCase)
{
    const std::string lower = "<item about=\"x\"><title>One</title><link>http://a/1</link></item>"
                              "<item><title>Two</title><link>http://a/2</link></item>";
    const std::string upper = "<ITEM about=\"x\"><TITLE>One</TITLE><LINK>http://a/1</LINK></ITEM>"
                              "<ITEM><TITLE>Two</TITLE><LINK>http://a/2</LINK></ITEM>";
    EXPECT_EQ(Scan(upper), Scan(lower));
    EXPECT_EQ(Scan(upper).size(), 2u);
}

TEST(ScanFeedItems, DecodesAmpersandsInTitlesAndLinks)
{
    const Items items =
        Scan(Item("Tom &amp; Jerry", "http://a/?x=1&amp;y=2") +
             Item("a &amp;amp; b", "http://a/2") + Item("c &amp;#38; d &#x26; e", "http://a/3"));
    EXPECT_EQ(items, (Items{{"Tom & Jerry", "http://a/?x=1&y=2"},
                            {"a & b", "http://a/2"},
                            {"c & d & e", "http://a/3"}}));
}

TEST(ScanFeedItems, MakesTitlesIntoFileNames)
{
    const Items items =
        Scan(Item("Q: ready?", "http://a/1") + Item("first line\r\nsecond line", "http://a/2") +
             Item("<![CDATA[Hi]]>", "http://a/3") + Item("\x83\x5C\x83\x7C a\\b|c", "http://a/4"));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].first, "Q\x81\x46 ready\x81\x48");
    EXPECT_EQ(items[1].first, "first line second line");
    EXPECT_EQ(items[2].first, "Hi");
    EXPECT_EQ(items[3].first, "\x83\x5C\x83\x7C a\x81\x8F"
                              "b\x81\x62"
                              "c");
}

TEST(ScanFeedItems, SkipsItemsWithoutTitleOrLink)
{
    const Items items = Scan("<item><title>No link</title></item>"
                             "<item><link>http://a/no-title</link></item>"
                             "<item><title>Open title<link>http://a/x</link></item>" +
                             Item("Kept", "http://a/k"));
    EXPECT_EQ(items, (Items{{"Kept", "http://a/k"}}));
}

TEST(ScanFeedItems, SkipsAnEmptyItemTitleOrLinkAndGoesOn)
{
    const std::string before = Item("Before", "http://a/b");
    const std::string after = Item("After", "http://a/c");
    const Items expected{{"Before", "http://a/b"}, {"After", "http://a/c"}};
    EXPECT_EQ(Scan(before + "<item></item>" + after), expected);
    EXPECT_EQ(Scan(before + Item("", "http://a/x") + after), expected);
    EXPECT_EQ(Scan(before + Item("Empty link", "") + after), expected);
    // A closing title tag ahead of the opening one gives a negative length.
    EXPECT_EQ(Scan(before + "<item></title><title>x</title><link>http://a/x</link></item>" + after),
              expected);
    // A stray "</item>" before the next "<item>" makes a negative body.
    EXPECT_EQ(Scan(before + "</item>" + after), expected);
}

TEST(ScanFeedItems, StopsWhenEitherItemTagIsMissing)
{
    EXPECT_TRUE(Scan("<item><title>t</title><link>http://a/</link>").empty());
    EXPECT_TRUE(Scan("<title>t</title><link>http://a/</link></item>").empty());
    EXPECT_TRUE(Scan("<item rdf:about=\"http://a/\"/>").empty());
}

TEST(ScanFeedItems, EmitsEveryItemOfARepeatedTitle)
{
    const Items items = Scan(Item("Same", "http://a/1") + Item("Same", "http://a/2"));
    EXPECT_EQ(items, (Items{{"Same", "http://a/1"}, {"Same", "http://a/2"}}));
}

TEST(ScanFeedItems, TakesTheFirstTitleAndLinkOfTheBody)
{
    const Items items = Scan("<item><title>Own</title><link>http://a/own</link>"
                             "<image><title>Pic</title><link>http://a/pic</link></image></item>");
    EXPECT_EQ(items, (Items{{"Own", "http://a/own"}}));
}

TEST(ScanFeedItems, NamesItemsAsAReaderShowsTheirTitles)
{
    const struct {
        const char* atomType; // null: an RSS item; "": an Atom title without type
        const char* title;
        const char* link;
        const char* name; // null: the item is skipped
        const char* expectedLink;
    } rows[] = {
        {nullptr, "<![CDATA[a &lt; <b>b</b>]]> &lt; c", "http://a/", "a \x81\x83 b \x81\x83 c",
         "http://a/"},
        {nullptr, "<![CDATA[&#x0024;4300 &hellip; &bogus;]]>", "http://a/",
         "$4300 \x81\x63 &bogus;", "http://a/"},
        {nullptr, "<![CDATA[never closed &lt;", "http://a/", "\x81\x83![CDATA[never closed &lt;",
         "http://a/"},
        {nullptr, "&#8217;&#x2019;&#X2019;&#0038;&#146;", "http://a/?p=1&#038;c=2",
         "\x81\x66\x81\x66\x81\x66&\x81\x66", "http://a/?p=1&c=2"},
        {nullptr, "2&#65306;FOX &#9733;&hellip;&apos;", "<![CDATA[http://a/?x&#038;]]>",
         "2\x81\x46"
         "FOX \x81\x9A\x81\x63'",
         "http://a/?x&#038;"},
        {nullptr, "&#0;&#xD800;&#1114112;", "http://a/", "\x81\xAC\x81\xAC\x81\xAC", "http://a/"},
        {nullptr, "&unknown; AT&T &#38 &Hellip; &#;", "http://a/",
         "&unknown; AT&T &#38 &Hellip; &#;", "http://a/"},
        {nullptr, "&lt;EM&gt;e&lt;/em&gt; <span class=\"x\">s</span> a<br/>b x < y <3 <p>",
         "http://a/",
         "e s a b x \x81\x83 y \x81\x83"
         "3 \x81\x83p\x81\x84",
         "http://a/"},
        {nullptr, " \t one  \r\n two&#10;three ", "http://a/", "one two three", "http://a/"},
        {nullptr, "a &#11; b\x01 c", "http://a/", "a b c", "http://a/"},
        {nullptr, "<![CDATA[]]>", "http://a/", nullptr, nullptr},
        {nullptr, "<b> </b>", "http://a/", nullptr, nullptr},
        {nullptr, "Empty link", "<![CDATA[ ]]>", nullptr, nullptr},
        {"html", "&lt;i&gt;x&lt;/i&gt; &amp;amp;hellip;", "http://a/?p=1&#038;c=2", "x \x81\x63",
         "http://a/?p=1&c=2"},
        {"xhtml", "<div xmlns=\"http://www.w3.org/1999/xhtml\"><b>x</b> &lt;y&gt;</div>",
         "http://a/", "x \x81\x83y\x81\x84", "http://a/"},
        {"text", "&lt;b&gt; &amp;amp;hellip;", "http://a/",
         "\x81\x83"
         "b\x81\x84 &hellip;",
         "http://a/"},
        {"text", "<![CDATA[&#x0024;4300 &hellip; &bogus;]]>", "http://a/",
         "&#x0024;4300 &hellip; &bogus;", "http://a/"},
        {"", "<![CDATA[<b>]]>", "http://a/",
         "\x81\x83"
         "b\x81\x84",
         "http://a/"},
    };
    for (const auto& row : rows) {
        const std::string type = row.atomType && *row.atomType
                                     ? std::string(" type=\"") + row.atomType + "\""
                                     : std::string();
        const std::string feed = row.atomType ? "<feed><entry><title" + type + ">" + row.title +
                                                    "</title><link href=\"" + row.link +
                                                    "\"/></entry></feed>"
                                              : Item(row.title, row.link);
        const Items expected = row.name ? Items{{row.name, row.expectedLink}} : Items{};
        EXPECT_EQ(Scan(feed), expected) << row.title;
    }
}

// Titles made of the pieces that tag removal and names must get right: tags
// left open, quotes, comments, CDATA, lead bytes, white space, controls.
std::string RandomTitle(unsigned& seed)
{
    static const char* const kPieces[] = {
        "<",  ">",  "<a ",       "<a",    "</b>",  "<br/>",  "<!--",     "-->",
        "<?", "<!", "<![CDATA[", "]]>",   "\"",    "'",      "<a \"",    "<span class='",
        "x",  " ",  "\x81",      "\x81<", "\x82>", "\x83\"", "\x81\x40", "<p>",
        "<3", "&",  ";",         "&#11;", "\t",    "\r\n",   "\x01",     "con",
        ".",  ":",  "|",
    };
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    std::string title;
    for (unsigned pieces = next() % 40; pieces > 0; --pieces)
        title += kPieces[next() % std::size(kPieces)];
    return title;
}

TEST(RemoveTags, GivesWhatThePlainSearchGivesOnRandomAndOpenTags)
{
    unsigned seed = 30;
    for (int k = 0; k < 20000; ++k) {
        const std::string title = RandomTitle(seed);
        for (const TagsRemoved which : {TagsRemoved::All, TagsRemoved::Inline})
            ASSERT_EQ(RemoveTags(title, which), reference::RemoveTags(title, which)) << title;
    }
}

TEST(MakeItemName, GivesWhatItsStepsOneAPassGiveOnRandomTitlesAndLinks)
{
    unsigned seed = 33;
    for (int k = 0; k < 5000; ++k) {
        const std::string title = RandomTitle(seed);
        for (const TitleMarkup markup : {TitleMarkup::Rss, TitleMarkup::AtomText,
                                         TitleMarkup::AtomHtml, TitleMarkup::AtomXhtml}) {
            CString name(title), steps(title);
            EXPECT_EQ(MakeItemName(name, markup) ? name : "refused",
                      reference::MakeItemName(steps, markup) ? steps : "refused")
                << title;
        }
        CString link("http://a/" + title), steps("http://a/" + title);
        EXPECT_EQ(MakeItemLink(link) ? link : "refused",
                  reference::MakeItemLink(steps) ? steps : "refused")
            << title;
    }
}

// Far below a bound that a search starting again at each tag left open would pass many times.
TEST(MakeItemName, TakesAMegabyteOfOpenTagsInLinearTime)
{
    const auto start = std::chrono::steady_clock::now();
    for (const TitleMarkup markup :
         {TitleMarkup::Rss, TitleMarkup::AtomText, TitleMarkup::AtomHtml, TitleMarkup::AtomXhtml}) {
        CString name(std::string(333334, '<'));
        name.Replace("<", "<a ");
        MakeItemName(name, markup);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// --- link mends ------------------------------------------------------------

TEST(MakeSafeLink, AcceptsAbsoluteHttpLinksAndTrimsWhiteSpace)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"http://a/", "http://a/"},
        {"HTTPS://X", "HTTPS://X"},
        {"HtTp://example.com/?q=1&r=2#f", "HtTp://example.com/?q=1&r=2#f"},
        {" \t\r\nhttp://a/b \r\n\t", "http://a/b"},
        {"http://a/\x83\x5C", "http://a/\x83\x5C"},
    };
    for (const auto& c : cases) {
        CString link(c.in);
        EXPECT_TRUE(MakeSafeLink(link)) << c.in;
        EXPECT_EQ(link.str(), c.out);
    }
}

TEST(MakeSafeLink, RefusesOtherSchemesRelativeLinksAndControlCharacters)
{
    const char* const hostile[] = {
        "file:///C:/x",
        "\\\\server\\share",
        "//server/share",
        "javascript:alert(1)",
        " javascript:alert(1) ",
        "mailto:a@b",
        "ftp://a/",
        "000001.html",
        "http:/a",
        "http://",
        "https://",
        "http:///etc/passwd",
        "http://\\server",
        "http://a/\r\nb",
        "http://a/\tb",
        "http://a/\x7F",
        "http\x01://a/",
        " \r\n ",
    };
    for (const char* h : hostile) {
        CString link(h);
        EXPECT_FALSE(MakeSafeLink(link)) << h;
    }
}

TEST(ScanFeedItems, SkipsItemsWithUnsafeLinksAndGoesOn)
{
    const Items items = Scan(Item("F", "file:///C:/x") + Item("U", "\\\\server\\share") +
                             Item("J", "javascript:alert(1)") + Item("S", "  ") +
                             Item("C", "http://a/\r\nb") + Item("Ok", "\n  https://a/ok\n"));
    EXPECT_EQ(items, (Items{{"Ok", "https://a/ok"}}));
}

// --- title mends -----------------------------------------------------------

std::string FileTitle(const std::string& raw, bool* accepted = nullptr)
{
    CString title(raw);
    const bool ok = MakeItemFileTitle(title);
    if (accepted) *accepted = ok;
    return ok ? title.str() : std::string("<refused>");
}

TEST(MakeItemFileTitle, TrimsWhiteSpaceAndDropsControlCharacters)
{
    EXPECT_EQ(FileTitle("  \t\r\n Title \r\n\t "), "Title");
    EXPECT_EQ(FileTitle("a\tb\x01"
                        "c\x1F"
                        "d\x7F"
                        "e"),
              "abcde");
    EXPECT_EQ(FileTitle("\x01 x \x02"), "x");
    EXPECT_EQ(FileTitle("two\r\nlines"), "twolines");
}

TEST(MakeItemFileTitle, RefusesTitlesLeftEmptyOrMadeOfDotsAndBlanks)
{
    const char* const refused[] = {" ", "\t\r\n", "\x01\x7F", ".", "..", "...", ". .", " .. "};
    for (const char* r : refused)
        EXPECT_EQ(FileTitle(r), "<refused>") << r;
    EXPECT_EQ(FileTitle("..a"), "\x81\x44.a");
}

TEST(MakeItemFileTitle, KeepsPathSeparatorsHarmless)
{
    EXPECT_EQ(FileTitle("..\\..\\x"), "\x81\x44.\x81\x8F..\x81\x8Fx");
    EXPECT_EQ(FileTitle("../../x"), "\x81\x44.\x81\x5E..\x81\x5Ex");
    EXPECT_EQ(FileTitle("C:\\Windows"), "C\x81\x46\x81\x8FWindows");
}

TEST(MakeItemFileTitle, NeverBeginsWithADot)
{
    // A name that begins with a dot would outlive every emptying of the folder.
    EXPECT_EQ(FileTitle(".NET news"), "\x81\x44NET news");
    EXPECT_EQ(FileTitle("  .hidden"), "\x81\x44hidden");
    EXPECT_EQ(FileTitle("a.b."), "a.b.");
}

TEST(MakeItemFileTitle, DropsLeadBytesWithoutTrailByte)
{
    // A lone lead byte at the end would join the dot of ".url".
    EXPECT_EQ(FileTitle("abc\x83"), "abc");
    EXPECT_EQ(FileTitle("abc\x83 "), "abc");
    // A lead byte in front of '/' would hide the slash from the sanitising.
    EXPECT_EQ(FileTitle("a\x83/b"), "a\x81\x5E"
                                    "b");
    EXPECT_EQ(FileTitle("a\x83\x0A/b"), "a\x81\x5E"
                                        "b");
    // Complete characters stay, SO and PO included.
    EXPECT_EQ(FileTitle("\x83\x5C\x83\x7C\x82\xA0"), "\x83\x5C\x83\x7C\x82\xA0");
    EXPECT_EQ(FileTitle("\x83"), "<refused>");
}

TEST(MakeItemFileTitle, PassesLongTitlesThroughWhole)
{
    const std::string longTitle(300, 'x');
    EXPECT_EQ(FileTitle(longTitle), longTitle);
    std::string kanji;
    for (int i = 0; i < 150; ++i)
        kanji += "\x8A\xBF";
    EXPECT_EQ(FileTitle(kanji), kanji);
}

TEST(IsReservedDeviceName, MatchesTheDeviceNamesBeforeTheFirstDot)
{
    const char* const reserved[] = {"CON",  "con",     "Prn",      "AUX",     "nul",  "COM1",
                                    "com9", "LPT1",    "lpt9",     "con.txt", "CON ", "con .txt",
                                    "NUL.", "aux.a.b", "LPT1  ..", "COM5."};
    for (const char* r : reserved)
        EXPECT_TRUE(IsReservedDeviceName(r)) << r;
    const char* const ordinary[] = {"CONSOLE", "COM",  "COM10", "LPT0", "COM0",  "xCON",
                                    " CON",    "CON_", "NULL",  "",     "a.con", "LPT"};
    for (const char* o : ordinary)
        EXPECT_FALSE(IsReservedDeviceName(o)) << o;
}

TEST(MakeItemFileTitle, AppendsUnderscoreToDeviceNames)
{
    EXPECT_EQ(FileTitle("CON"), "CON_");
    EXPECT_EQ(FileTitle("con.txt"), "con_.txt");
    EXPECT_EQ(FileTitle("LPT1"), "LPT1_");
    EXPECT_EQ(FileTitle("  aux  "), "aux_");
    EXPECT_EQ(FileTitle("nul .x"), "nul_ .x");
    EXPECT_EQ(FileTitle("Com3..."), "Com3_...");
    EXPECT_EQ(FileTitle("CONTACT"), "CONTACT");
    EXPECT_FALSE(IsReservedDeviceName(FileTitle("con .txt").c_str()));
}

TEST(ScanFeedItems, MendsHostileTitlesAndGoesOn)
{
    const Items items = Scan(Item("..\\..\\x", "http://a/1") + Item("..", "http://a/2") +
                             Item(" ", "http://a/3") + Item("CON", "http://a/4") +
                             Item("\x01\x02", "http://a/5") + Item("Last", "http://a/6"));
    EXPECT_EQ(items, (Items{{"\x81\x44.\x81\x8F..\x81\x8Fx", "http://a/1"},
                            {"CON_", "http://a/4"},
                            {"Last", "http://a/6"}}));
}

} // namespace
