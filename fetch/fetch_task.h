// One fetch in flight: built on the user-interface thread, filled in by the
// download worker, read and freed by the owner window when WM_FETCH_DONE
// arrives. Platform-free.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "fetch/fetch_memory.h"
#include "framework/cstring.h"

class CWnd;

// The file each fetch downloads the feed into.
constexpr char kDownloadFileName[] = "dl.dat";

// Time-outs given to every fetch's session, in milliseconds; 0 keeps
// WinINet's own value.
struct FetchTimeouts {
    unsigned long connectMs = 30000;
    unsigned long sendMs = 30000;
    unsigned long receiveMs = 60000;
};

// What a fetch is asked to do.
struct FetchRequest {
    CWnd* owner = nullptr;      // receives the worker's messages
    int siteIndex = 0;          // slot the fetch is for
    CString url;                // the slot's URL
    CString feedUrl;            // the feed address found in that page before; "" = none
    int64_t storedFeedTime = 0; // feed time last seen for the slot; 0 = none
    CString downloadPath;       // where the body is written
    FetchTimeouts timeouts;
    FetchValidators validators; // sent back as conditional headers; empty for none
    // Feed addresses that page may name which answered 410 Gone.
    std::vector<CString> goneFeedUrls;
};

struct FetchTask {
    explicit FetchTask(int index) : siteIndex(index) {}
    FetchTask(const FetchTask&) = delete;
    FetchTask& operator=(const FetchTask&) = delete;

    int32_t siteIndex;
    CWnd* owner = nullptr;  // receives the worker's messages
    CString url;            // copy of the slot's URL
    // On entry the feed address found in that page before, asked for instead
    // of the page; at the end the address the answer came from when it is
    // not the slot's URL.
    CString feedUrl;
    // Feed addresses the page may name that answered 410 Gone: not asked
    // for again.
    std::vector<CString> goneFeedUrls;
    CString fileName;       // the download file
    uint32_t errorCode = 0; // platform error of a network failure
    bool error = false;     // the fetch failed
    // Set by the user-interface thread to ask the worker to stop; the only
    // field both threads touch while the worker runs.
    std::atomic<bool> cancel{false};
    int64_t lastModified = 0; // on entry the stored feed time; the response's when changed
    bool modified = false;    // the body is being, or was, written to dl.dat
    FetchTimeouts timeouts;
    FetchValidators sent;     // the validators the request carried
    int status = 0;           // the last response's HTTP status; 0 when none was read
    FetchValidators received; // the response's ETag and Last-Modified texts
    CString retryAfter;       // the response's Retry-After text; empty when none
};

// The one fetch in progress, owned by the window that started it. Used on
// the user-interface thread only. The worker reads and writes the task until
// its WM_FETCH_DONE send returns; the owner takes the task in that handler.
class RunningFetch
{
  public:
    RunningFetch() = default;
    RunningFetch(const RunningFetch&) = delete;
    RunningFetch& operator=(const RunningFetch&) = delete;
    // A task still running when its owner goes away stays with its worker,
    // which may yet report on it; the process is ending then anyway.
    ~RunningFetch() = default;

    // Builds the task and starts its worker; returns at once. Only while no
    // fetch runs. The task always ends with exactly one WM_FETCH_DONE to the
    // owner. Implemented by the download worker.
    void Start(const FetchRequest& request);

    bool IsRunning() const { return m_task != nullptr; }
    // Asks the running worker to stop; nothing when none runs.
    void Cancel()
    {
        if (m_task) m_task->cancel = true;
    }
    // The finished task, now the caller's; null when none runs. Only from the
    // WM_FETCH_DONE handler: until then the worker still uses it.
    std::unique_ptr<FetchTask> TakeResult()
    {
        std::unique_ptr<FetchTask> task(m_task);
        m_task = nullptr;
        return task;
    }

  private:
    FetchTask* m_task = nullptr;
};
