// The nine site slots, the program directory and the per-slot feed times.
//
// status.dat keeps the slots between runs: 27 lines, CR LF after each, for
// slot 0 to 8 the URL, the display name and the wave-file path. Nothing else
// (no header, no count) is stored. Platform-free.
#pragma once

#include <cstdint>

#include "framework/cstring.h"

constexpr int kSiteCount = 9;

struct SiteEntry {
    CString url;                // feed URL; empty means the slot is unused
    CString name;               // display name, also the name of the site's Favorites folder
    CString sound;              // wave file played when the feed changed; may be empty
    unsigned char modified = 0; // set by the site dialog when OK changed a value
};

class SiteTable
{
  public:
    SiteEntry slots[kSiteCount];
    CString directory;                     // program directory, ending in a separator
    int64_t lastModified[kSiteCount] = {}; // feed time last seen per slot; 0 = none

    // Reads status.dat from `directory` into the slots. A missing file leaves
    // the slots as they are.
    void Load();
    // Writes the slots to status.dat in `directory`. The file is written
    // beside the old one under a temporary name and then put in its place, so
    // a failed write leaves the previous status.dat whole.
    void Save();

    // Makes `text` usable as a file or folder name (see feed/feed_text.h).
    void SanitizeFileName(CString& text);
};

extern SiteTable g_sites;
