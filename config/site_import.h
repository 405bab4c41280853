// Filling the free site slots from the feeds of an OPML file, and the
// report the user is shown afterwards. Platform-free: the folder names are
// compared and looked up through SiteFolders.
#pragma once

#include <string>
#include <vector>

#include "config/opml_read.h"
#include "config/site_table.h"
#include "framework/cstring.h"

// Longest name taken from a file before it is made a folder name, in bytes.
constexpr int kImportedNameMaxBytes = 64;

// The site folders as the file system sees them.
class SiteFolders
{
  public:
    virtual ~SiteFolders() = default;
    // The name folded as the file system compares names (case); trailing
    // dots and blanks, which it ignores, are gone before it is asked.
    virtual std::string FolderKey(const CString& name) const = 0;
    // True when a folder of this name stands in Favorites.
    virtual bool FolderExists(const CString& name) const = 0;
};

struct ImportReport {
    std::vector<int> added; // slot indexes filled, in slot order
    int noFreeSlot = 0;     // feeds left out because every slot was used
    int alreadyWatched = 0; // watched by a slot, or given earlier in the file
    int notWebAddress = 0;  // not an http:// or https:// address a link may be
};

// True when two feed addresses are one: scheme and host compared without
// regard to case, the rest exactly.
bool SameFeedAddress(const CString& a, const CString& b);

// The name a feed gets in its slot: its text, else its title, else the
// host of its URL, cut to kImportedNameMaxBytes on a character boundary and
// made a file name as item titles are (which also makes it what the site
// dialog would store); a name already used by another slot, or naming a
// folder in Favorites that no slot owns, gets " (2)", " (3)", ... `url` is
// the address as it will be stored.
CString ImportedSiteName(const OpmlOutline& outline, const CString& url,
                         const SiteEntry (&slots)[kSiteCount], const SiteFolders& folders);

// Puts the feeds of `outlines` into the free slots (those without a URL),
// in slot order: URL and name set, the sound emptied. A feed is taken only
// when its address is one an item link may be, and is not watched by a slot
// or taken from this list before.
ImportReport ImportSites(SiteEntry (&slots)[kSiteCount], const std::vector<OpmlOutline>& outlines,
                         const SiteFolders& folders);

// The message shown after an import: how many sites were added and as which
// numbers, and how many feeds were left out for each reason.
CString ImportReportText(const ImportReport& report);
