// The rows of a site's submenu in the tray menu: its shortcuts newest first,
// with their captions and marks, and the folder commands below them. The
// Win32 half appends the rows and maps a chosen row back to what it opens.
// Platform-free.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "framework/cstring.h"

constexpr size_t kMenuItemsMax = 25;     // shortcuts listed in a site's submenu
constexpr int kItemCaptionMaxBytes = 64; // before "&" is doubled

enum class ItemAction {
    none,       // grey, or a separator
    openItem,   // opens shortcut `file`
    openFolder, // opens the site folder
    openAll,    // opens shortcuts `files`, one after the other
};

struct ItemMenuRow {
    CString caption; // empty for a separator
    ItemAction action = ItemAction::none;
    size_t file = 0;           // for openItem: index into the files listed
    std::vector<size_t> files; // for openAll: indices of the checked rows' files, menu order
    bool checked = false;
    bool grayed = false;
};

// A shortcut file's caption: its name without ".url", cut on a character
// boundary to kItemCaptionMaxBytes with "..." (one character, inside the
// limit) when longer, then every "&" doubled so that it shows as itself.
CString ItemCaption(const CString& fileName);

// The indices of `files` (the folder's ".url" files, as listed) newest
// first: those of the list last written whole (`written`, feed order) in its
// order, then the others in name order; with no such list all in name order.
std::vector<size_t> NewestFirst(const std::vector<CString>& files,
                                const std::vector<CString>* written);

// The submenu of a site whose folder holds `files` (none when the folder is
// missing: `folderExists` false): "Open the N new items" ("Open the new
// item") and a separator when N > 0 of the rows below are checked; at most
// kMenuItemsMax shortcuts newest first, checked when their key
// (FileNameKey) is in `marked`; "(no items)",
// grey, when there is none; a separator; "Open folder" (grey without a
// folder); and "More in the folder..." when some are not listed.
std::vector<ItemMenuRow> SiteItemRows(const std::vector<CString>& files, bool folderExists,
                                      const std::vector<CString>* written,
                                      const std::set<std::string>& marked);

// A site's own mark in the tray menu: set while one of its listed rows is
// checked, not for marks whose file has gone.
bool AnyRowChecked(const std::vector<ItemMenuRow>& rows);

enum class NoticeAction {
    nothing,
    openItem,    // opens shortcut `file` of the notice's site
    showSubmenu, // shows the site's submenu at the pointer
};

struct NoticeTarget {
    NoticeAction action = NoticeAction::nothing;
    size_t file = 0; // for openItem: index into the files listed
};

// What a click on a notice opens, given the files it named (`named`, as the
// folder listed them) and those its site's folder lists now: the one file
// it named, or the submenu when it named several and one of them is still
// there; nothing when what it named has gone.
NoticeTarget NoticeClickTarget(const std::vector<CString>& named,
                               const std::vector<CString>& files);
