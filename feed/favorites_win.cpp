// Site folders and Internet shortcuts over the real shell.
#include "feed/favorites.h"

#include <windows.h>
#include <intshcut.h>
#include <objbase.h>
#include <shlobj.h>

#include "feed/site_folder_name.h"

namespace
{

// The current user's Favorites folder, looked up every time; empty when the
// shell cannot give it.
CString FavoritesFolder()
{
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(GetDesktopWindow(), path, CSIDL_FAVORITES, FALSE))
        return CString();
    return CString(path);
}

// Favorites path, backslash, site name; empty when there is no Favorites
// folder or the name names no site folder.
CString SiteFolderPath(const char* name)
{
    if (!NamesSiteFolder(name)) return CString();
    const CString favorites = FavoritesFolder();
    if (favorites.IsEmpty()) return CString();
    return favorites + "\\" + name;
}

class FindHandle
{
  public:
    explicit FindHandle(HANDLE h) : m_h(h) {}
    ~FindHandle()
    {
        if (m_h != INVALID_HANDLE_VALUE) FindClose(m_h);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }

  private:
    HANDLE m_h;
};

// CoInitialize for one shortcut, balanced on the way out.
class ComScope
{
  public:
    ComScope() : m_hr(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool ok() const { return SUCCEEDED(m_hr); } // S_FALSE (already initialised) is success

  private:
    HRESULT m_hr;
};

template <class T> class ComPtr
{
  public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (m_p) m_p->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** out() { return &m_p; }
    void** outVoid() { return reinterpret_cast<void**>(&m_p); }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

  private:
    T* m_p = nullptr;
};

} // namespace

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
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(folder + "*.*", &data));
    if (!find.valid()) return;
    do {
        // Dot entries (".", "..", and files the user named with a leading
        // dot) stay; so do subfolders and files that cannot be deleted.
        if (data.cFileName[0] == '.') continue;
        DeleteFileA(folder + data.cFileName);
    } while (FindNextFileA(find.get(), &data));
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
    file->Save(widePath, TRUE);
    return true;
}
