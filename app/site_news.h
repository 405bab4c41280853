// What the program knows of each site's news in this run: the shortcuts of
// the list last written whole to its folder, in feed order (the menu's
// newest first), and the items of announced changes that the user has not
// yet seen in the site's submenu. Kept in memory only. Platform-free.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/site_table.h"
#include "feed/feed_items.h"
#include "framework/cstring.h"

// A file name folded as the file system compares names: ASCII letters in
// lower case, two-byte characters as they are.
std::string FileNameKey(const CString& name);

class SiteNews
{
  public:
    // The list `items` was written to the slot's folder; `whole` when every
    // shortcut reached it. Items whose file or link the previous list lacked
    // (every item, when there was none) are the ones a change announced now
    // adds. A list that did not reach the folder whole leaves no order.
    void OnWritten(int siteIndex, const std::vector<ItemShortcut>& items, bool whole);
    // The change last written for the slot is announced: its added items
    // are marked, beside those still marked. Returns their titles in feed
    // order.
    std::vector<CString> OnAnnounced(int siteIndex);
    // The user opened the slot's submenu: its marks go.
    void OnSubmenuOpened(int siteIndex);
    // The slot was edited: its folder is another one now.
    void Forget(int siteIndex);

    // The shortcut file names of the list last written whole, in feed order;
    // null when there is none in this run.
    const std::vector<CString>* WrittenFiles(int siteIndex) const;
    // Keys (FileNameKey) of the slot's marked shortcut files.
    const std::set<std::string>& MarkedKeys(int siteIndex) const;

  private:
    struct Slot {
        bool written = false;                                // a list reached the folder whole
        std::vector<CString> files;                          // its file names, feed order
        std::set<std::pair<std::string, std::string>> pairs; // its (key, link)
        std::vector<CString> added;                          // titles the last write added
        std::set<std::string> marked;
    };
    Slot* At(int siteIndex);
    Slot m_slots[kSiteCount];
};
