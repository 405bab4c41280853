// Resource ids of Tansy.
#pragma once

#define IDR_MAINFRAME 128  // application icon, 32 x 32
#define IDI_TRAY 133       // normal tray icon, 16 x 16
#define IDI_TRAY_ALERT 134 // tray icon shown while blinking after a change

#define IDD_TANSY_DIALOG 102 // the hidden main dialog
#define IDD_SITE 129         // site dialog
#define IDD_ABOUTBOX 132
#define IDR_TRAYMENU 130

#define IDC_BUTTON_OK 1012
#define IDC_BUTTON_CANCEL 1013
#define IDC_BUTTON_FILE 1014
#define IDC_EDIT_URL 1017
#define IDC_EDIT_NAME 1018
#define IDC_EDIT_SOUND 1019

#define IDM_ABOUT 32773
#define IDM_EXIT 32774
#define IDM_SITE1 32775
#define IDM_SITE2 32776
#define IDM_REFRESH 32777
#define IDM_SITE3 32780
#define IDM_SITE4 32781
#define IDM_SITE5 32782
#define IDM_SITE6 32783
#define IDM_SITE7 32784
#define IDM_SITE8 32785
#define IDM_SITE9 32786
#define IDM_STARTUP 32787
#define IDM_IMPORT 32788
#define IDM_EXPORT 32789

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
