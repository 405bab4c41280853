// What the program knows of each site's news in this run: the shortcut files
// of the list last written whole to its folder, in feed order (the menu's
// newest first), and the files of announced changes that the user has not
// yet seen in the site's submenu. File names are kept as the folder lists
// them back, the form the menu shows. Kept in memory only. Platform-free.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "config/site_table.h"
#include "framework/cstring.h"

// A file name folded as the file system compares names: ASCII letters in
// lower case, two-byte characters as they are.
std::string FileNameKey(const CString& name);

// A shortcut file's name without its ".url" (in any case).
CString ShortcutTitle(const CString& fileName);

class SiteNews
{
  public:
    // A list was written to the slot's folder: `files` are its files as the
    // folder lists them, in feed order, or null when it did not reach the
    // folder whole, which leaves no order.
    void OnWritten(int siteIndex, const std::vector<CString>* files);
    // A change of the slot is announced: the files it added are marked,
    // beside those still marked, and are what its notice named.
    void OnAnnounced(int siteIndex, const std::vector<CString>& added);
    // The user opened the slot's submenu: its marks go.
    void OnSubmenuOpened(int siteIndex);
    // The slot was edited: its folder is another one now, and a notice of
    // it names nothing there.
    void Forget(int siteIndex);

    // The shortcut file names of the list last written whole, in feed order;
    // null when there is none in this run.
    const std::vector<CString>* WrittenFiles(int siteIndex) const;
    // Keys (FileNameKey) of the slot's marked shortcut files.
    const std::set<std::string>& MarkedKeys(int siteIndex) const;
    // The site of the latest notice and the files it named; -1 when there
    // is none, or its site has been edited since.
    int NoticeSite() const { return m_noticeSite; }
    const std::vector<CString>& NoticeFiles() const { return m_noticeFiles; }

  private:
    struct Slot {
        bool written = false;       // a list reached the folder whole
        std::vector<CString> files; // its file names, feed order
        std::set<std::string> marked;
    };
    Slot* At(int siteIndex);
    Slot m_slots[kSiteCount];
    int m_noticeSite = -1;
    std::vector<CString> m_noticeFiles;
};
