// Which names can name a site folder. Platform-free.
#pragma once

// True when `name` can name a site folder: a direct child of Favorites. Empty
// names, names made of dots and blanks only, and names holding a backslash or
// a slash name no folder.
bool NamesSiteFolder(const char* name);
