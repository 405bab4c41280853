// The hidden main dialog: owner of the tray icon, its menu, the poll timer,
// and the receiver of every command and of the download worker's messages.
#pragma once

#include "app/poll_cycle.h"
#include "config/site_table.h"
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
    void OnTrayNotify(LPARAM mouseMessage);
    BOOL OnPaint();
    HICON OnQueryDragIcon() { return m_hIcon; }
    void OnExit();
    void OnAbout();
    void OnTimer(UINT_PTR timerId);
    void OnRefresh();
    void OnSiteCommand(int index);
    LRESULT OnFetchProgress(WPARAM, LPARAM) { return 0; }
    LRESULT OnFetchDone(WPARAM, LPARAM);
    void StartPendingSiteFetch();
    void AddTrayIcon();
    void ShowTrayIcon(UINT iconId);
    void Blink();

    // What the poll cycle asks of the window.
    void ArmPollTimer(unsigned intervalMs) override;
    void KillPollTimer() override;
    void StartFetch(int siteIndex) override;
    bool FetchInProgress() const override;
    void CancelFetch() override;
    void ReleaseTask() override;
    void StoreFeedTime(int siteIndex, int64_t feedTime) override;
    bool UpdateSiteItems(int siteIndex) override;
    void DeleteDownload() override;
    void NotifyChange(int siteIndex) override;
    void BlinkIcon() override { Blink(); }
    void WriteLog(const CString& text) override;

    HICON m_hIcon;
    TrayIconRecord m_nid{};
    PollCycle m_poll;
    unsigned char m_busy = 0; // a site dialog is open
    int m_pendingSite = -1;   // slot edited while a fetch ran, fetched after it
};
