// The texts of the balloon notice that names a site's new items, within the
// byte limits of the notification record. Platform-free.
#pragma once

#include <vector>

#include "framework/cstring.h"

constexpr int kNoticeTitleMaxBytes = 63; // szInfoTitle: 64 with its terminator
constexpr int kNoticeTextMaxBytes = 255; // szInfo: 256 with its terminator
constexpr int kNoticeNamesShown = 3;
// Each name's line, so that three of them and the "more" line always fit.
constexpr int kNoticeLineMaxBytes = 76;

struct TrayNotice {
    CString title;
    CString text;
};

// Title: the site's name. Text: the first kNoticeNamesShown new item names,
// one a line, each cut on a character boundary to kNoticeLineMaxBytes with
// "..." when longer, and a last line "... and N more" when there are more.
// Both cut on a character boundary to their limits.
TrayNotice NewsNotice(const CString& siteName, const std::vector<CString>& newNames);
