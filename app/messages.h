// Window messages of the program, in one place: the tray icon's own and the
// download worker's. Platform-free.
#pragma once

#include "fetch/fetch_messages.h"

// The tray icon's callback; lParam is the mouse message the shell reports.
constexpr unsigned WM_TRAYNOTIFY = kWmUser + 100;
