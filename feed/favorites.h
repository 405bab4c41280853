// Site folders inside the user's Favorites folder and the Internet shortcuts
// in them. Every operation looks the Favorites folder up afresh and reports
// failure only through its result.
#pragma once

#include "framework/cstring.h"

// Longest site folder path, and longest shortcut path, in bytes.
constexpr int kMaxSitePathBytes = 255;

bool SiteFolderExists(const char* name);
bool CreateSiteFolder(const char* name);
void ClearSiteFolder(const char* name);
bool RemoveSiteFolder(const char* name);
// True when the path passed the length test, whatever became of the file.
bool CreateItemShortcut(const char* name, const char* url, const char* title);
// True when the shortcut object and its file interface were obtained.
bool WriteInternetShortcut(const char* url, const char* path);
