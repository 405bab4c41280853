// Runs real fetches against a URL and reports what the owner window saw.
//
// The probe stands in for the main dialog: a hidden window receives the
// worker's messages, and on WM_FETCH_DONE it does what the result handler
// does with the task (take it, store a changed feed's time, free it). For each fetch it prints one
// JSON line: the message sequence (run-length coded), the task's fields, and the state of dl.dat at
// the moment WM_FETCH_DONE arrived. It is built as Tansy.exe in a folder of its own so that the
// session's agent name is the program's.
//
//   Tansy.exe --url URL [--last-modified N] [--fetches N]
//             [--cancel-at-start | --cancel-at-begin | --cancel-after N]
//             [--connect-ms N] [--send-ms N] [--receive-ms N] [--guard-ms N]
//   Tansy.exe --query-defaults     WinINet's own time-outs, then exit
//   Tansy.exe --url URL --show-date  the Last-Modified fields WinINet reports
//
// The cancel options act on the last fetch only, so that earlier fetches can
// store a feed time first. A changed feed's validators are sent back by the
// next fetch, as the program does.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fetch/fetch_messages.h"
#include "fetch/fetch_task.h"
#include "framework/inet.h"
#include "framework/window.h"

namespace
{
constexpr UINT_PTR kGuardTimer = 7;

struct Options {
    std::string url;
    long long lastModified = 0;
    int fetches = 1;
    bool cancelAtStart = false;
    bool cancelAtBegin = false;
    long cancelAfter = 0; // progress messages before cancel; 0 = never
    unsigned guardMs = 120000;
    bool queryDefaults = false;
    bool showDate = false;
};

Options g_options;
FetchTimeouts g_timeouts;
CWnd g_owner;
RunningFetch g_fetch;
long long g_storedFeedTime = 0;                       // what the result handler stored for the slot
FetchValidators g_validators;                         // what the next fetch sends back
std::vector<std::pair<std::string, long>> g_sequence; // message, repeat count
long g_progress = 0;
int g_fetchesDone = 0;
DWORD g_startTick = 0;

void Record(const char* name)
{
    if (!g_sequence.empty() && g_sequence.back().first == name)
        ++g_sequence.back().second;
    else
        g_sequence.emplace_back(name, 1);
}

std::string JsonString(const char* text)
{
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof(esc), "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string SequenceJson()
{
    std::string out = "[";
    for (size_t i = 0; i < g_sequence.size(); ++i) {
        if (i) out += ",";
        out += "[\"" + g_sequence[i].first + "\"," + std::to_string(g_sequence[i].second) + "]";
    }
    return out + "]";
}

// Size of dl.dat, -1 when missing, -2 when someone still holds it open.
long long DownloadFileState()
{
    HANDLE h = CreateFileA("dl.dat", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION ? -2 : -1;
    LARGE_INTEGER size = {};
    GetFileSizeEx(h, &size);
    CloseHandle(h);
    return size.QuadPart;
}

void Report(const FetchTask* task, const char* end)
{
    std::string line = "{\"end\":" + JsonString(end) + ",\"sequence\":" + SequenceJson() +
                       ",\"elapsed_ms\":" + std::to_string(GetTickCount() - g_startTick);
    if (task) {
        line += ",\"siteIndex\":" + std::to_string(task->siteIndex) +
                ",\"url\":" + JsonString(task->url) +
                ",\"fileName\":" + JsonString(task->fileName) +
                ",\"errorCode\":" + std::to_string(task->errorCode) +
                ",\"error\":" + (task->error ? "true" : "false") +
                ",\"cancel\":" + (task->cancel ? "true" : "false") +
                ",\"modified\":" + (task->modified ? "true" : "false") +
                ",\"lastModified\":" + std::to_string(task->lastModified) +
                ",\"dl_dat\":" + std::to_string(DownloadFileState());
    }
    std::printf("%s}\n", line.c_str());
    std::fflush(stdout);
}

bool IsLastFetch()
{
    return g_fetchesDone + 1 == g_options.fetches;
}

void BeginFetch()
{
    g_sequence.clear();
    g_progress = 0;
    g_startTick = GetTickCount();
    FetchRequest request;
    request.owner = &g_owner;
    request.siteIndex = 0;
    request.url = g_options.url.c_str();
    request.storedFeedTime = g_storedFeedTime;
    request.downloadPath = kDownloadFileName;
    request.timeouts = g_timeouts;
    request.validators = g_validators;
    g_fetch.Start(request);
    if (g_options.cancelAtStart && IsLastFetch()) g_fetch.Cancel();
}

// Called when the worker's last message arrives: what the main dialog does
// with the task, then the next fetch or the end.
void OnFetchDone()
{
    Record("DONE");
    const std::unique_ptr<FetchTask> task = g_fetch.TakeResult();
    Report(task.get(), "done");
    if (task && !task->cancel && !task->error && task->modified) {
        g_storedFeedTime = task->lastModified;
        g_validators = task->received;
    }
    if (++g_fetchesDone < g_options.fetches)
        BeginFetch();
    else
        PostQuitMessage(0);
}

LRESULT CALLBACK ProbeWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_FETCH_BEGIN:
        Record("BEGIN");
        if (g_options.cancelAtBegin && IsLastFetch()) g_fetch.Cancel();
        return 0;
    case WM_FETCH_PROGRESS:
        Record("PROGRESS");
        if (g_options.cancelAfter && ++g_progress == g_options.cancelAfter && IsLastFetch())
            g_fetch.Cancel();
        return 0;
    case WM_FETCH_DONE:
        OnFetchDone();
        return 0;
    case WM_TIMER:
        if (wParam == kGuardTimer) {
            Report(nullptr, "guard");
            ExitProcess(3);
        }
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void PrintDefaults()
{
    // A session opened as the program's session is.
    CInternetHandle session(
        InternetOpenA(AfxGetAppName(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    auto query = [&session](DWORD option) {
        DWORD value = 0;
        DWORD length = sizeof(value);
        InternetQueryOptionA(session.Get(), option, &value, &length);
        return value;
    };
    const DWORD connect = query(INTERNET_OPTION_CONNECT_TIMEOUT);
    const DWORD send = query(INTERNET_OPTION_SEND_TIMEOUT);
    const DWORD receive = query(INTERNET_OPTION_RECEIVE_TIMEOUT);
    std::printf("{\"connect_ms\":%lu,\"send_ms\":%lu,\"receive_ms\":%lu}\n", connect, send,
                receive);
    std::fflush(stdout);
}

// What WinINet makes of the response's Last-Modified header.
void PrintLastModified(const char* url)
{
    CInternetHandle session(
        InternetOpenA(AfxGetAppName(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    CInternetHandle response(InternetOpenUrlA(
        session.Get(), url, nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_BINARY, 0));
    SYSTEMTIME st = {};
    DWORD length = sizeof(st);
    const bool ok =
        response.Get() &&
        HttpQueryInfoA(response.Get(), HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &st,
                       &length, nullptr);
    std::printf("{\"ok\":%s,\"fields\":[%u,%u,%u,%u,%u,%u]}\n", ok ? "true" : "false", st.wYear,
                st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    std::fflush(stdout);
}

bool ParseArguments(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&]() {
            ++i;
            return std::strtoll(value, nullptr, 10);
        };
        if (arg == "--query-defaults")
            g_options.queryDefaults = true;
        else if (arg == "--show-date")
            g_options.showDate = true;
        else if (arg == "--cancel-at-start")
            g_options.cancelAtStart = true;
        else if (arg == "--cancel-at-begin")
            g_options.cancelAtBegin = true;
        else if (!value)
            return false;
        else if (arg == "--url") {
            g_options.url = value;
            ++i;
        } else if (arg == "--last-modified")
            g_options.lastModified = number();
        else if (arg == "--fetches")
            g_options.fetches = static_cast<int>(number());
        else if (arg == "--cancel-after")
            g_options.cancelAfter = static_cast<long>(number());
        else if (arg == "--guard-ms")
            g_options.guardMs = static_cast<unsigned>(number());
        else if (arg == "--connect-ms")
            g_timeouts.connectMs = static_cast<unsigned long>(number());
        else if (arg == "--send-ms")
            g_timeouts.sendMs = static_cast<unsigned long>(number());
        else if (arg == "--receive-ms")
            g_timeouts.receiveMs = static_cast<unsigned long>(number());
        else
            return false;
    }
    return true;
}

// A crash reports itself instead of waiting in Wine's debugger.
LONG WINAPI OnCrash(EXCEPTION_POINTERS* info)
{
    std::printf("{\"end\":\"crash\",\"code\":%lu,\"address\":\"%p\"}\n",
                info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    ExitProcess(4);
}

class CProbeApp : public CWinApp
{
  public:
    BOOL InitInstance() override
    {
        SetUnhandledExceptionFilter(OnCrash);
        if (!ParseArguments(__argc, __argv)) {
            std::fprintf(stderr, "bad arguments\n");
            ExitProcess(2);
        }
        if (g_options.showDate) {
            PrintLastModified(g_options.url.c_str());
            return FALSE;
        }
        if (g_options.queryDefaults) {
            PrintDefaults();
            return FALSE;
        }
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ProbeWndProc;
        wc.hInstance = m_hInstance;
        wc.lpszClassName = "TansyFetchProbe";
        RegisterClassA(&wc);
        g_owner.m_hWnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                       m_hInstance, nullptr);
        SetTimer(g_owner.m_hWnd, kGuardTimer, g_options.guardMs, nullptr);
        g_storedFeedTime = g_options.lastModified;
        BeginFetch();
        return TRUE; // the framework's message loop runs until the last fetch is done
    }
};

CProbeApp theApp;
} // namespace
