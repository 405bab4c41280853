// The balloon notice of the tray icon.
#pragma once

#include "app/notice_text.h"
#include "framework/window.h"

// Shows `notice` at the tray icon (window, id) as a balloon, or a toast
// where the shell makes it one, replacing any notice still shown. Sent with
// a full-size record of its own, so that the icon, its tooltip and the
// record the icon was added with stay as they are. Quiet: the site's own
// sound has played, and the shell's quiet time is respected.
bool ShowTrayNotice(HWND window, UINT iconId, const TrayNotice& notice);
