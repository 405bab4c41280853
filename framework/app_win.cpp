// The process entry point and the application object's start-up.
#include "framework/window.h"

namespace
{
CWinApp* g_app = nullptr;

// The base name of the program file without directory and extension.
CString ProgramBaseName()
{
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    const CString path(buffer);
    const CString name = path.Mid(path.ReverseFind('\\') + 1);
    const int dot = name.ReverseFind('.');
    return dot >= 0 ? name.Left(dot) : name;
}
} // namespace

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app ? g_app->m_hInstance : GetModuleHandleA(nullptr);
}

const char* AfxGetAppName()
{
    return g_app ? g_app->m_appName.GetString() : "";
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (!g_app) return 1;
    g_app->m_hInstance = instance;
    g_app->m_appName = ProgramBaseName();
    try {
        if (!g_app->InitInstance()) return 0;
    } catch (...) {
        return 1;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
