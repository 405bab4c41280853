#include "app/site_list.h"

#include <string>
#include <vector>

#include "app/site_menu.h"
#include "config/opml_read.h"
#include "config/opml_write.h"
#include "config/site_import.h"
#include "config/site_table.h"
#include "feed/favorites.h"
#include "framework/file.h"
#include "framework/file_dialog.h"
#include "framework/local_time.h"
#include "res/resource.h"

namespace
{

// The slots' text is Shift_JIS whatever the system's code page, as the
// import reads it.
constexpr UINT kSiteTextCodePage = 932;
const char kMessageTitle[] = "Tansy";
const char kOpmlFilter[] = "OPML files (*.opml;*.xml)|*.opml;*.xml|All files (*.*)|*.*||";

std::wstring Widen(UINT codePage, const char* text)
{
    std::wstring wide;
    const int units = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (units > 1) {
        wide.resize(static_cast<size_t>(units));
        MultiByteToWideChar(codePage, 0, text, -1, &wide[0], units);
        wide.resize(static_cast<size_t>(units) - 1);
    }
    return wide;
}

std::string Utf8(const CString& text)
{
    const std::wstring wide = Widen(kSiteTextCodePage, text);
    if (wide.empty()) return std::string();
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(bytes) - 1);
    return utf8;
}

// The Favorites folder's names, as the file system compares them.
class FavoritesFolders : public SiteFolders
{
  public:
    std::string FolderKey(const CString& text) const override
    {
        // The ANSI code page, as the folders are made; upper-cased without
        // regard to the user's locale, as the file system compares names.
        const std::wstring name = Widen(CP_ACP, text);
        std::wstring upper = name;
        if (!name.empty() &&
            !LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, name.data(),
                          static_cast<int>(name.size()), &upper[0], static_cast<int>(upper.size())))
            upper = name;
        return std::string(reinterpret_cast<const char*>(upper.data()),
                           upper.size() * sizeof(wchar_t));
    }
    bool FolderExists(const CString& name) const override { return SiteFolderExists(name); }
};

// Marks one of the commands' dialogs (file dialog or message box) as open
// for as long as the command runs: the tray menu stays usable meanwhile.
class OpenDialogScope
{
  public:
    explicit OpenDialogScope(bool& open) : m_open(open) { m_open = true; }
    ~OpenDialogScope() { m_open = false; }
    OpenDialogScope(const OpenDialogScope&) = delete;
    OpenDialogScope& operator=(const OpenDialogScope&) = delete;

  private:
    bool& m_open;
};

void ShowMessage(const CString& text, UINT icon)
{
    MessageBoxA(nullptr, text, kMessageTitle, MB_OK | icon | MB_SETFOREGROUND);
}

} // namespace

void CSiteList::ShowMenuState(HMENU menu) const
{
    const SiteListMenuState state = SiteListMenu(DialogOpen(), g_sites);
    EnableMenuItem(menu, IDM_IMPORT, MF_BYCOMMAND | (state.importEnabled ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, IDM_EXPORT, MF_BYCOMMAND | (state.exportEnabled ? MF_ENABLED : MF_GRAYED));
}

// Runs the open or save dialog; false when the user cancelled it.
bool CSiteList::AskForFile(bool open, CString& path)
{
    const DWORD flags = open ? OFN_FILEMUSTEXIST | OFN_HIDEREADONLY
                             : OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    CFileDialog chooser(open ? TRUE : FALSE, "opml", open ? nullptr : "Tansy.opml", flags,
                        kOpmlFilter);
    chooser.m_ofn.lpstrTitle = open ? "Import sites" : "Export sites";
    // The dialog may leave the process in whatever folder the user browsed
    // to; the current directory goes back to where it was.
    const CString current = GetCurrentDir();
    const INT_PTR chosen = chooser.DoModal();
    if (!current.IsEmpty()) SetCurrentDir(current);
    if (chosen != IDOK) return false;
    path = chooser.GetPathName();
    return true;
}

// The Import sites command: the feeds of an OPML file into the free slots.
BOOL CSiteList::OnImport()
{
    if (!SiteListMenu(DialogOpen(), g_sites).importEnabled) return TRUE;
    const OpenDialogScope open(m_dialogOpen);
    CString path;
    if (!AskForFile(true, path)) return TRUE;
    std::vector<OpmlOutline> outlines;
    const OpmlFileStatus status = ReadOpmlFile(path, outlines);
    if (status == OpmlFileStatus::tooLarge) {
        ShowMessage(path + " is larger than 1 MiB: no site was added.", MB_ICONWARNING);
        return TRUE;
    }
    if (status == OpmlFileStatus::unreadable) {
        ShowMessage(path + " could not be read: no site was added.", MB_ICONWARNING);
        return TRUE;
    }
    if (outlines.empty()) {
        ShowMessage("No feeds found in " + path + ".", MB_ICONWARNING);
        return TRUE;
    }
    const ImportReport report = ImportSites(g_sites.slots, outlines, FavoritesFolders());
    if (!report.added.empty()) {
        for (const int slot : report.added)
            m_news.Forget(slot);
        g_sites.Save();
        m_poll.OnSitesImported(report.added);
    }
    ShowMessage(ImportReportText(report), MB_ICONINFORMATION);
    return TRUE;
}

// The Export sites command: the used slots into an OPML file.
BOOL CSiteList::OnExport()
{
    if (!SiteListMenu(DialogOpen(), g_sites).exportEnabled) return TRUE;
    const OpenDialogScope open(m_dialogOpen);
    CString path;
    if (!AskForFile(false, path)) return TRUE;
    std::vector<OpmlSite> sites;
    for (const SiteEntry& slot : g_sites.slots)
        if (!slot.url.IsEmpty()) sites.push_back({Utf8(slot.name), Utf8(slot.url)});
    if (!SaveOpmlFile(path, OpmlDocument(sites, ClockSeconds())))
        ShowMessage("The sites could not be written to " + path + ".", MB_ICONWARNING);
    return TRUE;
}
