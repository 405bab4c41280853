// The shortcut list of a downloaded feed file.
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
