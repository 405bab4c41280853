// The shortcut list of a downloaded feed file, and its digest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feed/feed_items.h"
#include "framework/file.h"
#include "temp_dir.h"

namespace
{

using Items = std::vector<ItemShortcut>;

std::vector<std::pair<std::string, std::string>> Pairs(const Items& items)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const ItemShortcut& item : items)
        out.emplace_back(item.title.str(), item.link.str());
    return out;
}

} // namespace

TEST(ReadFeedItems, GivesTheScannedItemsOfTheDecodedFileInFeedOrder)
{
    TempDir dir;
    dir.write("dl.dat",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel>\n"
              "<item><title>\xE8\xA8\x98\xE4\xBA\x8B"
              "1/2</title>"
              "<link>http://example.jp/1?a=1&amp;b=2</link></item>\n"
              "<ITEM><TITLE>Twice</TITLE><LINK><![CDATA[ http://example.jp/2 ]]></LINK></ITEM>\n"
              "<item><title>No link</title></item>\n"
              "<item><title>Twice</title><link>http://example.jp/3</link></item>\n"
              "</channel></rss>\n");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"\x8b\x4c\x8e\x96"
         "1\x81\x5e"
         "2",
         "http://example.jp/1?a=1&b=2"},
        {"Twice", "http://example.jp/2"},
        {"Twice", "http://example.jp/3"},
    };
    EXPECT_EQ(Pairs(ReadFeedItems(dir.file("dl.dat").c_str())), expected);
}

TEST(ReadFeedItems, MissingFileThrows)
{
    TempDir dir;
    EXPECT_THROW(ReadFeedItems(dir.file("dl.dat").c_str()), CFileException);
}

TEST(DigestItems, DiffersWhereverTheListsDiffer)
{
    const Items two = {{"a", "http://x/1"}, {"b", "http://x/2"}};
    struct Case {
        const char* what;
        Items left, right;
    };
    const Case cases[] = {
        {"bytes moved from title to link", {{"News", "http://x/1"}}, {{"Newsh", "ttp://x/1"}}},
        {"bytes moved into the next item", two, {{"a", "http://x/1b"}, {"http://x/2", ""}}},
        {"title and link swapped", {{"a", "http://x/1"}}, {{"http://x/1", "a"}}},
        {"order", two, {two[1], two[0]}},
        {"one item more", two, {two[0], two[1], two[1]}},
        {"the empty list and one empty item", {}, {{"", ""}}},
        {"one byte of a link", two, {two[0], {"b", "http://x/3"}}},
    };
    for (const Case& c : cases)
        EXPECT_NE(DigestItems(c.left), DigestItems(c.right)) << c.what;
}

TEST(DigestItems, EqualListsGiveEqualDigests)
{
    const Items a = {{"a", "http://x/1"}, {"b", "http://x/2"}};
    Items b;
    for (const ItemShortcut& item : a)
        b.push_back({item.title.str().c_str(), item.link.str().c_str()});
    EXPECT_EQ(DigestItems(a), DigestItems(b));
}
