#include "app/poll_cycle.h"

void PollCycle::Start()
{
    m_nextSite = 0;
    m_phase = PollPhase::firstPass;
    m_host.ArmPollTimer(kStartupDelayMs);
}

void PollCycle::OnTick()
{
    // Timer 1 is stopped while a fetch runs, so a tick now is a WM_TIMER
    // posted from outside. A second fetch would replace the task the first
    // worker still reports on; the running fetch arms the next tick itself.
    if (m_host.FetchInProgress()) return;
    m_host.KillPollTimer();
    const int slot = m_nextSite;
    const bool request = m_serverMemory[slot].MayRequest(m_host.CurrentTime());
    if (request) m_host.StartFetch(slot);
    if (++m_nextSite == kSiteCount) {
        m_nextSite = 0;
        if (m_phase == PollPhase::firstPass) m_phase = PollPhase::lastSlotOfFirstPass;
    }
    if (!request) VisitWithoutRequest(slot);
}

// A visit to a slot whose server said it is gone or asked to wait: no
// request, but the visit counts as a failed fetch, so the log and the Site
// menu show it, and the cycle goes on as after any handled fetch.
void PollCycle::VisitWithoutRequest(int siteIndex)
{
    FetchResult result;
    result.siteIndex = siteIndex;
    result.url = m_host.SiteUrl(siteIndex);
    result.error = true;
    m_serverMemory[siteIndex].ForgetValidators();
    WriteResultLog(result);
    ArmAfterResult();
}

void PollCycle::OnRefresh()
{
    if (m_host.FetchInProgress()) {
        // The cancelled fetch leaves the cycle idle; Refresh again starts anew.
        m_host.CancelFetch();
        return;
    }
    m_host.KillPollTimer();
    m_phase = PollPhase::firstPass;
    m_nextSite = 0;
    m_host.ArmPollTimer(kFirstPassIntervalMs);
}

bool PollCycle::MayExit()
{
    if (!m_host.FetchInProgress()) return true;
    m_host.CancelFetch();
    // A slot edited meanwhile is not fetched after the cancel, so that the
    // next Exit ends the program.
    m_pendingSite = -1;
    m_importedSites.clear();
    return false;
}

CString FetchLogText(const FetchResult& result)
{
    const char* keyword = result.cancel     ? "CANCEL "
                          : result.error    ? "ERROR "
                          : result.modified ? "UPDATE "
                                            : "NOMODIFY ";
    CString text;
    text.Format("%d %s", result.siteIndex, keyword);
    return text + result.url;
}

void PollCycle::OnFetchDone(const FetchResult& result)
{
    TakeOverImportedSlot(result.siteIndex);
    m_resultLogged = false;
    try {
        HandleFetchResult(result);
    } catch (...) {
        // Anything thrown while the result was handled (an allocation for a
        // large feed's conversion, say) must not stop the cycle: the folder
        // stays as far as it got, and the slot ends as a failed fetch.
        FailFetchResult(result);
    }
    m_overtakenSite = -1;
    StartPendingSiteFetch();
}

void PollCycle::HandleFetchResult(const FetchResult& result)
{
    const int slot = result.siteIndex;
    if (result.cancel) {
        // No time is stored and no timer armed: the program stays idle until
        // the user chooses Refresh, a Site item or Exit.
        m_host.ReleaseTask();
        m_host.DeleteDownload();
        m_serverMemory[slot].ForgetValidators();
        WriteResultLog(result);
        return;
    }
    RememberFeedUrl(result);
    FetchResult outcome = result;
    if (slot == m_overtakenSite) {
        // The slot was edited while this fetch of its old settings ran: the
        // edit wins. Nothing of the result is used (no shortcuts, no time, no
        // announcement) and it is logged as cancelled, but unlike a cancel by
        // the user the cycle goes on; a slot left with a URL and a name is
        // fetched anew right after.
        m_host.DeleteDownload();
        outcome.cancel = true;
    } else if (!result.error && result.modified) {
        HandleDownload(outcome);
    } else if (result.error) {
        RememberAnswer(result);
    }
    WriteResultLog(outcome);
    ArmAfterResult();
    m_host.ReleaseTask();
}

CString PollCycle::FeedUrl(int siteIndex, const CString& pageUrl) const
{
    if (siteIndex < 0 || siteIndex >= kSiteCount || m_feedPages[siteIndex] != pageUrl)
        return CString();
    return m_feedUrls[siteIndex];
}

// Keeps the feed address a fetch of the slot found in its page, or went to,
// for the next visit. When a fetch fails it is forgotten, with the feed
// time, so that the next visit reads the page again, whatever the page's
// date.
void PollCycle::RememberFeedUrl(const FetchResult& result)
{
    const int slot = result.siteIndex;
    if (slot < 0 || slot >= kSiteCount || slot == m_overtakenSite) return;
    if (!result.error) {
        m_feedUrls[slot] = result.feedUrl;
        m_feedPages[slot] = result.url;
    } else if (!m_feedUrls[slot].IsEmpty()) {
        m_feedUrls[slot].Empty();
        m_host.StoreFeedTime(slot, 0);
    }
}

// A downloaded feed, dated or not, is compared by what it leaves in the
// folder: when that is what the list last written for the slot left, the
// folder and the user are left alone, the response's feed time is kept (so
// that the next visit with that date stops at the headers), and the outcome
// becomes unchanged. Otherwise the shortcuts are written and, in steady
// polling, the change is announced when the folder gained a file, or a
// file's URL, that it held neither before nor after the last list written
// whole: a feed that only lost items changes silently, and neither a start
// nor a failure makes old items new. A list that did not reach the folder
// whole is no news but a failure.
void PollCycle::HandleDownload(FetchResult& outcome)
{
    const int slot = outcome.siteIndex;
    std::vector<ItemShortcut> items;
    std::vector<CString> added;
    if (!m_host.ReadDownloadItems(items)) {
        // A feed that could not be read (another program held or took
        // dl.dat): its folder's shortcuts go, and its time and shortcuts are
        // forgotten, so that the next visit downloads and writes it again.
        // An emptied folder gains nothing to announce, and what the folder
        // held counts as old when the items come back.
        m_host.StoreFeedTime(slot, 0);
        m_writtenItems[slot].reset();
        m_serverMemory[slot].ForgetValidators();
        ListBeforeWrite(slot);
        const std::vector<CString> none;
        m_host.KeepItemOrder(slot, m_host.WriteSiteItems(slot, {}) ? &none : nullptr);
    } else {
        const std::vector<WantedShortcut> wanted = m_host.WantedShortcuts(slot, items);
        FolderState state = MirroredState(wanted);
        std::optional<FolderState>& written = m_writtenItems[slot];
        m_host.StoreFeedTime(slot, outcome.lastModified);
        if (written && *written == state) {
            m_serverMemory[slot].RememberValidators(outcome.received);
            m_host.DeleteDownload();
            outcome.modified = false;
            return;
        }
        // Only a list that reached the folder is remembered; while it is
        // being written the folder matches no list. A list that did not
        // reach it whole leaves no time either, so that the next visit
        // downloads and writes it again whatever its date, and it is logged
        // as a failure: nothing new reached the user.
        written.reset();
        m_serverMemory[slot].ForgetValidators();
        ListBeforeWrite(slot);
        if (m_host.WriteSiteItems(slot, items)) {
            written = std::move(state);
            m_serverMemory[slot].RememberValidators(outcome.received);
            FolderListing after = m_host.ListSiteFolder(slot);
            const std::optional<FolderListing>& last = m_lastListing[slot];
            FolderGain gain =
                WhatTheFolderGains(wanted, after, *m_listingBefore[slot], last ? &*last : nullptr);
            m_listingBefore[slot].reset();
            m_lastListing[slot] = std::move(after);
            m_host.KeepItemOrder(slot, &gain.files);
            added = std::move(gain.added);
        } else {
            m_host.StoreFeedTime(slot, 0);
            outcome.error = true;
            m_host.KeepItemOrder(slot, nullptr);
        }
    }
    m_host.DeleteDownload();
    if (m_phase == PollPhase::steady && !added.empty()) m_host.NotifyChange(slot, added);
}

// The folder as listed before the write now starting, or before the first
// of the writes since the last one that reached it whole.
void PollCycle::ListBeforeWrite(int siteIndex)
{
    if (!m_listingBefore[siteIndex]) m_listingBefore[siteIndex] = m_host.ListSiteFolder(siteIndex);
}

void PollCycle::FailFetchResult(const FetchResult& result)
{
    m_host.ReleaseTask();
    if (result.modified && !result.cancel && result.siteIndex != m_overtakenSite) {
        m_host.StoreFeedTime(result.siteIndex, 0);
        m_writtenItems[result.siteIndex].reset();
    }
    if (result.siteIndex >= 0 && result.siteIndex < kSiteCount)
        m_serverMemory[result.siteIndex].ForgetValidators();
    if (!m_resultLogged) {
        FetchResult failed = result;
        failed.cancel = false;
        failed.error = true;
        WriteResultLog(failed);
    }
    ArmAfterResult();
}

void PollCycle::WriteResultLog(const FetchResult& result)
{
    m_resultLogged = true;
    if (result.siteIndex >= 0 && result.siteIndex < kSiteCount)
        m_lastFetchFailed[result.siteIndex] = !result.cancel && result.error;
    m_host.WriteLog(FetchLogText(result));
}

// A failed fetch: the next request is unconditional, and the server's
// "gone" or "wait" is kept. A feed address found in the slot's page that is
// gone is only that address: the page, which may name another one by the
// next visit, is read again.
void PollCycle::RememberAnswer(const FetchResult& result)
{
    const int slot = result.siteIndex;
    m_serverMemory[slot].ForgetValidators();
    if (result.status == kHttpGone && !result.feedUrl.IsEmpty()) {
        m_goneFeedUrls[slot].push_back(result.feedUrl);
        return;
    }
    m_serverMemory[slot].OnFailedAnswer(result.status, result.retryAfter, m_host.CurrentTime());
}

// Ends the first pass when its last slot is done, and arms the next tick.
void PollCycle::ArmAfterResult()
{
    if (m_phase == PollPhase::lastSlotOfFirstPass) {
        // The only sign that the first pass is over.
        m_phase = PollPhase::steady;
        m_host.BlinkIcon();
    }
    m_host.ArmPollTimer(m_phase == PollPhase::firstPass ? kFirstPassIntervalMs : kSteadyIntervalMs);
}

void PollCycle::OnSiteCommand(int siteIndex)
{
    if (m_host.FetchInProgress()) {
        m_host.CancelFetch();
        return;
    }
    if (m_editing) return; // a site dialog is already open
    m_editing = true;
    m_host.KillPollTimer();
    const SiteEdit edit = m_host.EditSite(siteIndex);
    m_editing = false;
    // Refresh may have started a fetch of the slot's old settings while the
    // dialog was open; whatever the edit left, that result is not used.
    if (edit != SiteEdit::unchanged && m_host.FetchInProgress()) m_overtakenSite = siteIndex;
    // What the server of the old settings said no longer counts.
    if (edit != SiteEdit::unchanged) {
        m_serverMemory[siteIndex].Forget();
        m_goneFeedUrls[siteIndex].clear();
    }
    const bool fetchSlot = edit == SiteEdit::changed;
    if (fetchSlot) {
        m_host.StoreFeedTime(siteIndex, 0);
        m_writtenItems[siteIndex].reset();
        // The slot's folder is another one now: all it gains is new.
        m_lastListing[siteIndex].reset();
        m_listingBefore[siteIndex].reset();
        m_feedUrls[siteIndex].Empty();
        if (m_host.FetchInProgress()) {
            // Refresh re-armed the timer while the dialog was open and a
            // fetch is running: the edited slot is fetched as soon as that
            // one has been handled, so only one fetch ever runs.
            m_pendingSite = siteIndex;
        } else {
            // Refresh may have armed the timer while the dialog was open;
            // it stays stopped while the fetch runs.
            m_host.KillPollTimer();
            m_host.StartFetch(siteIndex);
        }
        return;
    }
    // Nothing to fetch: the poll cycle resumes. A fetch that Refresh started
    // meanwhile arms the timer itself when it ends.
    if (!m_host.FetchInProgress()) m_host.ArmPollTimer(kSteadyIntervalMs);
}

// Starts the fetch of a slot edited while another fetch was running.
void PollCycle::StartPendingSiteFetch()
{
    if (m_host.FetchInProgress()) return;
    int slot = m_pendingSite;
    if (slot >= 0) {
        m_pendingSite = -1;
    } else if (!m_importedSites.empty()) {
        slot = m_importedSites.front();
        m_importedSites.erase(m_importedSites.begin());
    } else {
        return;
    }
    m_host.KillPollTimer();
    m_host.StartFetch(slot);
}

void PollCycle::OnSitesImported(const std::vector<int>& siteIndexes)
{
    for (const int slot : siteIndexes) {
        if (slot < 0 || slot >= kSiteCount) continue;
        ForgetImportedSlot(slot);
        // A fetch of the slot while it was free may be running: its result,
        // for no URL, is not used.
        if (m_host.FetchInProgress()) m_importedMidFetch[slot] = true;
        m_importedSites.push_back(slot);
    }
    // The timer stays stopped while the imported slots are fetched; the last
    // one's result arms it.
    StartPendingSiteFetch();
}

// What the cycle knew of a slot before it was filled no longer counts.
void PollCycle::ForgetImportedSlot(int siteIndex)
{
    m_serverMemory[siteIndex].Forget();
    m_goneFeedUrls[siteIndex].clear();
    m_host.StoreFeedTime(siteIndex, 0);
    m_writtenItems[siteIndex].reset();
    m_feedUrls[siteIndex].Empty();
}

// The result of the fetch that ran while the slots were imported: dropped,
// as after an edit, when it is for one of them.
void PollCycle::TakeOverImportedSlot(int siteIndex)
{
    if (siteIndex >= 0 && siteIndex < kSiteCount && m_importedMidFetch[siteIndex])
        m_overtakenSite = siteIndex;
    for (bool& filled : m_importedMidFetch)
        filled = false;
}

CString ChangeTooltip(const CString& name, const CString& hourMinute, int maxBytes)
{
    const CString text = name + "\r\n" + hourMinute;
    if (text.GetLength() <= maxBytes) return text;
    // Shorten the name, never cutting a two-byte character, so that the time
    // stays visible; if even the time does not fit, cut the whole text.
    const CString tail = "\r\n" + hourMinute;
    if (tail.GetLength() < maxBytes) {
        const size_t keep = sjis::FitLength(name.GetString(), name.str().size(),
                                            static_cast<size_t>(maxBytes - tail.GetLength()));
        return name.Left(static_cast<int>(keep)) + tail;
    }
    const size_t keep =
        sjis::FitLength(text.GetString(), text.str().size(), static_cast<size_t>(maxBytes));
    return text.Left(static_cast<int>(keep));
}
