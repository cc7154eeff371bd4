// The class-library layer: message-map dispatch and chaining, modal dialogs and their default
// cancel handling, and the application object with its program entry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AfxTestIds.h"
#include "StepRunner.h"
#include "afxwin.h"

namespace {

// The handlers that ran, in order; paint handlers only count, as Windows paints when it likes.
std::vector<std::string> calls;
int paints = 0;

class CTestApp : public CWinApp {
public:
    CTestApp() : CWinApp("Tarnwick layer tests") {}

    BOOL InitInstance() override
    {
        ++initInstanceCalls;
        instanceAtInit = m_hInstance;
        return FALSE;
    }

    using CWinApp::SetRegistryKey;

    int initInstanceCalls = 0;
    HINSTANCE instanceAtInit = NULL;

protected:
    afx_msg void OnAppCommand() { calls.push_back("app command"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestApp, CWinApp)
    ON_COMMAND(ID_TEST_APP_COMMAND, &CTestApp::OnAppCommand)
END_MESSAGE_MAP()

CTestApp theTestApp;

class CBaseDlg : public CDialog {
public:
    explicit CBaseDlg(UINT nIDTemplate = IDD_TEST) : CDialog(nIDTemplate) {}

protected:
    afx_msg void OnSecond() { calls.push_back("base second"); }
    afx_msg void OnShared() { calls.push_back("base shared"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDlg, CDialog)
    ON_BN_CLICKED(IDC_SECOND, &CBaseDlg::OnSecond)
    ON_BN_CLICKED(IDC_SHARED, &CBaseDlg::OnShared)
END_MESSAGE_MAP()

const HCURSOR kDragCursor = reinterpret_cast<HCURSOR>(0x1234);

class CDerivedDlg : public CBaseDlg {
public:
    std::vector<CDataExchange> exchanges;

protected:
    void DoDataExchange(CDataExchange* pDX) override { exchanges.push_back(*pDX); }

    afx_msg void OnFirst() { calls.push_back("first"); }
    afx_msg void OnShared() { calls.push_back("derived shared"); }
    afx_msg void OnTestCommand() { calls.push_back("command"); }
    afx_msg void OnPaint()
    {
        ++paints;
        CDialog::OnPaint();
    }
    afx_msg HCURSOR OnQueryDragIcon()
    {
        calls.push_back("drag icon");
        return kDragCursor;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedDlg, CBaseDlg)
    ON_WM_PAINT()
    ON_BN_CLICKED(IDC_FIRST, &CDerivedDlg::OnFirst)
    ON_BN_CLICKED(IDC_SHARED, &CDerivedDlg::OnShared)
    ON_COMMAND(ID_TEST_COMMAND, &CDerivedDlg::OnTestCommand)
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

class LayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        theTestApp.m_hInstance = GetModuleHandleA(NULL);  // as the program entry does
    }

    // Runs the dialog as the application's main window, with the steps inside its modal loop;
    // the last step must end it. Returns what DoModal returned.
    static INT_PTR Run(CDialog& dialog, std::vector<StepRunner::Step> steps)
    {
        theTestApp.m_pMainWnd = &dialog;
        StepRunner runner([] { return theTestApp.m_pMainWnd ? theTestApp.m_pMainWnd->GetSafeHwnd() : NULL; },
                          std::move(steps));
        const INT_PTR result = dialog.DoModal();
        EXPECT_TRUE(runner.Finished()) << "the dialog ended before every step ran";
        EXPECT_FALSE(runner.Abandoned()) << "the dialog did not end after the last step";
        return result;
    }
};

// ---- message maps

TEST_F(LayerTest, CommandsReachTheHandlerMappedForTheirIdAndCode)
{
    const struct {
        const char* name;
        WORD id;
        WORD code;
        bool fromControl;  // else a menu (code 0) or an accelerator (code 1)
        std::vector<std::string> handlers;
    } cases[] = {
        {"click in the class's own map", IDC_FIRST, BN_CLICKED, true, {"first"}},
        {"click in the base class's map only", IDC_SECOND, BN_CLICKED, true, {"base second"}},
        {"click in both maps: the class's own wins", IDC_SHARED, BN_CLICKED, true, {"derived shared"}},
        {"another notification of a mapped control", IDC_FIRST, BN_DBLCLK, true, {}},
        {"click of an unmapped control", IDC_UNMAPPED, BN_CLICKED, true, {}},
        {"menu command", ID_TEST_COMMAND, 0, false, {"command"}},
        {"accelerator command", ID_TEST_COMMAND, 1, false, {"command"}},
        {"command that only the application maps", ID_TEST_APP_COMMAND, 0, false, {"app command"}},
        {"the application gets commands, not notifications", ID_TEST_APP_COMMAND, BN_SETFOCUS, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        CDerivedDlg dialog;
        const INT_PTR result = Run(dialog, {[&](HWND window) {
            const LPARAM control = c.fromControl ? reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_FIRST)) : 0;
            EXPECT_EQ(SendMessageA(window, WM_COMMAND, MAKEWPARAM(c.id, c.code), control), 0);
            dialog.EndDialog(IDOK);
        }});
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(calls, c.handlers);
    }
}

TEST_F(LayerTest, WindowMessagesReachTheirHandlers)
{
    CDerivedDlg dialog;
    Run(dialog, {[&](HWND window) {
        // The handler runs and, through the base class, the window's own painting validates.
        const int paintsBefore = paints;
        InvalidateRect(window, NULL, FALSE);
        SendMessageA(window, WM_PAINT, 0, 0);
        EXPECT_EQ(paints, paintsBefore + 1);
        EXPECT_FALSE(GetUpdateRect(window, NULL, FALSE));
        // The handler's result is the message's.
        EXPECT_EQ(SendMessageA(window, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(kDragCursor));
        dialog.EndDialog(IDOK);
    }});
    EXPECT_EQ(calls, std::vector<std::string>{"drag icon"});
}

TEST_F(LayerTest, UnmappedMessagesReachTheWindowsOwnProcedure)
{
    CBaseDlg dialog;
    Run(dialog, {[&](HWND window) {
        InvalidateRect(window, NULL, FALSE);
        SendMessageA(window, WM_PAINT, 0, 0);
        EXPECT_FALSE(GetUpdateRect(window, NULL, FALSE));

        EXPECT_TRUE(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Renamed")));
        char text[32] = "";
        GetWindowTextA(window, text, sizeof text);
        EXPECT_STREQ(text, "Renamed");
        dialog.EndDialog(IDOK);
    }});
    EXPECT_TRUE(calls.empty());
}

// ---- dialogs

TEST_F(LayerTest, CancelEndsTheDialogWithIdcancel)
{
    const struct {
        const char* name;
        StepRunner::Step cancel;
    } ways[] = {
        {"Cancel button", [](HWND window) { PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Escape key",
         [](HWND window) {
             PostMessageA(GetDlgItem(window, IDC_FIRST), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
             PostMessageA(GetDlgItem(window, IDC_FIRST), WM_KEYUP, VK_ESCAPE, 0xC0010001);
         }},
        {"close box", [](HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        calls.clear();
        CDerivedDlg dialog;  // maps commands of its own, but not IDCANCEL
        EXPECT_EQ(Run(dialog, {way.cancel}), IDCANCEL);
        EXPECT_TRUE(calls.empty());
    }
}

TEST_F(LayerTest, EndedDialogLeavesNoWindowBehind)
{
    CDerivedDlg dialog;
    HWND window = NULL;
    EXPECT_EQ(Run(dialog, {[&](HWND w) {
                  window = w;
                  EXPECT_EQ(dialog.GetSafeHwnd(), w);
                  dialog.EndDialog(42);
              }}),
              42);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(theTestApp.m_pMainWnd, nullptr) << "the main window is gone";
}

TEST_F(LayerTest, InitDialogMovesDataIntoTheControlsOnce)
{
    CDerivedDlg dialog;
    Run(dialog, {[&](HWND) { dialog.EndDialog(IDOK); }});
    ASSERT_EQ(dialog.exchanges.size(), 1u);
    EXPECT_FALSE(dialog.exchanges[0].m_bSaveAndValidate);
    EXPECT_EQ(dialog.exchanges[0].m_pDlgWnd, &dialog);
}

TEST_F(LayerTest, DialogWithoutItsTemplateFailsToRun)
{
    CBaseDlg dialog(999);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST_F(LayerTest, SetIconSetsTheBigOrTheSmallIcon)
{
    HICON big = theTestApp.LoadIcon(IDI_TEST);
    HICON small = LoadIconA(NULL, MAKEINTRESOURCEA(32512) /* IDI_APPLICATION */);
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    CBaseDlg dialog;
    Run(dialog, {[&](HWND window) {
        dialog.SetIcon(big, TRUE);
        dialog.SetIcon(small, FALSE);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_BIG, 0)), big);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0)), small);
        dialog.EndDialog(IDOK);
    }});
}

// ---- the application

TEST_F(LayerTest, TheApplicationIsTheOneGlobalObject)
{
    EXPECT_EQ(AfxGetApp(), &theTestApp);
    EXPECT_STREQ(theTestApp.m_pszAppName, "Tarnwick layer tests");
}

TEST_F(LayerTest, ProgramEntryRunsInitInstanceOnceWithTheModule)
{
    theTestApp.m_hInstance = NULL;
    theTestApp.initInstanceCalls = 0;
    HINSTANCE module = GetModuleHandleA(NULL);
    char commandLine[] = "";
    EXPECT_EQ(AfxWinMain(module, NULL, commandLine, SW_SHOWNORMAL), 0);
    EXPECT_EQ(theTestApp.initInstanceCalls, 1);
    EXPECT_EQ(theTestApp.instanceAtInit, module);
}

TEST_F(LayerTest, LoadIconLoadsFromTheApplicationsModule)
{
    EXPECT_NE(theTestApp.LoadIcon(IDI_TEST), nullptr);
    EXPECT_EQ(theTestApp.LoadIcon(IDI_TEST + 100), nullptr);
}

TEST_F(LayerTest, SetRegistryKeyKeepsItsOwnCopy)
{
    char key[] = "Tarnwick tests";
    theTestApp.SetRegistryKey(key);
    key[0] = 'X';
    EXPECT_STREQ(theTestApp.m_pszRegistryKey, "Tarnwick tests");
}

}  // namespace
