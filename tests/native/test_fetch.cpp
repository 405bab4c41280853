// Feed times made from Last-Modified dates, and the URLs the worker may open.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "fetch/feed_time.h"
#include "fetch/http_url.h"

namespace
{

CalendarFields Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    CalendarFields f;
    f.year = year;
    f.month = month;
    f.day = day;
    f.hour = hour;
    f.minute = minute;
    f.second = second;
    return f;
}

// The fields are read as local time, so each test fixes the zone it means.
class FeedTimeTest : public ::testing::Test
{
  protected:
    void UseZone(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    void SetUp() override { UseZone("UTC0"); }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(FeedTimeTest, YearsBefore1900GiveNoTime)
{
    for (const CalendarFields& f :
         {CalendarFields{}, Date(1899, 12, 31, 23, 59, 59), Date(1, 1, 1)}) {
        const FeedTime t = MakeFeedTime(f);
        EXPECT_EQ(t.status, FeedTimeStatus::ok);
        EXPECT_EQ(t.feedTime, 0);
    }
}

TEST_F(FeedTimeTest, ALastModifiedDateIsReadAsLocalTime)
{
    // Wed, 21 Oct 2015 07:28:00 GMT
    EXPECT_EQ(MakeFeedTime(Date(2015, 10, 21, 7, 28, 0)).feedTime, 1445412480);
    UseZone("JST-9");
    EXPECT_EQ(MakeFeedTime(Date(2015, 10, 21, 7, 28, 0)).feedTime, 1445412480 - 9 * 3600);
}

TEST_F(FeedTimeTest, EqualDatesGiveEqualTimes)
{
    const FeedTime a = MakeFeedTime(Date(2024, 2, 29, 12, 0, 0));
    const FeedTime b = MakeFeedTime(Date(2024, 2, 29, 12, 0, 0));
    EXPECT_EQ(a.status, FeedTimeStatus::ok);
    EXPECT_NE(a.feedTime, 0);
    EXPECT_EQ(a.feedTime, b.feedTime);
}

TEST_F(FeedTimeTest, EveryFieldTakesPart)
{
    const int64_t base = MakeFeedTime(Date(2020, 6, 15, 10, 20, 30)).feedTime;
    EXPECT_EQ(MakeFeedTime(Date(2020, 6, 15, 10, 20, 31)).feedTime, base + 1);
    EXPECT_EQ(MakeFeedTime(Date(2020, 6, 15, 10, 21, 30)).feedTime, base + 60);
    EXPECT_EQ(MakeFeedTime(Date(2020, 6, 15, 11, 20, 30)).feedTime, base + 3600);
    EXPECT_EQ(MakeFeedTime(Date(2020, 6, 16, 10, 20, 30)).feedTime, base + 86400);
    EXPECT_EQ(MakeFeedTime(Date(2020, 7, 15, 10, 20, 30)).feedTime, base + 30 * 86400);
    EXPECT_EQ(MakeFeedTime(Date(2021, 6, 15, 10, 20, 30)).feedTime, base + 365 * 86400);
}

TEST_F(FeedTimeTest, DatesOutsideTheWindowsTimeRangeAreUnrepresentable)
{
    for (const CalendarFields& f :
         {Date(1900, 1, 1), Date(1950, 6, 1, 12), Date(1969, 12, 31, 23, 59, 59),
          Date(1970, 1, 1, 12), Date(3000, 1, 1), Date(9999, 12, 31)})
        EXPECT_EQ(MakeFeedTime(f).status, FeedTimeStatus::unrepresentable) << f.year;
    EXPECT_EQ(MakeFeedTime(Date(1970, 1, 2)).feedTime, 86400);
    EXPECT_EQ(MakeFeedTime(Date(2999, 12, 31)).status, FeedTimeStatus::ok);
}

CalendarFields Parsed(const char* text)
{
    CalendarFields f;
    EXPECT_TRUE(ParseHttpDate(text, f)) << text;
    return f;
}

void ExpectFields(const CalendarFields& f, int y, int mo, int d, int h, int mi, int s)
{
    EXPECT_EQ(f.year, y);
    EXPECT_EQ(f.month, mo);
    EXPECT_EQ(f.day, d);
    EXPECT_EQ(f.hour, h);
    EXPECT_EQ(f.minute, mi);
    EXPECT_EQ(f.second, s);
}

TEST(HttpDate, TheThreeHttpFormsAreRead)
{
    ExpectFields(Parsed("Sun, 06 Nov 1994 08:49:37 GMT"), 1994, 11, 6, 8, 49, 37);
    ExpectFields(Parsed("Sunday, 06-Nov-94 08:49:37 GMT"), 1994, 11, 6, 8, 49, 37);
    ExpectFields(Parsed("Sun Nov  6 08:49:37 1994"), 1994, 11, 6, 8, 49, 37);
    ExpectFields(Parsed("Thursday, 01-Feb-24 23:59:60 GMT"), 2024, 2, 1, 23, 59, 60);
    ExpectFields(Parsed("Thu, 29 Feb 2024 00:00:00 GMT"), 2024, 2, 29, 0, 0, 0);
    ExpectFields(Parsed("Sun, 31 Dec 1899 23:59:59 GMT"), 1899, 12, 31, 23, 59, 59);
}

// What servers write besides the textbook forms, and WinINet reads as well.
TEST(HttpDate, TheVariantsWinInetReadsAreRead)
{
    for (const char* text :
         {"Wed, 21 Oct 2015 07:28:00 UTC", "Wed, 21 Oct 2015 07:28:00 +0000",
          "Wed, 21 Oct 2015 07:28:00 gmt", "Wed, 21 Oct 2015 07:28:00 utc",
          "wed, 21 oct 2015 07:28:00 GMT", "WED, 21 OCT 2015 07:28:00 GMT",
          "wEd, 21 oCt 2015 07:28:00 GMT", "Wednesday, 21-Oct-15 07:28:00 UTC",
          "WEDNESDAY, 21-oct-15 07:28:00 +0000", "wed oct 21 07:28:00 2015",
          "  Wed, 21 Oct 2015 07:28:00 GMT  ", "\tWed, 21 Oct 2015 07:28:00 GMT\t",
          "Wed,  21  Oct  2015  07:28:00  GMT", "Wed,21 Oct 2015 07:28:00 GMT",
          "Wed  Oct 21  07:28:00  2015", " Wednesday, 21-Oct-15 07:28:00 GMT "})
        ExpectFields(Parsed(text), 2015, 10, 21, 7, 28, 0);
    for (const char* text :
         {"Thu, 1 Oct 2015 07:28:00 GMT", "Thu, 01 Oct 2015 07:28:00 GMT",
          "Thursday, 1-Oct-15 07:28:00 GMT", "Thu Oct 1 07:28:00 2015", "Thu Oct 01 07:28:00 2015"})
        ExpectFields(Parsed(text), 2015, 10, 1, 7, 28, 0);
}

TEST(HttpDate, AnythingElseIsNoDate)
{
    for (const char* text :
         {"", "   ", "garbage", "Wed", "Wed, 21 Oct 2015", "21 Oct 2015 07:28:00 GMT", "1445412480",
          "Wed, 21 Xyz 2015 07:28:00 GMT", "Wed, 32 Oct 2015 07:28:00 GMT",
          "Wed, 21 Oct 2015 24:00:00 GMT", "Wed, 21 Oct 2015 07:60:00 GMT",
          "Wed, 21 Oct 2015 7:28:00 GMT", "Wed, 21 Oct 99999 07:28:00 GMT",
          "Wed, 21 Oct 2015 07:28:00 PST", "Fri, 29 Feb 2019 00:00:00 GMT",
          "Xyz, 21 Oct 2015 07:28:00 GMT", "Wednesday, 21-Oct-2015 07:28:00 GMT",
          "Wed, 21 Oct 2015 07:28:00 GMT extra",
          // zones other than Greenwich, or Greenwich written otherwise
          "Wed, 21 Oct 2015 07:28:00 +0900", "Wed, 21 Oct 2015 07:28:00 -0000",
          "Wed, 21 Oct 2015 07:28:00 +00000", "Wed, 21 Oct 2015 07:28:00 Z",
          "Wed, 21 Oct 2015 07:28:00 GMT+0000", "Wed, 21 Oct 2015 07:28:00 GMTX",
          "Wed, 21 Oct 2015 07:28:00", "Sunday, 06-Nov-94 08:49:37", "Sun Nov  6 08:49:37 1994 GMT",
          // names and digits that are not quite the form
          "Wed 21 Oct 2015 07:28:00 GMT", "Wed,, 21 Oct 2015 07:28:00 GMT",
          "Wednesday, 21 Oct 2015 07:28:00 GMT", "Wed, 21-Oct-15 07:28:00 GMT",
          "Weds, 21 Oct 2015 07:28:00 GMT", "Wed, 21 October 2015 07:28:00 GMT",
          "Wed, 021 Oct 2015 07:28:00 GMT", "Wed, 21 Oct 15 07:28:00 GMT",
          "Wed, 21 Oct 2015 07:28 GMT", "Wed, 21 Oct 2015 07:28:00.5 GMT",
          "Wed, 21Oct 2015 07:28:00 GMT", "Wed Oct 21 07:28:00 15", "Wed, Oct 21 07:28:00 2015",
          "Wed Oct 021 07:28:00 2015", "Wed, 21 Oct 2015 07:28:00 GMT\r\n",
          "\nWed, 21 Oct 2015 07:28:00 GMT", "Wed, 21 Oct 2015 07:28:00 GMT,"}) {
        CalendarFields f = Date(1, 2, 3, 4, 5, 6);
        EXPECT_FALSE(ParseHttpDate(text, f)) << text;
        ExpectFields(f, 1, 2, 3, 4, 5, 6);
    }
    CalendarFields f;
    EXPECT_FALSE(ParseHttpDate(nullptr, f));
}

// The change test's view of a header: a usable date and its feed time, or
// nothing to compare (the feed then counts as changed).
TEST_F(FeedTimeTest, OnlyDatesWithAFeedTimeAreUsable)
{
    struct Case {
        const char* header;
        bool usable;
        int64_t feedTime;
    };
    const Case cases[] = {
        {"Wed, 21 Oct 2015 07:28:00 GMT", true, 1445412480},
        {"Wed, 21 Oct 2015 07:28:00 +0000", true, 1445412480},
        {"Fri, 02 Jan 1970 00:00:00 GMT", true, 86400},
        {"Tue, 31 Dec 2999 23:59:59 GMT", true, 32503679999},
        // before 1900, the "no date" of some web frameworks among them: no
        // time at all, which would match the 0 stored after start-up
        {"Sun, 31 Dec 1899 23:59:59 GMT", false, 0},
        {"Mon, 01 Jan 1855 00:00:00 GMT", false, 0},
        {"Mon, 01 Jan 0001 00:00:00 GMT", false, 0},
        // the placeholder of 1970 and its neighbours, and dates the time
        // conversion cannot represent
        {"Thu, 01 Jan 1970 00:00:00 GMT", false, 0},
        {"Thu, 01 Jan 1970 00:00:01 GMT", false, 0},
        {"Thu, 01 Jan 1970 23:59:59 GMT", false, 0},
        {"Wed, 31 Dec 1969 23:59:59 GMT", false, 0},
        {"Thursday, 01-Jan-70 00:00:00 GMT", false, 0},
        {"Thu Jan  1 00:00:00 1970", false, 0},
        {"Mon, 01 Jan 1900 00:00:00 GMT", false, 0},
        {"Thu, 01 Jun 1950 12:00:00 GMT", false, 0},
        {"Wed, 01 Jan 3000 00:00:00 GMT", false, 0},
        {"Fri, 31 Dec 9999 23:59:59 GMT", false, 0},
        // no date
        {nullptr, false, 0},
        {"", false, 0},
        {"garbage", false, 0},
    };
    for (const Case& c : cases) {
        const LastModifiedTime t = ReadLastModified(c.header);
        EXPECT_EQ(t.usable, c.usable) << (c.header ? c.header : "(none)");
        EXPECT_EQ(t.feedTime, c.feedTime) << (c.header ? c.header : "(none)");
    }
}

TEST(HttpUrl, HttpAndHttpsInAnyCaseAreAccepted)
{
    EXPECT_TRUE(IsHttpUrl("http://example.com/rss.xml"));
    EXPECT_TRUE(IsHttpUrl("https://example.com/"));
    EXPECT_TRUE(IsHttpUrl("HTTP://EXAMPLE.COM/"));
    EXPECT_TRUE(IsHttpUrl("hTtPs://x"));
}

TEST(HttpUrl, EverythingElseIsRefused)
{
    for (const char* url : {"", "http", "http:", "http:/x", "https:/", "file:///C:/feed.xml",
                            "C:\\feed.xml", "ftp://example.com/feed", "gopher://example.com/",
                            " http://example.com/", "httpx://example.com/", "example.com/rss"})
        EXPECT_FALSE(IsHttpUrl(url)) << url;
    EXPECT_FALSE(IsHttpUrl(nullptr));
}

} // namespace
