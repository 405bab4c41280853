// The hidden main dialog: owner of the tray icon, its menu, the poll timer,
// and the receiver of every command and of the download worker's messages.
#pragma once

#include <memory>

#include "app/icon_blink.h"
#include "app/news_menu.h"
#include "app/poll_cycle.h"
#include "app/site_list.h"
#include "app/site_news.h"
#include "config/site_table.h"
#include "fetch/fetch_task.h"
#include "framework/window.h"

// The tray icon record in its first, smallest form, which every version of
// the shell accepts.
struct TrayIconRecord {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};

class CTrayDlg : public CDialog, private PollHost
{
  public:
    CTrayDlg();

  protected:
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

  private:
    BOOL OnCommand(UINT command);
    void OnTrayNotify(LPARAM mouseMessage);
    void ShowSiteNames(HMENU menu) const;
    void OnInitMenuPopup(HMENU submenu);
    BOOL OnPaint();
    HICON OnQueryDragIcon() { return m_hIcon; }
    BOOL OnExit();
    BOOL OnAbout();
    void OnTimer(UINT_PTR timerId);
    BOOL OnRefresh();
    BOOL OnSiteCommand(int index);
    LRESULT OnFetchProgress() { return 0; }
    LRESULT OnFetchDone();
    CString DownloadPath() const;
    void AddTrayIcon();
    void ShowTrayIcon(UINT iconId);
    void Blink();
    void ShowBlinkStep(const BlinkStep& step);

    // What the poll cycle asks of the window.
    void ArmPollTimer(unsigned intervalMs) override;
    void KillPollTimer() override;
    void StartFetch(int siteIndex) override;
    bool FetchInProgress() const override;
    void CancelFetch() override;
    void ReleaseTask() override;
    void StoreFeedTime(int siteIndex, int64_t feedTime) override;
    bool ReadDownloadItems(std::vector<ItemShortcut>& items) override;
    bool WriteSiteItems(int siteIndex, const std::vector<ItemShortcut>& items) override;
    std::vector<WantedShortcut> WantedShortcuts(int siteIndex,
                                                const std::vector<ItemShortcut>& items) override;
    FolderListing ListSiteFolder(int siteIndex) override;
    void KeepItemOrder(int siteIndex, const std::vector<CString>* files) override;
    void DeleteDownload() override;
    void NotifyChange(int siteIndex, const std::vector<CString>& added) override;
    void BlinkIcon() override { Blink(); }
    void WriteLog(const CString& text) override;
    SiteEdit EditSite(int siteIndex) override;
    CString SiteUrl(int siteIndex) const override;
    int64_t CurrentTime() const override;

    HICON m_hIcon;
    TrayIconRecord m_nid{};
    PollCycle m_poll;
    IconBlink m_blink;
    SiteNews m_news;
    CNewsMenu m_newsMenu;
    CSiteList m_siteList;
    RunningFetch m_fetch;
    std::unique_ptr<FetchTask> m_finished; // the task whose result is being handled
};
