// Starting a fetch and the download worker that runs it.
#pragma once

class CWnd;

// Builds the task for slot `siteIndex`, publishes it in currentTask and
// starts the worker; returns at once. User-interface thread only, and only
// while currentTask is null. The task always ends with exactly one
// WM_FETCH_DONE to `owner`.
void StartFetch(CWnd* owner, int siteIndex);

// The worker thread's procedure; `task` is the FetchTask. Returns 1.
unsigned FetchThreadProc(void* task);

// Time-outs given to every fetch's session, in milliseconds; 0 keeps
// WinINet's own value. The program uses the values below; the test probe
// shortens them so that a stalled server ends a test quickly.
struct FetchTimeouts {
    unsigned long connectMs = 30000;
    unsigned long sendMs = 30000;
    unsigned long receiveMs = 60000;
};
extern FetchTimeouts g_fetchTimeouts;
