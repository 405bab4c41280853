// tansyctl: drives a running Tansy from outside, through window messages, the
// way a user's clicks reach it, and reads what its windows show. Used by the
// Wine tests; prints UTF-8.
//
//   tansyctl wait TITLE MS          wait for a top-level window, print its handle
//   tansyctl gone TITLE MS          wait until no such window is left
//   tansyctl post TITLE MSG WP LP   post a message (numbers: decimal or 0x hex)
//   tansyctl postitem TITLE ID MSG WP LP  post a message to control ID
//   tansyctl command TITLE ID       post WM_COMMAND ID as a menu choice
//   tansyctl commandall TITLE ID    the same to every window of that title
//   tansyctl click TITLE ID         post the click of button ID in dialog TITLE
//   tansyctl settext TITLE ID TEXT  set the text of control ID
//   tansyctl show TITLE             print the window's style and its controls
//   tansyctl showall TITLE          the same for every window of that title, each
//                                   after a line "window=HANDLE"
//   tansyctl menu                   print the open popup menu window, if any
//   tansyctl menukey VK             post a key press to the open popup menu
//   tansyctl count TITLE            print how many top-level windows have that title
//   tansyctl trayicon TITLE has|remove  whether the window's tray icon (id 0) is
//                                   there, or take it away as a dying shell would
//   tansyctl taskbarcreated TITLE   post the shell's "TaskbarCreated" message
//   tansyctl rect TITLE             screen rectangle of any top-level window of that title
//   tansyctl tooltips               the text of every visible tooltip window, one a
//                                   line, with CR and LF written as \r and \n: "tip="
//                                   for a tooltip, "balloon=" for a balloon notice
//   tansyctl stats TITLE            print the handle, GDI and USER object counts and
//                                   the memory of the window's process
//   tansyctl redpixels TITLE        how many pixels of the window's client area are
//                                   clearly red (the alert tray icon shows)
//   tansyctl hold FILE SECONDS      open FILE (made if missing) without sharing, print
//                                   "held", keep it open that long
//
// TITLE may end in "|TEXT": then only windows of a process whose program path
// contains TEXT count, which tells apart two copies run from two folders.
// A TITLE of the form "0x..." is the handle showall printed.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>
#include <winternl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

std::string Utf8(const std::wstring& w)
{
    if (w.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    s.resize(static_cast<size_t>(n) - 1);
    return s;
}

std::wstring WindowText(HWND hwnd)
{
    wchar_t buf[1024] = {};
    // WM_GETTEXT reaches windows of a busy process only after it is free
    // again; a time-out keeps the tool from hanging on it.
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf),
                             SMTO_ABORTIFHUNG, 2000, &got))
        return L"";
    return buf;
}

std::wstring ClassName(HWND hwnd)
{
    wchar_t buf[256] = {};
    GetClassNameW(hwnd, buf, 256);
    return buf;
}

struct Search {
    const wchar_t* title;
    std::vector<HWND> found;
};

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = towlower(c);
    return s;
}

std::wstring ProgramPathOf(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return L"";
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(process, 0, path, &size)) path[0] = L'\0';
    CloseHandle(process);
    return path;
}

BOOL CALLBACK Collect(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    const std::wstring wanted = search->title;
    const size_t bar = wanted.find(L'|');
    wchar_t buf[512] = {};
    InternalGetWindowText(hwnd, buf, 512);
    if (wanted.compare(0, bar, buf) != 0 || ClassName(hwnd) != L"#32770") return TRUE;
    if (bar != std::wstring::npos &&
        Lower(ProgramPathOf(hwnd)).find(Lower(wanted.substr(bar + 1))) == std::wstring::npos)
        return TRUE;
    search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> FindAll(const wchar_t* title)
{
    Search search{title, {}};
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Find(const wchar_t* title)
{
    if (title[0] == L'0' && title[1] == L'x') {
        HWND hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(wcstoull(title, nullptr, 16)));
        return IsWindow(hwnd) ? hwnd : nullptr;
    }
    const std::vector<HWND> all = FindAll(title);
    return all.empty() ? nullptr : all.front();
}

HWND FindPopupMenu()
{
    HWND menu = nullptr;
    while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr)
        if (IsWindowVisible(menu)) return menu;
    return nullptr;
}

UINT_PTR Number(const wchar_t* text)
{
    return static_cast<UINT_PTR>(wcstoull(text, nullptr, 0));
}

HWND Require(const wchar_t* title)
{
    HWND hwnd = Find(title);
    if (!hwnd) {
        std::printf("no window \"%s\"\n", Utf8(title).c_str());
        std::exit(2);
    }
    return hwnd;
}

int Wait(const wchar_t* title, DWORD ms, bool present)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND hwnd = Find(title);
        if (present && hwnd) {
            std::printf("%p\n", static_cast<void*>(hwnd));
            return 0;
        }
        if (!present && !hwnd) return 0;
        if (GetTickCount() - start > ms) {
            std::printf("timeout\n");
            return 1;
        }
        Sleep(50);
    }
}

void Show(HWND hwnd)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    std::printf("title=%s\n", Utf8(WindowText(hwnd)).c_str());
    std::printf("visible=%d style=0x%08lx exstyle=0x%08lx rect=%ld,%ld,%ld,%ld\n",
                IsWindowVisible(hwnd) ? 1 : 0,
                static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_EXSTYLE)), r.left, r.top,
                r.right, r.bottom);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::printf("control id=%d class=%s style=0x%08lx text=%s\n", GetDlgCtrlID(child),
                    Utf8(ClassName(child)).c_str(),
                    static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE)),
                    Utf8(WindowText(child)).c_str());
    }
}

// The system's own view of a process: its handle count and private bytes.
// Wine answers these here while GetProcessHandleCount and the private
// usage of another process read 0 there.
bool SystemFigures(DWORD pid, ULONG& handles, SIZE_T& privateBytes)
{
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return false;
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    if (query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) <
        0)
        return false;
    for (size_t offset = 0;;) {
        const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(&buffer[offset]);
        if (reinterpret_cast<ULONG_PTR>(info->UniqueProcessId) == pid) {
            handles = info->HandleCount;
            privateBytes = info->PrivatePageCount;
            return true;
        }
        if (!info->NextEntryOffset) return false;
        offset += info->NextEntryOffset;
    }
}

// The figures a soak test watches for growth.
int Stats(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) {
        std::printf("cannot open process %lu\n", static_cast<unsigned long>(pid));
        return 1;
    }
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    CloseHandle(process);
    ULONG systemHandles = 0;
    SIZE_T systemPrivate = 0;
    SystemFigures(pid, systemHandles, systemPrivate);
    std::printf("pid=%lu handles=%lu syshandles=%lu gdi=%lu user=%lu private=%llu sysprivate=%llu "
                "workingset=%llu\n",
                static_cast<unsigned long>(pid), static_cast<unsigned long>(handles),
                static_cast<unsigned long>(systemHandles), static_cast<unsigned long>(gdi),
                static_cast<unsigned long>(user),
                static_cast<unsigned long long>(memory.PrivateUsage),
                static_cast<unsigned long long>(systemPrivate),
                static_cast<unsigned long long>(memory.WorkingSetSize));
    return 0;
}

// Keeps a file open with no sharing, as another program might.
int Hold(const wchar_t* path, DWORD seconds)
{
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("cannot open (error %lu)\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(seconds * 1000);
    CloseHandle(file);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 64;
    const std::wstring verb = argv[1];
    if (verb == L"wait" && argc == 4)
        return Wait(argv[2], static_cast<DWORD>(Number(argv[3])), true);
    if (verb == L"gone" && argc == 4)
        return Wait(argv[2], static_cast<DWORD>(Number(argv[3])), false);
    if (verb == L"trayicon" && argc == 4) {
        // The shell knows an icon by its window and id; modifying nothing
        // succeeds only while the icon is there.
        NOTIFYICONDATAW record = {};
        record.cbSize = NOTIFYICONDATAW_V1_SIZE;
        record.hWnd = Require(argv[2]);
        record.uID = 0;
        const std::wstring action = argv[3];
        const BOOL ok = Shell_NotifyIconW(action == L"remove" ? NIM_DELETE : NIM_MODIFY, &record);
        std::printf("%s\n", ok ? "yes" : "no");
        return ok ? 0 : 1;
    }
    if (verb == L"rect" && argc == 3) {
        HWND hwnd = FindWindowW(nullptr, argv[2]);
        RECT r;
        if (!hwnd || !GetWindowRect(hwnd, &r)) return 1;
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
    }
    if (verb == L"tooltips" && argc == 2) {
        HWND tip = nullptr;
        while ((tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)) != nullptr)
            if (IsWindowVisible(tip)) {
                std::string text;
                for (char c : Utf8(WindowText(tip)))
                    text += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
                const bool balloon = (GetWindowLongW(tip, GWL_STYLE) & TTS_BALLOON) != 0;
                std::printf("%s=%s\n", balloon ? "balloon" : "tip", text.c_str());
            }
        return 0;
    }
    if (verb == L"taskbarcreated" && argc == 3) {
        const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
        return PostMessageW(Require(argv[2]), message, 0, 0) ? 0 : 1;
    }
    if (verb == L"count" && argc == 3) {
        std::printf("%u\n", static_cast<unsigned>(FindAll(argv[2]).size()));
        return 0;
    }
    if (verb == L"post" && argc == 6) {
        return PostMessageW(Require(argv[2]), static_cast<UINT>(Number(argv[3])), Number(argv[4]),
                            static_cast<LPARAM>(Number(argv[5])))
                   ? 0
                   : 1;
    }
    if (verb == L"postitem" && argc == 7) {
        HWND control = GetDlgItem(Require(argv[2]), static_cast<int>(Number(argv[3])));
        return PostMessageW(control, static_cast<UINT>(Number(argv[4])), Number(argv[5]),
                            static_cast<LPARAM>(Number(argv[6])))
                   ? 0
                   : 1;
    }
    if (verb == L"command" && argc == 4) {
        return PostMessageW(Require(argv[2]), WM_COMMAND, LOWORD(Number(argv[3])), 0) ? 0 : 1;
    }
    if (verb == L"commandall" && argc == 4) {
        const std::vector<HWND> all = FindAll(argv[2]);
        for (HWND hwnd : all)
            PostMessageW(hwnd, WM_COMMAND, LOWORD(Number(argv[3])), 0);
        std::printf("%u\n", static_cast<unsigned>(all.size()));
        return all.empty() ? 2 : 0;
    }
    if (verb == L"click" && argc == 4) {
        HWND dialog = Require(argv[2]);
        const int id = static_cast<int>(Number(argv[3]));
        HWND button = GetDlgItem(dialog, id);
        return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                            reinterpret_cast<LPARAM>(button))
                   ? 0
                   : 1;
    }
    if (verb == L"settext" && argc == 5) {
        HWND control = GetDlgItem(Require(argv[2]), static_cast<int>(Number(argv[3])));
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]),
                                   SMTO_ABORTIFHUNG, 5000, &result)
                   ? 0
                   : 1;
    }
    if (verb == L"showall" && argc == 3) {
        for (HWND hwnd : FindAll(argv[2])) {
            std::printf("window=0x%llx\n",
                        static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
            Show(hwnd);
        }
        return 0;
    }
    if (verb == L"show" && argc == 3) {
        Show(Require(argv[2]));
        return 0;
    }
    if (verb == L"stats" && argc == 3) return Stats(Require(argv[2]));
    if (verb == L"hold" && argc == 4) return Hold(argv[2], static_cast<DWORD>(Number(argv[3])));
    if (verb == L"redpixels" && argc == 3) {
        HWND hwnd = FindWindowW(nullptr, argv[2]);
        // The client area only: a frame Wine draws itself carries its red logo.
        RECT r;
        if (!hwnd || !GetClientRect(hwnd, &r)) return 1;
        MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
        const int w = r.right - r.left, h = r.bottom - r.top;
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        unsigned red = 0;
        const unsigned char* p = static_cast<const unsigned char*>(bits); // blue, green, red, 0
        for (int i = 0; bits && i < w * h; ++i, p += 4)
            red += p[2] > 100 && p[2] > 2 * p[1] + 20 && p[2] > 2 * p[0] + 20;
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        std::printf("%u\n", red);
        return 0;
    }
    if (verb == L"menu" && argc == 2) {
        HWND menu = FindPopupMenu();
        if (!menu) {
            std::printf("none\n");
            return 1;
        }
        RECT r;
        GetWindowRect(menu, &r);
        std::printf("menu rect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
    }
    if (verb == L"menukey" && argc == 3) {
        HWND menu = FindPopupMenu();
        if (!menu) return 1;
        const WPARAM vk = Number(argv[2]);
        PostMessageW(menu, WM_KEYDOWN, vk, 0);
        return 0;
    }
    std::printf("bad arguments\n");
    return 64;
}
