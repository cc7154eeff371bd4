// CTarnwickApp and CTarnwickDlg as the program runs them, with the program's resources, against a
// RunUninstall that records its calls instead of removing anything.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StepRunner.h"
#include "TarnwickApp.h"
#include "Uninstall.h"
#include "resource.h"

namespace {

struct UninstallCall {
    HWND owner;
    bool ownerVisible;
    bool ownerEnabled;
};
std::vector<UninstallCall> uninstallCalls;

}  // namespace

void RunUninstall(HWND owner)
{
    uninstallCalls.push_back({owner, IsWindowVisible(owner) != FALSE, IsWindowEnabled(owner) != FALSE});
}

namespace {

HWND MainWindow()
{
    return theApp.m_pMainWnd != NULL ? theApp.m_pMainWnd->GetSafeHwnd() : NULL;
}

void PressKey(HWND window, WPARAM key)
{
    HWND target = GetFocus() != NULL ? GetFocus() : window;
    PostMessageA(target, WM_KEYDOWN, key, 0x00000001);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

class ShellTest : public testing::Test {
protected:
    void SetUp() override
    {
        uninstallCalls.clear();
        theApp.m_hInstance = GetModuleHandleA(NULL);  // as the program entry does
        appIcon = LoadIconA(theApp.m_hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME));
        ASSERT_NE(appIcon, nullptr);
    }

    // Runs InitInstance with the steps inside the dialog's modal loop; the last must end it.
    static void RunApplication(std::vector<StepRunner::Step> steps)
    {
        StepRunner runner(MainWindow, std::move(steps));
        EXPECT_EQ(theApp.InitInstance(), FALSE);
        EXPECT_TRUE(runner.Finished()) << "the dialog ended before every step ran";
        EXPECT_FALSE(runner.Abandoned()) << "the dialog did not end after the last step";
        EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    }

    HICON appIcon = NULL;
};

TEST_F(ShellTest, InitInstanceRunsTheMainDialogAndReturnsFalseWhenItCloses)
{
    HWND dialog = NULL;
    RunApplication({
        [&](HWND window) {
            dialog = window;
            wchar_t text[64] = L"";
            GetClassNameW(window, text, 64);
            EXPECT_STREQ(text, L"#32770");
            GetWindowTextW(window, text, 64);
            EXPECT_STREQ(text, L"Quillodeck客户端控件卸载工具");
            GetWindowTextW(GetDlgItem(window, IDC_STATIC), text, 64);
            EXPECT_STREQ(text, L"注意：卸载前请确保关闭所有浏览器窗口。");
            EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr) << "no parent window";
            // Uninstall has the focus and is the default button.
            EXPECT_EQ(GetFocus(), GetDlgItem(window, IDOK));
            EXPECT_EQ(LOWORD(SendMessageA(window, DM_GETDEFID, 0, 0)), IDOK);
            EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_BIG, 0)), appIcon);
            EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0)), appIcon);
            EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, WM_QUERYDRAGICON, 0, 0)), appIcon);
        },
        [](HWND window) { SendMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0); },
    });
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(uninstallCalls.empty());
    // 应用程序向导生成的本地应用程序, code page 936
    EXPECT_STREQ(theApp.m_pszRegistryKey, "\xD3\xA6\xD3\xC3\xB3\xCC\xD0\xF2\xCF\xF2\xB5\xBC\xC9\xFA\xB3\xC9"
                                          "\xB5\xC4\xB1\xBE\xB5\xD8\xD3\xA6\xD3\xC3\xB3\xCC\xD0\xF2");
}

TEST_F(ShellTest, UninstallRunsTheProcedureForTheOpenDialogEachTime)
{
    HWND dialog = NULL;
    RunApplication({
        [&](HWND window) {
            dialog = window;
            SendMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
        },
        [](HWND window) {
            EXPECT_TRUE(IsWindowVisible(window)) << "the dialog stays open";
            SendMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
        },
        [](HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); },
    });
    ASSERT_EQ(uninstallCalls.size(), 2u);
    for (const UninstallCall& call : uninstallCalls) {
        EXPECT_EQ(call.owner, dialog);
        EXPECT_TRUE(call.ownerVisible);
        EXPECT_TRUE(call.ownerEnabled);
    }
}

TEST_F(ShellTest, KeyboardReachesUninstallAndClose)
{
    const struct {
        const char* name;
        std::vector<WPARAM> keys;
        size_t uninstalls;
    } cases[] = {
        {"Enter at start runs the procedure; Escape closes", {VK_RETURN, VK_ESCAPE}, 1},
        {"Escape closes without running it", {VK_ESCAPE}, 0},
        {"Tab moves to Close, and Enter closes", {VK_TAB, VK_RETURN}, 0},
        {"Tab twice comes back to Uninstall", {VK_TAB, VK_TAB, VK_RETURN, VK_ESCAPE}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        uninstallCalls.clear();
        std::vector<StepRunner::Step> steps;
        for (WPARAM key : c.keys)
            steps.push_back([key](HWND window) { PressKey(window, key); });
        RunApplication(steps);
        EXPECT_EQ(uninstallCalls.size(), c.uninstalls);
    }
}

// Records WM_ICONERASEBKGND on its way to the dialog's procedure.
WNDPROC dialogProc = NULL;
std::vector<std::pair<WPARAM, LPARAM>> iconErasures;

LRESULT CALLBACK RecordIconErasure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ICONERASEBKGND)
        iconErasures.push_back({wParam, lParam});
    return CallWindowProcA(dialogProc, window, message, wParam, lParam);
}

TEST_F(ShellTest, MinimizedDialogErasesForItsIconWhenItPaints)
{
    iconErasures.clear();
    RunApplication({
        [](HWND window) {
            dialogProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordIconErasure)));
            RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
            EXPECT_TRUE(iconErasures.empty()) << "an open dialog paints as usual";

            // All in one step: without a window manager, Wine may restore the window as soon as
            // it handles its X events. A minimized window's client area is too small for Windows
            // to ask for painting, so the test asks.
            ShowWindow(window, SW_MINIMIZE);
            ASSERT_TRUE(IsIconic(window));
            InvalidateRect(window, NULL, FALSE);
            SendMessageA(window, WM_PAINT, 0, 0);
            ASSERT_EQ(iconErasures.size(), 1u);
            EXPECT_NE(iconErasures[0].first, 0u) << "the paint context's device context";
            EXPECT_EQ(iconErasures[0].second, 0);
            EXPECT_FALSE(GetUpdateRect(window, NULL, FALSE));
        },
        [](HWND window) {
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dialogProc));
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        },
    });
}

}  // namespace
