// The Site submenu's item texts.
#include <gtest/gtest.h>

#include <string>

#include "app/poll_cycle.h"
#include "app/site_menu.h"

namespace
{

SiteEntry Site(const std::string& url, const std::string& name)
{
    SiteEntry site;
    site.url = url.c_str();
    site.name = CString(name);
    return site;
}

// "あ" (82 A0) repeated: two-byte characters only.
std::string Wide(int characters)
{
    std::string text;
    for (int i = 0; i < characters; ++i)
        text += "\x82\xA0";
    return text;
}

} // namespace

TEST(SiteMenuText, NumberNameAndErrorMark)
{
    struct Case {
        const char* what;
        int slot;
        std::string url, name;
        bool failed;
        std::string text;
    };
    const std::string minato = "\x82\xDD\x82\xC8\x82\xC6\x92\xAC"; // みなと町
    const Case cases[] = {
        {"used slot", 2, "http://a.test/rss", minato, false, "3 " + minato},
        {"empty slot", 2, "", "", false, "3"},
        {"empty slot after its ERROR line", 2, "", "", true, "3"},
        {"name without a URL is no used slot", 0, "", "News", false, "1"},
        {"failing slot", 8, "http://a.test/rss", "News", true, "9 News (error)"},
        {"failing slot without a name", 0, "http://a.test/rss", "", true, "1 (error)"},
        {"ampersand shown as itself", 0, "http://a.test/rss", "Q&A & more", false,
         "1 Q&&A && more"},
        {"64 bytes kept whole", 0, "http://a.test/rss", std::string(64, 'n'), false,
         "1 " + std::string(64, 'n')},
        {"65 bytes cut to 64", 0, "http://a.test/rss", std::string(65, 'n'), false,
         "1 " + std::string(64, 'n')},
        {"cut never splits a character", 0, "http://a.test/rss", "n" + Wide(40), true,
         "1 n" + Wide(31) + " (error)"},
        {"cut counts the name's bytes before doubling", 0, "http://a.test/rss",
         std::string(63, '&') + "x", false, "1 " + std::string(126, '&') + "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SiteMenuText(c.slot, Site(c.url, c.name), c.failed).str(), c.text) << c.what;
}

namespace
{
class QuietHost : public PollHost
{
  public:
    bool running = false;
    void ArmPollTimer(unsigned) override {}
    void KillPollTimer() override {}
    void StartFetch(int) override { running = true; }
    bool FetchInProgress() const override { return running; }
    void CancelFetch() override {}
    void ReleaseTask() override { running = false; }
    void StoreFeedTime(int, int64_t) override {}
    bool ReadDownloadItems(std::vector<ItemShortcut>&) override { return true; }
    bool WriteSiteItems(int, const std::vector<ItemShortcut>&) override { return true; }
    using Items = std::vector<ItemShortcut>;
    std::vector<WantedShortcut> WantedShortcuts(int, const Items&) override { return {}; }
    FolderListing ListSiteFolder(int) override { return {}; }
    void KeepItemOrder(int, const std::vector<CString>*) override {}
    void DeleteDownload() override {}
    void NotifyChange(int, const std::vector<CString>&) override {}
    void BlinkIcon() override {}
    void WriteLog(const CString&) override {}
    SiteEdit EditSite(int) override { return SiteEdit::unchanged; }
    CString SiteUrl(int) const override { return CString(); }
    int64_t CurrentTime() const override { return 0; }
};

FetchResult Ended(int slot, bool error, bool cancel = false)
{
    FetchResult r;
    r.siteIndex = slot;
    r.error = error;
    r.cancel = cancel;
    return r;
}
} // namespace

TEST(SiteMenuText, AfterAPassWithAUsedAnEmptyAndAFailingSlot)
{
    QuietHost host;
    PollCycle cycle(host);
    cycle.Start();
    SiteTable sites;
    sites.slots[0] = Site("http://a.test/rss", "News");
    sites.slots[1] = Site("http://dead.test/rss", "Dead");
    for (int slot = 0; slot < kSiteCount; ++slot) {
        cycle.OnTick();
        cycle.OnFetchDone(Ended(slot, slot != 0)); // empty slots end as ERROR too
    }
    EXPECT_EQ(SiteMenuText(0, sites.slots[0], cycle.LastFetchFailed(0)), "1 News");
    EXPECT_EQ(SiteMenuText(1, sites.slots[1], cycle.LastFetchFailed(1)), "2 Dead (error)");
    EXPECT_EQ(SiteMenuText(2, sites.slots[2], cycle.LastFetchFailed(2)), "3");

    // The mark follows the slot's last fetch: gone once it ends otherwise.
    cycle.OnRefresh();
    cycle.OnTick();
    cycle.OnFetchDone(Ended(0, true));
    cycle.OnTick();
    cycle.OnFetchDone(Ended(1, false));
    EXPECT_TRUE(cycle.LastFetchFailed(0));
    EXPECT_FALSE(cycle.LastFetchFailed(1));
}

TEST(SiteListMenu, GreyWhileADialogIsOpenAndExportWithoutSites)
{
    SiteTable sites;
    sites.slots[4].name = "a name without a URL"; // no used slot
    EXPECT_EQ(SiteListMenu(false, sites).importEnabled, true);
    EXPECT_EQ(SiteListMenu(false, sites).exportEnabled, false);
    sites.slots[7].url = "http://a.test/";
    EXPECT_EQ(SiteListMenu(false, sites).exportEnabled, true);
    EXPECT_EQ(SiteListMenu(true, sites).importEnabled || SiteListMenu(true, sites).exportEnabled,
              false);
}
