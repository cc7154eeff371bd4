// The Windows operations through which the removal engine reaches the machine, and nothing else.
// The Windows build implements them with the real API (PlatformServicesWin32.cpp); native tests
// link an in-memory registry and file tree in their place. Each keeps the meaning and the argument
// list of the Windows function of the same name.
#pragma once

#include "WinTypes.h"

namespace PlatformServices {

// Special folders (the uninstall procedure).
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* idList);
BOOL SHGetPathFromIDListA(LPCITEMIDLIST idList, LPSTR path);
void CoTaskMemFree(LPVOID block);
LPSTR lstrcatA(LPSTR path, LPCSTR suffix);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Files (the folder sweep).
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* entry);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* entry);
BOOL FindClose(HANDLE search);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
int SHFileOperationA(SHFILEOPSTRUCTA* operation);
// Links are removed as links, never through the shell, which would follow them.
BOOL DeleteFileA(LPCSTR path);
BOOL RemoveDirectoryA(LPCSTR path);
// Where an entry really is: tells the folder's own items from links that the listing does not
// show as links. Where Windows lacks GetFinalPathNameByHandleA (before Vista), it returns 0 with
// the last error ERROR_CALL_NOT_IMPLEMENTED.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR path, DWORD capacity, DWORD flags);
BOOL CloseHandle(HANDLE handle);
// Whether a deleted entry is really gone.
DWORD GetFileAttributesA(LPCSTR path);
DWORD GetLastError();

// Registry (the key tree removal).
LONG RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM access, HKEY* key);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPSTR className, LPDWORD classLength, FILETIME* lastWriteTime);
LONG RegCloseKey(HKEY key);
// Deletes the key that the handle names, never one that a name would resolve to through a link.
NTSTATUS NtDeleteKey(HANDLE key);
ULONG RtlNtStatusToDosError(NTSTATUS status);

}  // namespace PlatformServices
