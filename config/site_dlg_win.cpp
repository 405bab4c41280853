#include "config/site_dlg.h"

#include "framework/file.h"
#include "framework/file_dialog.h"
#include "res/resource.h"

namespace
{
// The chooser's title begins with an ideographic space (81 40 in Shift_JIS):
// "　ファイルの選択".
const char kChooserTitle[] = "\x81\x40\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x91\x49\x91\xF0";
const char kChooserFilter[] = "Wave Files(*.wav)|*.wav|All Files(*.*)|*.*||";
} // namespace

CSiteDlg::CSiteDlg(int index, CWnd* parent)
    : CDialog(IDD_SITE, parent), m_site(&g_sites.slots[index]), m_index(index)
{
}

INT_PTR CSiteDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_BUTTON_OK:
            OnButtonOk();
            return TRUE;
        case IDC_BUTTON_CANCEL:
            OnButtonCancel();
            return TRUE;
        case IDC_BUTTON_FILE:
            OnButtonFile();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CSiteDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Text(dx, IDC_EDIT_URL, m_url);
    DDX_Text(dx, IDC_EDIT_NAME, m_name);
    DDX_Text(dx, IDC_EDIT_SOUND, m_sound);
}

// Called when the dialog opens: show the slot's values.
BOOL CSiteDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_url = m_site->url;
    m_name = m_site->name;
    m_sound = m_site->sound;
    CString caption;
    caption.Format("Site %c", static_cast<char>('1' + m_index));
    SetWindowText(caption);
    UpdateData(FALSE);
    m_site->modified = 0;
    return TRUE;
}

// Called when the OK button is pressed: the only way the slot changes.
void CSiteDlg::OnButtonOk()
{
    UpdateData(TRUE);
    g_sites.SanitizeFileName(m_name);
    if (m_url != m_site->url || m_name != m_site->name || m_sound != m_site->sound)
        m_site->modified = 1;
    m_site->url = m_url;
    m_site->name = m_name;
    m_site->sound = m_sound;
    CDialog::OnOK();
}

// Called when the Cancel button is pressed.
void CSiteDlg::OnButtonCancel()
{
    CDialog::OnCancel();
}

// Called when the File button is pressed: choose the wave file.
void CSiteDlg::OnButtonFile()
{
    UpdateData(TRUE); // keep what was typed into the other fields
    CFileDialog chooser(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                        kChooserFilter, this);
    chooser.m_ofn.lpstrTitle = kChooserTitle;
    // The chooser may leave the process in whatever folder the user browsed
    // to, chosen or not; the current directory goes back to where it was.
    const CString current = GetCurrentDir();
    const INT_PTR chosen = chooser.DoModal();
    if (!current.IsEmpty()) SetCurrentDir(current);
    if (chosen != IDOK) return;
    m_sound = chooser.GetPathName();
    UpdateData(FALSE);
}
