#include "app/about_dlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

INT_PTR CAboutDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_HELP:
        return Handled(0); // F1 shows no help
    default:
        return CDialog::WindowProc(message, wParam, lParam);
    }
}
