// Window messages of the program. Platform-free so that the decision code
// and its tests can name them too.
#pragma once

constexpr unsigned kWmUser = 0x0400;

// The tray icon's callback; lParam is the mouse message the shell reports.
constexpr unsigned WM_TRAYNOTIFY = kWmUser + 100;

// Sent synchronously by the download worker to the main dialog. They carry
// no data: the receiver finds the task through currentTask.
constexpr unsigned WM_FETCH_BEGIN = kWmUser + 300;    // feed changed, dl.dat about to be created
constexpr unsigned WM_FETCH_PROGRESS = kWmUser + 301; // one block written to dl.dat
constexpr unsigned WM_FETCH_DONE = kWmUser + 302;     // the fetch is over; last use of the task
