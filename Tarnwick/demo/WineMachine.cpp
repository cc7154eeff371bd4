#include "WineMachine.h"

#include <algorithm>

const std::wstring kKeyContent = L"\\InprocServer32\\Nested";
const std::wstring kFolderContent = L"\\inner\\QUILLODECK.OCX";
const std::wstring kLinkTarget = L"Software\\Classes\\Outside";

namespace {

bool AddKey(HKEY root, const std::wstring& path)
{
    return SetValue(path + kKeyContent, 0, L"", REG_SZ, root) &&
           SetValue(path, 0, path, REG_SZ, root);
}

bool AddFile(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_NEW, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

}  // namespace

bool SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type,
              HKEY root)
{
    const DWORD size = (text.size() + 1) * sizeof(wchar_t);
    return RegSetKeyValueW(root, path.c_str(), name, type, text.c_str(), size) == 0;
}

bool SetValue(const std::wstring& path, const wchar_t* name, DWORD number)
{
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, REG_DWORD, &number,
                           sizeof number) == 0;
}

bool AddLink(HKEY root, const std::wstring& path, const std::wstring& target)
{
    HKEY key;
    if (RegCreateKeyExW(root, path.c_str(), 0, 0, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, 0,
                        &key, 0) != 0)
        return false;
    const std::wstring name = L"\\Registry\\Machine\\" + target;
    const LONG error = RegSetKeyValueW(key, 0, L"SymbolicLinkValue", REG_LINK, name.data(),
                                       name.size() * sizeof(wchar_t));
    RegCloseKey(key);
    return error == 0;
}

bool OnDisk(Kind kind)
{
    return kind == File || kind == Directory;
}

HKEY Root(Kind kind)
{
    if (kind == UsersKey)
        return HKEY_USERS;
    return kind == UserKey ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::wstring FullName(Kind kind, const std::wstring& path)
{
    if (OnDisk(kind))
        return path;
    if (kind == UsersKey)
        return L"HKEY_USERS\\" + path;
    if (kind == UserKey)
        return L"HKEY_CURRENT_USER\\" + path;
    return L"HKEY_LOCAL_MACHINE\\" + path;
}

bool Add(Kind kind, const std::wstring& path)
{
    if (kind == RegLink)
        return AddLink(HKEY_LOCAL_MACHINE, path, kLinkTarget);
    if (kind == File)
        return AddFile(path);
    if (kind == Directory)
        return CreateDirectoryW(path.c_str(), 0) &&
               CreateDirectoryW((path + L"\\inner").c_str(), 0) && AddFile(path + kFolderContent);
    return AddKey(Root(kind), path);
}

bool Present(Kind kind, const std::wstring& path)
{
    if (OnDisk(kind))
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    HKEY key;
    if (RegOpenKeyExW(Root(kind), path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != 0)
        return false;
    RegCloseKey(key);
    return true;
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start <= ms; Sleep(20)) {
        if (condition())
            return true;
    }
    return false;
}

PROCESS_INFORMATION Launch(const std::wstring& program, const std::wstring& args,
                           const wchar_t* desktop)
{
    std::wstring line = L"\"" + program + L"\" " + args;
    STARTUPINFOW startup = {sizeof startup};
    startup.lpDesktop = const_cast<wchar_t*>(desktop);
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

std::wstring Text(HWND window)
{
    wchar_t text[MAX_PATH] = L"";
    GetWindowTextW(window, text, MAX_PATH);
    return text;
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
