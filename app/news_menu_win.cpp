#include "app/news_menu.h"

#include <shellapi.h>

#include "app/item_menu.h"
#include "app/site_menu.h"
#include "feed/favorites.h"

// One site's submenu, its rows decided by SiteItemRows from what the folder
// lists now; null when it cannot be made. `checked` tells whether one of its
// listed rows is.
HMENU CNewsMenu::SiteSubmenu(int slot, const SiteEntry& site, const SiteNews& news,
                             const std::set<std::string>& marked, bool& checked)
{
    std::wstring folder;
    std::vector<std::wstring> wideFiles;
    const bool folderExists = ListSiteShortcuts(site.name, folder, wideFiles);
    std::vector<CString> files;
    for (const std::wstring& file : wideFiles)
        files.emplace_back(AnsiFileName(file));
    const std::vector<ItemMenuRow> rows =
        SiteItemRows(files, folderExists, news.WrittenFiles(slot), marked);
    checked = AnyRowChecked(rows);

    HMENU submenu = CreatePopupMenu();
    if (!submenu) return nullptr;
    for (const ItemMenuRow& row : rows) {
        if (row.caption.IsEmpty()) {
            AppendMenuA(submenu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (row.checked ? MF_CHECKED : 0) | (row.grayed ? MF_GRAYED : 0);
        UINT id = 0;
        if (row.action != ItemAction::none &&
            kNewsCommandFirst + m_targets.size() <= kNewsCommandLast) {
            id = kNewsCommandFirst + static_cast<UINT>(m_targets.size());
            Target target{row.action, {}};
            if (row.action == ItemAction::openFolder)
                target.paths.push_back(folder.substr(0, folder.size() - 1));
            else if (row.action == ItemAction::openItem)
                target.paths.push_back(folder + wideFiles[row.file]);
            for (size_t file : row.files) // the new items the open-all row opens
                target.paths.push_back(folder + wideFiles[file]);
            m_targets.push_back(std::move(target));
        } else {
            flags |= MF_GRAYED;
        }
        AppendMenuA(submenu, flags, id, row.caption);
    }
    m_submenus[slot] = submenu;
    return submenu;
}

void CNewsMenu::Insert(HMENU popup, const SiteTable& sites, const PollCycle& poll,
                       const SiteNews& news)
{
    m_targets.clear();
    UINT position = 0;
    for (int slot = 0; slot < kSiteCount; ++slot) {
        m_submenus[slot] = nullptr;
        const SiteEntry& site = sites.slots[slot];
        if (site.url.IsEmpty() || site.name.IsEmpty()) continue;
        bool checked = false;
        HMENU submenu = SiteSubmenu(slot, site, news, news.MarkedKeys(slot), checked);
        if (!submenu) continue;
        const CString caption = SiteMenuText(slot, site, poll.LastFetchFailed(slot));
        InsertMenuA(popup, position++,
                    MF_BYPOSITION | MF_POPUP | MF_STRING | (checked ? MF_CHECKED : 0),
                    reinterpret_cast<UINT_PTR>(submenu), caption);
    }
    if (position > 0) InsertMenuA(popup, position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

void CNewsMenu::OnNoticeClick(HWND owner, const SiteTable& sites, const SiteNews& news)
{
    const int slot = news.NoticeSite();
    if (slot < 0 || slot >= kSiteCount) return;
    const SiteEntry& site = sites.slots[slot];
    std::wstring folder;
    std::vector<std::wstring> wideFiles;
    if (!ListSiteShortcuts(site.name, folder, wideFiles)) return;
    std::vector<CString> files;
    for (const std::wstring& file : wideFiles)
        files.emplace_back(AnsiFileName(file));
    const NoticeTarget target = NoticeClickTarget(news.NoticeFiles(), files);
    if (target.action == NoticeAction::openItem)
        OpenTarget({ItemAction::openItem, {folder + wideFiles[target.file]}});
    if (target.action != NoticeAction::showSubmenu) return;

    // As the tray menu opens, with the notice's files marked.
    m_targets.clear();
    for (HMENU& submenu : m_submenus)
        submenu = nullptr;
    std::set<std::string> marked;
    for (const CString& file : news.NoticeFiles())
        marked.insert(FileNameKey(file));
    bool checked = false;
    HMENU submenu = SiteSubmenu(slot, site, news, marked, checked);
    if (!submenu) return;
    POINT pt;
    GetCursorPos(&pt);
    ::SetForegroundWindow(owner);
    TrackPopupMenu(submenu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    PostMessageA(owner, WM_NULL, 0, 0);
    DestroyMenu(submenu);
}

int CNewsMenu::SlotOfSubmenu(HMENU submenu) const
{
    for (int slot = 0; slot < kSiteCount; ++slot)
        if (submenu && m_submenus[slot] == submenu) return slot;
    return -1;
}

bool CNewsMenu::OnCommand(UINT command) const
{
    if (command < kNewsCommandFirst || command > kNewsCommandLast) return false;
    const size_t index = command - kNewsCommandFirst;
    if (index < m_targets.size()) OpenTarget(m_targets[index]);
    return true;
}

// As a double-click in Explorer: each shortcut's own verb, or the folder
// opened in Explorer. The user may have deleted a shortcut, or the folder,
// meanwhile: what has gone opens nothing.
void CNewsMenu::OpenTarget(const Target& target)
{
    const bool folder = target.action == ItemAction::openFolder;
    for (const std::wstring& path : target.paths) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if (folder != ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) continue;
        ShellExecuteW(nullptr, folder ? L"explore" : nullptr, path.c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    }
}
