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

    // Where settings would be kept; the application keeps none. Code page 936:
    // 应用程序向导生成的本地应用程序
    SetRegistryKey("\xD3\xA6\xD3\xC3\xB3\xCC\xD0\xF2\xCF\xF2\xB5\xBC\xC9\xFA\xB3\xC9"
                   "\xB5\xC4\xB1\xBE\xB5\xD8\xD3\xA6\xD3\xC3\xB3\xCC\xD0\xF2");

    CTarnwickDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The dialog has ended: returning FALSE ends the application without a message loop.
    return FALSE;
}
