// One fetch in flight: built on the user-interface thread, filled in by the
// download worker, read and freed by the main dialog when WM_FETCH_DONE
// arrives. Platform-free.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/cstring.h"

class CWnd;

struct FetchTask {
    explicit FetchTask(int index) : siteIndex(index) {}
    FetchTask(const FetchTask&) = delete;
    FetchTask& operator=(const FetchTask&) = delete;

    int32_t siteIndex;
    CWnd* owner = nullptr;  // receives the worker's messages
    CString url;            // copy of the slot's URL
    CString fileName;       // always "dl.dat"
    uint32_t errorCode = 0; // platform error of a network failure
    bool error = false;     // the fetch failed
    // Set by the user-interface thread to ask the worker to stop; the only
    // field both threads touch while the worker runs.
    std::atomic<bool> cancel{false};
    int64_t lastModified = 0; // on entry the stored feed time; the response's when changed
    bool modified = false;    // the body is being, or was, written to dl.dat
};

// The one task in progress, or null. User-interface thread only.
extern FetchTask* currentTask;
