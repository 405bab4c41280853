// What a fetch sends back to a server, and what a server's "gone" or "wait"
// does to a slot's requests.
#include <gtest/gtest.h>

#include <string>

#include "fetch/fetch_memory.h"

namespace
{

constexpr int64_t kNow = 1445412480; // Wed, 21 Oct 2015 07:28:00 GMT
constexpr int64_t kDay = 86400;

TEST(ConditionalHeaders, EachValidatorIsSentBackVerbatim)
{
    const char* const from = "http://b.test/feed";
    struct Case {
        const char* etag;
        const char* lastModified;
        const char* headers;
        const char* to = "http://b.test/feed"; // the request's address
    };
    const Case cases[] = {
        {"", "", ""},
        {"\"v1\"", "", "If-None-Match: \"v1\"\r\n"},
        {"", "Wed, 21 Oct 2015 07:28:00 GMT",
         "If-Modified-Since: Wed, 21 Oct 2015 07:28:00 GMT\r\n"},
        {"\"v1\"", "Wed, 21 Oct 2015 07:28:00 GMT",
         "If-None-Match: \"v1\"\r\nIf-Modified-Since: Wed, 21 Oct 2015 07:28:00 GMT\r\n"},
        // A value with a line break would add header lines of the server's
        // choosing: it is not sent.
        {"\"v1\"\r\nCookie: x", "", ""},
        {"\"v1\"\n", "Wed, 21 Oct 2015 07:28:00 GMT",
         "If-Modified-Since: Wed, 21 Oct 2015 07:28:00 GMT\r\n"},
        // Only to the address that sent them, not to a hop on the way there.
        {"\"v1\"", "Wed, 21 Oct 2015 07:28:00 GMT", "", "http://a.test/feed"},
    };
    for (const Case& c : cases) {
        FetchValidators v;
        v.etag = c.etag;
        v.lastModified = c.lastModified;
        v.url = from;
        EXPECT_EQ(ConditionalHeaders(v, c.to).str(), c.headers) << c.etag << "|" << c.to;
        EXPECT_EQ(IsConditional(v, c.to), *c.headers != '\0') << c.etag << "|" << c.to;
    }
}

TEST(RetryAfter, SecondsAndDatesCappedAtADay)
{
    struct Case {
        const char* header;
        bool readable;
        int64_t until; // when readable
    };
    const Case cases[] = {
        {"3600", true, kNow + 3600},
        {"0", true, kNow},
        {"  120\t", true, kNow + 120},
        {"86400", true, kNow + kDay},
        {"86401", true, kNow + kDay},
        {"99999999999999999999999999", true, kNow + kDay},
        {"Wed, 21 Oct 2015 08:28:00 GMT", true, kNow + 3600},
        {"Wed Oct 21 08:28:00 2015", true, kNow + 3600},
        {"Thu, 22 Oct 2015 07:28:00 GMT", true, kNow + kDay},
        {"Wed, 21 Oct 2015 07:27:00 GMT", true, kNow - 60}, // already past
        {nullptr, false, 0},
        {"", false, 0},
        {"-5", false, 0},
        {"12a", false, 0},
        {"3600 seconds", false, 0},
        {"soon", false, 0},
        {"Wed, 21 Oct 2015 08:28:00 JST", false, 0},
    };
    for (const Case& c : cases) {
        const char* name = c.header ? c.header : "(none)";
        int64_t until = -7;
        EXPECT_EQ(ParseRetryAfter(c.header, kNow, until), c.readable) << name;
        EXPECT_EQ(until, c.readable ? c.until : -7) << name;
    }
}

TEST(FetchMemory, WhatAFailedAnswerDoesToTheSlotsRequests)
{
    struct Case {
        int status;
        const char* retryAfter;
        bool gone;
        int64_t waitUntil;
    };
    const Case cases[] = {
        {410, nullptr, true, 0},
        {429, "3600", false, kNow + 3600},
        {503, "1", false, kNow + 1},
        {429, "Wed, 21 Oct 2015 07:38:00 GMT", false, kNow + 600},
        {429, "172800", false, kNow + kDay},
        {429, nullptr, false, 0},
        {503, "later", false, 0},
        {500, "3600", false, 0}, // only 429 and 503 ask to wait
        {0, nullptr, false, 0},  // no answer at all
    };
    for (const Case& c : cases) {
        const std::string name =
            std::to_string(c.status) + " " + (c.retryAfter ? c.retryAfter : "(none)");
        FetchMemory memory;
        memory.OnFailedAnswer(c.status, c.retryAfter, kNow);
        EXPECT_EQ(memory.gone(), c.gone) << name;
        EXPECT_EQ(memory.waitUntil(), c.waitUntil) << name;
        const bool waits = c.waitUntil > kNow;
        EXPECT_EQ(memory.MayRequest(kNow), !c.gone && !waits) << name;
        if (waits) {
            EXPECT_FALSE(memory.MayRequest(c.waitUntil - 1)) << name;
        }
        EXPECT_EQ(memory.MayRequest(c.waitUntil), !c.gone) << name;
        EXPECT_EQ(memory.MayRequest(kNow + 10 * kDay), !c.gone) << name;

        // Only an edit lifts a "gone"; any edit lifts everything.
        memory.ForgetValidators();
        EXPECT_EQ(memory.gone(), c.gone) << name;
        memory.Forget();
        EXPECT_TRUE(memory.MayRequest(kNow)) << name;
    }
}

} // namespace
