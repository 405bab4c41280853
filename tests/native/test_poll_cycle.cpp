// The poll cycle driven through whole passes with a fake clock and a host
// that records what it is asked to do.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "app/poll_cycle.h"
#include "app/site_news.h"

namespace
{

constexpr long long kBlinkMs = 5000;

class RecordingHost : public PollHost
{
  public:
    long long now = 0;       // fake clock, ms
    long long timerDue = -1; // when timer 1 fires; -1 = stopped
    bool inFlight = false;
    bool cancelRequested = false;
    std::vector<std::string> actions;
    std::string throwAt; // an action that throws once recorded, as an allocation failure would
    std::vector<std::pair<long long, int>> fetches; // (time, slot)
    std::vector<std::string> log;
    int64_t stored[9] = {};

    void ArmPollTimer(unsigned ms) override
    {
        timerDue = now + ms;
        Record("arm " + std::to_string(ms));
    }
    void KillPollTimer() override
    {
        timerDue = -1;
        Record("kill");
    }
    void StartFetch(int slot) override
    {
        inFlight = true;
        cancelRequested = false;
        fetches.emplace_back(now, slot);
        Record("fetch " + std::to_string(slot));
    }
    bool FetchInProgress() const override { return inFlight; }
    void CancelFetch() override
    {
        cancelRequested = true;
        Record("cancel");
    }
    void ReleaseTask() override
    {
        inFlight = false;
        Record("release");
    }
    void StoreFeedTime(int slot, int64_t t) override
    {
        stored[slot] = t;
        Record("store " + std::to_string(slot));
    }
    bool unreadable = false; // dl.dat cannot be read
    bool noFolder = false;   // the site folder cannot be made, or a shortcut not saved
    std::vector<ItemShortcut> download = {{"a", "http://example.jp/a"}}; // what dl.dat holds
    bool ReadDownloadItems(std::vector<ItemShortcut>& items) override
    {
        Record("read");
        if (unreadable) return false;
        items = download;
        return true;
    }
    // The site folders as a write, even a failed one, leaves them (MirroredState), listed back
    // with NEC's "≒" in its preferred code and no URL that the shell stores otherwise.
    FolderListing folders[9];
    bool WriteSiteItems(int slot, const std::vector<ItemShortcut>& items) override
    {
        Record("write " + std::to_string(slot) + ":" + std::to_string(items.size()));
        folders[slot].clear();
        for (const auto& [name, url] : MirroredState(WantedShortcuts(slot, items)))
            folders[slot].push_back({name == "\x87\x90" ? "\x81\xE0" : name, FileNameKey(name),
                                     UrlStoredVerbatim(url), url});
        return !noFolder;
    }
    // A title of more than 20 bytes makes too long a path.
    std::vector<WantedShortcut> WantedShortcuts(int, const std::vector<ItemShortcut>& list) override
    {
        std::vector<WantedShortcut> wanted;
        for (const ItemShortcut& item : list) {
            if (item.title.GetLength() <= 20)
                wanted.push_back({item.title.str(), FileNameKey(item.title), item.link.str()});
        }
        return wanted;
    }
    FolderListing ListSiteFolder(int slot) override { return folders[slot]; }
    // The files of the last list written ("?": not whole), then " new:" and the notice's.
    std::string news;
    void KeepItemOrder(int, const std::vector<CString>* files) override
    {
        news = files ? "" : "?";
        for (size_t i = 0; files && i < files->size(); ++i)
            news += (i ? " " : "") + (*files)[i].str();
    }
    void DeleteDownload() override { Record("delete"); }
    void NotifyChange(int slot, const std::vector<CString>& added) override
    {
        now += kBlinkMs;
        news += " new:";
        for (const CString& file : added)
            news += " " + file.str();
        Record("notify " + std::to_string(slot));
    }
    void BlinkIcon() override
    {
        now += kBlinkMs;
        Record("blink");
    }
    void WriteLog(const CString& text) override
    {
        log.push_back(text.str());
        Record("log");
    }
    // The site dialog: what OK did to the slot. It may drive the cycle
    // meanwhile, as the tray menu stays usable while it is open.
    std::function<SiteEdit(int)> onEdit = [](int) { return SiteEdit::unchanged; };
    SiteEdit EditSite(int slot) override
    {
        Record("edit " + std::to_string(slot));
        return onEdit(slot);
    }
    CString SiteUrl(int slot) const override { return "http://feeds.test/" + std::to_string(slot); }
    int64_t clockBase = 1445412480; // seconds since 1970 at now == 0
    int64_t CurrentTime() const override { return clockBase + now / 1000; }

    void Record(const std::string& action)
    {
        actions.push_back(action);
        if (action != throwAt) return;
        throwAt.clear();
        throw std::bad_alloc();
    }

    // Runs the clock to the next timer tick.
    void RunToTick(PollCycle& cycle)
    {
        ASSERT_GE(timerDue, 0) << "timer is stopped";
        now = timerDue;
        timerDue = -1;
        cycle.OnTick();
    }
};

FetchResult Outcome(int slot, const char* kind)
{
    FetchResult r;
    r.siteIndex = slot;
    r.url = "http://feeds.test/" + std::to_string(slot);
    const std::string k = kind;
    r.cancel = k == "cancel";
    r.error = k == "error" || k == "gone";
    // "dateless": downloaded, the response carried no usable Last-Modified.
    r.modified = k == "changed" || k == "dateless";
    r.lastModified = k == "changed" ? 1000 + slot : 0;
    r.status = k == "error" ? 404 : k == "gone" ? 410 : 200;
    r.received.etag = "\"" + k + "\"";
    return r;
}

// A failed fetch whose server answered `status`.
FetchResult Answer(int slot, int status, const char* retryAfter = nullptr)
{
    FetchResult r = Outcome(slot, "error");
    r.status = status;
    r.retryAfter = retryAfter;
    return r;
}

// Runs the cycle on (every other slot unchanged) until it visits `slot`;
// true when that visit started a fetch, false when it sent no request.
bool RunToVisit(RecordingHost& host, PollCycle& cycle, int slot)
{
    for (;;) {
        const size_t fetches = host.fetches.size();
        host.RunToTick(cycle);
        if (host.fetches.size() > fetches) {
            const int fetched = host.fetches.back().second;
            if (fetched == slot) return true;
            cycle.OnFetchDone(Outcome(fetched, "unchanged"));
        } else if ((cycle.nextSite() + 8) % 9 == slot) {
            return false;
        }
    }
}

// Runs the cycle on until it fetches `result`'s slot (every other slot
// unchanged) and answers that fetch with `result`; host.actions then hold
// what that outcome did.
void VisitSlot(RecordingHost& host, PollCycle& cycle, const FetchResult& result)
{
    for (;;) {
        host.RunToTick(cycle);
        const int slot = host.fetches.back().second;
        if (slot == result.siteIndex) break;
        cycle.OnFetchDone(Outcome(slot, "unchanged"));
    }
    host.actions.clear();
    cycle.OnFetchDone(result);
}

const std::vector<std::string> kUnchangedActions = {"read", "store 0",    "delete",
                                                    "log",  "arm 300000", "release"};

// Runs a whole first pass from start-up where every slot ends with `kind`.
void RunFirstPass(RecordingHost& host, PollCycle& cycle, const char* kind)
{
    cycle.Start();
    for (int slot = 0; slot < 9; ++slot) {
        host.RunToTick(cycle);
        cycle.OnFetchDone(Outcome(slot, kind));
    }
}

} // namespace

TEST(PollCycle, FirstTickComesThirtySecondsAfterStart)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    EXPECT_EQ(host.timerDue, 30000);
    EXPECT_EQ(cycle.phase(), PollPhase::firstPass);
    host.RunToTick(cycle);
    ASSERT_EQ(host.fetches.size(), 1u);
    EXPECT_EQ(host.fetches[0], std::make_pair(30000LL, 0));
}

TEST(PollCycle, FirstPassThenSteadyPolling)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    for (int slot = 0; slot < 9; ++slot) {
        host.RunToTick(cycle);
        EXPECT_EQ(host.fetches.back().second, slot);
        // The phase changes at the tick that starts slot 8, not at its outcome.
        EXPECT_EQ(cycle.phase(), slot == 8 ? PollPhase::lastSlotOfFirstPass : PollPhase::firstPass);
        host.actions.clear();
        const long long before = host.now;
        cycle.OnFetchDone(Outcome(slot, "unchanged"));
        if (slot < 8) {
            EXPECT_EQ(host.timerDue, host.now + 250);
            EXPECT_EQ(host.now, before); // no blink within the pass
        }
    }
    // The outcome of slot 8 ends the pass with one blink, then 300 s.
    EXPECT_EQ(cycle.phase(), PollPhase::steady);
    EXPECT_EQ(host.actions, (std::vector<std::string>{"log", "blink", "arm 300000", "release"}));
    const long long ninthHandled = host.now;
    host.RunToTick(cycle);
    EXPECT_EQ(host.fetches.size(), 10u);
    EXPECT_EQ(host.fetches.back(), std::make_pair(ninthHandled + 300000, 0));
    EXPECT_EQ(cycle.nextSite(), 1);
}

TEST(PollCycle, FirstPassSlotsFollowEachOutcomeBy250ms)
{
    RecordingHost host;
    PollCycle cycle(host);
    RunFirstPass(host, cycle, "unchanged");
    ASSERT_EQ(host.fetches.size(), 9u);
    for (size_t i = 1; i < 9; ++i)
        EXPECT_EQ(host.fetches[i].first - host.fetches[i - 1].first, 250);
}

TEST(PollCycle, ChangedFeedInFirstPassNotifiesNothing)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    host.RunToTick(cycle);
    host.actions.clear();
    cycle.OnFetchDone(Outcome(0, "changed"));
    EXPECT_EQ(host.actions, (std::vector<std::string>{"read", "store 0", "write 0:1", "delete",
                                                      "log", "arm 250", "release"}));
    EXPECT_EQ(host.stored[0], 1000);
    EXPECT_EQ(host.log.back(), "0 UPDATE http://feeds.test/0");
}

TEST(PollCycle, ChangedFeedInSteadyPollingNotifiesBeforeTheLogLine)
{
    RecordingHost host;
    PollCycle cycle(host);
    RunFirstPass(host, cycle, "unchanged");
    host.RunToTick(cycle);
    host.actions.clear();
    cycle.OnFetchDone(Outcome(0, "changed"));
    EXPECT_EQ(host.actions, (std::vector<std::string>{"read", "store 0", "write 0:1", "delete",
                                                      "notify 0", "log", "arm 300000", "release"}));
}

TEST(PollCycle, UnreadableDownloadForgetsTheFeedTime)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    host.RunToTick(cycle);
    host.unreadable = true;
    host.actions.clear();
    cycle.OnFetchDone(Outcome(0, "changed"));
    EXPECT_EQ(host.actions, (std::vector<std::string>{"read", "store 0", "write 0:0", "delete",
                                                      "log", "arm 250", "release"}));
    EXPECT_EQ(host.stored[0], 0);
}

TEST(PollCycle, EveryDownloadIsComparedByWhatItLeavesInTheFolder)
{
    using Items = std::vector<ItemShortcut>;
    const Items a = {{"one", "http://x/1"}, {"two", "http://x/2"}};
    const Items linkChanged = {{"one", "http://x/1"}, {"two", "http://x/2b"}};
    const Items reordered = {{"two", "http://x/2b"}, {"one", "http://x/1"}};
    const Items added = {{"two", "http://x/2b"}, {"one", "http://x/1"}, {"three", "http://x/3"}};
    const Items duplicate = {{"two", "http://x/2b"}, {"Two", "http://x/2c"}};
    const Items winnerChanged = {{"Two", "http://x/2c"}, {"two", "http://x/2b"}};
    const Items repeated = {{"one", "http://x/5"}, a[1], a[0]};
    const std::string nec = "\x87\x90", wide = "\x82\xA0"; // NEC's "≒"; "あ", altered in a URL
    enum Expect { unchanged, announced, silent, failed };  // NOMODIFY, UPDATE+notify, UPDATE, ERROR
    struct Visit {
        const char* what;
        int64_t date; // the response's feed time; 0 = none
        Items download;
        Expect outcome;
        std::string news = ""; // RecordingHost::news, where given
    };
    const Visit visits[] = {
        {"nothing remembered yet: what the folder gains", 0, a, announced, "one two new: two"},
        {"the same list again", 0, a, unchanged},
        {"the same items under a new date", 5000, a, unchanged},
        {"a link changed", 0, linkChanged, announced},
        {"the same items in another order", 6000, reordered, unchanged},
        {"an item added", 7000, added, announced},
        {"items only removed", 8000, {added[2]}, silent},
        {"a title differing only in case", 0, duplicate, announced, "two new: two"},
        {"a duplicate name whose winner changes", 0, winnerChanged, announced},
        {"its loser changes", 0, {{"Two", "http://x/9"}, winnerChanged[1]}, unchanged},
        {"a feed without items", 9000, {}, silent},
        {"still without items", 0, {}, unchanged},
        {"a write that failed", 0, linkChanged, failed, "?"},
        {"then whole: all new since before it", 0, linkChanged, announced, "one two new: one two"},
        {"a title too long for a path", 0, {{std::string(21, 'L'), "L"}, a[0]}, silent, "one"},
        {"a repeated title, where its link came from", 0, repeated, announced, "two one new: two"},
        {"a duplicate code, as listed", 0, {{nec, "n"}}, announced, "\x81\xE0 new: \x81\xE0"},
        {"a link that cannot be read back", 0, {{"q", wide + "1"}}, announced, "q new: q"},
        {"counts as unchanged while the name stays", 0, {{"q", wide + "2"}}, silent, "q"},
    };
    RecordingHost host;
    host.folders[0] = {{"one", "one", true, "http://x/1"}}; // as the last run left it
    PollCycle cycle(host);
    RunFirstPass(host, cycle, "unchanged");
    for (const Visit& visit : visits) {
        SCOPED_TRACE(visit.what);
        host.download = visit.download;
        host.noFolder = visit.outcome == failed;
        FetchResult result = Outcome(0, "dateless");
        result.lastModified = visit.date;
        VisitSlot(host, cycle, result);
        // The response's time is kept either way, so that the next visit with
        // that date stops at the headers.
        EXPECT_EQ(host.stored[0], visit.date);
        EXPECT_TRUE(visit.news.empty() || host.news == visit.news) << host.news;
        const std::string url = " http://feeds.test/0";
        if (visit.outcome == unchanged) {
            // The folder and the user are left alone.
            EXPECT_EQ(host.log.back(), "0 NOMODIFY" + url);
            EXPECT_EQ(host.actions, kUnchangedActions);
            continue;
        }
        EXPECT_EQ(host.log.back(), (visit.outcome == failed ? "0 ERROR" : "0 UPDATE") + url);
        std::vector<std::string> actions = {
            "read", "store 0", "write 0:" + std::to_string(visit.download.size()), "delete"};
        if (visit.outcome == failed) actions.insert(actions.begin() + 3, "store 0");
        if (visit.outcome == announced) actions.push_back("notify 0");
        actions.insert(actions.end(), {"log", "arm 300000", "release"});
        EXPECT_EQ(host.actions, actions);
    }
}

TEST(PollCycle, WhatIsRememberedOfADatelessFeed)
{
    struct Case {
        const char* what;
        std::function<void(RecordingHost&, PollCycle&)> between; // after the first visit
        const char* second;                                      // log keyword of the second
    };
    const Case cases[] = {
        {"the list written for the slot", [](RecordingHost&, PollCycle&) {}, "NOMODIFY"},
        {"nothing of another slot's list",
         [](RecordingHost& host, PollCycle& cycle) {
             VisitSlot(host, cycle, Outcome(1, "dateless")); // the same list
             EXPECT_EQ(host.log.back(), "1 UPDATE http://feeds.test/1");
         },
         "NOMODIFY"},
        {"nothing after an edit of the slot",
         [](RecordingHost& host, PollCycle& cycle) {
             host.onEdit = [](int) { return SiteEdit::changed; };
             cycle.OnSiteCommand(0);
             host.inFlight = false; // that fetch failed
             cycle.OnFetchDone(Outcome(0, "error"));
         },
         "UPDATE"},
        {"nothing after an edit, and no news of an unreadable download",
         [](RecordingHost& host, PollCycle& cycle) {
             host.onEdit = [](int) { return SiteEdit::changed; };
             cycle.OnSiteCommand(0);
             host.unreadable = true;
             host.actions.clear();
             cycle.OnFetchDone(Outcome(0, "dateless"));
             EXPECT_EQ(host.log.back(), "0 UPDATE http://feeds.test/0");
             EXPECT_EQ(std::count(host.actions.begin(), host.actions.end(), "notify 0"), 0);
             host.unreadable = false;
         },
         "UPDATE"},
        {"nothing after an unreadable download emptied the folder",
         [](RecordingHost& host, PollCycle& cycle) {
             host.unreadable = true;
             VisitSlot(host, cycle, Outcome(0, "dateless"));
             host.unreadable = false;
         },
         "UPDATE"},
        {"nothing after a failure while the change was announced",
         [](RecordingHost& host, PollCycle& cycle) {
             host.download = {{"new", "http://example.jp/new"}};
             host.throwAt = "notify 0";
             VisitSlot(host, cycle, Outcome(0, "dateless"));
             EXPECT_EQ(host.log.back(), "0 ERROR http://feeds.test/0");
         },
         "UPDATE"},
        {"nothing of a list that did not reach the folder whole",
         [](RecordingHost& host, PollCycle& cycle) {
             host.download = {{"new", "http://example.jp/new"}};
             host.noFolder = true;
             FetchResult dated = Outcome(0, "dateless");
             dated.lastModified = 1234;
             VisitSlot(host, cycle, dated);
             EXPECT_EQ(host.stored[0], 0); // nor its date, which would stop the next visit
             // A failure, not news.
             EXPECT_EQ(host.log.back(), "0 ERROR http://feeds.test/0");
             EXPECT_TRUE(cycle.LastFetchFailed(0));
             EXPECT_EQ(std::count(host.actions.begin(), host.actions.end(), "notify 0"), 0);
             host.noFolder = false;
         },
         "UPDATE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingHost host;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, "unchanged");
        VisitSlot(host, cycle, Outcome(0, "dateless"));
        ASSERT_EQ(host.log.back(), "0 UPDATE http://feeds.test/0");
        c.between(host, cycle);
        VisitSlot(host, cycle, Outcome(0, "dateless"));
        EXPECT_EQ(host.log.back(), std::string("0 ") + c.second + " http://feeds.test/0");
    }
}

TEST(PollCycle, FeedAddressFoundInAPageServesUntilAFetchFails)
{
    const CString page = "http://feeds.test/0";
    // The next outcome of slot 0, the address it reports, and what the next
    // fetch of the page asks for.
    const char* const cases[][3] = {{"unchanged", "http://f/rss", "http://f/rss"},
                                    {"cancel", "", "http://f/rss"},
                                    {"error", "http://f/rss", ""},
                                    {"gone", "http://f/rss", ""},
                                    {"changed", "", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        RecordingHost host;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, "unchanged");
        FetchResult next = Outcome(0, "changed");
        next.feedUrl = "http://f/rss";
        VisitSlot(host, cycle, next);
        ASSERT_EQ(cycle.FeedUrl(0, page), "http://f/rss");
        EXPECT_EQ(cycle.FeedUrl(0, "http://feeds.test/edited"), ""); // for that page only
        next = Outcome(0, c[0]);
        next.feedUrl = c[1];
        VisitSlot(host, cycle, next);
        EXPECT_EQ(cycle.FeedUrl(0, page).str(), c[2]);
        // A failure forgets the feed time too, which the page's date must not meet.
        EXPECT_EQ(host.stored[0] == 0, next.error);
        // A found address that is gone is that address, not the slot.
        EXPECT_TRUE(cycle.ServerMemory(0).MayRequest(host.CurrentTime()));
        EXPECT_EQ(cycle.GoneFeedUrls(0).size(), std::string(c[0]) == "gone" ? 1u : 0u);
    }
}

TEST(PollCycle, FirstPassComparesDatelessFeedsToo)
{
    RecordingHost host;
    PollCycle cycle(host);
    RunFirstPass(host, cycle, "dateless");
    EXPECT_EQ(host.log[0], "0 UPDATE http://feeds.test/0");
    cycle.OnRefresh();
    host.log.clear();
    for (int slot = 0; slot < 9; ++slot) {
        host.RunToTick(cycle);
        host.actions.clear();
        cycle.OnFetchDone(Outcome(slot, "dateless"));
        const std::string n = std::to_string(slot);
        EXPECT_EQ(host.log.back(), n + " NOMODIFY http://feeds.test/" + n);
        EXPECT_EQ(host.actions[2], "delete") << n;
    }
}

TEST(PollCycle, FailedAndUnchangedOutcomesStoreNoTime)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    host.RunToTick(cycle);
    cycle.OnFetchDone(Outcome(0, "error"));
    host.RunToTick(cycle);
    cycle.OnFetchDone(Outcome(1, "unchanged"));
    EXPECT_EQ(host.log, (std::vector<std::string>{"0 ERROR http://feeds.test/0",
                                                  "1 NOMODIFY http://feeds.test/1"}));
    for (const std::string& a : host.actions)
        EXPECT_NE(a.rfind("store", 0), 0u) << a;
}

TEST(PollCycle, CancelledFetchLeavesTheProgramIdle)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    host.RunToTick(cycle);
    cycle.OnRefresh(); // during the fetch: only asks it to stop
    EXPECT_TRUE(host.cancelRequested);
    EXPECT_EQ(host.timerDue, -1);
    host.actions.clear();
    FetchResult cancelled = Outcome(0, "changed");
    cancelled.cancel = true; // a complete download still counts as cancelled
    cycle.OnFetchDone(cancelled);
    EXPECT_EQ(host.actions, (std::vector<std::string>{"release", "delete", "log"}));
    EXPECT_EQ(host.log.back(), "0 CANCEL http://feeds.test/0");
    EXPECT_EQ(host.timerDue, -1);
    EXPECT_EQ(host.stored[0], 0);
    EXPECT_EQ(cycle.nextSite(), 1);

    // Refresh while idle starts a new first pass from slot 0.
    cycle.OnRefresh();
    EXPECT_EQ(host.timerDue, host.now + 250);
    EXPECT_EQ(cycle.phase(), PollPhase::firstPass);
    host.RunToTick(cycle);
    EXPECT_EQ(host.fetches.back().second, 0);
}

TEST(PollCycle, TickDuringAFetchStartsNoSecondFetch)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    host.RunToTick(cycle);
    host.actions.clear();
    cycle.OnTick(); // a WM_TIMER posted by another program
    EXPECT_TRUE(host.actions.empty());
    EXPECT_EQ(host.fetches.size(), 1u);
    EXPECT_EQ(cycle.nextSite(), 1);
    cycle.OnFetchDone(Outcome(0, "unchanged"));
    host.RunToTick(cycle);
    EXPECT_EQ(host.fetches.back().second, 1);
}

TEST(PollCycle, CancelledLastSlotKeepsThePassOpen)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    for (int slot = 0; slot < 8; ++slot) {
        host.RunToTick(cycle);
        cycle.OnFetchDone(Outcome(slot, "unchanged"));
    }
    host.RunToTick(cycle);
    EXPECT_EQ(cycle.phase(), PollPhase::lastSlotOfFirstPass);
    host.actions.clear();
    cycle.OnFetchDone(Outcome(8, "cancel"));
    EXPECT_EQ(cycle.phase(), PollPhase::lastSlotOfFirstPass);
    for (const std::string& a : host.actions)
        EXPECT_NE(a, "blink");
}

TEST(PollCycle, EveryNonCancelledOutcomeOfTheLastSlotEndsThePass)
{
    for (const char* kind : {"unchanged", "error", "changed"}) {
        RecordingHost host;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, kind);
        EXPECT_EQ(cycle.phase(), PollPhase::steady) << kind;
        EXPECT_EQ(host.actions.back(), "release");
        EXPECT_EQ(host.timerDue, host.now + 300000) << kind;
    }
}

TEST(PollCycle, EmptySlotsStillCycleWithErrorLines)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    for (int i = 0; i < 20; ++i) {
        host.RunToTick(cycle);
        FetchResult r;
        r.siteIndex = host.fetches.back().second;
        r.error = true;
        cycle.OnFetchDone(r);
    }
    ASSERT_EQ(host.log.size(), 20u);
    EXPECT_EQ(host.log[0], "0 ERROR ");
    EXPECT_EQ(host.log[8], "8 ERROR ");
    EXPECT_EQ(host.log[9], "0 ERROR ");
    EXPECT_EQ(host.log[19], "1 ERROR ");
}

TEST(PollCycle, ExitWaitsForARunningFetch)
{
    RecordingHost host;
    PollCycle cycle(host);
    cycle.Start();
    EXPECT_TRUE(cycle.MayExit());
    host.RunToTick(cycle);
    EXPECT_FALSE(cycle.MayExit());
    EXPECT_TRUE(host.cancelRequested);
    cycle.OnFetchDone(Outcome(0, "cancel"));
    EXPECT_TRUE(cycle.MayExit());
}

TEST(PollCycle, FailureWhileHandlingAResultKeepsTheCycleGoing)
{
    // Whatever throws while a changed feed becomes shortcuts: the task is
    // freed, one ERROR line is written, the feed time is forgotten and the
    // timer is armed as after a failed fetch.
    struct Case {
        const char* throwAt;
        bool steady;
        std::vector<std::string> actions;
    };
    const Case cases[] = {
        {"read", false, {"read", "release", "store 0", "log", "arm 250"}},
        {"write 0:1",
         false,
         {"read", "store 0", "write 0:1", "release", "store 0", "log", "arm 250"}},
        {"write 0:1",
         true,
         {"read", "store 0", "write 0:1", "release", "store 0", "log", "arm 300000"}},
        {"notify 0",
         true,
         {"read", "store 0", "write 0:1", "delete", "notify 0", "release", "store 0", "log",
          "arm 300000"}},
    };
    for (const Case& c : cases) {
        RecordingHost host;
        PollCycle cycle(host);
        if (c.steady)
            RunFirstPass(host, cycle, "unchanged");
        else
            cycle.Start();
        host.RunToTick(cycle);
        host.actions.clear();
        host.log.clear();
        host.throwAt = c.throwAt;
        EXPECT_NO_THROW(cycle.OnFetchDone(Outcome(0, "changed"))) << c.throwAt;
        EXPECT_EQ(host.actions, c.actions) << c.throwAt;
        EXPECT_EQ(host.log, std::vector<std::string>{"0 ERROR http://feeds.test/0"}) << c.throwAt;
        EXPECT_EQ(host.stored[0], 0) << c.throwAt;
        host.RunToTick(cycle);
        EXPECT_EQ(host.fetches.back().second, 1) << c.throwAt;
    }
}

TEST(PollCycle, FailureAfterTheLogLineWritesNoSecondLine)
{
    RecordingHost host;
    PollCycle cycle(host);
    RunFirstPass(host, cycle, "unchanged");
    host.RunToTick(cycle);
    host.log.clear();
    host.throwAt = "arm 300000";
    EXPECT_NO_THROW(cycle.OnFetchDone(Outcome(0, "unchanged")));
    EXPECT_EQ(host.log, std::vector<std::string>{"0 NOMODIFY http://feeds.test/0"});
    EXPECT_FALSE(host.inFlight);
    EXPECT_EQ(host.timerDue, host.now + 300000);
}

TEST(ChangeTooltip, NameTimeAndShortening)
{
    EXPECT_EQ(ChangeTooltip("News", "09:05", 63), "News\r\n09:05");
    const CString fits(std::string(56, 'n'));
    EXPECT_EQ(ChangeTooltip(fits, "09:05", 63).GetLength(), 63);

    // 40 two-byte characters: cut to fit, never inside a pair.
    std::string wide;
    for (int i = 0; i < 40; ++i)
        wide += "\x82\xA0";
    const CString tip = ChangeTooltip(CString(wide), "09:05", 63);
    EXPECT_LE(tip.GetLength(), 63);
    EXPECT_EQ(tip.Mid(tip.GetLength() - 7), "\r\n09:05");
    EXPECT_EQ((tip.GetLength() - 7) % 2, 0);
}

// The Site command around its dialog, from an idle cycle in steady polling.
TEST(PollCycleSiteCommand, WhatTheCommandDoesAroundTheDialog)
{
    enum Meanwhile {
        nothing,
        fetchStarted, // Refresh and a tick start a fetch while the dialog is open
        fetchEnded,   // ... and that fetch ends before it closes
    };
    struct Case {
        const char* name;
        bool fetchRunning; // a fetch runs when the command comes
        SiteEdit edit;     // the dialog's answer
        Meanwhile meanwhile;
        std::vector<std::string> actions;
    };
    const Case cases[] = {
        {"a running fetch is only cancelled", true, SiteEdit::unchanged, nothing, {"cancel"}},
        {"unchanged slot resumes the cycle",
         false,
         SiteEdit::unchanged,
         nothing,
         {"kill", "edit 3", "arm 300000"}},
        {"switched-off slot resumes the cycle",
         false,
         SiteEdit::switchedOff,
         nothing,
         {"kill", "edit 3", "arm 300000"}},
        {"changed slot forgets its time and is fetched at once",
         false,
         SiteEdit::changed,
         nothing,
         {"kill", "edit 3", "store 3", "kill", "fetch 3"}},
        {"unchanged slot leaves the timer to a fetch started meanwhile",
         false,
         SiteEdit::unchanged,
         fetchStarted,
         {"kill", "edit 3", "kill", "arm 250", "kill", "fetch 0"}},
        {"changed slot waits for a fetch started meanwhile",
         false,
         SiteEdit::changed,
         fetchStarted,
         {"kill", "edit 3", "kill", "arm 250", "kill", "fetch 0", "store 3"}},
        {"changed slot is fetched with the timer armed meanwhile stopped",
         false,
         SiteEdit::changed,
         fetchEnded,
         {"kill", "edit 3", "kill", "arm 250", "kill", "fetch 0", "log", "arm 250", "release",
          "store 3", "kill", "fetch 3"}},
    };
    for (const Case& c : cases) {
        RecordingHost host;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, "unchanged");
        if (c.fetchRunning) host.RunToTick(cycle);
        host.onEdit = [&](int) {
            if (c.meanwhile != nothing) {
                cycle.OnRefresh();
                host.RunToTick(cycle);
            }
            if (c.meanwhile == fetchEnded) cycle.OnFetchDone(Outcome(0, "unchanged"));
            return c.edit;
        };
        host.actions.clear();
        cycle.OnSiteCommand(3);
        EXPECT_EQ(host.actions, c.actions) << c.name;
        EXPECT_EQ(cycle.pendingSite(),
                  c.edit == SiteEdit::changed && c.meanwhile == fetchStarted ? 3 : -1)
            << c.name;
        // Timer 1 is stopped exactly while a fetch runs.
        EXPECT_EQ(host.timerDue == -1, host.inFlight) << c.name;
    }
}

TEST(PollCycleSiteCommand, SecondSiteCommandWhileTheDialogIsOpenDoesNothing)
{
    RecordingHost host;
    PollCycle cycle(host);
    RunFirstPass(host, cycle, "unchanged");
    std::vector<std::string> inner;
    host.onEdit = [&](int) {
        const size_t before = host.actions.size();
        cycle.OnSiteCommand(5);
        inner.assign(host.actions.begin() + static_cast<long>(before), host.actions.end());
        return SiteEdit::unchanged;
    };
    cycle.OnSiteCommand(3);
    EXPECT_TRUE(inner.empty());
}

TEST(PollCycleSiteCommand, EditedSlotIsFetchedRightAfterTheRunningFetch)
{
    for (const char* kind : {"unchanged", "cancel"}) {
        RecordingHost host;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, "unchanged");
        host.onEdit = [&](int) {
            cycle.OnRefresh();
            host.RunToTick(cycle); // slot 0 of the new first pass
            return SiteEdit::changed;
        };
        cycle.OnSiteCommand(3);
        host.actions.clear();
        cycle.OnFetchDone(Outcome(0, kind));
        ASSERT_GE(host.actions.size(), 2u) << kind;
        EXPECT_EQ(std::vector<std::string>(host.actions.end() - 2, host.actions.end()),
                  (std::vector<std::string>{"kill", "fetch 3"}))
            << kind;
        EXPECT_EQ(host.timerDue, -1) << kind;
        EXPECT_EQ(cycle.pendingSite(), -1) << kind;
    }
}

TEST(PollCycleSiteCommand, EditWinsOverARunningFetchOfTheSameSlot)
{
    // Refresh fetches slot 0 with its old settings while its dialog is open;
    // the edit is confirmed before that fetch ends. Whatever the fetch
    // brings is dropped and logged as cancelled (clearing the slot's error
    // mark), and the pass goes on: with the edited slot first where it is
    // to be fetched.
    const std::vector<std::string> dropped = {"delete", "log", "arm 250", "release"};
    for (SiteEdit edit : {SiteEdit::changed, SiteEdit::switchedOff}) {
        for (const char* kind : {"changed", "dateless", "unchanged", "error"}) {
            const std::string what =
                std::string(edit == SiteEdit::changed ? "changed, " : "switched off, ") + kind;
            RecordingHost host;
            PollCycle cycle(host);
            RunFirstPass(host, cycle, "error");
            host.onEdit = [&](int) {
                cycle.OnRefresh();
                host.RunToTick(cycle);
                return edit;
            };
            cycle.OnSiteCommand(0);
            host.actions.clear();
            cycle.OnFetchDone(Outcome(0, kind));
            std::vector<std::string> expected = dropped;
            if (edit == SiteEdit::changed) expected.insert(expected.end(), {"kill", "fetch 0"});
            EXPECT_EQ(host.actions, expected) << what;
            EXPECT_EQ(host.log.back(), "0 CANCEL http://feeds.test/0") << what;
            EXPECT_FALSE(cycle.LastFetchFailed(0)) << what;
            if (edit == SiteEdit::changed) cycle.OnFetchDone(Outcome(0, "unchanged"));
            host.RunToTick(cycle);
            EXPECT_EQ(host.fetches.back().second, 1) << what;
            EXPECT_EQ(cycle.phase(), PollPhase::firstPass) << what;
        }
    }
}

TEST(PollCycleSiteCommand, ExitDropsTheQueuedSlot)
{
    RecordingHost host;
    PollCycle cycle(host);
    RunFirstPass(host, cycle, "unchanged");
    host.onEdit = [&](int) {
        cycle.OnRefresh();
        host.RunToTick(cycle);
        return SiteEdit::changed;
    };
    cycle.OnSiteCommand(3);
    EXPECT_FALSE(cycle.MayExit()); // the first Exit cancels the running fetch
    cycle.OnFetchDone(Outcome(0, "cancel"));
    EXPECT_FALSE(host.inFlight);
    EXPECT_TRUE(cycle.MayExit()); // so the second one ends the program
}

TEST(PollCycleImport, ImportedSlotsAreFetchedAtOnceAfterARunningFetch)
{
    const struct {
        const char* name;
        int running; // the slot whose fetch (failing) runs when the import comes; -1 = none
        std::vector<std::string> actions;
        std::vector<std::string> log; // the log lines from the import on, without the URLs
    } cases[] = {
        {"idle: the first at once",
         -1,
         {"store 2", "store 5", "kill", "fetch 2"},
         {"2 NOMODIFY", "5 NOMODIFY"}},
        {"another slot's fetch runs",
         0,
         {"store 2", "store 5"},
         {"0 ERROR", "2 NOMODIFY", "5 NOMODIFY"}},
        {"the free slot's own fetch is dropped",
         2,
         {"store 2", "store 5"},
         {"2 CANCEL", "2 NOMODIFY", "5 NOMODIFY"}},
    };
    for (const auto& c : cases) {
        RecordingHost host;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, "unchanged");
        if (c.running >= 0) RunToVisit(host, cycle, c.running);
        host.actions.clear();
        host.log.clear();
        cycle.OnSitesImported({2, 5});
        EXPECT_EQ(host.actions, c.actions) << c.name;
        for (bool first = true; host.inFlight; first = false) {
            const int slot = host.fetches.back().second;
            cycle.OnFetchDone(first && slot == c.running ? Answer(slot, 0)
                                                         : Outcome(slot, "unchanged"));
        }
        std::vector<std::string> log;
        for (const std::string& line : host.log)
            log.push_back(line.substr(0, line.find(" http")));
        EXPECT_EQ(log, c.log) << c.name;
        EXPECT_GE(host.timerDue, 0) << c.name; // the cycle goes on
    }
}

TEST(PollCycleServerMemory, WhatAnOutcomeDoesToTheValidatorsAndRequests)
{
    // Every slot was written once with the validators of a response tagged
    // "changed"; then slot 2 is visited again and ends as follows.
    struct Case {
        const char* name;
        FetchResult result;
        const char* hostFault; // "", "unreadable", "noFolder" or an action to throw at
        const char* etagAfter; // the ETag the next fetch sends back; "" for none
        bool gone;
        int64_t waitSeconds; // no request before this many seconds from now
    };
    auto withEtag = [](FetchResult r) {
        r.received.etag = "\"new\"";
        r.received.lastModified = "Thu, 22 Oct 2015 08:00:00 GMT";
        return r;
    };
    const Case cases[] = {
        {"written update", withEtag(Outcome(2, "changed")), "", "\"new\"", false, 0},
        {"dateless, same items", withEtag(Outcome(2, "dateless")), "", "\"new\"", false, 0},
        {"unchanged (equal date or 304)", withEtag(Outcome(2, "unchanged")), "", "\"changed\"",
         false, 0},
        {"unreadable download", withEtag(Outcome(2, "changed")), "unreadable", "", false, 0},
        {"folder not writable", withEtag(Outcome(2, "changed")), "noFolder", "", false, 0},
        {"failure while writing", withEtag(Outcome(2, "changed")), "write 2:2", "", false, 0},
        {"cancel", Outcome(2, "cancel"), "", "", false, 0},
        {"404", Answer(2, 404), "", "", false, 0},
        {"410 gone", Answer(2, 410), "", "", true, 0},
        {"429 Retry-After 3600", Answer(2, 429, "3600"), "", "", false, 3600},
        {"503 Retry-After 1", Answer(2, 503, "1"), "", "", false, 1},
        {"429 without Retry-After", Answer(2, 429), "", "", false, 0},
    };
    for (const Case& c : cases) {
        RecordingHost host;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, "changed");
        ASSERT_EQ(cycle.ServerMemory(2).validators().etag.str(), "\"changed\"");
        const std::string fault = c.hostFault;
        host.unreadable = fault == "unreadable";
        host.noFolder = fault == "noFolder";
        if (fault.find(' ') != std::string::npos) host.throwAt = fault;
        // A list other than the one written, so that the folder is written.
        if (fault == "noFolder" || !host.throwAt.empty())
            host.download.push_back({"b", "http://example.jp/b"});
        ASSERT_TRUE(RunToVisit(host, cycle, 2)) << c.name;
        cycle.OnFetchDone(c.result);

        const FetchMemory& memory = cycle.ServerMemory(2);
        const int64_t now = host.CurrentTime();
        EXPECT_EQ(memory.validators().etag.str(), c.etagAfter) << c.name;
        EXPECT_EQ(memory.validators().IsEmpty(), !*c.etagAfter) << c.name;
        EXPECT_EQ(memory.gone(), c.gone) << c.name;
        EXPECT_EQ(memory.MayRequest(now), !c.gone && c.waitSeconds == 0) << c.name;
        EXPECT_EQ(memory.MayRequest(now + c.waitSeconds), !c.gone) << c.name;
        if (c.waitSeconds) {
            EXPECT_FALSE(memory.MayRequest(now + c.waitSeconds - 1)) << c.name;
        }
        EXPECT_TRUE(cycle.ServerMemory(3).validators().etag.str() == "\"changed\"") << c.name;
    }
}

TEST(PollCycleServerMemory, VisitsOfAGoneOrWaitingSlotSendNoRequest)
{
    struct Case {
        FetchResult answer;
        bool askedAgainInSteadyPolling; // at its steady visit about 15 minutes later
        bool askedAgainAfterTwoRounds;  // one round (45 minutes) after that
        int64_t clock = 1445412480;     // seconds since 1970 at the start
    };
    const Case cases[] = {
        {Answer(2, 410), false, false},
        {Answer(2, 429, "3600"), false, true},
        {Answer(2, 503, "1"), true, true},
        {Answer(2, 429), true, true},
        // Past the end of a 32-bit clock (2040-03-01 00:00 UTC).
        {Answer(2, 429, "Thu, 01 Mar 2040 01:00:00 GMT"), false, true, 2214172800},
    };
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.answer.status) + " " + c.answer.retryAfter.str();
        RecordingHost host;
        host.clockBase = c.clock;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, "unchanged");
        ASSERT_TRUE(RunToVisit(host, cycle, 2));
        cycle.OnFetchDone(c.answer);

        // Refresh does not override the server's answer (a quick pass is
        // over within seconds).
        cycle.OnRefresh();
        host.actions.clear();
        const bool retried = c.answer.retryAfter.IsEmpty() && c.answer.status != 410;
        EXPECT_EQ(RunToVisit(host, cycle, 2), retried) << name;
        if (!retried) {
            // A visit without a request: an ERROR line, and the pass goes on
            // as after any handled fetch.
            EXPECT_EQ(std::vector<std::string>(host.actions.end() - 3, host.actions.end()),
                      (std::vector<std::string>{"kill", "log", "arm 250"}))
                << name;
            EXPECT_EQ(host.log.back(), "2 ERROR http://feeds.test/2") << name;
            EXPECT_TRUE(cycle.LastFetchFailed(2)) << name;
            EXPECT_FALSE(host.inFlight) << name;
        } else {
            cycle.OnFetchDone(c.answer);
        }
        // The rest of the pass, then steady polling.
        EXPECT_EQ(RunToVisit(host, cycle, 1), true);
        cycle.OnFetchDone(Outcome(1, "unchanged"));
        EXPECT_EQ(RunToVisit(host, cycle, 2), c.askedAgainInSteadyPolling) << name;
        if (host.inFlight) cycle.OnFetchDone(c.answer);
        EXPECT_EQ(RunToVisit(host, cycle, 2), c.askedAgainAfterTwoRounds) << name;
        if (host.inFlight) cycle.OnFetchDone(Outcome(2, "unchanged"));

        // An edit of the slot forgets what its server said.
        host.onEdit = [](int) { return SiteEdit::changed; };
        host.actions.clear();
        cycle.OnSiteCommand(2);
        EXPECT_EQ(host.actions.back(), "fetch 2") << name;
        EXPECT_TRUE(cycle.ServerMemory(2).MayRequest(host.CurrentTime())) << name;
    }
}

TEST(PollCycleServerMemory, AnAnswerForTheOldUrlOfAnEditedSlotIsNotKept)
{
    for (SiteEdit edit : {SiteEdit::changed, SiteEdit::switchedOff}) {
        RecordingHost host;
        PollCycle cycle(host);
        RunFirstPass(host, cycle, "unchanged");
        host.onEdit = [&](int) {
            cycle.OnRefresh();
            host.RunToTick(cycle); // slot 0 with its old settings
            return edit;
        };
        cycle.OnSiteCommand(0);
        cycle.OnFetchDone(Answer(0, 410));
        EXPECT_EQ(host.log.back(), "0 CANCEL http://feeds.test/0");
        EXPECT_FALSE(cycle.ServerMemory(0).gone());
    }
}
