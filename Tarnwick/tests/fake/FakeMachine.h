// An in-memory machine behind PlatformServices for tests of the removal engine: keys under
// HKEY_CLASSES_ROOT, a file tree, two special folders and message boxes. It behaves as Windows
// does where the engine relies on it, fails where told to, and keeps every handle and ID list it
// hands out until it is released; an unknown one throws. Paths are used as given: key paths
// relative to HKEY_CLASSES_ROOT, file paths absolute ("C:\WINDOWS\system32\X.OCX").
#pragma once

#include <map>
#include <string>
#include <vector>

#include "WinTypes.h"

namespace fake {

// A link listed with FILE_ATTRIBUTE_REPARSE_POINT opens as itself when asked to; one without (a
// Unix link under Wine) always reaches its target, through the shell too.
struct Entry {
    DWORD attributes;
    std::string linkTarget;
};

struct Box {
    HWND owner;
    UINT type;
};

// What a handle or ID list stands for: a key, a search and the names it has still to give (the
// next one last), a file, a special folder.
struct Handle {
    std::string path;
    std::vector<std::string> listing;
};

struct Machine {
    // Keys and files by path, listed in this order. A key's entry is its link target, or "".
    std::map<std::string, std::string> registry;
    std::map<std::string, Entry> files;
    // A special folder absent here cannot be located; one with an empty path has no path.
    std::map<int, std::string> specialFolders = {{CSIDL_WINDOWS, "C:\\WINDOWS"},
                                                 {CSIDL_SYSTEM, "C:\\WINDOWS\\system32"}};
    // Failures: Win32 errors of a key's open or enumeration, NTSTATUS of its deletion; entries
    // that cannot be deleted, or that the shell reports deleted but leaves; Windows without
    // GetFinalPathNameByHandleA.
    std::map<std::string, LONG> failOpen, failEnum;
    std::map<std::string, NTSTATUS> failDelete;
    std::vector<std::string> undeletable, shellKeeps;
    bool beforeVista = false;

    std::vector<Box> boxes;
    std::map<uintptr_t, Handle> handles;
    std::vector<std::string> problems;  // shell deletions not of one item, unconfirmed, undoable
    DWORD lastError = 0;
};
extern Machine machine;

// A key with its missing ancestors; a file or folder with its missing folders.
void addKey(const std::string& path, const std::string& linkTarget = "");
void addFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE, const std::string& linkTarget = "");
void addFolder(const std::string& path);
std::vector<std::string> keys();
std::vector<std::string> files();

}  // namespace fake
