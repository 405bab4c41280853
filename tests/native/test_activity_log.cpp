#include <gtest/gtest.h>

#include <regex>
#include <unistd.h>

#include "log/activity_log.h"
#include "temp_dir.h"

namespace
{

// The program directory as the program holds it, ending in a separator.
CString DirectoryOf(const TempDir& dir)
{
    return dir.dir().c_str();
}

const std::regex kLine(R"(\d\d:\d\d:\d\d (.*)\r\n)");

} // namespace

TEST(ActivityLog, NeverCreatesTheFile)
{
    TempDir dir;
    const CString directory = DirectoryOf(dir);
    WriteLogLine(directory, "START");
    EXPECT_FALSE(dir.exists("log.txt"));
}

TEST(ActivityLog, AppendsOneTimeStampedLine)
{
    TempDir dir;
    dir.write("log.txt", "");
    const CString directory = DirectoryOf(dir);
    WriteLogLine(directory, "START");
    WriteLogLine(directory, "3 NOMODIFY http://example.com/rss");
    const std::string text = dir.read("log.txt");
    std::smatch m;
    const std::string first = text.substr(0, text.find("\r\n") + 2);
    ASSERT_TRUE(std::regex_match(first, m, kLine)) << text;
    EXPECT_EQ(m[1], "START");
    const std::string second = text.substr(first.size());
    ASSERT_TRUE(std::regex_match(second, m, kLine)) << text;
    EXPECT_EQ(m[1], "3 NOMODIFY http://example.com/rss");
}

TEST(ActivityLog, EmptyMessageAndRawBytes)
{
    TempDir dir;
    dir.write("log.txt", "");
    const CString directory = DirectoryOf(dir);
    WriteLogLine(directory, "");
    const std::string url = "0 UPDATE http://example.jp/\x83\x5C\x95\x5C/rss"; // SO, hyou
    WriteLogLine(directory, url.c_str());
    const std::string text = dir.read("log.txt");
    EXPECT_EQ(text.substr(8, 3), " \r\n");
    EXPECT_EQ(text.substr(11 + 9), url + "\r\n");
}

TEST(ActivityLog, EmptiedOnlyWhenPastTheLimit)
{
    TempDir dir;
    const CString directory = DirectoryOf(dir);

    dir.write("log.txt", std::string(10240, 'x'));
    WriteLogLine(directory, "START");
    const std::string kept = dir.read("log.txt");
    EXPECT_EQ(kept.size(), 10240u + 16u);
    EXPECT_EQ(kept.substr(0, 10240), std::string(10240, 'x'));

    dir.write("log.txt", std::string(10241, 'x'));
    WriteLogLine(directory, "START");
    const std::string fresh = dir.read("log.txt");
    EXPECT_EQ(fresh.size(), 16u);
    EXPECT_EQ(fresh.substr(8), " START\r\n");
}

TEST(ActivityLog, GoesToTheProgramDirectoryWhateverTheCurrentOne)
{
    TempDir program;
    TempDir elsewhere;
    program.write("log.txt", "");
    elsewhere.write("log.txt", "");
    const CString directory = DirectoryOf(program);
    ASSERT_EQ(chdir(elsewhere.dir().c_str()), 0);
    WriteLogLine(directory, "START");
    EXPECT_EQ(program.read("log.txt").size(), 16u);
    EXPECT_EQ(elsewhere.read("log.txt"), "");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd) + "/", program.dir());
}

TEST(ActivityLog, LineLayout)
{
    EXPECT_EQ(LogLine("01:02:03", "START"), "01:02:03 START\r\n");
    EXPECT_EQ(LogLine("", "START"), " START\r\n");
    EXPECT_EQ(LogTimeStamp(0).GetLength(), 8);
}
