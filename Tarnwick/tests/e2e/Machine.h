// The state that a scenario puts on the machine before Tarnwick runs, and what is there afterwards:
// keys under HKEY_CLASSES_ROOT and entries of the two folders that Tarnwick sweeps.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

enum class Kind {
    Key,              // a key below HKEY_CLASSES_ROOT with a value and nested subkeys
    File,             // a file with known contents
    Folder,           // a folder holding a file and a subfolder with a file
    FileLink,         // a Unix symbolic link to a file outside the swept folders
    FolderLink,       // a Unix symbolic link to a folder with contents outside the swept folders
    EmptyFolderLink,  // a Unix symbolic link to an empty folder outside the swept folders
};

// What the uninstall procedure must do to an item.
enum class Fate {
    Removed,
    Kept,    // and left intact
    Either,  // not decided by the procedure alone (a link, where the platform decides)
};

struct Item {
    Kind kind;
    std::wstring path;  // Key: path relative to HKEY_CLASSES_ROOT; otherwise the full path
    Fate fate;
};

std::wstring DownloadedControlsFolder();  // the Windows folder's "Downloaded Program Files"
std::wstring SystemFolder();
std::wstring OutsideFolder();  // where link targets live, outside both swept folders

// The target of a link item.
std::wstring LinkTarget(const Item& link);

// Creates the item (for a link: its target and the link). Returns false when that failed.
bool Seed(const Item& item);

// Whether the item's path exists (a link: the link itself, dangling or not).
bool Present(const Item& item);

// Whether the item is present with exactly what Seed put there (a link: its target is).
bool Intact(const Item& item);

// Removes the items (links without following them) and their link targets.
void Clear(const std::vector<Item>& items);

// Creates (present) or removes (with all its contents) the downloaded-controls folder.
bool SetDownloadedControlsFolder(bool present);

// The entry names of a folder in the order in which a listing yields them.
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// Everything that the uninstall procedure could touch: the subkeys of HKEY_CLASSES_ROOT, of its
// CLSID and of its TypeLib key (as key paths), and the entries of both swept folders (as full
// paths). Comparing two of them shows what a run removed and added.
std::set<std::wstring> TakeListing();

// A file held open without delete sharing, so that nobody can delete it until this ends.
class HeldOpen {
public:
    explicit HeldOpen(const std::wstring& path);
    ~HeldOpen();
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle;
};
