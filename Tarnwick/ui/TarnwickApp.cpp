#include "TarnwickApp.h"

#include "TarnwickDlg.h"
#include "Unattended.h"

BEGIN_MESSAGE_MAP(CTarnwickApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CTarnwickApp::CTarnwickApp() : CWinApp(NULL)
{
}

CTarnwickApp theApp;

namespace {

// The DLLs that Windows' own DLLs load on demand during a run. Wine's +loaddll trace of a run
// (start, Uninstall on an installed machine, both boxes dismissed, Close) shows uxtheme.dll,
// besides Wine's own display driver; Windows' shell also loads the other three on demand. Where
// one does not exist (older Windows), its load just fails.
const wchar_t kDllsLoadedOnDemand[][14] = {
    L"uxtheme.dll",
    L"dwmapi.dll",
    L"version.dll",
    L"cryptbase.dll",
};

// Windows looks for a DLL that is loaded on demand in the program's own folder first: typically the
// Downloads folder, where a DLL planted under such a name would run with the program's rights.
// Restricts the search to the system folder; where Windows lacks the call for that (before Windows
// 8, unless updated), loads the run's DLLs from there first, so that later loads find them loaded.
void LoadDllsFromSystemFolderOnly()
{
    typedef BOOL(WINAPI * Function)(DWORD);
    const Function setDefaultDllDirectories = reinterpret_cast<Function>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != NULL && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    wchar_t path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 1)
        return;
    for (const wchar_t* name : kDllsLoadedOnDemand) {
        path[length] = L'\\';
        ::lstrcpynW(path + length + 1, name, MAX_PATH - length - 1);
        ::LoadLibraryW(path);
    }
}

// Whether anyone can see the program's windows (see WindowsAreSeen), from the window station's
// flags, the version of Windows and the process's session.
bool AreWindowsSeen()
{
    USEROBJECTFLAGS station = {};
    const bool invisibleStation =
        ::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &station,
                                    sizeof station, NULL) &&
        (station.dwFlags & WSF_VISIBLE) == 0;
    DWORD session = 1;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return WindowsAreSeen(!invisibleStation, LOBYTE(LOWORD(::GetVersion())) >= 6, session);
}

}  // namespace

BOOL CTarnwickApp::InitInstance()
{
    LoadDllsFromSystemFolderOnly();

    CWinApp::InitInstance();

    // Where settings would be kept; the application keeps none.
    SetRegistryKey(L"应用程序向导生成的本地应用程序");

    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    // A line that cannot even be read shows nothing: it may be an unattended run's.
    if (argv == NULL) {
        m_nExitCode = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    m_nExitCode = RunCommandLine(ParseCommandLine(argc, argv, AreWindowsSeen()));
    ::LocalFree(argv);

    // Done: returning FALSE ends the application without a message loop.
    return FALSE;
}

int CTarnwickApp::ExitInstance()
{
    return m_nExitCode;
}

int CTarnwickApp::RunCommandLine(const CommandLine& line)
{
    if (line.request == CommandLine::kUnattended)
        return RunUnattended(line.mode, line.logPath, line.waitSeconds, line.block);
    if (line.request == CommandLine::kUsage) {
        WCHAR usage[kUsageCapacity];
        ::MultiByteToWideChar(CP_UTF8, 0, kUsage, -1, usage, kUsageCapacity);
        ::MessageBoxW(NULL, usage, kUsageCaption, MB_ICONINFORMATION);
    }
    if (line.request != CommandLine::kDialog)
        return line.exitCode;

    CTarnwickDlg dlg;
    m_pMainWnd = &dlg;
    const bool shown = dlg.DoModal() != -1;
    return DialogExitCode(shown, dlg.ExitCode());
}
