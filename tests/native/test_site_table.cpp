#include <gtest/gtest.h>

#include <sys/stat.h>

#include "config/site_table.h"
#include "temp_dir.h"

namespace
{

std::string Lines(int count, const std::string& end = "\r\n")
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "v" + std::to_string(i) + end;
    return text;
}

SiteTable LoadFrom(const TempDir& dir)
{
    SiteTable table;
    table.directory = dir.dir().c_str();
    table.Load();
    return table;
}

} // namespace

TEST(StatusFileLoad, MissingFileLeavesEmptySlotsAndCreatesNothing)
{
    TempDir dir;
    const SiteTable table = LoadFrom(dir);
    for (const SiteEntry& slot : table.slots) {
        EXPECT_TRUE(slot.url.IsEmpty());
        EXPECT_TRUE(slot.name.IsEmpty());
        EXPECT_TRUE(slot.sound.IsEmpty());
    }
    EXPECT_FALSE(dir.exists("status.dat"));
}

TEST(StatusFileLoad, ThreeLinesFillSlotZeroOnly)
{
    TempDir dir;
    dir.write("status.dat", "http://a/feed\r\nNews\r\nC:\\ding.wav\r\n");
    const SiteTable table = LoadFrom(dir);
    EXPECT_EQ(table.slots[0].url, "http://a/feed");
    EXPECT_EQ(table.slots[0].name, "News");
    EXPECT_EQ(table.slots[0].sound, "C:\\ding.wav");
    for (int i = 1; i < kSiteCount; ++i)
        EXPECT_TRUE(table.slots[i].url.IsEmpty());
}

TEST(StatusFileLoad, LinesAfterTheTwentySeventhAreIgnored)
{
    TempDir dir;
    dir.write("status.dat", Lines(30));
    const SiteTable table = LoadFrom(dir);
    EXPECT_EQ(table.slots[0].url, "v1");
    EXPECT_EQ(table.slots[8].sound, "v27");
}

TEST(StatusFileLoad, LineEndsAndCarriageReturns)
{
    TempDir dir;
    // LF-only lines, a CR inside a value, a value ending in CR CR LF, and a
    // last line without a line end.
    dir.write("status.dat", "u1\nn\r1\ns1\r\r\nu2\nn2\ns2");
    const SiteTable table = LoadFrom(dir);
    EXPECT_EQ(table.slots[0].url, "u1");
    EXPECT_EQ(table.slots[0].name, "n\r1");
    EXPECT_EQ(table.slots[0].sound, "s1\r");
    EXPECT_EQ(table.slots[1].url, "u2");
    EXPECT_EQ(table.slots[1].sound, "s2");
    EXPECT_TRUE(table.slots[2].url.IsEmpty());
}

TEST(StatusFileLoad, LongValuesAndBlanksSurvive)
{
    TempDir dir;
    const std::string longUrl = "http://example.com/" + std::string(9000, 'x');
    dir.write("status.dat", longUrl + "\r\n  spaced name  \r\n\r\n");
    const SiteTable table = LoadFrom(dir);
    EXPECT_EQ(table.slots[0].url.str(), longUrl);
    EXPECT_EQ(table.slots[0].name, "  spaced name  ");
    EXPECT_EQ(table.slots[0].modified, 0);
    EXPECT_EQ(table.lastModified[0], 0);
}

TEST(StatusFileSave, WritesTwentySevenLinesWithCrLf)
{
    TempDir dir;
    SiteTable table;
    table.directory = dir.dir().c_str();
    table.Save();
    std::string empty;
    for (int i = 0; i < 27; ++i)
        empty += "\r\n";
    EXPECT_EQ(dir.read("status.dat"), empty);

    table.slots[0].url = "http://a/";
    table.slots[0].name = "\x83\x5C\x83\x7C"; // SO PO
    table.slots[0].sound = "C:\\a.wav";
    table.Save();
    std::string expected = "http://a/\r\n\x83\x5C\x83\x7C\r\nC:\\a.wav\r\n";
    for (int i = 0; i < 24; ++i)
        expected += "\r\n";
    EXPECT_EQ(dir.read("status.dat"), expected);
    EXPECT_FALSE(dir.exists("status.tmp"));
}

TEST(StatusFileSave, RoundTripsAndDropsExtraLines)
{
    TempDir dir;
    dir.write("status.dat", Lines(30));
    SiteTable table = LoadFrom(dir);
    table.Save();
    EXPECT_EQ(dir.read("status.dat"), Lines(27));
}

TEST(StatusFileSave, ReadOnlyFileIsLeftWhole)
{
    TempDir dir;
    dir.write("status.dat", Lines(27));
    ASSERT_EQ(chmod(dir.file("status.dat").c_str(), 0444), 0);
    SiteTable table;
    table.directory = dir.dir().c_str();
    table.slots[0].url = "http://changed/";
    table.Save();
    EXPECT_EQ(dir.read("status.dat"), Lines(27));
    EXPECT_FALSE(dir.exists("status.tmp"));
}

TEST(StatusFileSave, MissingDirectoryWritesNothingElsewhere)
{
    TempDir dir;
    dir.write("status.dat", Lines(27));
    ASSERT_EQ(chdir(dir.dir().c_str()), 0);
    SiteTable table;
    table.directory = (dir.dir() + "missing/").c_str();
    table.slots[0].url = "http://changed/";
    table.Save();
    EXPECT_EQ(dir.read("status.dat"), Lines(27));
    EXPECT_FALSE(dir.exists("status.tmp"));
}
