#include "app/news_menu.h"

#include <shellapi.h>

#include "app/item_menu.h"
#include "app/site_menu.h"
#include "feed/favorites.h"

void CNewsMenu::Insert(HMENU popup, const SiteTable& sites, const PollCycle& poll,
                       const SiteNews& news)
{
    m_targets.clear();
    UINT position = 0;
    for (int slot = 0; slot < kSiteCount; ++slot) {
        m_submenus[slot] = nullptr;
        const SiteEntry& site = sites.slots[slot];
        if (site.url.IsEmpty() || site.name.IsEmpty()) continue;

        std::wstring folder;
        std::vector<std::wstring> wideFiles;
        const bool folderExists = ListSiteShortcuts(site.name, folder, wideFiles);
        std::vector<CString> files;
        for (const std::wstring& file : wideFiles)
            files.emplace_back(AnsiFileName(file));
        const std::vector<ItemMenuRow> rows =
            SiteItemRows(files, folderExists, news.WrittenFiles(slot), news.MarkedKeys(slot));

        HMENU submenu = CreatePopupMenu();
        if (!submenu) continue;
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
                const std::wstring path = row.action == ItemAction::openItem
                                              ? folder + wideFiles[row.file]
                                              : folder.substr(0, folder.size() - 1);
                m_targets.push_back({row.action == ItemAction::openFolder, path});
            } else {
                flags |= MF_GRAYED;
            }
            AppendMenuA(submenu, flags, id, row.caption);
        }
        const UINT mark = AnyRowChecked(rows) ? MF_CHECKED : 0;
        const CString caption = SiteMenuText(slot, site, poll.LastFetchFailed(slot));
        InsertMenuA(popup, position++, MF_BYPOSITION | MF_POPUP | MF_STRING | mark,
                    reinterpret_cast<UINT_PTR>(submenu), caption);
        m_submenus[slot] = submenu;
    }
    if (position > 0) InsertMenuA(popup, position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
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
    if (index >= m_targets.size()) return true;
    const Target& target = m_targets[index];
    // The user may have deleted the shortcut, or the folder, meanwhile.
    const DWORD attributes = GetFileAttributesW(target.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (target.folder != ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) return true;
    // As a double-click in Explorer: the shortcut's own verb, or the folder
    // opened in Explorer.
    ShellExecuteW(nullptr, target.folder ? L"explore" : nullptr, target.path.c_str(), nullptr,
                  nullptr, SW_SHOWNORMAL);
    return true;
}
