// Site folders inside the user's Favorites folder and the Internet shortcuts
// in them. Every operation looks the Favorites folder up afresh and reports
// failure only through its result.
#pragma once

#include <string>
#include <vector>

#include "feed/favorites_mirror.h"
#include "feed/feed_items.h"
#include "feed/folder_gain.h"
#include "framework/cstring.h"

// Longest site folder path, and longest shortcut path, in bytes.
constexpr int kMaxSitePathBytes = 255;

// The shortcuts MirrorSiteFolder writes for these items, in feed order: an
// item whose path is too long is left out. MirroredState of them is what
// the folder holds afterwards, whatever it held before.
std::vector<WantedShortcut> SiteWantedShortcuts(const char* name,
                                                const std::vector<ItemShortcut>& items);
// A file name listed by the wide file API in the ANSI code page, as the
// folder gives it back: a character with two codes comes back as the one the
// code page prefers.
std::string AnsiFileName(const std::wstring& name);
// The site folder's shortcut files as it lists them, names converted to the
// ANSI code page, with the URLs read back; empty when it cannot be listed.
FolderListing ListSiteFolder(const char* name);

bool SiteFolderExists(const char* name);
// Favorites path, backslash, site name; empty when there is no Favorites
// folder or the name names no site folder.
CString SiteFolderPath(const char* name);
// The site folder's path with a final backslash, in UTF-16, and its
// shortcut files (".url" in any case) as wide names in the order the folder
// lists them; false when the folder cannot be listed.
bool ListSiteShortcuts(const char* name, std::wstring& folder, std::vector<std::wstring>& files);
bool CreateSiteFolder(const char* name);
// Deletes the shortcut files (".url" in any case) of the site folder; every
// other file, subfolders and names beginning with a dot stay.
void ClearSiteFolder(const char* name);
bool RemoveSiteFolder(const char* name);
// True when the path passed the length test, whatever became of the file.
bool CreateItemShortcut(const char* name, const char* url, const char* title);
// True when the shortcut file was saved.
bool WriteInternetShortcut(const char* url, const char* path);

// Leaves the site folder as ClearSiteFolder followed by CreateItemShortcut
// for every item in order would, but touches only what differs: a shortcut
// file already holding the URL its item calls for stays as it is, and only
// the others are deleted or written. False when the folder could not be
// listed, a shortcut could not be deleted or saved, or the folder's own path
// leaves no room for any item (an item whose title makes its path too long is
// left out by design and is no failure).
bool MirrorSiteFolder(const char* name, const std::vector<ItemShortcut>& items);
