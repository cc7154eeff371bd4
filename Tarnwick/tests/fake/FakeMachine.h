// An in-memory machine behind PlatformServices for tests of the removal engine: keys under
// HKEY_CLASSES_ROOT, a file tree, two special folders and message boxes. It behaves as Windows
// does where the engine relies on it, fails where told to, and counts the handles and ID lists it
// hands out that are not yet released. Paths are used as given: key paths relative to
// HKEY_CLASSES_ROOT, file paths absolute ("C:\WINDOWS\system32\X.OCX").
#pragma once

#include <map>
#include <string>
#include <vector>

#include "WinTypes.h"

namespace fake {

// Empties the machine; the special folders become "C:\WINDOWS" and "C:\WINDOWS\system32".
void reset();

// A key is created with its ancestors. Opening a link without REG_OPTION_OPEN_LINK opens its
// target, a key path.
void addKey(const std::string& path, const std::string& linkTarget = "");
std::vector<std::string> keys();  // sorted

// Entries list in the order they were added, after their folders. A link listed with
// FILE_ATTRIBUTE_REPARSE_POINT opens as itself when asked to; one without (a Unix link under Wine)
// always reaches its target, through the shell too.
void addFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE,
             const std::string& linkTarget = "");
void addFolder(const std::string& path);
std::vector<std::string> files();  // sorted

extern std::map<int, std::string> specialFolders;

// Failures, until reset: Win32 errors of a key's open or enumeration, NTSTATUS of its deletion;
// entries that cannot be deleted, entries the shell reports deleted but leaves; special folders
// that cannot be located or turned into a path; Windows without GetFinalPathNameByHandleA.
extern std::map<std::string, LONG> failOpen, failEnum;
extern std::map<std::string, NTSTATUS> failDelete;
extern std::vector<std::string> undeletable, shellKeeps;
extern std::map<int, bool> failLocation, failPathConversion;
extern bool beforeVista;

struct Box {
    HWND owner;
    std::string text, caption;
    UINT type;
};
extern std::vector<Box> boxes;
extern int registryCalls;
// Handles and ID lists not released, and misuses: unknown handles, a shell deletion that is not
// a plain deletion of one item without confirmation, to the Recycle Bin where possible.
int openHandles();
extern std::vector<std::string> problems;

}  // namespace fake
