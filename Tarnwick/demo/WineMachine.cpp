#include "WineMachine.h"

#include <algorithm>

const std::wstring kKeyContent = L"\\InprocServer32\\Nested";
const std::wstring kFolderContent = L"\\inner\\QUILLODECK.OCX";

bool WaitFor(const std::function<bool()>& condition, DWORD ms)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start <= ms; Sleep(20)) {
        if (condition())
            return true;
    }
    return false;
}

PROCESS_INFORMATION Launch(const std::wstring& program, const std::wstring& args)
{
    std::wstring line = L"\"" + program + L"\" " + args;
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    CreateProcessW(program.c_str(), &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process);
    return process;
}

void End(const PROCESS_INFORMATION& process)
{
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

// Wine starts a Unix program without a handle to wait on: on success the script makes a marker
// folder, which is awaited.
bool RunUnix(const std::wstring& script)
{
    std::wstring line = L"/bin/sh -c \"" + script + L" && mkdir tarnwick-unix-done\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION unused;
    if (!CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &unused))
        return false;
    return WaitFor([] { return RemoveDirectoryW(L"C:\\tarnwick-unix-done") != FALSE; }, 10000);
}

bool AddKey(HKEY root, const std::wstring& path)
{
    const DWORD size = (path.size() + 1) * sizeof(wchar_t);
    return RegSetKeyValueW(root, (path + kKeyContent).c_str(), 0, REG_SZ, L"", 2) == 0 &&
           RegSetKeyValueW(root, path.c_str(), 0, REG_SZ, path.c_str(), size) == 0;
}

bool AddFile(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_NEW, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool AddFolder(const std::wstring& path)
{
    return CreateDirectoryW(path.c_str(), 0) &&
           CreateDirectoryW((path + L"\\inner").c_str(), 0) && AddFile(path + kFolderContent);
}

bool KeyPresent(HKEY root, const std::wstring& path, DWORD options)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), options, KEY_READ, &key) != 0)
        return false;
    RegCloseKey(key);
    return true;
}

bool FilePresent(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HWND DialogWindow(DWORD thread, const std::vector<HWND>& known, DWORD ms)
{
    HWND window = 0;
    WaitFor([&] {
        do {
            window = FindWindowExW(0, window, L"#32770", 0);
        } while (window != 0 && (!IsWindowVisible(window) ||
                                 GetWindowThreadProcessId(window, 0) != thread ||
                                 std::find(known.begin(), known.end(), window) != known.end()));
        return window != 0;
    }, ms);
    return window;
}
