#include "app/single_copy.h"

#include <string>

#include "app/messages.h"
#include "framework/window.h"

namespace
{

constexpr char kMainWindowTitle[] = "Tansy";
constexpr char kDialogClass[] = "#32770";
// How long a second start looks for the window of a copy that holds the
// claim but is still starting up.
constexpr int kWindowLookups = 50;
constexpr DWORD kWindowLookupMs = 100;

// The claim, held from the first start's beginning to its end.
class NamedMutex
{
  public:
    NamedMutex() = default;
    ~NamedMutex()
    {
        if (m_h) CloseHandle(m_h);
    }
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    // Opens or makes the mutex; true when it existed already.
    bool CreateExisting(const std::string& name)
    {
        m_h = CreateMutexA(nullptr, FALSE, name.c_str());
        return m_h && GetLastError() == ERROR_ALREADY_EXISTS;
    }

  private:
    HANDLE m_h = nullptr;
};

NamedMutex g_claim;

// The mutex's name, made from the program's full path as the file system
// compares it: in upper case (two-byte characters left whole), and without
// backslashes, which a name of the session's namespace may not hold. A path
// holds no "/", so no two paths give one name.
std::string ClaimName(const char* program)
{
    std::string path = program;
    if (!path.empty()) CharUpperBuffA(&path[0], static_cast<DWORD>(path.size()));
    for (char& c : path)
        if (c == '\\') c = '/';
    return "Local\\Tansy " + path;
}

struct WindowSearch {
    const char* program;
    HWND found;
};

// A main dialog of another process that runs the same program file.
BOOL CALLBACK FindCopyWindow(HWND window, LPARAM param)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(param);
    char title[16] = {};
    char className[16] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    // The main dialog has no owner; its message boxes share its title and class.
    if (process == GetCurrentProcessId() || GetWindow(window, GW_OWNER) ||
        !GetWindowTextA(window, title, sizeof title) || lstrcmpA(title, kMainWindowTitle) != 0 ||
        !GetClassNameA(window, className, sizeof className) ||
        lstrcmpA(className, kDialogClass) != 0)
        return TRUE;
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!handle) return TRUE;
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const bool same =
        QueryFullProcessImageNameA(handle, 0, path, &size) && lstrcmpiA(path, search.program) == 0;
    CloseHandle(handle);
    if (!same) return TRUE;
    search.found = window;
    return FALSE;
}

} // namespace

bool HandOverToRunningCopy()
{
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (!g_claim.CreateExisting(ClaimName(program))) return false;

    WindowSearch search{program, nullptr};
    for (int i = 0; i < kWindowLookups && !search.found; ++i) {
        if (i > 0) Sleep(kWindowLookupMs);
        EnumWindows(FindCopyWindow, reinterpret_cast<LPARAM>(&search));
    }
    if (search.found) {
        DWORD process = 0;
        GetWindowThreadProcessId(search.found, &process);
        // The running copy is to come to the front with its menu.
        AllowSetForegroundWindow(process);
        PostMessageA(search.found, WM_TRAYNOTIFY, 0, WM_LBUTTONUP);
    }
    return true;
}
