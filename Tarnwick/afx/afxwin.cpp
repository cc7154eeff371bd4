#include "afxwin.h"

namespace {

CWinApp* theOneApp = NULL;

// Command ids from here up to the system commands are application commands.
const UINT kFirstCommandId = 0x8000;
const UINT kFirstSystemCommandId = 0xF000;

}  // namespace

// ---- message maps

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, NULL}};
    static const AFX_MSGMAP messageMap = {NULL, entries};
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map != NULL;
         map = map->pfnGetBaseMap != NULL ? map->pfnGetBaseMap() : NULL) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn != NULL; ++entry) {
            if (entry->nMessage == nMessage && entry->nCode == nCode && entry->nID == nID)
                return entry;
        }
    }
    return NULL;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, UINT nCode)
{
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, nCode, nID);
    if (entry == NULL)
        return FALSE;
    entry->pfn(this);
    return TRUE;
}

// ---- windows

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(::SendMessageW(
        m_hWnd, WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

HWND CWnd::GetDlgItem(int nID) const
{
    return ::GetDlgItem(m_hWnd, nID);
}

void CWnd::CenterWindow()
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    const int x = work.left + (work.right - work.left - (window.right - window.left)) / 2;
    const int y = work.top + (work.bottom - work.top - (window.bottom - window.top)) / 2;
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::OnPaint()
{
    Default();
}

LRESULT CWnd::Default()
{
    return ::CallWindowProcW(m_pfnSuper, m_hWnd, m_msgCur.message, m_msgCur.wParam,
                             m_msgCur.lParam);
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WndProc)));
}

LRESULT CALLBACK CWnd::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    // Handlers may send further messages to the window; each keeps its own for Default.
    const CurrentMessage outer = wnd->m_msgCur;
    wnd->m_msgCur = {message, wParam, lParam};
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);
    wnd->m_msgCur = outer;
    if (message == WM_NCDESTROY) {
        // The window is gone: the object no longer stands for it, nor for the main window.
        wnd->m_hWnd = NULL;
        CWinApp* app = AfxGetApp();
        if (app != NULL && app->m_pMainWnd == wnd)
            app->m_pMainWnd = NULL;
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        // Menus and accelerators send no control handle; theirs are commands (code 0).
        const UINT code = lParam == 0 ? 0 : HIWORD(wParam);
        if (OnCmdMsg(LOWORD(wParam), code))
            return 0;
    } else if (const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, 0, 0)) {
        return entry->pfn(this);
    }
    return Default();
}

// ---- dialogs

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal()
{
    const HWND parent = m_pParentWnd != NULL ? m_pParentWnd->GetSafeHwnd() : NULL;
    return ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), parent,
                             &CDialog::DlgProc, reinterpret_cast<LPARAM>(this));
}

// Attaches the object when the dialog starts; from then on its messages reach the object through
// CWnd::WndProc first, and everything that no map handles comes back here and is left to Windows.
// The dialog starts centred on its screen; OnInitDialog may still place it elsewhere.
INT_PTR CALLBACK CDialog::DlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->Attach(hWnd);
    dialog->CenterWindow();
    return dialog->OnInitDialog();
}

BOOL CDialog::OnInitDialog()
{
    CDataExchange dx(this, FALSE);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

void CDialog::EndDialog(int nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

void CDialog::GotoDlgCtrl(HWND hWndCtrl)
{
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hWndCtrl), TRUE);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCmdMsg(UINT nID, UINT nCode)
{
    if (CWnd::OnCmdMsg(nID, nCode))
        return TRUE;
    if (nCode != 0 || nID < kFirstCommandId || nID >= kFirstSystemCommandId)
        return FALSE;
    CWinApp* app = AfxGetApp();
    return app != NULL && app->OnCmdMsg(nID, nCode);
}

// ---- painting

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd())
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON hIcon)
{
    return ::DrawIcon(m_hDC, x, y, hIcon);
}

// ---- the application

CWinApp::CWinApp(LPCWSTR lpszAppName) : m_pszAppName(lpszAppName)
{
    theOneApp = this;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey)
{
    ::lstrcpynW(m_registryKey, lpszRegistryKey, sizeof m_registryKey / sizeof m_registryKey[0]);
    m_pszRegistryKey = m_registryKey;
}

void CWinApp::OnHelp()
{
    // The application ships no help file, so the help command has nothing to open.
}

CWinApp* AfxGetApp()
{
    return theOneApp;
}

HINSTANCE AfxGetResourceHandle()
{
    return theOneApp != NULL ? theOneApp->m_hInstance : NULL;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (app == NULL)
        return 1;
    app->m_hInstance = hInstance;
    app->InitInstance();
    return app->ExitInstance();
}
