// The application object.
#pragma once

#include "framework/window.h"

class CTrayApp : public CWinApp
{
  public:
    // Makes the program's directory current, then runs the hidden main dialog
    // as the program's only message loop. Always returns false: when the
    // dialog ends, the program ends.
    BOOL InitInstance() override;
};
