// PlatformServices on Windows: each operation forwards to the Windows function of the same name.
#include "PlatformServices.h"

#include <stdarg.h>

// Documented for drivers as ZwDeleteKey; user mode calls it through ntdll, whose headers here do
// not declare it.
extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace PlatformServices {

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* idList)
{
    return ::SHGetSpecialFolderLocation(owner, folder, idList);
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST idList, LPSTR path)
{
    return ::SHGetPathFromIDListA(idList, path);
}

void CoTaskMemFree(LPVOID block)
{
    ::CoTaskMemFree(block);
}

LPSTR lstrcatA(LPSTR path, LPCSTR suffix)
{
    return ::lstrcatA(path, suffix);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    return ::MessageBoxA(owner, text, caption, type);
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* entry)
{
    return ::FindFirstFileA(pattern, entry);
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* entry)
{
    return ::FindNextFileA(search, entry);
}

BOOL FindClose(HANDLE search)
{
    return ::FindClose(search);
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int length = ::wvsprintfA(buffer, format, arguments);
    va_end(arguments);
    return length;
}

int SHFileOperationA(SHFILEOPSTRUCTA* operation)
{
    return ::SHFileOperationA(operation);
}

BOOL DeleteFileA(LPCSTR path)
{
    return ::DeleteFileA(path);
}

BOOL RemoveDirectoryA(LPCSTR path)
{
    return ::RemoveDirectoryA(path);
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile)
{
    return ::CreateFileA(path, access, shareMode, security, disposition, flags, templateFile);
}

// Looked up at run time: importing it would keep the program from starting before Vista.
DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR path, DWORD capacity, DWORD flags)
{
    typedef DWORD(WINAPI * Function)(HANDLE, LPSTR, DWORD, DWORD);
    const Function function = reinterpret_cast<Function>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    if (function == NULL) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    return function(file, path, capacity, flags);
}

BOOL CloseHandle(HANDLE handle)
{
    return ::CloseHandle(handle);
}

DWORD GetFileAttributesA(LPCSTR path)
{
    return ::GetFileAttributesA(path);
}

DWORD GetLastError()
{
    return ::GetLastError();
}

LONG RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM access, HKEY* key)
{
    return ::RegOpenKeyExA(parent, subKey, options, access, key);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPSTR className, LPDWORD classLength, FILETIME* lastWriteTime)
{
    return ::RegEnumKeyExA(key, index, name, nameLength, reserved, className, classLength,
                           lastWriteTime);
}

LONG RegCloseKey(HKEY key)
{
    return ::RegCloseKey(key);
}

NTSTATUS NtDeleteKey(HANDLE key)
{
    return ::NtDeleteKey(key);
}

ULONG RtlNtStatusToDosError(NTSTATUS status)
{
    return ::RtlNtStatusToDosError(status);
}

}  // namespace PlatformServices
