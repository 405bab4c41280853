// The About box.
#pragma once

#include "framework/window.h"

class CAboutDlg : public CDialog
{
  public:
    CAboutDlg();

  protected:
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
