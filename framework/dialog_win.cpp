// Modal dialogs from resource templates.
#include "framework/window.h"

CString CWnd::GetDlgItemText(int id) const
{
    HWND item = ::GetDlgItem(m_hWnd, id);
    const int length = item ? ::GetWindowTextLengthA(item) : 0;
    if (length <= 0) return CString();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(item, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return CString(std::move(text));
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    if (dx->m_bSaveAndValidate)
        value = dx->m_pDlgWnd->GetDlgItemText(id);
    else
        dx->m_pDlgWnd->SetDlgItemText(id, value);
}

INT_PTR CDialog::DoModal()
{
    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId),
                             m_parent ? m_parent->m_hWnd : nullptr, StaticDialogProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate != FALSE);
    DoDataExchange(&dx);
    return TRUE;
}

INT_PTR CDialog::Handled(LRESULT result)
{
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        // The dialog manager sends IDOK for Enter and IDCANCEL for Escape
        // and the close box.
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* dialog;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        dialog->m_hWnd = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
    } else {
        dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!dialog) return FALSE;
    // No exception may cross into the dialog manager.
    try {
        const INT_PTR result = dialog->WindowProc(message, wParam, lParam);
        if (message == WM_NCDESTROY) dialog->m_hWnd = nullptr;
        return result;
    } catch (...) {
        return FALSE;
    }
}
