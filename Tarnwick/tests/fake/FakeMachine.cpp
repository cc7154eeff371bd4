#include "FakeMachine.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "PlatformServices.h"

namespace fake {

Machine machine;

namespace {

const NTSTATUS kStatusCannotDelete = (NTSTATUS)0xC0000121;

std::string Parent(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool Within(const std::string& path, const std::string& folder) {
    return path == folder || path.rfind(folder + "\\", 0) == 0;
}

// The names of the entries directly below path, in order.
template <typename Map>
std::vector<std::string> Children(const Map& map, const std::string& path) {
    std::vector<std::string> names;
    for (const auto& item : map)
        if (item.first != path && Parent(item.first) == path)
            names.push_back(item.first.substr(path.empty() ? 0 : path.size() + 1));
    return names;
}

template <typename Map>
std::vector<std::string> Paths(const Map& map) {
    std::vector<std::string> paths;
    for (const auto& item : map) paths.push_back(item.first);
    return paths;
}

template <typename T>
T Open(const std::string& path) {
    static uintptr_t last;
    machine.handles[++last] = Handle{path, {}};
    return reinterpret_cast<T>(last);
}

// An unknown handle, or one already released, throws, which fails the test.
Handle& Find(const void* handle) { return machine.handles.at(reinterpret_cast<uintptr_t>(handle)); }
void Release(const void* handle) {
    Find(handle);
    machine.handles.erase(reinterpret_cast<uintptr_t>(handle));
}

// Where a call on path lands: a link's target, unless the link is asked for and opens as itself.
std::string Resolve(const std::string& path, bool asItself) {
    auto entry = machine.files.find(path);
    if (entry == machine.files.end() || entry->second.linkTarget.empty() ||
        (asItself && (entry->second.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0))
        return path;
    return entry->second.linkTarget;
}

BOOL Remove(const std::string& path) {
    const std::vector<std::string>& kept = machine.undeletable;
    if (std::any_of(kept.begin(), kept.end(), [&](const std::string& item) { return Within(item, path); }))
        return FALSE;
    for (const std::string& file : Paths(machine.files))
        if (Within(file, path)) machine.files.erase(file);
    return TRUE;
}

}  // namespace

void addKey(const std::string& path, const std::string& linkTarget) {
    if (path.find('\\') != std::string::npos) addKey(Parent(path));
    if (machine.registry.count(path) == 0 || !linkTarget.empty()) machine.registry[path] = linkTarget;
}

void addFile(const std::string& path, DWORD attributes, const std::string& linkTarget) {
    addFolder(Parent(path));
    machine.files[path] = Entry{attributes, linkTarget};
}

void addFolder(const std::string& path) {
    if (path.find('\\') != std::string::npos && machine.files.count(path) == 0)
        addFile(path, FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> keys() { return Paths(machine.registry); }
std::vector<std::string> files() { return Paths(machine.files); }

}  // namespace fake

namespace PlatformServices {

using namespace fake;

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST* idList) {
    if (machine.specialFolders.count(folder) == 0) return (HRESULT)0x80004005;
    *idList = Open<LPITEMIDLIST>(machine.specialFolders[folder]);
    return S_OK;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST idList, LPSTR path) {
    return !Find(idList).path.empty() && strcpy(path, Find(idList).path.c_str());
}

void CoTaskMemFree(LPVOID block) { Release(block); }
LPSTR lstrcatA(LPSTR path, LPCSTR suffix) { return strcat(path, suffix); }

int MessageBoxA(HWND owner, LPCSTR, LPCSTR, UINT type) { return machine.boxes.push_back(Box{owner, type}), IDOK; }

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* entry) {
    const std::string folder = Parent(pattern);
    auto found = machine.files.find(folder);
    if (pattern != folder + "\\*.*" || found == machine.files.end() ||
        (found->second.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return machine.lastError = ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE;
    HANDLE search = Open<HANDLE>(folder);
    std::vector<std::string>& listing = Find(search).listing = Children(machine.files, folder);
    listing.insert(listing.begin(), {".", ".."});
    std::reverse(listing.begin(), listing.end());
    return FindNextFileA(search, entry), search;
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* entry) {
    Handle& handle = Find(search);
    if (handle.listing.empty()) return machine.lastError = ERROR_NO_MORE_ITEMS, FALSE;
    const std::string name = handle.listing.back();
    handle.listing.pop_back();
    *entry = WIN32_FIND_DATAA();
    entry->dwFileAttributes =
        name[0] == '.' ? FILE_ATTRIBUTE_DIRECTORY : machine.files[handle.path + "\\" + name].attributes;
    strcpy(entry->cFileName, name.c_str());
    return TRUE;
}

BOOL FindClose(HANDLE search) { return Release(search), TRUE; }

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int length = vsnprintf(buffer, 1024, format, arguments);
    va_end(arguments);
    return length;
}

// The shell follows every link, and deletes a folder whole or not at all.
int SHFileOperationA(SHFILEOPSTRUCTA* operation) {
    const std::string path = operation->pFrom;
    if (operation->pFrom[path.size() + 1] != '\0' || operation->wFunc != FO_DELETE || operation->pTo ||
        operation->hwnd || operation->fFlags != (FOF_NOCONFIRMATION | FOF_ALLOWUNDO))
        machine.problems.push_back("shell deletion not as asked: " + path);
    if (std::count(machine.shellKeeps.begin(), machine.shellKeeps.end(), path) != 0) return 0;
    return machine.files.count(path) != 0 && Remove(Resolve(path, false)) ? 0 : 0x7C;
}

BOOL DeleteFileA(LPCSTR path) { return Remove(path); }
BOOL RemoveDirectoryA(LPCSTR path) { return Remove(path); }

HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE) {
    if (machine.files.count(path) == 0) return machine.lastError = ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE;
    return Open<HANDLE>(Resolve(path, (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0));
}

DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR path, DWORD capacity, DWORD) {
    const std::string& resolved = Find(file).path;
    if (machine.beforeVista || machine.files.count(resolved) == 0)
        return machine.lastError = machine.beforeVista ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_FILE_NOT_FOUND, 0;
    const std::string final = "\\\\?\\" + resolved;
    if (final.size() >= capacity) return (DWORD)final.size() + 1;
    strcpy(path, final.c_str());
    return (DWORD)final.size();
}

BOOL CloseHandle(HANDLE handle) { return Release(handle), TRUE; }

DWORD GetFileAttributesA(LPCSTR path) {
    auto found = machine.files.find(path);
    if (found == machine.files.end()) return machine.lastError = ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES;
    return found->second.attributes;
}

DWORD GetLastError() { return machine.lastError; }

LONG RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM, HKEY* key) {
    std::string path = parent == HKEY_CLASSES_ROOT ? subKey : Find(parent).path + "\\" + subKey;
    auto found = machine.registry.find(path);
    if (found != machine.registry.end() && machine.failOpen.count(path) != 0) return machine.failOpen[path];
    if (found != machine.registry.end() && !found->second.empty() && !(options & REG_OPTION_OPEN_LINK))
        path = found->second;
    if (machine.registry.count(path) == 0) return ERROR_FILE_NOT_FOUND;
    *key = Open<HKEY>(path);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR,
                   LPDWORD, FILETIME*) {
    const std::string& path = Find(key).path;
    if (machine.failEnum.count(path) != 0) return machine.failEnum[path];
    const std::vector<std::string> children = Children(machine.registry, path);
    if (index >= children.size()) return ERROR_NO_MORE_ITEMS;
    if (children[index].size() >= *nameLength)
        return 234;  // ERROR_MORE_DATA
    strcpy(name, children[index].c_str());
    *nameLength = (DWORD)children[index].size();
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) { return Release(key), ERROR_SUCCESS; }

NTSTATUS NtDeleteKey(HANDLE key) {
    const std::string& path = Find(key).path;
    if (machine.failDelete.count(path) != 0) return machine.failDelete[path];
    if (!Children(machine.registry, path).empty()) return kStatusCannotDelete;
    machine.registry.erase(path);
    return 0;
}

// Every failure the tests make is a refusal.
ULONG RtlNtStatusToDosError(NTSTATUS) { return ERROR_ACCESS_DENIED; }

}  // namespace PlatformServices
