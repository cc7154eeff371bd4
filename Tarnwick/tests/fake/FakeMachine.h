// An in-memory machine behind PlatformServices, for tests of the removal engine: a registry tree
// under HKEY_CLASSES_ROOT, a file tree, two special folders and message boxes. It behaves as
// Windows does where the engine relies on it, can be told to fail any call the engine makes, and
// records every call, every handle and ID list it hands out and every release.
//
// Paths: registry key paths are relative to HKEY_CLASSES_ROOT ("CLSID\\{...}"); file paths are
// absolute ("C:\\WINDOWS\\system32\\X.OCX"). Both compare case-insensitively (ASCII letters), as
// on Windows. The machine is one per process; reset() empties it between tests.
#pragma once

#include <string>
#include <vector>

#include "WinTypes.h"

namespace fake {

// Empties the registry and the file tree, clears records, counters and failures, and restores the
// special folders: CSIDL_WINDOWS "C:\WINDOWS" and CSIDL_SYSTEM "C:\WINDOWS\system32", both present.
void reset();

// ---- Registry
// Creates the key and any missing ancestor.
void addKey(const std::string& path);
bool keyExists(const std::string& path);
// Every key below HKEY_CLASSES_ROOT, parents before children, siblings in enumeration order
// (sorted case-insensitively, as the registry enumerates them).
std::vector<std::string> keys();

// ---- Files
// Creates the folder and any missing ancestor; extra attributes are added to the directory bit.
void addFolder(const std::string& path, DWORD attributes = 0);
// Adds an entry at the end of its folder's listing (created as needed): the order of adding is
// the order in which FindFirstFileA/FindNextFileA yield the entries, after "." and "..".
void addFile(const std::string& path, const std::string& contents = "",
             DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
// A link (junction or symbolic link) pointing at target, an absolute path anywhere in the tree.
// Listed with FILE_ATTRIBUTE_REPARSE_POINT, plus FILE_ATTRIBUTE_DIRECTORY for a directory link.
void addLink(const std::string& path, const std::string& target, bool directory);
// A Unix symbolic link as Wine presents it: a link to a file is listed as a plain file, and every
// call on the link, even one that asks for the link itself, reaches its target.
void addUnixLink(const std::string& path, const std::string& target, bool directory);
bool exists(const std::string& path);
// The names in a folder, in listing order, without "." and ".."; empty when there is no folder.
std::vector<std::string> entries(const std::string& folder);
// Every path in the file tree, parents before children, in listing order.
std::vector<std::string> files();
std::string contents(const std::string& path);

// The path SHGetPathFromIDListA gives for a special folder (the folder is not created).
void setSpecialFolder(int csidl, const std::string& path);

// ---- Failures (each lasts until reset)
void failRegOpen(const std::string& path, LONG error = ERROR_ACCESS_DENIED);  // key present
void failRegDelete(const std::string& path, LONG error = ERROR_ACCESS_DENIED);
void failRegEnum(const std::string& path, LONG error);  // every RegEnumKeyExA on that key
void failListing(const std::string& folder);  // FindFirstFileA gives INVALID_HANDLE_VALUE
// FindNextFileA fails once count entries of the folder (after "." and "..") have been listed.
void endListingAfter(const std::string& folder, int count);
// The entry cannot be deleted: SHFileOperationA, DeleteFileA and RemoveDirectoryA fail on it,
// and a shell deletion of a folder holding it leaves it and its ancestors in place.
void failDeletion(const std::string& path);
void failOpen(const std::string& path);  // CreateFileA gives INVALID_HANDLE_VALUE
void failSpecialFolder(int csidl, HRESULT status);
void failPathConversion(int csidl);  // SHGetPathFromIDListA gives FALSE for that folder's list

// ---- Records
// One call, in the order made. arg is the main argument: the key path as addressed (parent's path
// joined with the subkey) for the registry, the pattern for FindFirstFileA, the folder for
// FindNextFileA/FindClose, the path for file deletions and CreateFileA, the resolved path for
// GetFinalPathNameByHandleA and CloseHandle, the first path of the list for
// SHFileOperationA, the formatted result for wsprintfA, the suffix for lstrcatA, the text for
// MessageBoxA, the CSIDL in hex ("0x24") for special-folder calls. a and b:
//   RegOpenKeyExA: options, access      RegEnumKeyExA: index, capacity passed in
//   SHGetSpecialFolderLocation: CSIDL, owner != NULL
//   SHFileOperationA: wFunc, fFlags      MessageBoxA: type
//   CreateFileA: access, flags           GetFinalPathNameByHandleA: capacity, flags
struct Call {
    std::string name;
    std::string arg;
    unsigned long a = 0;
    unsigned long b = 0;
};
const std::vector<Call>& calls();
// The args of the calls of one function, in order.
std::vector<std::string> callArgs(const std::string& name);

struct Box {
    HWND owner;
    std::string text;     // the bytes handed over
    std::string caption;
    UINT type;
};
const std::vector<Box>& boxes();

struct ShellOperation {
    HWND owner;
    UINT func;
    std::string from;  // the raw list, up to and including its closing second NUL
    bool toIsNull;
    FILEOP_FLAGS flags;
};
const std::vector<ShellOperation>& shellOperations();

struct Counters {
    int keysOpened = 0, keysClosed = 0;
    int searchesOpened = 0, searchesClosed = 0;
    int idListsObtained = 0, idListsFreed = 0;
    int filesOpened = 0, filesClosed = 0;
};
const Counters& counters();
// A caller making more than a million calls between resets is taken to loop without end: the
// process aborts with a message instead of hanging.
// Misuse seen: unknown or already released handles and ID lists, a reserved argument set, a
// wsprintfA result cut at its 1024-byte limit, a search pattern other than "<folder>\*.*".
const std::vector<std::string>& problems();

}  // namespace fake
