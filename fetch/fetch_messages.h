// Window messages the download worker sends to its owner window. They carry
// no data: the owner finds the task through its RunningFetch. Platform-free,
// so that decision code and its tests can name them too.
#pragma once

constexpr unsigned kWmUser = 0x0400;

// Sent synchronously by the download worker to its owner window.
constexpr unsigned WM_FETCH_BEGIN = kWmUser + 300;    // feed changed, dl.dat about to be created
constexpr unsigned WM_FETCH_PROGRESS = kWmUser + 301; // one block written to dl.dat
constexpr unsigned WM_FETCH_DONE = kWmUser + 302;     // the fetch is over; last use of the task
