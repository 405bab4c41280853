// The poll cycle's decisions: which slot the next tick fetches, which timer
// interval follows, when the first pass ends, what a fetch outcome leads to,
// what a Site command does around its dialog, and how imported slots are
// fetched.
//
// PollCycle holds the cycle's state and tells its host what to do, in the
// order it must be done. The main dialog is the real host; the unit tests use
// a recording host with a fake clock. Platform-free.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "config/site_table.h"
#include "feed/favorites_mirror.h"
#include "feed/feed_items.h"
#include "feed/folder_gain.h"
#include "fetch/fetch_memory.h"
#include "framework/cstring.h"

constexpr int kPollTimerId = 1;
constexpr unsigned kStartupDelayMs = 30000;    // first tick after start-up
constexpr unsigned kFirstPassIntervalMs = 250; // between slots of a first pass
constexpr unsigned kSteadyIntervalMs = 300000; // between slots in steady polling

enum class PollPhase {
    steady = 0,
    lastSlotOfFirstPass = 1, // the last slot of the first pass has started
    firstPass = 2,
};

// What the worker left in the task, as the cycle needs it.
struct FetchResult {
    int siteIndex = 0;
    CString url;
    bool cancel = false;
    bool error = false;
    bool modified = false;
    // The response's feed time when modified; 0 when it carried no usable
    // Last-Modified (none, one that is no date, or a year before 1900).
    int64_t lastModified = 0;
    // The feed address the answer came from when the slot's URL is a web
    // page naming its feed (found in the page now, or the one remembered
    // for the slot); empty when the slot's URL gave the answer itself.
    CString feedUrl;
    int status = 0;           // the last response's HTTP status; 0 when none was read
    FetchValidators received; // the response's ETag and Last-Modified texts
    CString retryAfter;       // the response's Retry-After text
};

// What OK in the site dialog did to a slot.
enum class SiteEdit {
    unchanged,   // Cancel, or OK without a change
    switchedOff, // changed, and left without a URL or without a name
    changed,     // changed, with both a URL and a name: to be fetched
};

class PollHost
{
  public:
    virtual ~PollHost() = default;
    virtual void ArmPollTimer(unsigned intervalMs) = 0;
    virtual void KillPollTimer() = 0;
    virtual void StartFetch(int siteIndex) = 0;
    virtual bool FetchInProgress() const = 0;
    virtual void CancelFetch() = 0; // set the running task's cancel flag
    virtual void ReleaseTask() = 0; // free the finished task
    virtual void StoreFeedTime(int siteIndex, int64_t feedTime) = 0;
    // dl.dat as the shortcuts it calls for, in feed order; false when dl.dat
    // could not be read.
    virtual bool ReadDownloadItems(std::vector<ItemShortcut>& items) = 0;
    // Makes the site's folder (created when missing) hold these shortcuts;
    // false when the folder neither existed nor could be created, or the
    // shortcuts did not reach it whole.
    virtual bool WriteSiteItems(int siteIndex, const std::vector<ItemShortcut>& items) = 0;
    // The shortcuts WriteSiteItems writes for these items, in feed order:
    // those whose path fits, named as the file system holds and compares
    // names.
    virtual std::vector<WantedShortcut> WantedShortcuts(int siteIndex,
                                                        const std::vector<ItemShortcut>& items) = 0;
    // The site folder's shortcut files as it lists them now, with the URLs
    // read back; empty when it cannot be listed.
    virtual FolderListing ListSiteFolder(int siteIndex) = 0;
    // A list was written to the site's folder: `files` are its files as the
    // folder lists them, in feed order, or null when it did not reach the
    // folder whole.
    virtual void KeepItemOrder(int siteIndex, const std::vector<CString>* files) = 0;
    virtual void DeleteDownload() = 0; // delete dl.dat
    // Sound, tooltip, blink, and the notice naming the new files (names as
    // the folder lists them, in feed order), which are marked.
    virtual void NotifyChange(int siteIndex, const std::vector<CString>& added) = 0;
    virtual void BlinkIcon() = 0;
    virtual void WriteLog(const CString& text) = 0;
    // Runs the site dialog for the slot and, when OK changed it, saves the
    // slots and takes away the folder of the old name.
    virtual SiteEdit EditSite(int siteIndex) = 0;
    // The slot's URL, for the log line of a visit that sends no request.
    virtual CString SiteUrl(int siteIndex) const = 0;
    // The clock, in seconds since 1970-01-01 UTC.
    virtual int64_t CurrentTime() const = 0;
};

class PollCycle
{
  public:
    explicit PollCycle(PollHost& host) : m_host(host) {}

    // Start-up: slot 0 first, first-pass phase, first tick in 30 s.
    void Start();
    // Timer 1 fired: fetch the next slot.
    void OnTick();
    // The Refresh command.
    void OnRefresh();
    // The fetch guard of Exit: true when Exit may go on, false when it only
    // asked the running fetch to stop.
    bool MayExit();
    // The worker's final report. Never throws: a failure while the result is
    // handled ends the slot as a failed fetch.
    void OnFetchDone(const FetchResult& result);
    // A Site item: cancels a running fetch; otherwise, unless a site dialog
    // is already open, edits the slot and fetches it when it was changed.
    void OnSiteCommand(int siteIndex);
    // Slots an import filled (they were free): each is handled as a slot the
    // site dialog changed, and all are fetched at once, one after the other,
    // after a fetch that is running.
    void OnSitesImported(const std::vector<int>& siteIndexes);
    // True while a site dialog is open.
    bool Editing() const { return m_editing; }

    int nextSite() const { return m_nextSite; }
    PollPhase phase() const { return m_phase; }
    int pendingSite() const { return m_pendingSite; }
    // True when the slot's last fetch in this run ended as ERROR.
    bool LastFetchFailed(int siteIndex) const
    {
        return siteIndex >= 0 && siteIndex < kSiteCount && m_lastFetchFailed[siteIndex];
    }
    // The feed address found in this run in the web page `pageUrl`, the
    // slot's URL, which the next fetch asks for instead of the page; empty
    // when there is none.
    CString FeedUrl(int siteIndex, const CString& pageUrl) const;
    // What the slot's server told the program: the validators its next
    // fetch sends, and whether a visit may send a request at all.
    const FetchMemory& ServerMemory(int siteIndex) const { return m_serverMemory[siteIndex]; }
    // The feed addresses found in the slot's page that answered 410 Gone in
    // this run: the page's links to them are passed over.
    const std::vector<CString>& GoneFeedUrls(int siteIndex) const
    {
        return m_goneFeedUrls[siteIndex];
    }

  private:
    void HandleFetchResult(const FetchResult& result);
    void HandleDownload(FetchResult& outcome);
    void ListBeforeWrite(int siteIndex);
    void FailFetchResult(const FetchResult& result);
    void WriteResultLog(const FetchResult& result);
    void ArmAfterResult();
    void StartPendingSiteFetch();
    void RememberFeedUrl(const FetchResult& result);
    void VisitWithoutRequest(int siteIndex);
    void RememberAnswer(const FetchResult& result);
    void ForgetImportedSlot(int siteIndex);
    void TakeOverImportedSlot(int siteIndex);

    PollHost& m_host;
    int m_nextSite = 0;
    PollPhase m_phase = PollPhase::firstPass;
    bool m_editing = false;      // a site dialog is open
    int m_pendingSite = -1;      // slot edited while a fetch ran, fetched after it
    int m_overtakenSite = -1;    // slot edited while a fetch ran: its result is dropped
    bool m_resultLogged = false; // the result being handled has its log line
    bool m_lastFetchFailed[kSiteCount] = {};
    // Per slot, what the folder holds since the last list written to it in
    // this run; none before the first write, after an edit, an unreadable
    // feed or a failure while writing.
    std::optional<FolderState> m_writtenItems[kSiteCount];
    // Per slot, the folder as listed once the last list reached it whole in
    // this run; none before that and after an edit.
    std::optional<FolderListing> m_lastListing[kSiteCount];
    // Per slot, the folder as listed before a write that did not reach it
    // whole, kept until a write does: what it gained meanwhile is still new.
    std::optional<FolderListing> m_listingBefore[kSiteCount];
    // Per slot, the feed address found in the page and that page's URL.
    CString m_feedUrls[kSiteCount];
    CString m_feedPages[kSiteCount];
    // Per slot, what its server told the program in this run.
    FetchMemory m_serverMemory[kSiteCount];
    std::vector<CString> m_goneFeedUrls[kSiteCount];
    // Slots an import filled that are still to be fetched, in order; and
    // those filled while the running fetch ran.
    std::vector<int> m_importedSites;
    bool m_importedMidFetch[kSiteCount] = {};
};

// The log text of one fetch outcome: slot index, blank, keyword, URL.
CString FetchLogText(const FetchResult& result);

// The tooltip after a changed feed: name, CR LF, "%H:%M" of the local time,
// cut on a character boundary to fit `maxBytes` (63 for the tray record).
CString ChangeTooltip(const CString& name, const CString& hourMinute, int maxBytes);
