#include "app/tray_app.h"

#include "app/tray_dlg.h"
#include "config/site_table.h"
#include "framework/file.h"

CTrayApp theApp;

BOOL CTrayApp::InitInstance()
{
    // The program's files (status.dat, log.txt, dl.dat) live beside it.
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    CString directory(path);
    int cut = 0;
    for (int pos = directory.Find('\\'); pos >= 0; pos = directory.Find('\\', pos + 1))
        cut = pos + 1;
    directory = directory.Left(cut);
    SetCurrentDir(directory);
    g_sites.directory = directory;

    CTrayDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
