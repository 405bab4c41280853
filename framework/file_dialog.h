// The platform's open-file chooser.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "framework/cstring.h"
#include "framework/window.h"

class CFileDialog
{
  public:
    // `filter` uses the "Text|*.txt|All|*.*||" form. Flags are OFN_ flags.
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr,
                const char* fileName = nullptr, DWORD flags = 0, const char* filter = nullptr,
                CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    CString GetPathName() const { return CString(m_path); }

    OPENFILENAMEA m_ofn;

  private:
    BOOL m_open;
    std::string m_filter;
    char m_path[MAX_PATH];
};
