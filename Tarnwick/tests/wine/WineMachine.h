// Helpers for the engine's tests under Wine: scratch folders in the prefix's temp folder, files,
// Unix symbolic links, the Unix trash, and scratch keys under HKEY_CLASSES_ROOT.
//
// Under Wine every Windows file call on a Unix symbolic link acts on the link's target, so the
// links, and the scratch folders that hold them, are made and removed with Unix programs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace wine_machine {

// The Unix path of a Windows path in the prefix, and the reverse; "" when Wine cannot map it.
std::string UnixPath(const std::string& windowsPath);
std::string WindowsPath(const std::string& unixPath);

// The value of an environment variable, or "".
std::string EnvironmentVariable(const char* name);

// A new, empty folder below the prefix's temp folder, named after label and unique to this
// process; on destruction it is removed with everything below it, links as links.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* label);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path, without a trailing backslash.
    const std::string& Path() const { return path_; }
    // The path of name (which may hold backslashes) inside the folder.
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

::testing::AssertionResult MakeFolder(const std::string& path);
::testing::AssertionResult MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
// Makes a Unix symbolic link at linkPath pointing at the existing targetPath (both Windows paths).
::testing::AssertionResult MakeUnixSymlink(const std::string& linkPath, const std::string& targetPath);

bool Exists(const std::string& path);

struct Entry {
    std::string name;
    DWORD attributes;
};
// The entries of a folder in the order FindFirstFileA/FindNextFileA give them, "." and ".." left
// out; empty when the folder cannot be listed.
std::vector<Entry> ListFolder(const std::string& folder);
std::vector<std::string> Names(const std::vector<Entry>& entries);
// The names of a folder's entries in byte order.
std::vector<std::string> SortedNames(const std::string& folder);

// The Unix trash of the test environment: $XDG_DATA_HOME/Trash.
class Trash {
public:
    // Reads XDG_DATA_HOME; fails unless it is an absolute path inside HOME, and HOME and the Wine
    // prefix lie in one folder, as the throwaway environment of with-wine-prefix.sh has them.
    static ::testing::AssertionResult Locate(Trash* trash);

    const std::string& DataHome() const { return dataHome_; }
    // The path in the trash's files folder of the item that was deleted from originalPath
    // (a Windows path), or "" when the trash holds no such item.
    std::string ItemFor(const std::string& originalPath) const;

private:
    std::string dataHome_;  // Windows path of $XDG_DATA_HOME
};

// A key under HKEY_CLASSES_ROOT, named after label and unique to this process, that holds the
// keys of one test; it is removed with everything below it on destruction.
class ScratchKey {
public:
    explicit ScratchKey(const char* label);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    // The key's path relative to HKEY_CLASSES_ROOT.
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Creates the key path (relative to HKEY_CLASSES_ROOT) and every missing key above it, and gives
// it a string value named "Marker" holding the path.
::testing::AssertionResult MakeKey(const std::string& path);
bool KeyExists(const std::string& path);
// True when the key exists and its "Marker" value still holds its path.
bool KeyIntact(const std::string& path);
// The number of direct subkeys of a key (HKEY_CLASSES_ROOT itself for ""), or -1.
long SubkeyCount(const std::string& path);

}  // namespace wine_machine
