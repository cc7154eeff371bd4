#include "WineUnix.h"

#include <stdlib.h>

namespace wine_unix {

namespace {

// Wine's own exports that map paths between Windows and Unix; their results live on the process
// heap.
typedef char*(CDECL* UnixFileNameFunction)(LPCWSTR);
typedef WCHAR*(CDECL* DosFileNameFunction)(LPCSTR);

template <typename Function>
Function WineExport(const char* name)
{
    // Through void (*)(), the function pointer type that converts to any other without a warning.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::wstring Widen(const std::string& text, UINT codePage)
{
    int size = MultiByteToWideChar(codePage, 0, text.c_str(), -1, NULL, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, &wide[0], size);
    wide.resize(size - 1);
    return wide;
}

std::string Narrow(const std::wstring& text, UINT codePage)
{
    int size = WideCharToMultiByte(codePage, 0, text.c_str(), -1, NULL, 0, NULL, NULL);
    std::string narrow(size, '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, &narrow[0], size, NULL, NULL);
    narrow.resize(size - 1);
    return narrow;
}

std::string UnixPath(const std::wstring& windowsPath)
{
    UnixFileNameFunction toUnix = WineExport<UnixFileNameFunction>("wine_get_unix_file_name");
    char* unix = toUnix != NULL ? toUnix(windowsPath.c_str()) : NULL;
    if (unix == NULL)
        return std::string();
    std::string path = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return path;
}

std::wstring WindowsPath(const std::string& unixPath)
{
    DosFileNameFunction toDos = WineExport<DosFileNameFunction>("wine_get_dos_file_name");
    WCHAR* dos = toDos != NULL ? toDos(unixPath.c_str()) : NULL;
    if (dos == NULL)
        return std::wstring();
    std::wstring path = dos;
    HeapFree(GetProcessHeap(), 0, dos);
    return path;
}

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Wine starts a Unix program from CreateProcessW but hands back no process handle to wait on, so
// the script reports its status through a file that appears, whole, once the script has ended.
int RunUnixShell(const std::string& script)
{
    static unsigned serial = 0;
    wchar_t temporary[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temporary);
    if (length == 0 || length >= MAX_PATH)
        return -1;
    std::wstring status = std::wstring(temporary) + L"tarnwick-unix-" +
                          std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(++serial) + L".status";
    std::string unixStatus = UnixPath(status);
    if (unixStatus.empty())
        return -1;
    std::string part = ShellQuoted(unixStatus + ".part");
    std::wstring line = Widen("/bin/sh -c \"" + script + "; echo $? >" + part + " && mv " +
                                   part + " " + ShellQuoted(unixStatus) + "\"", CP_UTF8);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // For a Unix program Wine reports success without filling in the process and thread handles,
    // so what CreateProcessW leaves there is not a handle of ours: closing it could close another
    // handle of this process (it closed the one behind HKEY_CLASSES_ROOT). They are left alone.
    if (!CreateProcessW(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return -1;
    if (!WaitFor([&] { return Exists(status); }))
        return -1;
    char text[16] = "";
    DWORD read = 0;
    HANDLE file = CreateFileW(status.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, text, sizeof text - 1, &read, NULL);
        CloseHandle(file);
    }
    DeleteFileW(status.c_str());
    return read > 0 ? atoi(text) : -1;
}

bool MakeUnixLink(const std::wstring& link, const std::wstring& target)
{
    std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    // -n: should link name a link to a folder already, fail rather than make one inside it.
    return !unixLink.empty() && !unixTarget.empty() &&
           RunUnixShell("ln -s -n -- " + ShellQuoted(unixTarget) + " " + ShellQuoted(unixLink)) ==
               0;
}

}  // namespace wine_unix
