// The texts of the Site submenu. Platform-free.
#pragma once

#include "config/site_table.h"
#include "framework/cstring.h"

// Longest part of a site's name shown in the menu, in bytes.
constexpr int kMenuNameMaxBytes = 64;

// The text of slot `siteIndex`'s item: its number ("1" for slot 0); for a
// used slot (one with a URL) a blank and its name, cut to at most
// kMenuNameMaxBytes on a character boundary, with every "&" doubled so that
// it shows as itself; and " (error)" when the slot's last fetch in this run
// ended as ERROR. An empty slot shows its number alone.
CString SiteMenuText(int siteIndex, const SiteEntry& site, bool lastFetchFailed);

// Whether Import sites and Export sites can be chosen: neither while a site
// dialog or one of their own file dialogs is open, and Export only while
// some slot is used (has a URL).
struct SiteListMenuState {
    bool importEnabled;
    bool exportEnabled;
};
SiteListMenuState SiteListMenu(bool dialogOpen, const SiteTable& sites);
