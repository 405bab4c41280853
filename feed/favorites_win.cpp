// Site folders and Internet shortcuts over the real shell.
#include "feed/favorites.h"

#include <string>

#include "feed/favorites_mirror.h"

#include <windows.h>
#include <intshcut.h>
#include <objbase.h>
#include <shlobj.h>

#include "feed/site_folder_name.h"
#include "framework/com_win.h"
#include "framework/find_handle_win.h"

namespace
{

// The bytes of a shortcut's file name with a one-byte title ("x.url").
constexpr int kShortestShortcutBytes = 5;

// The current user's Favorites folder, looked up every time; empty when the
// shell cannot give it.
CString FavoritesFolder()
{
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(GetDesktopWindow(), path, CSIDL_FAVORITES, FALSE))
        return CString();
    return CString(path);
}

class FileHandle
{
  public:
    explicit FileHandle(HANDLE h) : m_h(h) {}
    ~FileHandle()
    {
        if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }

  private:
    HANDLE m_h;
};

std::wstring Widen(const char* text)
{
    // The ANSI code page, as the shortcut's save widens its path.
    std::wstring wide;
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units > 1) {
        wide.resize(units);
        MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], units);
        wide.resize(units - 1);
    }
    return wide;
}

} // namespace

std::string AnsiFileName(const std::wstring& text)
{
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string narrow(bytes, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], bytes, nullptr, nullptr);
    narrow.resize(bytes - 1);
    return narrow;
}

namespace
{

std::string Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// A file name in the forms the mirror plan compares: as the file system holds
// it, and upper-cased without regard to the user's locale as the file system
// compares names.
void FileSystemForms(const std::wstring& name, std::string& exact, std::string& key)
{
    std::wstring upper = name;
    if (!name.empty() &&
        !LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, name.data(), static_cast<int>(name.size()),
                      &upper[0], static_cast<int>(upper.size())))
        upper = name;
    exact = Bytes(name);
    key = Bytes(upper);
}

// Calls visit(file name) for every shortcut file of a folder path that ends
// in a backslash. Dot entries (".", "..", and files the user named with a
// leading dot), subfolders and files of other kinds are the user's. The
// folder is listed by wide names: a name outside the ANSI code page would
// come back altered and could stand for another file. False when the folder
// could not be listed (a folder always lists "." and "..").
template <class Visit> bool ForEachShortcutFile(const CString& folder, Visit visit)
{
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((Widen(folder) + L"*.*").c_str(), &data));
    if (!find.valid()) return false;
    do {
        const std::wstring name = data.cFileName;
        const size_t length = name.size();
        if (length < 4 || name[0] == L'.' || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        std::string extension;
        for (size_t i = length - 4; i < length; ++i)
            extension += name[i] < 0x80 ? static_cast<char>(name[i]) : '?';
        if (IsShortcutFileName(extension.c_str())) visit(name);
    } while (FindNextFileW(find.get(), &data));
    return true;
}

// Reads a shortcut file whole. Real shortcuts are a few hundred bytes; a
// larger file is not read and counts as one to rewrite.
bool ReadShortcutFile(const std::wstring& path, std::string& content)
{
    constexpr DWORD kMaxShortcutBytes = 64 * 1024;
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    content.resize(kMaxShortcutBytes + 1);
    DWORD read = 0;
    if (!ReadFile(file.get(), &content[0], kMaxShortcutBytes + 1, &read, nullptr) ||
        read > kMaxShortcutBytes)
        return false;
    content.resize(read);
    return true;
}

// What the feed calls for in the folder (a path that ends in a backslash):
// every item CreateItemShortcut would write. `writable` gets those items.
std::vector<WantedShortcut> WantedShortcuts(const CString& folder,
                                            const std::vector<ItemShortcut>& items,
                                            std::vector<const ItemShortcut*>* writable)
{
    std::vector<WantedShortcut> wanted;
    for (const ItemShortcut& item : items) {
        const CString file = item.title + ".url";
        if ((folder + file).GetLength() > kMaxSitePathBytes) continue;
        WantedShortcut entry;
        FileSystemForms(Widen(file), entry.name, entry.key);
        entry.url = item.link.str();
        wanted.push_back(entry);
        if (writable) writable->push_back(&item);
    }
    return wanted;
}

} // namespace

CString SiteFolderPath(const char* name)
{
    if (!NamesSiteFolder(name)) return CString();
    const CString favorites = FavoritesFolder();
    if (favorites.IsEmpty()) return CString();
    return favorites + "\\" + name;
}

bool ListSiteShortcuts(const char* name, std::wstring& folder, std::vector<std::wstring>& files)
{
    files.clear();
    const CString path = SiteFolderPath(name);
    folder = Widen(path + "\\");
    if (path.IsEmpty()) return false;
    return ForEachShortcutFile(path + "\\",
                               [&files](const std::wstring& file) { files.push_back(file); });
}

bool SiteFolderExists(const char* name)
{
    const CString path = SiteFolderPath(name);
    if (path.IsEmpty()) return false;
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(path, &data));
    return find.valid();
}

bool CreateSiteFolder(const char* name)
{
    const CString path = SiteFolderPath(name);
    if (path.IsEmpty() || path.GetLength() > kMaxSitePathBytes) return false;
    return CreateDirectoryA(path, nullptr) != FALSE;
}

void ClearSiteFolder(const char* name)
{
    const CString path = SiteFolderPath(name);
    if (path.IsEmpty()) return;
    const CString folder = path + "\\";
    const std::wstring wideFolder = Widen(folder);
    // A file that cannot be deleted (open, protected) stays as well.
    ForEachShortcutFile(folder, [&wideFolder](const std::wstring& file) {
        DeleteFileW((wideFolder + file).c_str());
    });
}

bool RemoveSiteFolder(const char* name)
{
    const CString path = SiteFolderPath(name);
    if (path.IsEmpty()) return false;
    return RemoveDirectoryA(path) != FALSE;
}

bool CreateItemShortcut(const char* name, const char* url, const char* title)
{
    const CString folder = SiteFolderPath(name);
    if (folder.IsEmpty()) return false;
    const int length = folder.GetLength() + CString(title).GetLength();
    if (length == 0 || length > kMaxSitePathBytes) return false;
    const CString path = folder + "\\" + title + ".url";
    WriteInternetShortcut(url, path);
    return true;
}

bool WriteInternetShortcut(const char* url, const char* path)
{
    const int length = CString(path).GetLength();
    if (length == 0 || length > kMaxSitePathBytes) return false;

    ComScope com;
    if (!com.ok()) return false;
    ComPtr<IUniformResourceLocatorA> link;
    if (FAILED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IUniformResourceLocatorA, link.outVoid())))
        return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid()))) return false;

    link->SetURL(url, 0);
    wchar_t widePath[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH);
    return SUCCEEDED(file->Save(widePath, TRUE));
}

bool MirrorSiteFolder(const char* name, const std::vector<ItemShortcut>& items)
{
    const CString path = SiteFolderPath(name);
    if (path.IsEmpty()) return false;
    const CString folder = path + "\\";

    // What the folder holds, read from the files themselves: the folder may
    // have been changed since the last run, by the user as well.
    const std::wstring wideFolder = Widen(folder);
    std::vector<std::wstring> foundFiles;
    std::vector<FoundShortcut> found;
    std::string content;
    const bool listed = ForEachShortcutFile(folder, [&](const std::wstring& file) {
        FoundShortcut entry;
        FileSystemForms(file, entry.name, entry.key);
        entry.urlKnown =
            ReadShortcutFile(wideFolder + file, content) && ReadShortcutUrl(content, entry.url);
        found.push_back(entry);
        foundFiles.push_back(file);
    });

    // What the feed calls for: every item CreateItemShortcut would write.
    std::vector<const ItemShortcut*> writable;
    const std::vector<WantedShortcut> wanted = WantedShortcuts(folder, items, &writable);

    // Every step is tried; the result tells whether all of them took. A
    // folder whose own path leaves no room for even a one-byte title cannot
    // take any item: unlike one item whose title is too long, that fails.
    bool complete = listed && (items.empty() ||
                               folder.GetLength() + kShortestShortcutBytes <= kMaxSitePathBytes);
    const MirrorPlan plan = PlanMirror(found, wanted);
    for (size_t index : plan.deletes)
        if (!DeleteFileW((wideFolder + foundFiles[index]).c_str()) &&
            GetLastError() != ERROR_FILE_NOT_FOUND)
            complete = false;
    for (const ShortcutWrite& write : plan.writes)
        if (!WriteInternetShortcut(writable[write.urlFrom]->link,
                                   folder + writable[write.nameFrom]->title + ".url"))
            complete = false;
    return complete;
}

std::vector<WantedShortcut> SiteWantedShortcuts(const char* name,
                                                const std::vector<ItemShortcut>& items)
{
    const CString path = SiteFolderPath(name);
    return WantedShortcuts(path.IsEmpty() ? path : path + "\\", items, nullptr);
}

FolderListing ListSiteFolder(const char* name)
{
    FolderListing listing;
    const CString path = SiteFolderPath(name);
    if (path.IsEmpty()) return listing;
    const std::wstring wideFolder = Widen(path + "\\");
    std::string content, exact;
    ForEachShortcutFile(path + "\\", [&](const std::wstring& file) {
        ListedShortcut entry;
        entry.name = AnsiFileName(file);
        FileSystemForms(file, exact, entry.key);
        entry.urlKnown =
            ReadShortcutFile(wideFolder + file, content) && ReadShortcutUrl(content, entry.url);
        listing.push_back(entry);
    });
    return listing;
}
