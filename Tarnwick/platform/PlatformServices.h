// The Windows operations through which the removal engine reaches the machine, and nothing else.
// The Windows build implements them with the real API (PlatformServicesWin32.cpp); native tests
// link an in-memory registry and file tree in their place. Each keeps the meaning and the argument
// list of the Windows function of the same name. Names are Unicode: the narrow calls would turn a
// character outside the system's code page into '?', which the shell reads as a wildcard.
#pragma once

#include "WinTypes.h"

namespace PlatformServices {

// Special folders and message boxes (the uninstall procedure).
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* idList);
BOOL SHGetPathFromIDListW(LPCITEMIDLIST idList, LPWSTR path);
void CoTaskMemFree(LPVOID block);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Files (the folder sweep).
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* entry);
BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* entry);
BOOL FindClose(HANDLE search);
int SHFileOperationW(SHFILEOPSTRUCTW* operation);
// Links are removed as links, never through the shell, which would follow them.
BOOL DeleteFileW(LPCWSTR path);
BOOL RemoveDirectoryW(LPCWSTR path);
// Where an entry really is: tells the folder's own items from links that the listing does not
// show as links. Where Windows lacks GetFinalPathNameByHandleW (before Vista), it returns 0 with
// the last error ERROR_CALL_NOT_IMPLEMENTED.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD capacity, DWORD flags);
BOOL CloseHandle(HANDLE handle);
// Whether a deleted entry is really gone.
DWORD GetFileAttributesW(LPCWSTR path);
// An entry in use goes at the next start.
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR replacement, DWORD flags);
// The long form of a path that names the controls' files in the installers' records.
DWORD GetLongPathNameW(LPCWSTR path, LPWSTR longPath, DWORD capacity);
// Clears a read-only attribute through a handle (FileBasicInformation), never by a name that a
// link could lead away.
NTSTATUS NtSetInformationFile(HANDLE file, PIO_STATUS_BLOCK status, PVOID information,
                              ULONG length, FILE_INFORMATION_CLASS informationClass);
DWORD GetLastError();
// Memory for what has no bound: the list of deletions at the next start.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);

// The lock that keeps administrators' removals from overlapping. The private-namespace calls are
// looked up at run time; where Windows lacks them (before Vista), they fail with
// ERROR_CALL_NOT_IMPLEMENTED.
BOOL CheckTokenMembership(HANDLE token, PSID sid, PBOOL isMember);
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                          PSECURITY_DESCRIPTOR* descriptor,
                                                          PULONG size);
HLOCAL LocalFree(HLOCAL memory);
// The running account's SID, which names its hives below HKEY_USERS.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS informationClass,
                         LPVOID information, DWORD length, PDWORD returnLength);
BOOL ConvertSidToStringSidW(PSID sid, LPWSTR* text);
HANDLE CreateBoundaryDescriptorW(LPCWSTR name, ULONG flags);
BOOL AddSIDToBoundaryDescriptor(HANDLE* boundary, PSID sid);
void DeleteBoundaryDescriptor(HANDLE boundary);
HANDLE CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES security, LPVOID boundary, LPCWSTR alias);
HANDLE OpenPrivateNamespaceW(LPVOID boundary, LPCWSTR alias);
BOOLEAN ClosePrivateNamespace(HANDLE privateNamespace, ULONG flags);
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);
DWORD GetTickCount();
// Waiting with a window: its messages are dispatched meanwhile, so that it keeps answering.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms,
                                DWORD wakeMask);
BOOL PeekMessageW(MSG* message, HWND window, UINT first, UINT last, UINT removal);
BOOL IsDialogMessageW(HWND dialog, MSG* message);
LRESULT DispatchMessageW(const MSG* message);
BOOL IsWindowVisible(HWND window);

// Registry (the key tree removal). On 64-bit Windows, a key opened with KEY_WOW64_64KEY or
// KEY_WOW64_32KEY is in that view.
LONG RegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* key);
LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegDeleteValueW(HKEY key, LPCWSTR name);
// Setting the controls' kill bits: a key made where it is missing, a value written.
LONG RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, HKEY* key,
                     LPDWORD disposition);
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPWSTR className, LPDWORD classLength, FILETIME* lastWriteTime);
LONG RegCloseKey(HKEY key);
// Deletes the key that the handle names, never one that a name would resolve to through a link.
NTSTATUS NtDeleteKey(HANDLE key);
ULONG RtlNtStatusToDosError(NTSTATUS status);
// The key's name in the kernel ("\REGISTRY\MACHINE\..."): tells whether two handles name one
// key, and whose HKEY_CURRENT_USER is.
NTSTATUS NtQueryKey(HANDLE key, ULONG informationClass, PVOID information, ULONG length,
                    PULONG resultLength);

// Users' profiles, and their hives.
DWORD ExpandEnvironmentStringsW(LPCWSTR text, LPWSTR expanded, DWORD capacity);
LONG RegLoadKeyW(HKEY key, LPCWSTR subKey, LPCWSTR file);
LONG RegUnLoadKeyW(HKEY key, LPCWSTR subKey);
HANDLE GetCurrentProcess();
BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
BOOL LookupPrivilegeValueW(LPCWSTR system, LPCWSTR name, PLUID luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES privileges,
                           DWORD previousSize, PTOKEN_PRIVILEGES previous, PDWORD size);
void Sleep(DWORD ms);
// 64-bit Windows, for a 32-bit program. Looked up at run time: Windows XP before its second
// service pack lacks it.
BOOL IsWow64Process(HANDLE process, PBOOL wow64);

}  // namespace PlatformServices
