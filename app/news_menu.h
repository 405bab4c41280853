// The sites' submenus of the tray menu, built each time the menu opens from
// what the site folders hold then, and the commands of their rows.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "app/item_menu.h"
#include "app/poll_cycle.h"
#include "app/site_news.h"
#include "config/site_table.h"
#include "framework/window.h"

// Command ids of the rows, a range of their own above every menu command
// of the resource (32773-32786) and far from IDOK and IDCANCEL.
constexpr UINT kNewsCommandFirst = 0xA000;
constexpr UINT kNewsCommandLast = 0xAFFF;

class CNewsMenu
{
  public:
    CNewsMenu() = default;
    CNewsMenu(const CNewsMenu&) = delete;
    CNewsMenu& operator=(const CNewsMenu&) = delete;

    // Inserts one submenu per slot with a URL and a name at the top of
    // `popup`, captioned as its Site item and checked while it holds marked
    // items, and a separator below them. With no such slot, `popup` stays.
    void Insert(HMENU popup, const SiteTable& sites, const PollCycle& poll, const SiteNews& news);
    // A click on the latest notice: opens the one file it named, or shows
    // its site's submenu at the pointer, owned by `owner`, with the files it
    // named marked.
    void OnNoticeClick(HWND owner, const SiteTable& sites, const SiteNews& news);
    // The slot whose submenu `submenu` is, or -1.
    int SlotOfSubmenu(HMENU submenu) const;
    // A row's command: opens its shortcuts or its folder. False for an id
    // outside the range; an id that no longer names a file does nothing.
    bool OnCommand(UINT command) const;

  private:
    struct Target {
        ItemAction action;
        std::vector<std::wstring> paths;
    };
    HMENU SiteSubmenu(int slot, const SiteEntry& site, const SiteNews& news,
                      const std::set<std::string>& marked, bool& checked);
    static void OpenTarget(const Target& target);
    // What each id of the last menu built opens: the menu is gone by the
    // time its command arrives.
    std::vector<Target> m_targets;
    HMENU m_submenus[kSiteCount] = {};
};
