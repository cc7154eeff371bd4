#include "Machine.h"

#include "Report.h"
#include "WineUnix.h"

namespace {

const wchar_t kCategoryKey[] = L"Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}";

std::string ContentsOf(const std::wstring& path)
{
    return "Tarnwick end-to-end test: " + Utf8(path);
}

bool WriteTextFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string contents = ContentsOf(path);
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents.data(), (DWORD)contents.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == contents.size();
}

bool HasTextFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[1024];
    DWORD read = 0;
    BOOL ok = ReadFile(file, buffer, sizeof buffer, &read, NULL);
    CloseHandle(file);
    return ok && std::string(buffer, read) == ContentsOf(path);
}

// A folder with contents two levels deep, so that a partial removal shows.
bool MakeFolder(const std::wstring& path)
{
    return CreateDirectoryW(path.c_str(), NULL) && WriteTextFile(path + L"\\readme.txt") &&
           CreateDirectoryW((path + L"\\nested").c_str(), NULL) &&
           WriteTextFile(path + L"\\nested\\QUILLODECK.OCX");
}

bool HasFolder(const std::wstring& path)
{
    return HasTextFile(path + L"\\readme.txt") && HasTextFile(path + L"\\nested\\QUILLODECK.OCX");
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SetString(HKEY key, const wchar_t* name, const std::wstring& data)
{
    return RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)data.c_str(),
                          (DWORD)((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool HasString(const std::wstring& keyPath, const wchar_t* name, const std::wstring& data)
{
    wchar_t buffer[512];
    DWORD size = sizeof buffer;
    return RegGetValueW(HKEY_CLASSES_ROOT, keyPath.c_str(), name, RRF_RT_REG_SZ, NULL, buffer,
                        &size) == ERROR_SUCCESS &&
           data == buffer;
}

bool CreateKeyWithValue(const std::wstring& path, const wchar_t* name, const std::wstring& data)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return false;
    bool ok = SetString(key, name, data);
    RegCloseKey(key);
    return ok;
}

// A registration's key as an installer leaves it: a value, and subkeys two levels deep.
bool MakeKey(const std::wstring& path)
{
    return CreateKeyWithValue(path, NULL, path) &&
           CreateKeyWithValue(path + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
           CreateKeyWithValue(path + L"\\" + kCategoryKey, NULL, L"");
}

bool HasKey(const std::wstring& path)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Unix symbolic links are made, seen and removed on the Unix side: Wine's own calls cannot make
// one, its listings leave out a link whose target is gone, and its DeleteFile and RemoveDirectory
// act on the target.
bool IsUnixLink(const std::wstring& link)
{
    std::string unixLink = wine_unix::UnixPath(link);
    return !unixLink.empty() &&
           wine_unix::RunUnixShell("test -L " + wine_unix::ShellQuoted(unixLink)) == 0;
}

bool RemoveUnixLink(const std::wstring& link)
{
    std::string unixLink = wine_unix::UnixPath(link);
    return !unixLink.empty() &&
           wine_unix::RunUnixShell("rm -f -- " + wine_unix::ShellQuoted(unixLink)) == 0;
}

// Removes a file, or a folder with everything in it, without following links. Returns true when
// nothing is left.
bool RemoveTree(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return RemoveUnixLink(path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        for (const std::wstring& name : ListFolder(path))
            RemoveTree(path + L"\\" + name);
        return RemoveDirectoryW(path.c_str()) != FALSE;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != FALSE;
}

bool IsLink(Kind kind)
{
    return kind == Kind::FileLink || kind == Kind::FolderLink || kind == Kind::EmptyFolderLink;
}

void AddSubkeys(const std::wstring& keyPath, std::set<std::wstring>& listing)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    std::wstring prefix = keyPath.empty() ? keyPath : keyPath + L"\\";
    wchar_t name[256];
    DWORD length = 256;
    for (DWORD index = 0;
         RegEnumKeyExW(key, index, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
         ++index, length = 256)
        listing.insert(prefix + name);
    RegCloseKey(key);
}

void AddEntries(const std::wstring& folder, std::set<std::wstring>& listing)
{
    for (const std::wstring& name : ListFolder(folder))
        listing.insert(folder + L"\\" + name);
}

}  // namespace

std::wstring DownloadedControlsFolder()
{
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\Downloaded Program Files";
}

std::wstring SystemFolder()
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return system;
}

std::wstring OutsideFolder()
{
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows, 2) + L"\\tarnwick-e2e-outside";
}

std::wstring LinkTarget(const Item& link)
{
    std::wstring name = link.path;
    for (wchar_t& c : name) {
        if (c == L'\\' || c == L':')
            c = L'_';
    }
    return OutsideFolder() + L"\\" + name;
}

bool Seed(const Item& item)
{
    switch (item.kind) {
    case Kind::Key:
        return MakeKey(item.path);
    case Kind::File:
        return WriteTextFile(item.path);
    case Kind::Folder:
        return MakeFolder(item.path);
    case Kind::FileLink:
    case Kind::FolderLink:
    case Kind::EmptyFolderLink: {
        std::wstring target = LinkTarget(item);
        CreateDirectoryW(OutsideFolder().c_str(), NULL);
        bool made = false;
        if (item.kind == Kind::FileLink)
            made = WriteTextFile(target);
        else if (item.kind == Kind::FolderLink)
            made = MakeFolder(target);
        else
            made = CreateDirectoryW(target.c_str(), NULL) != FALSE;
        return made && wine_unix::MakeUnixLink(item.path, target);
    }
    }
    return false;
}

bool Present(const Item& item)
{
    if (item.kind == Kind::Key)
        return HasKey(item.path);
    if (IsLink(item.kind))
        return IsUnixLink(item.path);
    return GetFileAttributesW(item.path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Intact(const Item& item)
{
    switch (item.kind) {
    case Kind::Key:
        return HasString(item.path, NULL, item.path) &&
               HasString(item.path + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
               HasKey(item.path + L"\\" + kCategoryKey);
    case Kind::File:
        return HasTextFile(item.path);
    case Kind::Folder:
        return HasFolder(item.path);
    case Kind::FileLink:
        return HasTextFile(LinkTarget(item));
    case Kind::FolderLink:
        return HasFolder(LinkTarget(item));
    case Kind::EmptyFolderLink:
        return IsFolder(LinkTarget(item)) && ListFolder(LinkTarget(item)).empty();
    }
    return false;
}

void Clear(const std::vector<Item>& items)
{
    for (const Item& item : items) {
        if (item.kind == Kind::Key) {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, item.path.c_str());
        } else if (IsLink(item.kind)) {
            RemoveUnixLink(item.path);
            RemoveTree(LinkTarget(item));
        } else {
            RemoveTree(item.path);
        }
    }
}

bool SetDownloadedControlsFolder(bool present)
{
    std::wstring folder = DownloadedControlsFolder();
    if (!present)
        return RemoveTree(folder);
    return IsFolder(folder) || CreateDirectoryW(folder.c_str(), NULL);
}

std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

std::set<std::wstring> TakeListing()
{
    std::set<std::wstring> listing;
    AddSubkeys(L"", listing);
    AddSubkeys(L"CLSID", listing);
    AddSubkeys(L"TypeLib", listing);
    AddEntries(DownloadedControlsFolder(), listing);
    AddEntries(SystemFolder(), listing);
    return listing;
}

HeldOpen::HeldOpen(const std::wstring& path)
    : handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL))
{
}

HeldOpen::~HeldOpen()
{
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}
