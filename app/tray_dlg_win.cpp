#include "app/tray_dlg.h"

#include <ctime>
#include <mmsystem.h>
#include <shellapi.h>

#include "app/about_dlg.h"
#include "app/messages.h"
#include "app/site_menu.h"
#include "app/startup_link_win.h"
#include "app/tray_notice.h"
#include "config/site_dlg.h"
#include "config/site_table.h"
#include "feed/favorites.h"
#include "feed/update_site_items.h"
#include "framework/file.h"
#include "framework/local_time.h"
#include "log/activity_log.h"
#include "res/resource.h"

static_assert(sizeof(TrayIconRecord) == NOTIFYICONDATAA_V1_SIZE,
              "the tray record must be the first version of NOTIFYICONDATAA");
#ifndef _WIN64
static_assert(sizeof(TrayIconRecord) == 88, "the 32-bit tray record is 88 bytes");
#endif

namespace
{

constexpr UINT kTrayIconId = 0;

// Site menu commands in slot order; the ids are not contiguous.
constexpr UINT kSiteCommands[kSiteCount] = {IDM_SITE1, IDM_SITE2, IDM_SITE3, IDM_SITE4, IDM_SITE5,
                                            IDM_SITE6, IDM_SITE7, IDM_SITE8, IDM_SITE9};

int SiteIndexOfCommand(UINT command)
{
    for (int i = 0; i < kSiteCount; ++i)
        if (kSiteCommands[i] == command) return i;
    return -1;
}

// Broadcast by the shell when the taskbar has been created anew.
const UINT kTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");

class MenuHandle
{
  public:
    explicit MenuHandle(HMENU menu) : m_menu(menu) {}
    ~MenuHandle()
    {
        if (m_menu) DestroyMenu(m_menu);
    }
    MenuHandle(const MenuHandle&) = delete;
    MenuHandle& operator=(const MenuHandle&) = delete;
    HMENU get() const { return m_menu; }

  private:
    HMENU m_menu;
};

BOOL Notify(DWORD message, TrayIconRecord& record)
{
    return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&record));
}

} // namespace

CTrayDlg::CTrayDlg()
    : CDialog(IDD_TANSY_DIALOG),
      m_hIcon(LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))), m_poll(*this),
      m_siteList(m_poll, m_news)
{
}

INT_PTR CTrayDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TRAYNOTIFY:
        OnTrayNotify(lParam);
        break;
    case WM_PAINT:
        if (OnPaint()) return TRUE;
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case WM_HELP:
        return Handled(0);
    case WM_FETCH_BEGIN:
    case WM_FETCH_PROGRESS:
        return Handled(OnFetchProgress());
    case WM_FETCH_DONE:
        return Handled(OnFetchDone());
    case WM_INITMENUPOPUP:
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        break;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam))) return TRUE;
        break;
    default:
        // The shell's broadcast has no fixed number, so it cannot be a case.
        if (message == kTaskbarCreated && kTaskbarCreated != 0) AddTrayIcon();
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

// Called for WM_COMMAND: the menu's items. FALSE leaves the command (IDOK,
// IDCANCEL) to the dialog's default handling.
BOOL CTrayDlg::OnCommand(UINT command)
{
    switch (command) {
    case IDM_EXIT:
        return OnExit();
    case IDM_ABOUT:
        return OnAbout();
    case IDM_REFRESH:
        return OnRefresh();
    case IDM_IMPORT:
        return m_siteList.OnImport();
    case IDM_EXPORT:
        return m_siteList.OnExport();
    case IDM_STARTUP:
        return ToggleStartWithWindows(m_hWnd);
    default:
        if (m_newsMenu.OnCommand(command)) return TRUE;
        return OnSiteCommand(SiteIndexOfCommand(command));
    }
}

// Called when the main dialog has been created: hide it, show the tray icon,
// load the sites and start the poll cycle.
BOOL CTrayDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    const LONG_PTR exStyle = GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE);
    SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW));
    SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_HIDEWINDOW);

    m_nid.cbSize = sizeof m_nid;
    m_nid.hWnd = m_hWnd;
    m_nid.uID = kTrayIconId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    m_nid.hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_TRAY));
    lstrcpynA(m_nid.szTip, "Tansy", sizeof m_nid.szTip);
    AddTrayIcon();

    g_sites.Load();
    m_poll.Start();
    WriteLog("START");
    return TRUE;
}

void CTrayDlg::AddTrayIcon()
{
    Notify(NIM_ADD, m_nid);
}

// Called for every mouse event on the tray icon and its notice: a click of
// either button opens the menu at the pointer.
void CTrayDlg::OnTrayNotify(LPARAM mouseMessage)
{
    POINT pt;
    GetCursorPos(&pt);
    // A click on the notice opens what it named.
    if (mouseMessage == NIN_BALLOONUSERCLICK) m_newsMenu.OnNoticeClick(m_hWnd, g_sites, m_news);
    if (mouseMessage != WM_LBUTTONUP && mouseMessage != WM_RBUTTONUP) return;

    // Foreground first and WM_NULL after, or the menu would not close when
    // the user clicks elsewhere.
    ::SetForegroundWindow(m_hWnd);
    MenuHandle menu(LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_TRAYMENU)));
    ShowSiteNames(menu.get());
    m_siteList.ShowMenuState(menu.get());
    ShowStartWithWindows(GetSubMenu(menu.get(), 0), IDM_STARTUP);
    m_newsMenu.Insert(GetSubMenu(menu.get(), 0), g_sites, m_poll, m_news);
    TrackPopupMenu(GetSubMenu(menu.get(), 0), TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
    PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

// Writes each Site item's number, name and error mark into the loaded menu;
// the ids and the order stay those of the resource.
void CTrayDlg::ShowSiteNames(HMENU menu) const
{
    for (int i = 0; i < kSiteCount; ++i) {
        const CString text = SiteMenuText(i, g_sites.slots[i], m_poll.LastFetchFailed(i));
        ModifyMenuA(menu, kSiteCommands[i], MF_BYCOMMAND | MF_STRING, kSiteCommands[i], text);
    }
}

// A submenu opens: a site's submenu shows its marks this once.
void CTrayDlg::OnInitMenuPopup(HMENU submenu)
{
    const int slot = m_newsMenu.SlotOfSubmenu(submenu);
    if (slot >= 0) m_news.OnSubmenuOpened(slot);
}

// Draws the icon when the window is minimised; it never is, being hidden.
BOOL CTrayDlg::OnPaint()
{
    if (!IsIconic(m_hWnd)) return FALSE;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(m_hWnd, &rect);
    DrawIcon(dc, (rect.right - rect.left - cxIcon + 1) / 2,
             (rect.bottom - rect.top - cyIcon + 1) / 2, m_hIcon);
    EndPaint(m_hWnd, &ps);
    return TRUE;
}

// The Exit command: only asks a running fetch to stop; otherwise ends the
// program, saving and logging nothing.
BOOL CTrayDlg::OnExit()
{
    if (!m_poll.MayExit()) return TRUE;
    KillTimer(m_hWnd, kPollTimerId);
    KillTimer(m_hWnd, kBlinkTimerId);
    PlaySoundA(nullptr, nullptr, 0);
    Notify(NIM_DELETE, m_nid);
    CWinApp* app = AfxGetApp();
    PostMessageA(app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : m_hWnd, WM_CLOSE, 0, 0);
    return TRUE;
}

// The About command. The poll cycle goes on while the box is open.
BOOL CTrayDlg::OnAbout()
{
    ::SetForegroundWindow(m_hWnd);
    CAboutDlg about;
    about.DoModal();
    return TRUE;
}

void CTrayDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId == kPollTimerId) m_poll.OnTick();
    if (timerId == kBlinkTimerId) ShowBlinkStep(m_blink.OnTick());
}

BOOL CTrayDlg::OnRefresh()
{
    m_poll.OnRefresh();
    return TRUE;
}

// A Site item; FALSE for a command that is none.
BOOL CTrayDlg::OnSiteCommand(int index)
{
    if (index < 0) return FALSE;
    m_poll.OnSiteCommand(index);
    return TRUE;
}

// The worker's final report. It waits in its send until this returns, so the
// task can be read and freed without a lock.
LRESULT CTrayDlg::OnFetchDone()
{
    m_finished = m_fetch.TakeResult();
    if (!m_finished) return 0;
    FetchResult result;
    result.siteIndex = m_finished->siteIndex;
    result.url = m_finished->url;
    result.cancel = m_finished->cancel.load();
    result.error = m_finished->error;
    result.modified = m_finished->modified;
    result.lastModified = m_finished->lastModified;
    result.feedUrl = m_finished->feedUrl;
    result.status = m_finished->status;
    result.received = m_finished->received;
    result.retryAfter = m_finished->retryAfter;
    m_poll.OnFetchDone(result);
    return 0;
}

void CTrayDlg::ArmPollTimer(unsigned intervalMs)
{
    SetTimer(m_hWnd, kPollTimerId, intervalMs, nullptr);
}

void CTrayDlg::KillPollTimer()
{
    KillTimer(m_hWnd, kPollTimerId);
}

// The download file, always in the program's directory: the current
// directory is not to be trusted while a file chooser may have moved it.
CString CTrayDlg::DownloadPath() const
{
    return g_sites.directory + kDownloadFileName;
}

void CTrayDlg::StartFetch(int siteIndex)
{
    FetchRequest request;
    request.owner = this;
    request.siteIndex = siteIndex;
    request.url = g_sites.slots[siteIndex].url;
    request.feedUrl = m_poll.FeedUrl(siteIndex, request.url);
    request.goneFeedUrls = m_poll.GoneFeedUrls(siteIndex);
    request.storedFeedTime = g_sites.lastModified[siteIndex];
    request.downloadPath = DownloadPath();
    request.validators = m_poll.ServerMemory(siteIndex).validators();
    m_fetch.Start(request);
}

bool CTrayDlg::FetchInProgress() const
{
    return m_fetch.IsRunning();
}

void CTrayDlg::CancelFetch()
{
    m_fetch.Cancel();
}

void CTrayDlg::ReleaseTask()
{
    m_finished.reset();
}

CString CTrayDlg::SiteUrl(int siteIndex) const
{
    return g_sites.slots[siteIndex].url;
}

int64_t CTrayDlg::CurrentTime() const
{
    return ClockSeconds();
}

void CTrayDlg::StoreFeedTime(int siteIndex, int64_t feedTime)
{
    g_sites.lastModified[siteIndex] = feedTime;
}

bool CTrayDlg::ReadDownloadItems(std::vector<ItemShortcut>& items)
{
    try {
        items = ReadFeedItems(DownloadPath());
    } catch (const CFileException&) {
        // dl.dat vanished or another program holds it.
        return false;
    }
    return true;
}

bool CTrayDlg::WriteSiteItems(int siteIndex, const std::vector<ItemShortcut>& items)
{
    return ::WriteSiteItems(g_sites.slots[siteIndex].name, items);
}

std::vector<WantedShortcut> CTrayDlg::WantedShortcuts(int siteIndex,
                                                      const std::vector<ItemShortcut>& items)
{
    return SiteWantedShortcuts(g_sites.slots[siteIndex].name, items);
}

FolderListing CTrayDlg::ListSiteFolder(int siteIndex)
{
    return ::ListSiteFolder(g_sites.slots[siteIndex].name);
}

void CTrayDlg::KeepItemOrder(int siteIndex, const std::vector<CString>* files)
{
    m_news.OnWritten(siteIndex, files);
}

void CTrayDlg::DeleteDownload()
{
    SetCurrentDir(g_sites.directory);
    DeleteFileNamed(DownloadPath());
}

// A changed feed in steady polling: the site's sound, its name and the time
// in the tooltip, the blink, and a notice naming the new items. The sound and
// the blink go on while the menu and the commands answer.
void CTrayDlg::NotifyChange(int siteIndex, const std::vector<CString>& added)
{
    const SiteEntry& site = g_sites.slots[siteIndex];
    PlaySoundA(site.sound, nullptr, SND_FILENAME | SND_NODEFAULT | SND_ASYNC);

    std::tm local;
    char hourMinute[16] = "";
    if (!LocalTime(ClockSeconds(), local) ||
        std::strftime(hourMinute, sizeof hourMinute, "%H:%M", &local) == 0)
        hourMinute[0] = '\0';
    const CString tip = ChangeTooltip(site.name, hourMinute, sizeof m_nid.szTip - 1);
    lstrcpynA(m_nid.szTip, tip, sizeof m_nid.szTip);
    Blink();
    m_news.OnAnnounced(siteIndex, added);
    std::vector<CString> titles;
    for (const CString& file : added)
        titles.push_back(ShortcutTitle(file));
    ShowTrayNotice(m_hWnd, kTrayIconId, NewsNotice(site.name, titles));
}

void CTrayDlg::ShowTrayIcon(UINT iconId)
{
    m_nid.hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(iconId));
    Notify(NIM_MODIFY, m_nid);
}

// Starts the blink on its own timer, or starts it again when one is running.
void CTrayDlg::Blink()
{
    ShowBlinkStep(m_blink.Start());
}

void CTrayDlg::ShowBlinkStep(const BlinkStep& step)
{
    if (step.icon != BlinkStep::Icon::keep)
        ShowTrayIcon(step.icon == BlinkStep::Icon::alert ? IDI_TRAY_ALERT : IDI_TRAY);
    if (step.nextMs != 0)
        SetTimer(m_hWnd, kBlinkTimerId, step.nextMs, nullptr);
    else
        KillTimer(m_hWnd, kBlinkTimerId);
}

void CTrayDlg::WriteLog(const CString& text)
{
    WriteLogLine(g_sites.directory, text);
}

// Edits a slot in the site dialog; when the user changed it, saves the slots
// and takes away the folder of the old name.
SiteEdit CTrayDlg::EditSite(int index)
{
    const CString oldName = g_sites.slots[index].name;
    ::SetForegroundWindow(m_hWnd);

    CSiteDlg dialog(index);
    dialog.DoModal();

    SiteEntry& site = g_sites.slots[index];
    if (site.modified != 1) return SiteEdit::unchanged;
    site.modified = 0;
    m_news.Forget(index);
    g_sites.Save();
    if (!oldName.IsEmpty()) {
        ClearSiteFolder(oldName);
        RemoveSiteFolder(oldName);
    }
    return site.url.IsEmpty() || site.name.IsEmpty() ? SiteEdit::switchedOff : SiteEdit::changed;
}
