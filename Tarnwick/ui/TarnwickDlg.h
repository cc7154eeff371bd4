#pragma once

#include "afxwin.h"
#include "resource.h"

// The main dialog: the notice, the Uninstall button that runs the uninstall procedure, and Close.
class CTarnwickDlg : public CDialog {
public:
    explicit CTarnwickDlg(CWnd* pParent = NULL);

    enum { IDD = IDD_TARNWICK_DIALOG };

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnUninstall();

    DECLARE_MESSAGE_MAP()

    HICON m_hIcon;  // shared icon from the resources: Windows releases it, not the dialog
    BOOL m_bUninstalling = FALSE;  // OnUninstall is running
};
