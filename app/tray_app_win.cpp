#include "app/tray_app.h"

#include "app/single_copy.h"
#include "app/tray_dlg.h"
#include "config/site_table.h"
#include "framework/file.h"

CTrayApp theApp;

BOOL CTrayApp::InitInstance()
{
    // This program file runs already: its copy opens its menu instead.
    if (HandOverToRunningCopy()) return FALSE;

    // The program's files (status.dat, log.txt, dl.dat) live beside it.
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    // Cut after the last backslash, keeping it: C:\Tools\Tansy.exe gives C:\Tools\.
    const CString program(path);
    const CString directory = program.Left(program.ReverseFind('\\') + 1);
    SetCurrentDir(directory);
    g_sites.directory = directory;

    CTrayDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
