// An in-memory machine behind PlatformServices: keys ("HKCU\...", "HKLM\...", "HKU\...") and their
// values, files ("C:\..."), special folders, hive files and message boxes, as UTF-8 paths. It is
// 64-bit Windows, with a registry view for 32-bit programs, as Windows 7 and later have it. Like
// Windows it follows links, checks a key's access and limits names and paths; it fails where told
// to, and tracks every handle and ID list until released (an unknown one throws).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "WinTypes.h"

namespace fake {

// A link listed with FILE_ATTRIBUTE_REPARSE_POINT opens as itself when asked to; one without (a
// Unix link under Wine) always reaches its target, through the shell too. A read-only entry is
// refused (5) by DeleteFileW and RemoveDirectoryW, not by the shell.
struct Entry {
    DWORD attributes;
    std::string linkTarget;
};

// A message box, and how many keys and files, and which lock, the machine held while it showed.
struct Box {
    UINT type;
    size_t keyCount;
    size_t fileCount;
    std::string lock;
};

// A value as Windows keeps it: its type and its bytes.
struct Value {
    DWORD type;
    std::vector<BYTE> data;
};

// What a handle or ID list stands for: a key (and access), a search (and the names to give, the
// next one first), a file (and access), a special folder, a named object or memory.
struct Handle {
    std::string path;
    REGSAM access;
    std::vector<std::string> listing;
};

struct Machine {
    // Keys and files by path, listed in this order. A key's entry is its link target, or "".
    std::map<std::string, std::string> registry;
    std::map<std::string, Entry> files;
    // Values by key and name: "HKLM\\Key|Name" ("HKLM\\Key|" for the default value). Only an
    // administrator may make keys and values below HKLM.
    std::map<std::string, Value> values;
    // A special folder absent here cannot be located; one with an empty path has no path.
    std::map<int, std::string> specialFolders = {
        {CSIDL_WINDOWS, "C:\\WINDOWS"},
        {CSIDL_SYSTEM, "C:\\WINDOWS\\system32"},
        {CSIDL_SYSTEMX86, "C:\\WINDOWS\\SysWOW64"},
    };
    // The program is 32-bit: Windows shows it the 32-bit registry view and, as system32, SysWOW64,
    // unless it asks for the 64-bit view or names Sysnative.
    bool wow64 = false;
    // Keys that such a program asking for the 64-bit view is given the Wow6432Node of, as Wine
    // gives a hive that another process loaded.
    std::vector<std::string> misdirected;
    // The running account's SID; its HKU key, where there is one, is its hive.
    std::string currentUser = "S-1-5-21-7-7-7-500";
    // Hive files by path: their keys, relative to the hive's root, with link targets (a file not
    // here is no hive). The hives loaded below HKU by name, with their files; how many loads there
    // were; hives in use.
    std::map<std::string, std::map<std::string, std::string>> hiveFiles;
    std::map<std::string, std::string> loadedHives;
    int hiveLoads = 0;
    std::vector<std::string> hivesInUse;
    // The backup and restore privileges are enabled.
    bool privileges = false;
    // Rights a key grants, by path (a key not here grants all); folders whose listing fails with
    // an error, refused at its start for access denied, else cut short before its last entry.
    std::map<std::string, REGSAM> grants;
    std::map<std::string, DWORD> listingErrors;
    // The deletions Windows carries out at its next start, as the Session Manager lists them
    // ("\\??\\C:\\...").
    std::vector<std::string> pending;
    // Failures: Win32 errors of a key's open (of a value's deletion, by "key|name") or listing
    // (of its keys and values), NTSTATUS of a key's deletion.
    std::map<std::string, LONG> failOpen;
    std::map<std::string, LONG> failEnum;
    std::map<std::string, NTSTATUS> failDelete;
    // Entries in use, with the error of their deletion (32: held open, 5: a module a program has
    // loaded); entries that the shell only reports deleted, that cannot be read.
    std::map<std::string, DWORD> inUse;
    std::vector<std::string> shellKeeps;
    std::vector<std::string> unreadable;
    // Short (8.3) paths of entries, with the long path each stands for.
    std::map<std::string, std::string> shortPaths;
    // Windows without GetFinalPathNameByHandleW and private namespaces.
    bool beforeVista = false;
    bool administrator = true;
    // Mutexes another run holds; the namespace another run made; the dialog is closed while the
    // run waits, and has been. Named objects open now ("namespace" for the private namespace) with
    // the descriptor they were made with ("" for the default, which lets anyone open them).
    std::vector<std::string> heldElsewhere;
    std::map<std::string, std::string> objects;
    bool namespaceMade = false;
    bool closedWhileWaiting = false;
    bool dialogClosed = false;
    // The mutex the run holds ("" for none), every one it took, its clock in milliseconds.
    std::string lock;
    std::vector<std::string> locksTaken;
    DWORD tickCount = 0;
    // The flags every shell deletion must carry.
    FILEOP_FLAGS shellFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;

    std::vector<Box> boxes;
    std::map<uintptr_t, Handle> handles;
    // Misuses seen: shell deletions not as asked, keys below an unknown root.
    std::vector<std::string> problems;
    DWORD lastError = 0;
};
extern Machine machine;

// A key (a link, given its target) with its missing ancestors; a file or folder with its missing
// folders.
void addKey(const std::string& path, const std::string& linkTarget = "");
void addFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE,
             const std::string& linkTarget = "");
// A key of a hive file with its missing ancestors; the file with its folders.
void addHiveKey(const std::string& file, const std::string& key);
// What a scenario says most: a value of a key, as text (REG_SZ) or a number (REG_DWORD), and a
// value's number (0 for one of another type); a file held open (or, with 5, a module a
// program has loaded); a key (or a value, "key|name") that refuses to be opened (or deleted).
void setValue(const std::string& key, const std::string& name, const std::string& text);
void setDword(const std::string& key, const std::string& name, DWORD number);
DWORD dwordOf(const Value& value);
void holdOpen(const std::string& path, DWORD error = ERROR_SHARING_VIOLATION);
void refuse(const std::string& key, LONG error = ERROR_ACCESS_DENIED);
// A user's profile in the profile list, with its folder.
void addProfile(const std::string& sid, const std::string& folder);
std::vector<std::string> keys();
std::vector<std::string> files();

// Whether path is folder or below it; whether paths holds path.
bool Within(const std::string& path, const std::string& folder);
bool Contains(const std::vector<std::string>& paths, const std::string& path);

// The engine's strings and the tests'.
std::string Utf8(LPCWSTR text);
std::vector<WCHAR> Utf16(const std::string& text);

}  // namespace fake
