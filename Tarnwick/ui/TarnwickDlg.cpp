#include "TarnwickDlg.h"

#include "Uninstall.h"

CTarnwickDlg::CTarnwickDlg(CWnd* pParent) : CDialog(CTarnwickDlg::IDD, pParent)
{
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

void CTarnwickDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BEGIN_MESSAGE_MAP(CTarnwickDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDOK, &CTarnwickDlg::OnUninstall)
END_MESSAGE_MAP()

BOOL CTarnwickDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);   // big icon
    SetIcon(m_hIcon, FALSE);  // small icon

    return TRUE;  // Windows puts the focus on the first control: Uninstall
}

// A minimized dialog draws its icon in the middle of its client area itself.
void CTarnwickDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);

        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

        const int cxIcon = GetSystemMetrics(SM_CXICON);
        const int cyIcon = GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        const int x = (rect.Width() - cxIcon + 1) / 2;
        const int y = (rect.Height() - cyIcon + 1) / 2;

        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

// The cursor Windows shows while the user drags the minimized window.
HCURSOR CTarnwickDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

// The shell's progress and error windows, and the wait for another run's removal to end, keep the
// dialog's messages flowing while the procedure runs, so Uninstall is disabled until it ends, and a
// press that still gets here is ignored: a second run inside the first would delete what the first
// is still working through.
void CTarnwickDlg::OnUninstall()
{
    if (m_bUninstalling)
        return;
    m_bUninstalling = TRUE;
    const HWND uninstall = GetDlgItem(IDOK);
    ::EnableWindow(uninstall, FALSE);

    // A press that was closed while it waited for another run removed nothing.
    const int exitCode = RunUninstall(GetSafeHwnd());
    if (exitCode != ERROR_INSTALL_USEREXIT)
        m_nExitCode = exitCode;

    ::EnableWindow(uninstall, TRUE);
    GotoDlgCtrl(uninstall);  // a disabled button loses the focus; Enter presses it again
    m_bUninstalling = FALSE;
}
