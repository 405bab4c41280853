// Start with Windows, the menu item: its tick and its command. The rules
// are in startup_link.h.
#pragma once

#include "framework/window.h"

// Ticks the item `command` of `menu` when the Startup folder holds a link
// to this program that Windows runs. Read each time the menu opens.
void ShowStartWithWindows(HMENU menu, UINT command);

// The item was chosen: adds the program's link to the Startup folder, or
// takes every link to it away. A failure is told in a message box owned by
// `owner` and changes nothing else. Returns TRUE.
BOOL ToggleStartWithWindows(HWND owner);
