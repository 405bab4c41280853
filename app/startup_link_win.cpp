#include "app/startup_link_win.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "app/startup_link.h"
#include "framework/com_win.h"
#include "framework/find_handle_win.h"

namespace
{

class RegKey
{
  public:
    RegKey() = default;
    ~RegKey()
    {
        if (m_key) RegCloseKey(m_key);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY* out() { return &m_key; }
    HKEY get() const { return m_key; }

  private:
    HKEY m_key = nullptr;
};

CString ProgramPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return CString(path);
}

// The user's Startup folder with a final backslash; false when the shell
// names none or it does not exist (it is not made: Windows makes it).
bool StartupFolder(CString& folder)
{
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_STARTUP, FALSE)) return false;
    folder = path;
    folder += "\\"; // the shell gives the path without a final backslash
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Widen(const char* text)
{
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH);
    return wide;
}

// The target of a shell link file; empty when it is none or cannot be read.
CString LinkTarget(const CString& path)
{
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    char target[MAX_PATH] = {};
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.outVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())) ||
        FAILED(file->Load(Widen(path).c_str(), STGM_READ)) ||
        FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)))
        return CString();
    return CString(target);
}

bool ReadApproved(const char* linkName)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kStartupApprovedKey, 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return StartupApproved(false, nullptr, 0);
    unsigned char value[64] = {};
    DWORD size = sizeof value;
    const LONG result = RegQueryValueExA(key.get(), linkName, nullptr, nullptr, value, &size);
    // A value longer than any Windows writes still has its first byte read.
    if (result == ERROR_MORE_DATA) size = sizeof value;
    return StartupApproved(result == ERROR_SUCCESS || result == ERROR_MORE_DATA, value, size);
}

bool WriteApprovedOn(const char* linkName)
{
    RegKey key;
    return RegCreateKeyExA(HKEY_CURRENT_USER, kStartupApprovedKey, 0, nullptr, 0, KEY_SET_VALUE,
                           nullptr, key.out(), nullptr) == ERROR_SUCCESS &&
           RegSetValueExA(key.get(), linkName, 0, REG_BINARY, kStartupApprovedOn,
                          kStartupApprovedSize) == ERROR_SUCCESS;
}

StartupFolderState ReadState(const CString& folder, const CString& program)
{
    StartupFolderState state;
    state.ownNameApproved = ReadApproved(kStartupLinkName);
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(folder + "*.lnk", &found));
    if (!find.valid()) return state;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        StartupFolderLink link;
        link.fileName = found.cFileName;
        link.targetsProgram = lstrcmpiA(LinkTarget(folder + found.cFileName), program) == 0;
        link.approved = ReadApproved(found.cFileName);
        state.links.push_back(link);
    } while (FindNextFileA(find.get(), &found));
    return state;
}

// Writes the link into a file of the temporary folder and moves it into
// place: a link half-written inside the Startup folder would run at sign-in.
bool WriteLink(const CString& linkPath, const CString& program)
{
    char tempFolder[MAX_PATH] = {};
    char tempPath[MAX_PATH] = {};
    if (!GetTempPathA(MAX_PATH, tempFolder) || !GetTempFileNameA(tempFolder, "tsy", 0, tempPath))
        return false;
    const CString directory = program.Left(program.ReverseFind('\\') + 1);
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    const bool saved = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IShellLinkA, link.outVoid())) &&
                       SUCCEEDED(link->SetPath(program)) &&
                       SUCCEEDED(link->SetWorkingDirectory(directory)) &&
                       SUCCEEDED(link->SetIconLocation(program, 0)) &&
                       SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.outVoid())) &&
                       SUCCEEDED(file->Save(Widen(tempPath).c_str(), TRUE));
    if (saved && MoveFileExA(tempPath, linkPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        return true;
    DeleteFileA(tempPath);
    return false;
}

void ShowFailure(HWND owner, const char* what, const CString& folder)
{
    CString text = what;
    text += "\r\n\r\n";
    // The folder as Explorer shows it, without the final backslash.
    text += folder.IsEmpty() ? CString("(none)") : folder.Left(folder.GetLength() - 1);
    ::SetForegroundWindow(owner);
    MessageBoxA(owner, text, "Tansy", MB_OK | MB_ICONWARNING);
}

} // namespace

void ShowStartWithWindows(HMENU menu, UINT command)
{
    ComScope com;
    CString folder;
    const bool ticked =
        StartupFolder(folder) && StartsWithWindows(ReadState(folder, ProgramPath()));
    CheckMenuItem(menu, command, MF_BYCOMMAND | (ticked ? MF_CHECKED : MF_UNCHECKED));
}

BOOL ToggleStartWithWindows(HWND owner)
{
    ComScope com;
    CString folder;
    const CString program = ProgramPath();
    if (!StartupFolder(folder)) {
        ShowFailure(owner, "Tansy could not find your Startup folder:", folder);
        return TRUE;
    }
    const StartupChange change = PlanStartupToggle(ReadState(folder, program));
    if (change.writeLink) {
        if (!WriteLink(folder + kStartupLinkName, program)) {
            ShowFailure(owner, "Tansy could not put its shortcut into the Startup folder:", folder);
            return TRUE;
        }
        if (change.switchOn) WriteApprovedOn(kStartupLinkName);
    }
    bool deleted = true;
    for (const CString& name : change.deleteFiles)
        if (!DeleteFileA(folder + name)) deleted = false;
    if (!deleted)
        ShowFailure(owner, "Tansy could not take its shortcut out of the Startup folder:", folder);
    return TRUE;
}
