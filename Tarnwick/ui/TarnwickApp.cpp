#include "TarnwickApp.h"

#include "TarnwickDlg.h"

BEGIN_MESSAGE_MAP(CTarnwickApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CTarnwickApp::CTarnwickApp() : CWinApp(NULL)
{
}

CTarnwickApp theApp;

BOOL CTarnwickApp::InitInstance()
{
    CWinApp::InitInstance();

    // Where settings would be kept; the application keeps none.
    SetRegistryKey(L"应用程序向导生成的本地应用程序");

    CTarnwickDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The dialog has ended: returning FALSE ends the application without a message loop.
    return FALSE;
}
