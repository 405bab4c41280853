#include "feed/favorites_mirror.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace
{

// Names here are plain ASCII, folded to upper case as the file system
// compares them.
std::string Key(const std::string& name)
{
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

// "name=url" is a file holding url; "name" alone is one whose URL could not
// be read.
std::vector<FoundShortcut> Found(const std::vector<std::string>& files)
{
    std::vector<FoundShortcut> found;
    for (const std::string& file : files) {
        const size_t equals = file.find('=');
        const std::string name = file.substr(0, equals);
        found.push_back({name, Key(name), equals != std::string::npos,
                         equals != std::string::npos ? file.substr(equals + 1) : ""});
    }
    return found;
}

// "name>url" in feed order.
std::vector<WantedShortcut> Wanted(const std::vector<std::string>& items)
{
    std::vector<WantedShortcut> wanted;
    for (const std::string& item : items) {
        const size_t arrow = item.find('>');
        const std::string name = item.substr(0, arrow);
        wanted.push_back({name, Key(name), item.substr(arrow + 1)});
    }
    return wanted;
}

// The folder after deleting every shortcut and writing every item in order:
// the first item of a name gives the file its name, the last its URL.
std::map<std::string, std::string> FullRewrite(const std::vector<WantedShortcut>& wanted)
{
    std::map<std::string, std::pair<std::string, std::string>> byKey;
    for (const WantedShortcut& item : wanted) {
        auto added = byKey.emplace(item.key, std::make_pair(item.name, item.url));
        if (!added.second) added.first->second.second = item.url;
    }
    std::map<std::string, std::string> folder;
    for (const auto& file : byKey)
        folder[file.second.first] = file.second.second;
    return folder;
}

struct MirrorCase {
    const char* what;
    std::vector<std::string> found;
    std::vector<std::string> wanted;
    std::vector<std::string> deletes; // names
    std::vector<std::string> writes;  // "name>url", in order
};

const MirrorCase kMirrorCases[] = {
    {"empty folder gets every item",
     {},
     {"a>http://x/1", "b>http://x/2"},
     {},
     {"a>http://x/1", "b>http://x/2"}},
    {"folder already right stays",
     {"a=http://x/1", "b=http://x/2"},
     {"a>http://x/1", "b>http://x/2"},
     {},
     {}},
    {"added item is the only write",
     {"a=http://x/1"},
     {"a>http://x/1", "b>http://x/2"},
     {},
     {"b>http://x/2"}},
    {"removed item is the only delete",
     {"a=http://x/1", "b=http://x/2"},
     {"b>http://x/2"},
     {"a"},
     {}},
    {"relinked item is deleted and written",
     {"a=http://x/1", "b=http://x/2"},
     {"a>http://x/9", "b>http://x/2"},
     {"a"},
     {"a>http://x/9"}},
    {"renamed item: old name goes, new one comes",
     {"a=http://x/1"},
     {"z>http://x/1"},
     {"a"},
     {"z>http://x/1"}},
    {"feed with no items deletes every shortcut", {"a=http://x/1", "b"}, {}, {"a", "b"}, {}},
    {"duplicate title: the last link is the one kept",
     {"a=http://x/2"},
     {"a>http://x/1", "b>http://x/3", "a>http://x/2"},
     {},
     {"b>http://x/3"}},
    {"duplicate title: file with the first link is rewritten with the last",
     {"a=http://x/1"},
     {"a>http://x/1", "a>http://x/2"},
     {"a"},
     {"a>http://x/2"}},
    {"titles differing in case are one file named by the first",
     {},
     {"Hello>http://x/1", "b>http://x/2", "HELLO>http://x/3"},
     {},
     {"Hello>http://x/3", "b>http://x/2"}},
    {"case duplicate already right stays",
     {"Hello=http://x/3"},
     {"Hello>http://x/1", "hello>http://x/3"},
     {},
     {}},
    {"file named by a later case variant is renamed",
     {"hello=http://x/3"},
     {"Hello>http://x/1", "hello>http://x/3"},
     {"hello"},
     {"Hello>http://x/3"}},
    {"title that changed only in case is renamed",
     {"Hello=http://x/1"},
     {"hello>http://x/1"},
     {"Hello"},
     {"hello>http://x/1"}},
    {"extension in another case is renamed",
     {"a.URL=http://x/1"},
     {"a.url>http://x/1"},
     {"a.URL"},
     {"a.url>http://x/1"}},
    {"unreadable file is rewritten", {"a"}, {"a>http://x/1"}, {"a"}, {"a>http://x/1"}},
    {"link differing only in case is rewritten",
     {"a=HTTP://X/1"},
     {"a>http://x/1"},
     {"a"},
     {"a>http://x/1"}},
    {"link with a blank is always rewritten",
     {"a=http://x/a b"},
     {"a>http://x/a b"},
     {"a"},
     {"a>http://x/a b"}},
    {"link with non-ASCII bytes is always rewritten",
     {"a=http://x/\x93\xfa"},
     {"a>http://x/\x93\xfa"},
     {"a"},
     {"a>http://x/\x93\xfa"}},
    {"two files the file system would take for one: the exact one stays",
     {"A=http://x/1", "a=http://x/1"},
     {"a>http://x/1"},
     {"A"},
     {}},
    {"user's changed link is put back",
     {"a=http://user/", "b=http://x/2"},
     {"a>http://x/1", "b>http://x/2"},
     {"a"},
     {"a>http://x/1"}},
};

class MirrorPlanTest : public testing::TestWithParam<MirrorCase>
{
};

TEST_P(MirrorPlanTest, TouchesOnlyWhatDiffersAndEndsAsAFullRewrite)
{
    const MirrorCase& c = GetParam();
    const std::vector<FoundShortcut> found = Found(c.found);
    const std::vector<WantedShortcut> wanted = Wanted(c.wanted);
    const MirrorPlan plan = PlanMirror(found, wanted);

    std::vector<std::string> deletes;
    for (size_t index : plan.deletes)
        deletes.push_back(found[index].name);
    std::vector<std::string> writes;
    for (const ShortcutWrite& write : plan.writes)
        writes.push_back(wanted[write.nameFrom].name + ">" + wanted[write.urlFrom].url);
    EXPECT_EQ(deletes, c.deletes);
    EXPECT_EQ(writes, c.writes);

    // Carry the plan out on a model folder whose names compare as the file
    // system does; saving over a file keeps its name.
    std::map<std::string, std::string> folder; // name -> url
    for (const FoundShortcut& file : found)
        folder[file.name] = file.url;
    for (size_t index : plan.deletes)
        folder.erase(found[index].name);
    for (const ShortcutWrite& write : plan.writes) {
        const WantedShortcut& named = wanted[write.nameFrom];
        auto same = std::find_if(folder.begin(), folder.end(), [&named](const auto& file) {
            return Key(file.first) == named.key;
        });
        folder[same != folder.end() ? same->first : named.name] = wanted[write.urlFrom].url;
    }
    EXPECT_EQ(folder, FullRewrite(wanted));
    // The state the poll cycle compares is what the folder now holds.
    EXPECT_EQ(MirroredState(wanted), FolderState(folder.begin(), folder.end()));
}

INSTANTIATE_TEST_SUITE_P(FolderStates, MirrorPlanTest, testing::ValuesIn(kMirrorCases),
                         [](const testing::TestParamInfo<MirrorCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

struct ReadCase {
    const char* what;
    std::string content;
    bool ok;
    std::string url;
};

const ReadCase kReadCases[] = {
    {"as Wine's shortcut object writes it", "[InternetShortcut]\r\nURL=http://a/x?y=1#z\r\n", true,
     "http://a/x?y=1#z"},
    {"as Windows writes it, with other sections",
     "[DEFAULT]\r\nBASEURL=http://b/\r\n[InternetShortcut]\r\nURL=http://a/\r\nIDList=\r\n"
     "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,2\r\n",
     true, "http://a/"},
    {"LF line ends, no final line end", "[InternetShortcut]\nURL=http://a/", true, "http://a/"},
    {"section and key in any case", "[internetshortcut]\r\nurl=http://a/\r\n", true, "http://a/"},
    {"blanks around the key", "[InternetShortcut]\r\n  URL \t=http://a/\r\n", true, "http://a/"},
    {"value kept untrimmed", "[InternetShortcut]\r\nURL= http://a/ \r\n", true, " http://a/ "},
    {"first URL key wins", "[InternetShortcut]\r\nURL=http://a/\r\nURL=http://b/\r\n", true,
     "http://a/"},
    {"other keys before the URL", "[InternetShortcut]\r\nIconIndex=0\r\nURL=http://a/\r\n", true,
     "http://a/"},
    {"URL key of another section only", "[Other]\r\nURL=http://a/\r\n", false, ""},
    {"URL key before any section", "URL=http://a/\r\n[InternetShortcut]\r\n", false, ""},
    {"section given twice", "[InternetShortcut]\r\nURL=http://a/\r\n[InternetShortcut]\r\n", false,
     ""},
    {"Unicode variant section beside it",
     "[InternetShortcut]\r\nURL=http://a/?\r\n[InternetShortcut.W]\r\nURL=http://a/+AOk-\r\n",
     false, ""},
    {"ANSI variant section before it",
     "[InternetShortcut.A]\r\nURL=x\r\n[InternetShortcut]\r\n"
     "URL=http://a/\r\n",
     false, ""},
    {"UTF-8 byte-order mark", "\xEF\xBB\xBF[InternetShortcut]\r\nURL=http://a/\r\n", false, ""},
    {"UTF-16 text", std::string("\xFF\xFE[\0I\0", 6), false, ""},
    {"NUL byte", std::string("[InternetShortcut]\r\nURL=http://a/\0x\r\n", 36), false, ""},
    {"empty file", "", false, ""},
    {"no URL key", "[InternetShortcut]\r\nURLX=http://a/\r\nURL\r\n", false, ""},
};

class ReadShortcutUrlTest : public testing::TestWithParam<ReadCase>
{
};

TEST_P(ReadShortcutUrlTest, ReadsWhatTheShellWouldUse)
{
    const ReadCase& c = GetParam();
    std::string url;
    EXPECT_EQ(ReadShortcutUrl(c.content, url), c.ok);
    if (c.ok) {
        EXPECT_EQ(url, c.url);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ReadShortcutUrlTest, testing::ValuesIn(kReadCases),
                         [](const testing::TestParamInfo<ReadCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

TEST(UrlStoredVerbatim, OnlyPrintableAsciiWithoutBlanks)
{
    EXPECT_TRUE(UrlStoredVerbatim("http://a.jp/x?y=1&z=%E3%81%82#~"));
    EXPECT_FALSE(UrlStoredVerbatim(""));
    EXPECT_FALSE(UrlStoredVerbatim("http://a.jp/a b"));
    EXPECT_FALSE(UrlStoredVerbatim("http://a.jp/a\tb"));
    EXPECT_FALSE(UrlStoredVerbatim("http://a.jp/\x7F"));
    EXPECT_FALSE(UrlStoredVerbatim("http://a.jp/\x83\x5C"));
}

TEST(IsShortcutFileName, EndsInUrlInAnyCase)
{
    EXPECT_TRUE(IsShortcutFileName("a.url"));
    EXPECT_TRUE(IsShortcutFileName("a.URL"));
    EXPECT_TRUE(IsShortcutFileName("a.Url"));
    EXPECT_TRUE(IsShortcutFileName("\x83\x5C.url"));
    EXPECT_FALSE(IsShortcutFileName("a.url.txt"));
    EXPECT_FALSE(IsShortcutFileName("a.txt"));
    EXPECT_FALSE(IsShortcutFileName("aurl"));
    EXPECT_FALSE(IsShortcutFileName("url"));
    EXPECT_FALSE(IsShortcutFileName(""));
}

} // namespace
