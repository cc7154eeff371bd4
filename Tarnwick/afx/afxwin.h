// The class-library layer that Tarnwick's application shell is written in: an application object
// whose InitInstance the program entry calls, modal dialogs built from dialog templates, static
// message maps chained to the base class's, and the few window, paint and rectangle helpers that
// go with them. Wide-character build: windows, resources and texts go through the UTF-16 calls,
// so that the templates' texts reach the screen unchanged on any system code page.
#pragma once

#include <windows.h>

#include "afxres.h"

#define afx_msg  // marks a member as a message handler

class CCmdTarget;
class CWnd;
class CWinApp;

// Calls one handler on the object the message was dispatched to and returns the message's result.
typedef LRESULT (*AFX_PMSG)(CCmdTarget* target);

// One message-map entry. For WM_COMMAND, nCode is the notification code (0 for commands and
// BN_CLICKED) and nID the command or control id; other messages match on nMessage alone.
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    AFX_PMSG pfn;  // NULL in the entry that ends the map
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // NULL for the root class
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* GetThisMessageMap();      \
    virtual const AFX_MSGMAP* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                            \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }     \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                       \
    {                                                                                     \
        using ThisClass [[maybe_unused]] = theClass;                                      \
        using TheBaseClass = baseClass;                                                   \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                                 \
            {0, 0, 0, NULL}                                                               \
        };                                                                                \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, entries};  \
        return &messageMap;                                                               \
    }

// void OnPaint()
#define ON_WM_PAINT()                                                                     \
    {WM_PAINT, 0, 0, [](CCmdTarget* target) -> LRESULT {                                  \
        static_cast<ThisClass*>(target)->OnPaint();                                       \
        return 0;                                                                         \
    }},

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                             \
    {WM_QUERYDRAGICON, 0, 0, [](CCmdTarget* target) -> LRESULT {                          \
        return reinterpret_cast<LRESULT>(static_cast<ThisClass*>(target)->OnQueryDragIcon()); \
    }},

// void memberFxn(), for WM_COMMAND with notification code wNotifyCode from control id
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                            \
    {WM_COMMAND, (WORD)(wNotifyCode), (WORD)(id), [](CCmdTarget* target) -> LRESULT {     \
        (static_cast<ThisClass*>(target)->*(memberFxn))();                                \
        return 0;                                                                         \
    }},

#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

// A command from a menu, an accelerator or a button has notification code 0, as BN_CLICKED.
#define ON_COMMAND(id, memberFxn) ON_CONTROL(0, id, memberFxn)

// An object that message-map entries dispatch to.
class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the handler that this class's map, or the nearest base class's, names for the command;
    // FALSE when none does.
    virtual BOOL OnCmdMsg(UINT nID, UINT nCode);

protected:
    // The handler entry for the message, searching from this class's map towards the root.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;

    DECLARE_MESSAGE_MAP()
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// A window whose messages go through the message maps of its class and its base classes; what no
// map handles goes to the window's own procedure.
class CWnd : public CCmdTarget {
public:
    CWnd() = default;

    HWND m_hWnd = NULL;

    HWND GetSafeHwnd() const { return m_hWnd; }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // The child window with control id nID, NULL when there is none. This layer keeps no window
    // objects for controls: it hands out their handles.
    HWND GetDlgItem(int nID) const;
    // Centres the window on the work area of the monitor that holds the most of it.
    void CenterWindow();

protected:
    afx_msg void OnPaint();  // the window's own painting

    // Hands the message being handled to the window's own procedure.
    LRESULT Default();

    // Routes window hWnd's messages through this object's message maps until it is destroyed.
    void Attach(HWND hWnd);

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = NULL;  // the window's procedure before Attach
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } m_msgCur = {0, 0, 0};
};

// Carries the direction of a dialog's data exchange to DoDataExchange.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;  // FALSE: members to controls; TRUE: controls to members
    CWnd* m_pDlgWnd;
};

// A modal dialog built from a dialog template in the application's resources. The Cancel command
// (the IDCANCEL button, Escape, the caption's close box) ends it with IDCANCEL.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);

    // Shows the dialog and returns when it has ended: the value given to EndDialog, or -1 when
    // the dialog could not be created.
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult);
    // Moves the focus to the control, as Tab does, which also makes a push button the default.
    void GotoDlgCtrl(HWND hWndCtrl);

    // Commands that the dialog's maps do not handle go on to the application.
    BOOL OnCmdMsg(UINT nID, UINT nCode) override;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    afx_msg void OnCancel();

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};

// Paints a window between BeginPaint and EndPaint.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC();

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon);

    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// The application. Its one instance is a global object; the program entry calls its InitInstance,
// which does the application's work, such as running the main dialog modally. The process ends
// when InitInstance returns (this layer has no message loop of its own), with the exit code that
// ExitInstance then gives.
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCWSTR lpszAppName = NULL);

    virtual BOOL InitInstance();
    virtual int ExitInstance();  // 0
    HICON LoadIcon(UINT nIDResource) const;
    afx_msg void OnHelp();

    LPCWSTR m_pszAppName;
    LPCWSTR m_pszRegistryKey = NULL;  // HKEY_CURRENT_USER\Software\<key>\<app> holds settings
    HINSTANCE m_hInstance = NULL;     // the module that holds the application's resources
    CWnd* m_pMainWnd = NULL;

protected:
    void SetRegistryKey(LPCWSTR lpszRegistryKey);

private:
    wchar_t m_registryKey[256] = L"";  // a registry key name has at most 255 characters
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();

// The program entry: called by wWinMain; runs the application object's InitInstance and returns
// the exit code of its ExitInstance.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);
