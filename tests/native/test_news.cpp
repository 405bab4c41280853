// A site's submenu rows, the marks of new items, and the notice's texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/item_menu.h"
#include "app/notice_text.h"
#include "app/site_news.h"

namespace
{

std::string Wide(int characters) // "あ" (82 A0) repeated
{
    std::string text;
    for (int i = 0; i < characters; ++i)
        text += "\x82\xA0";
    return text;
}

const std::string kDots = "\x81\x63"; // "…"

std::vector<CString> Names(const std::vector<std::string>& names)
{
    return std::vector<CString>(names.begin(), names.end());
}

// A row as "~" (grey) "*" (checked) caption ">" file index or ">folder".
std::string Show(const ItemMenuRow& row)
{
    if (row.caption.IsEmpty()) return "-";
    std::string text =
        std::string(row.grayed ? "~" : "") + (row.checked ? "*" : "") + row.caption.str();
    if (row.action == ItemAction::openItem) text += ">" + std::to_string(row.file);
    if (row.action == ItemAction::openFolder) text += ">folder";
    return text;
}

} // namespace

TEST(SiteItemRows, NewestFirstCappedCaptionedAndMarked)
{
    std::vector<std::string> many, manyRows;
    for (int i = 0; i < 26; ++i)
        many.push_back("n" + std::string(1, static_cast<char>('a' + i)) + ".url");
    for (int i = 0; i < 25; ++i)
        manyRows.push_back(many[i].substr(0, 2) + ">" + std::to_string(i));
    manyRows.insert(manyRows.end(),
                    {"-", "Open folder>folder", "More in the folder" + kDots + ">folder"});
    struct Case {
        const char* what;
        std::vector<std::string> files;
        bool written;
        std::vector<std::string> writtenFiles, marked;
        bool folder;
        std::vector<std::string> rows;
    } cases[] = {
        {"the list's order, deleted ones gone, the others after it by name",
         {"b.url", "A.URL", "c.url", "x.url"},
         true,
         {"c.url", "gone.url", "a.url"},
         {"a.url"},
         true,
         {"c>2", "*A>1", "b>0", "x>3", "-", "Open folder>folder"}},
        {"no list written whole: by name, case aside",
         {"b.url", "A.url", "a2.url"},
         false,
         {},
         {},
         true,
         {"A>1", "a2>2", "b>0", "-", "Open folder>folder"}},
        {"ampersands doubled, long names cut with an ellipsis on a character",
         {"Q&A.url", "n" + Wide(40) + ".url", std::string(64, 'm') + ".url"},
         false,
         {},
         {},
         true,
         {std::string(64, 'm') + ">2", "n" + Wide(30) + kDots + ">1", "Q&&A>0", "-",
          "Open folder>folder"}},
        {"empty folder", {}, true, {"a.url"}, {}, true, {"~(no items)", "-", "Open folder>folder"}},
        {"no folder", {}, false, {}, {}, false, {"~(no items)", "-", "~Open folder"}},
        {"25 listed of 26", many, false, {}, {}, true, manyRows},
    };
    for (const Case& c : cases) {
        const std::vector<CString> written = Names(c.writtenFiles);
        const std::vector<ItemMenuRow> rows =
            SiteItemRows(Names(c.files), c.folder, c.written ? &written : nullptr,
                         std::set<std::string>(c.marked.begin(), c.marked.end()));
        std::vector<std::string> shown;
        for (const ItemMenuRow& row : rows)
            shown.push_back(Show(row));
        EXPECT_EQ(shown, c.rows) << c.what;
    }
}

TEST(SiteNews, MarksTheItemsOfAnnouncedChangesUntilTheSubmenuOpens)
{
    enum Step { write, writePart, announce, open, forget };
    struct Case {
        const char* what;
        Step step;
        std::vector<std::pair<std::string, std::string>> items; // title, link
        std::vector<std::string> announced, marked;
    } steps[] = {
        {"a first list adds all", write, {{"a", "1"}, {"b", "1"}, {"b", "1"}}, {}, {}},
        {"announced: marked", announce, {}, {"a", "b"}, {"a.url", "b.url"}},
        {"a new file or link adds to the marks",
         write,
         {{"A", "1"}, {"b", "2"}, {"c", "3"}},
         {},
         {"a.url", "b.url"}},
        {"announced again", announce, {}, {"b", "c"}, {"a.url", "b.url", "c.url"}},
        {"the submenu opened", open, {}, {}, {}},
        {"a write that did not reach the folder whole",
         writePart,
         {{"c", "3"}, {"d", "4"}},
         {},
         {}},
        {"after it, every item is new", write, {{"c", "3"}}, {}, {}},
        {"announced", announce, {}, {"c"}, {"c.url"}},
        {"an edit forgets the marks", forget, {}, {}, {}},
    };
    SiteNews news;
    for (const Case& c : steps) {
        std::vector<ItemShortcut> items;
        for (const auto& item : c.items)
            items.push_back({CString(item.first), CString(item.second)});
        std::vector<CString> announced;
        if (c.step == write || c.step == writePart) news.OnWritten(4, items, c.step == write);
        if (c.step == announce) announced = news.OnAnnounced(4);
        if (c.step == open) news.OnSubmenuOpened(4);
        if (c.step == forget) news.Forget(4);
        EXPECT_EQ(announced, Names(c.announced)) << c.what;
        const std::set<std::string>& marked = news.MarkedKeys(4);
        EXPECT_EQ(std::vector<std::string>(marked.begin(), marked.end()), c.marked) << c.what;
        EXPECT_EQ(news.WrittenFiles(4) != nullptr, c.step != writePart && c.step != forget)
            << c.what;
        EXPECT_TRUE(news.MarkedKeys(3).empty()) << c.what;
    }
}

TEST(NewsNotice, NamesUpToThreeItemsWithinTheRecordsLimits)
{
    const std::string line = Wide(37) + kDots; // 76 bytes
    struct Case {
        const char* what;
        std::string site;
        std::vector<std::string> names;
        std::string title, text;
    } cases[] = {
        {"one item", "News", {"a"}, "News", "a"},
        {"three", "News", {"a", "b", "c"}, "News", "a\nb\nc"},
        {"four", "News", {"a", "b", "c", "d"}, "News", "a\nb\nc\n" + kDots + " and 1 more"},
        {"long names cut on characters, the count kept", "n" + Wide(40),
         std::vector<std::string>(13, Wide(50)), "n" + Wide(31),
         line + "\n" + line + "\n" + line + "\n" + kDots + " and 10 more"},
    };
    for (const Case& c : cases) {
        const TrayNotice notice = NewsNotice(CString(c.site), Names(c.names));
        EXPECT_EQ(notice.title.str(), c.title) << c.what;
        EXPECT_EQ(notice.text.str(), c.text) << c.what;
    }
}
