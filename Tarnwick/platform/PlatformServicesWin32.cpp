// PlatformServices on Windows: each operation forwards to the Windows function of the same name.
#include "PlatformServices.h"

// Documented for drivers as ZwDeleteKey; user mode calls it through ntdll, whose headers here do
// not declare it.
extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace PlatformServices {

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* idList)
{
    return ::SHGetSpecialFolderLocation(owner, folder, idList);
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST idList, LPWSTR path)
{
    return ::SHGetPathFromIDListW(idList, path);
}

void CoTaskMemFree(LPVOID block)
{
    ::CoTaskMemFree(block);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return ::MessageBoxW(owner, text, caption, type);
}

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* entry)
{
    return ::FindFirstFileW(pattern, entry);
}

BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* entry)
{
    return ::FindNextFileW(search, entry);
}

BOOL FindClose(HANDLE search)
{
    return ::FindClose(search);
}

int SHFileOperationW(SHFILEOPSTRUCTW* operation)
{
    return ::SHFileOperationW(operation);
}

BOOL DeleteFileW(LPCWSTR path)
{
    return ::DeleteFileW(path);
}

BOOL RemoveDirectoryW(LPCWSTR path)
{
    return ::RemoveDirectoryW(path);
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile)
{
    return ::CreateFileW(path, access, shareMode, security, disposition, flags, templateFile);
}

// Looked up at run time: importing it would keep the program from starting before Vista.
DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD capacity, DWORD flags)
{
    typedef DWORD(WINAPI * Function)(HANDLE, LPWSTR, DWORD, DWORD);
    const Function function = reinterpret_cast<Function>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
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

DWORD GetFileAttributesW(LPCWSTR path)
{
    return ::GetFileAttributesW(path);
}

DWORD GetLastError()
{
    return ::GetLastError();
}

LONG RegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* key)
{
    return ::RegOpenKeyExW(parent, subKey, options, access, key);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPWSTR className, LPDWORD classLength, FILETIME* lastWriteTime)
{
    return ::RegEnumKeyExW(key, index, name, nameLength, reserved, className, classLength,
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
