#include "app/tray_notice.h"

#include <shellapi.h>

bool ShowTrayNotice(HWND window, UINT iconId, const TrayNotice& notice)
{
    NOTIFYICONDATAA record = {};
    record.cbSize = sizeof record;
    record.hWnd = window;
    record.uID = iconId;
    record.uFlags = NIF_INFO;
    lstrcpynA(record.szInfoTitle, notice.title, sizeof record.szInfoTitle);
    lstrcpynA(record.szInfo, notice.text, sizeof record.szInfo);
    record.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND | NIIF_RESPECT_QUIET_TIME;
    return Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}
