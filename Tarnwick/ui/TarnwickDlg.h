#pragma once

#include "afxwin.h"
#include "resource.h"

// The main dialog: the notice, the Uninstall button that runs the uninstall procedure, and Close.
class CTarnwickDlg : public CDialog {
public:
    explicit CTarnwickDlg(CWnd* pParent = NULL);

    enum { IDD = IDD_TARNWICK_DIALOG };

    // What the last press of Uninstall that removed, or found the lock busy, gave; 1602 (the user
    // cancelled) until one has.
    int ExitCode() const { return m_nExitCode; }

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnUninstall();

    DECLARE_MESSAGE_MAP()

    HICON m_hIcon;  // shared icon from the resources: Windows releases it, not the dialog
    BOOL m_bUninstalling = FALSE;  // OnUninstall is running
    int m_nExitCode = ERROR_INSTALL_USEREXIT;
};
