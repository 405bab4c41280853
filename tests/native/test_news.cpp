// A site's submenu rows, the marks of new items, and the notice's texts.
#include <gtest/gtest.h>

#include <sstream>

#include "app/item_menu.h"
#include "app/notice_text.h"
#include "app/site_news.h"

namespace
{

const std::string kDots = "\x81\x63", kWide = "\x82\xA0"; // "…", "あ"

std::string Repeat(std::string s, int n)
{
    return n > 0 ? s + Repeat(s, n - 1) : "";
}

std::vector<CString> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<CString> words;
    for (std::string word; in >> word;)
        words.emplace_back(word);
    return words;
}

// Per row: "~" grey, "*" checked, caption or "-", ">" file index (or
// indices) or "F" folder.
std::string Show(const std::vector<ItemMenuRow>& rows)
{
    std::string text;
    for (const ItemMenuRow& row : rows) {
        text += std::string(text.empty() ? "" : " ") + (row.grayed ? "~" : "") +
                (row.checked ? "*" : "") + (row.caption.IsEmpty() ? "-" : row.caption.str()) +
                (row.action == ItemAction::openItem     ? ">" + std::to_string(row.file)
                 : row.action == ItemAction::openFolder ? ">F"
                                                        : "");
        for (size_t file : row.files)
            text += ">" + std::to_string(file);
    }
    return text;
}

} // namespace

TEST(SiteItemRows, NewestFirstCappedCaptionedAndMarked)
{
    std::string many, manyRows;
    for (int i = 0; i < 26; ++i) {
        many += std::string(1, static_cast<char>('a' + i)) + ".url ";
        manyRows += i < 25 ? many.substr(many.size() - 6, 1) + ">" + std::to_string(i) + " " : "";
    }
    struct Case {
        const char* what;
        std::string files, written, marked; // written "?": no list written whole
        bool folder;
        std::string rows;
    } cases[] = {
        {"the list's order, deleted ones gone, the others after it by name",
         "b.url A.URL c.url x.url", "c.url gone.url a.url", "a.url", true,
         "Open the new item>1 - c>2 *A>1 b>0 x>3 - Open folder>F"},
        {"the new items opened newest first, a mark beyond the 25 left out", many + "Z.url",
         "z.url a.url", "a.url z.url y.url", true,
         "Open the 2 new items>26>0 - *Z>26 *a>0 " + manyRows.substr(4, manyRows.size() - 9) +
             "- Open folder>F More in the folder" + kDots + ">F"},
        {"no list written whole: by name, case aside", "b.url A.url a2.url", "?", "", true,
         "A>1 a2>2 b>0 - Open folder>F"},
        {"ampersands doubled, long names cut with an ellipsis on a character",
         "Q&A.url n" + Repeat(kWide, 40) + ".url " + Repeat("m", 64) + ".url", "?", "", true,
         Repeat("m", 64) + ">2 n" + Repeat(kWide, 30) + kDots + ">1 Q&&A>0 - Open folder>F"},
        {"empty folder", "", "a.url", "", true, "~(no items) - Open folder>F"},
        {"no folder", "", "?", "", false, "~(no items) - ~Open folder"},
        {"a mark whose file has gone", "b.url", "?", "a.url", true, "b>0 - Open folder>F"},
        {"25 listed of 26", many, "?", "", true,
         manyRows + "- Open folder>F More in the folder" + kDots + ">F"},
    };
    for (const Case& c : cases) {
        const std::vector<CString> written = Words(c.written), keys = Words(c.marked);
        const auto rows =
            SiteItemRows(Words(c.files), c.folder, c.written == "?" ? nullptr : &written,
                         std::set<std::string>(keys.begin(), keys.end()));
        EXPECT_EQ(Show(rows), c.rows) << c.what;
        EXPECT_EQ(AnyRowChecked(rows), c.rows.find('*') != std::string::npos) << c.what;
    }
}

TEST(SiteNews, MarksTheItemsOfAnnouncedChangesUntilTheSubmenuOpens)
{
    enum Step { write, writePart, announce, open, forget };
    struct Case {
        const char* what;
        Step step;
        std::string files, announced, marked;
    } steps[] = {
        {"a list written whole keeps its order", write, "b.url a.url", "", ""},
        {"announced: marked", announce, "", "a.url", "a.url"},
        {"marks add up, in one case", announce, "", "B.url", "a.url b.url"},
        {"the submenu opened", open, "", "", ""},
        {"a write that did not reach the folder whole keeps no order", writePart, "c.url", "", ""},
        {"an edit forgets the marks", forget, "", "", ""},
    };
    SiteNews news;
    for (const Case& c : steps) {
        const std::vector<CString> files = Words(c.files);
        if (c.step == write) news.OnWritten(4, &files);
        if (c.step == writePart) news.OnWritten(4, nullptr);
        if (c.step == announce) news.OnAnnounced(4, Words(c.announced));
        if (c.step == open) news.OnSubmenuOpened(4);
        if (c.step == forget) news.Forget(4);
        const std::set<std::string>& marked = news.MarkedKeys(4);
        EXPECT_EQ(std::vector<CString>(marked.begin(), marked.end()), Words(c.marked)) << c.what;
        EXPECT_EQ(news.WrittenFiles(4) != nullptr, c.step != writePart && c.step != forget)
            << c.what;
    }
}

TEST(NewsNotice, NamesUpToThreeItemsWithinTheRecordsLimits)
{
    const std::string line = Repeat(kWide, 37) + kDots; // 76 bytes
    struct Case {
        const char* what;
        std::string site, names, title, text;
    } cases[] = {
        {"three", "News", "a b c", "News", "a\nb\nc"},
        {"four", "News", "a b c d", "News", "a\nb\nc\n" + kDots + " and 1 more"},
        {"long names cut on characters, the count kept", "n" + Repeat(kWide, 40),
         Repeat(Repeat(kWide, 50) + " ", 13), "n" + Repeat(kWide, 31),
         line + "\n" + line + "\n" + line + "\n" + kDots + " and 10 more"},
    };
    for (const Case& c : cases) {
        const TrayNotice notice = NewsNotice(CString(c.site), Words(c.names));
        EXPECT_EQ(notice.title.str(), c.title) << c.what;
        EXPECT_EQ(notice.text.str(), c.text) << c.what;
    }
}

TEST(NoticeClickTarget, OpensWhatTheLatestNoticeNamedWhileItIsThere)
{
    struct Case {
        const char* what;
        std::string named, then, listed; // then: what happened after the notice
        int site;
        std::string opens;
    } cases[] = {
        {"one new item, listed in another case", "b.url", "", "a.url B.url", 2, "item 1"},
        {"one new item gone", "b.url", "", "a.url", 2, "nothing"},
        {"several: the submenu", "a.url b.url", "", "b.url", 2, "submenu"},
        {"several, all gone", "a.url b.url", "", "c.url", 2, "nothing"},
        {"the site edited since", "a.url", "edit", "a.url", -1, "nothing"},
        {"another site's notice since", "a.url", "other", "o.url", 5, "item 0"},
    };
    for (const Case& c : cases) {
        SiteNews news;
        news.OnAnnounced(2, Words(c.named));
        if (c.then == "edit") news.Forget(2);
        if (c.then == "other") news.OnAnnounced(5, Words("o.url"));
        news.Forget(7);
        EXPECT_EQ(news.NoticeSite(), c.site) << c.what;
        const NoticeTarget target = NoticeClickTarget(news.NoticeFiles(), Words(c.listed));
        EXPECT_EQ(target.action == NoticeAction::openItem ? "item " + std::to_string(target.file)
                  : target.action == NoticeAction::showSubmenu ? "submenu"
                                                               : "nothing",
                  c.opens)
            << c.what;
    }
}
