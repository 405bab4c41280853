// The Import sites and Export sites commands of the Site menu: the file
// dialogs, the names between code page 932 and UTF-8, and the message box.
// What is read, written and filled is decided in config/opml_* and
// config/site_import.
#pragma once

#include <windows.h>

#include "app/poll_cycle.h"
#include "app/site_news.h"
#include "framework/cstring.h"

class CSiteList
{
  public:
    CSiteList(PollCycle& poll, SiteNews& news) : m_poll(poll), m_news(news) {}
    CSiteList(const CSiteList&) = delete;
    CSiteList& operator=(const CSiteList&) = delete;

    // Greys the two items of the loaded tray menu as SiteListMenu decides.
    void ShowMenuState(HMENU menu) const;
    BOOL OnImport();
    BOOL OnExport();

  private:
    bool DialogOpen() const { return m_dialogOpen || m_poll.Editing(); }
    bool AskForFile(bool open, CString& path);

    PollCycle& m_poll;
    SiteNews& m_news;
    bool m_dialogOpen = false; // a command's file dialog or message box is open
};
