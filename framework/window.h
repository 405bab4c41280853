// The small application framework Tansy is written against: an application
// object, windows, and modal dialogs built from resource templates.
//
// A dialog's messages arrive in its virtual WindowProc, which each dialog
// writes as one flat switch (its message map) ending in the base class's
// WindowProc. WindowProc follows the dialog-procedure convention: it returns
// TRUE when it handled the message (Handled() also stores a result) and FALSE
// to let the dialog manager do the default processing.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

class CWnd
{
  public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    CString GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const char* text) { ::SetDlgItemTextA(m_hWnd, id, text); }

    HWND m_hWnd = nullptr;
};

// Moves the text of edit controls to and from CString members.
class CDataExchange
{
  public:
    CDataExchange(CWnd* dlg, bool saveAndValidate)
        : m_pDlgWnd(dlg), m_bSaveAndValidate(saveAndValidate)
    {
    }
    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: controls -> members
};

void DDX_Text(CDataExchange* dx, int id, CString& value);

class CDialog : public CWnd
{
  public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr)
        : m_templateId(templateId), m_parent(parent)
    {
    }

    // Runs the dialog modally; returns the value given to EndDialog, or -1
    // when the dialog could not be created.
    INT_PTR DoModal();

    // Called when the dialog has been created, before it is shown.
    virtual BOOL OnInitDialog();
    // The default accept and cancel operations: end the dialog.
    virtual void OnOK();
    virtual void OnCancel();

    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }
    // true: controls -> members; false: members -> controls.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

  protected:
    virtual INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void DoDataExchange(CDataExchange*) {}
    // Marks a message as handled with the given result.
    INT_PTR Handled(LRESULT result = 0);

  private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    CWnd* m_parent;
};

class CWinApp
{
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Called once at start-up. Returning false ends the program without a
    // message loop of its own.
    virtual BOOL InitInstance() { return TRUE; }

    HINSTANCE m_hInstance = nullptr;
    CString m_appName; // program file's base name without extension
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
const char* AfxGetAppName();
