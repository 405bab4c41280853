// The site dialog: edits the URL, the display name and the wave file of one
// slot.
#pragma once

#include "config/site_table.h"
#include "framework/window.h"

class CSiteDlg : public CDialog
{
  public:
    explicit CSiteDlg(int index, CWnd* parent = nullptr);

  protected:
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

  private:
    void OnButtonOk();
    void OnButtonCancel();
    void OnButtonFile();

    SiteEntry* m_site;
    CString m_url;
    CString m_name;
    CString m_sound;
    int m_index;
};
