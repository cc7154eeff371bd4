// PlatformServices on Windows: each operation forwards to the Windows function of the same name.
#include "PlatformServices.h"

#include <sddl.h>

// Documented for drivers as ZwDeleteKey and ZwQueryKey; user mode calls them through ntdll, whose
// headers here do not declare them.
extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);
extern "C" NTSTATUS NTAPI NtQueryKey(HANDLE key, ULONG informationClass, PVOID information,
                                     ULONG length, PULONG resultLength);

namespace {

// A kernel32 function that Windows XP lacks, looked up at run time: importing it would keep the
// program from starting there. NULL where it is missing, with the last error
// ERROR_CALL_NOT_IMPLEMENTED.
void* LookUp(const char* name)
{
    void* function =
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name));
    if (function == NULL)
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return function;
}

#define LOOK_UP(name) reinterpret_cast<decltype(&::name)>(LookUp(#name))

}  // namespace

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

DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD capacity, DWORD flags)
{
    const auto function = LOOK_UP(GetFinalPathNameByHandleW);
    return function != NULL ? function(file, path, capacity, flags) : 0;
}

BOOL CloseHandle(HANDLE handle)
{
    return ::CloseHandle(handle);
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    return ::GetFileAttributesW(path);
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR replacement, DWORD flags)
{
    return ::MoveFileExW(existing, replacement, flags);
}

DWORD GetLongPathNameW(LPCWSTR path, LPWSTR longPath, DWORD capacity)
{
    return ::GetLongPathNameW(path, longPath, capacity);
}

NTSTATUS NtSetInformationFile(HANDLE file, PIO_STATUS_BLOCK status, PVOID information,
                              ULONG length, FILE_INFORMATION_CLASS informationClass)
{
    return ::NtSetInformationFile(file, status, information, length, informationClass);
}

DWORD GetLastError()
{
    return ::GetLastError();
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes)
{
    return ::LocalAlloc(flags, bytes);
}

BOOL CheckTokenMembership(HANDLE token, PSID sid, PBOOL isMember)
{
    return ::CheckTokenMembership(token, sid, isMember);
}

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                          PSECURITY_DESCRIPTOR* descriptor,
                                                          PULONG size)
{
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text, revision, descriptor, size);
}

HLOCAL LocalFree(HLOCAL memory)
{
    return ::LocalFree(memory);
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS informationClass,
                         LPVOID information, DWORD length, PDWORD returnLength)
{
    return ::GetTokenInformation(token, informationClass, information, length, returnLength);
}

BOOL ConvertSidToStringSidW(PSID sid, LPWSTR* text)
{
    return ::ConvertSidToStringSidW(sid, text);
}

HANDLE CreateBoundaryDescriptorW(LPCWSTR name, ULONG flags)
{
    const auto function = LOOK_UP(CreateBoundaryDescriptorW);
    return function != NULL ? function(name, flags) : NULL;
}

BOOL AddSIDToBoundaryDescriptor(HANDLE* boundary, PSID sid)
{
    const auto function = LOOK_UP(AddSIDToBoundaryDescriptor);
    return function != NULL && function(boundary, sid);
}

void DeleteBoundaryDescriptor(HANDLE boundary)
{
    const auto function = LOOK_UP(DeleteBoundaryDescriptor);
    if (function != NULL)
        function(boundary);
}

HANDLE CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES security, LPVOID boundary, LPCWSTR alias)
{
    const auto function = LOOK_UP(CreatePrivateNamespaceW);
    return function != NULL ? function(security, boundary, alias) : NULL;
}

HANDLE OpenPrivateNamespaceW(LPVOID boundary, LPCWSTR alias)
{
    const auto function = LOOK_UP(OpenPrivateNamespaceW);
    return function != NULL ? function(boundary, alias) : NULL;
}

BOOLEAN ClosePrivateNamespace(HANDLE privateNamespace, ULONG flags)
{
    const auto function = LOOK_UP(ClosePrivateNamespace);
    return function != NULL && function(privateNamespace, flags);
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCWSTR name)
{
    return ::CreateMutexW(security, initialOwner, name);
}

BOOL ReleaseMutex(HANDLE mutex)
{
    return ::ReleaseMutex(mutex);
}

DWORD GetTickCount()
{
    return ::GetTickCount();
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms,
                                DWORD wakeMask)
{
    return ::MsgWaitForMultipleObjects(count, handles, waitAll, ms, wakeMask);
}

BOOL PeekMessageW(MSG* message, HWND window, UINT first, UINT last, UINT removal)
{
    return ::PeekMessageW(message, window, first, last, removal);
}

BOOL IsDialogMessageW(HWND dialog, MSG* message)
{
    return ::IsDialogMessageW(dialog, message);
}

LRESULT DispatchMessageW(const MSG* message)
{
    return ::DispatchMessageW(message);
}

BOOL IsWindowVisible(HWND window)
{
    return ::IsWindowVisible(window);
}

LONG RegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* key)
{
    return ::RegOpenKeyExW(parent, subKey, options, access, key);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size)
{
    return ::RegQueryValueExW(key, name, reserved, type, data, size);
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD size)
{
    return ::RegEnumValueW(key, index, name, nameLength, reserved, type, data, size);
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name)
{
    return ::RegDeleteValueW(key, name);
}

LONG RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, HKEY* key,
                     LPDWORD disposition)
{
    return ::RegCreateKeyExW(parent, subKey, reserved, className, options, access, security, key,
                             disposition);
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size)
{
    return ::RegSetValueExW(key, name, reserved, type, data, size);
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

NTSTATUS NtQueryKey(HANDLE key, ULONG informationClass, PVOID information, ULONG length,
                    PULONG resultLength)
{
    return ::NtQueryKey(key, informationClass, information, length, resultLength);
}

DWORD ExpandEnvironmentStringsW(LPCWSTR text, LPWSTR expanded, DWORD capacity)
{
    return ::ExpandEnvironmentStringsW(text, expanded, capacity);
}

LONG RegLoadKeyW(HKEY key, LPCWSTR subKey, LPCWSTR file)
{
    return ::RegLoadKeyW(key, subKey, file);
}

LONG RegUnLoadKeyW(HKEY key, LPCWSTR subKey)
{
    return ::RegUnLoadKeyW(key, subKey);
}

HANDLE GetCurrentProcess()
{
    return ::GetCurrentProcess();
}

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token)
{
    return ::OpenProcessToken(process, access, token);
}

BOOL LookupPrivilegeValueW(LPCWSTR system, LPCWSTR name, PLUID luid)
{
    return ::LookupPrivilegeValueW(system, name, luid);
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES privileges,
                           DWORD previousSize, PTOKEN_PRIVILEGES previous, PDWORD size)
{
    return ::AdjustTokenPrivileges(token, disableAll, privileges, previousSize, previous, size);
}

void Sleep(DWORD ms)
{
    ::Sleep(ms);
}

BOOL IsWow64Process(HANDLE process, PBOOL wow64)
{
    const auto function = LOOK_UP(IsWow64Process);
    return function != NULL && function(process, wow64);
}

}  // namespace PlatformServices
