#include "FakeMachine.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "PlatformServices.h"

namespace fake {

std::map<int, std::string> specialFolders;
std::map<std::string, LONG> failOpen, failEnum;
std::map<std::string, NTSTATUS> failDelete;
std::vector<std::string> undeletable, shellKeeps;
std::map<int, bool> failLocation, failPathConversion;
bool beforeVista;
std::vector<Box> boxes;
int registryCalls;
std::vector<std::string> problems;

namespace {

const NTSTATUS kStatusAccessDenied = (NTSTATUS)0xC0000022;
const NTSTATUS kStatusCannotDelete = (NTSTATUS)0xC0000121;

std::map<std::string, std::string> registry;  // key path -> link target, "" for a plain key
struct Entry {
    std::string path;
    DWORD attributes;
    std::string linkTarget;
};
std::vector<Entry> fileTree;  // in listing order
DWORD lastError;

// What a handle or ID list stands for: kind 'k' key, 's' search, 'f' file, 'i' ID list.
struct Handle {
    char kind;
    std::string path;
    std::vector<Entry> listing;
};
std::map<uintptr_t, Handle> handles;
uintptr_t lastHandle;

std::string Parent(const std::string& path)
{
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool Within(const std::string& path, const std::string& folder)
{
    return path == folder || path.rfind(folder + "\\", 0) == 0;
}

template <typename T>
T Open(char kind, const std::string& path)
{
    handles[++lastHandle] = Handle{kind, path, {}};
    return reinterpret_cast<T>(lastHandle);
}

Handle* Find(const void* handle, char kind)
{
    auto found = handles.find(reinterpret_cast<uintptr_t>(handle));
    if (found != handles.end() && found->second.kind == kind)
        return &found->second;
    problems.push_back(std::string("unknown handle of kind ") + kind);
    return nullptr;
}

void Release(const void* handle, char kind)
{
    if (Find(handle, kind) != nullptr)
        handles.erase(reinterpret_cast<uintptr_t>(handle));
}

Entry* FindFile(const std::string& path)
{
    for (Entry& entry : fileTree)
        if (entry.path == path)
            return &entry;
    return nullptr;
}

// Where a call on path lands: a link's target, unless the link is asked for and opens as itself.
std::string Resolve(const std::string& path, bool asItself)
{
    const Entry* entry = FindFile(path);
    if (entry == nullptr || entry->linkTarget.empty() ||
        (asItself && (entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0))
        return path;
    return entry->linkTarget;
}

BOOL Remove(const std::string& path)
{
    for (const std::string& kept : undeletable)
        if (Within(kept, path))
            return FALSE;
    auto gone = [&](const Entry& e) { return Within(e.path, path); };
    fileTree.erase(std::remove_if(fileTree.begin(), fileTree.end(), gone), fileTree.end());
    return TRUE;
}

std::vector<std::string> Children(const std::string& key)
{
    std::vector<std::string> names;
    for (const auto& item : registry)
        if (item.first != key && Parent(item.first) == key)
            names.push_back(item.first.substr(key.empty() ? 0 : key.size() + 1));
    return names;
}

}  // namespace

void reset()
{
    failOpen.clear(), failEnum.clear(), failDelete.clear(), undeletable.clear(), shellKeeps.clear();
    failLocation.clear(), failPathConversion.clear(), beforeVista = false;
    boxes.clear(), registryCalls = 0, problems.clear();
    registry.clear(), fileTree.clear(), handles.clear();
    specialFolders = {{CSIDL_WINDOWS, "C:\\WINDOWS"}, {CSIDL_SYSTEM, "C:\\WINDOWS\\system32"}};
}

void addKey(const std::string& path, const std::string& linkTarget)
{
    if (path.find('\\') != std::string::npos)
        addKey(Parent(path));
    if (registry.count(path) == 0 || !linkTarget.empty())
        registry[path] = linkTarget;
}

void addFile(const std::string& path, DWORD attributes, const std::string& linkTarget)
{
    addFolder(Parent(path));
    fileTree.push_back(Entry{path, attributes, linkTarget});
}

void addFolder(const std::string& path)
{
    if (path.find('\\') != std::string::npos && FindFile(path) == nullptr)
        addFile(path, FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> keys()
{
    std::vector<std::string> paths;
    for (const auto& item : registry)
        paths.push_back(item.first);
    return paths;
}

std::vector<std::string> files()
{
    std::vector<std::string> paths;
    for (const Entry& entry : fileTree)
        paths.push_back(entry.path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

int openHandles() { return (int)handles.size(); }

}  // namespace fake

namespace PlatformServices {

using namespace fake;

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST* idList)
{
    if (failLocation[folder])
        return (HRESULT)0x80004005;
    *idList = Open<LPITEMIDLIST>('i', std::to_string(folder));
    return S_OK;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST idList, LPSTR path)
{
    const Handle* list = Find(idList, 'i');
    if (list == nullptr || failPathConversion[std::stoi(list->path)])
        return FALSE;
    strcpy(path, specialFolders[std::stoi(list->path)].c_str());
    return TRUE;
}

void CoTaskMemFree(LPVOID block) { Release(block, 'i'); }
LPSTR lstrcatA(LPSTR path, LPCSTR suffix) { return strcat(path, suffix); }

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    boxes.push_back(Box{owner, text, caption, type});
    return IDOK;
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* entry)
{
    const std::string text = pattern, folder = Parent(text);
    const Entry* found = FindFile(folder);
    if (text != folder + "\\*.*" || found == nullptr || !(found->attributes & FILE_ATTRIBUTE_DIRECTORY))
        return lastError = ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE;
    HANDLE search = Open<HANDLE>('s', folder);
    std::vector<Entry>& listing = handles[(uintptr_t)search].listing;
    listing = {{"..", FILE_ATTRIBUTE_DIRECTORY, ""}, {".", FILE_ATTRIBUTE_DIRECTORY, ""}};
    for (const Entry& item : fileTree)
        if (Parent(item.path) == folder)
            listing.insert(listing.begin(), Entry{item.path.substr(folder.size() + 1), item.attributes, ""});
    FindNextFileA(search, entry);
    return search;
}

// The listing is kept backwards: the next entry is the last.
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* entry)
{
    Handle* handle = Find(search, 's');
    if (handle == nullptr || handle->listing.empty())
        return lastError = ERROR_NO_MORE_ITEMS, FALSE;
    *entry = WIN32_FIND_DATAA();
    entry->dwFileAttributes = handle->listing.back().attributes;
    strcpy(entry->cFileName, handle->listing.back().path.c_str());
    handle->listing.pop_back();
    return TRUE;
}

BOOL FindClose(HANDLE search) { return Release(search, 's'), TRUE; }

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int length = vsnprintf(buffer, 1024, format, arguments);
    va_end(arguments);
    return length;
}

// The shell follows every link, and deletes a folder whole or not at all.
int SHFileOperationA(SHFILEOPSTRUCTA* operation)
{
    const std::string path = operation->pFrom;
    if (operation->pFrom[path.size() + 1] != '\0' || operation->wFunc != FO_DELETE || operation->pTo ||
        operation->hwnd || operation->fFlags != (FOF_NOCONFIRMATION | FOF_ALLOWUNDO))
        problems.push_back("shell deletion not as asked: " + path);
    if (std::count(shellKeeps.begin(), shellKeeps.end(), path) != 0)
        return 0;
    return FindFile(path) != nullptr && Remove(Resolve(path, false)) ? 0 : 0x7C;
}

BOOL DeleteFileA(LPCSTR path) { return Remove(path); }
BOOL RemoveDirectoryA(LPCSTR path) { return Remove(path); }

HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE)
{
    if (FindFile(path) == nullptr)
        return lastError = ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE;
    return Open<HANDLE>('f', Resolve(path, (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0));
}

DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR path, DWORD capacity, DWORD)
{
    const Handle* handle = Find(file, 'f');
    if (beforeVista || handle == nullptr || FindFile(handle->path) == nullptr)
        return lastError = beforeVista ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_FILE_NOT_FOUND, 0;
    const std::string final = "\\\\?\\" + handle->path;
    if (final.size() >= capacity)
        return (DWORD)final.size() + 1;
    strcpy(path, final.c_str());
    return (DWORD)final.size();
}

BOOL CloseHandle(HANDLE handle) { return Release(handle, 'f'), TRUE; }

DWORD GetFileAttributesA(LPCSTR path)
{
    const Entry* found = FindFile(path);
    return found ? found->attributes : (lastError = ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
}

DWORD GetLastError() { return lastError; }

LONG RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM, HKEY* key)
{
    ++registryCalls;
    const Handle* parentKey = parent == HKEY_CLASSES_ROOT ? nullptr : Find(parent, 'k');
    std::string path = parentKey == nullptr ? subKey : parentKey->path + "\\" + subKey;
    if (registry.count(path) != 0 && failOpen.count(path) != 0)
        return failOpen[path];
    if (registry.count(path) != 0 && !registry[path].empty() && !(options & REG_OPTION_OPEN_LINK))
        path = registry[path];
    if (registry.count(path) == 0)
        return ERROR_FILE_NOT_FOUND;
    *key = Open<HKEY>('k', path);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR,
                   LPDWORD, FILETIME*)
{
    ++registryCalls;
    const Handle* handle = Find(key, 'k');
    if (handle == nullptr || failEnum.count(handle->path) != 0)
        return handle == nullptr ? 6 : failEnum[handle->path];
    const std::vector<std::string> children = Children(handle->path);
    if (index >= children.size())
        return ERROR_NO_MORE_ITEMS;
    if (children[index].size() >= *nameLength)
        return 234;  // ERROR_MORE_DATA
    strcpy(name, children[index].c_str());
    *nameLength = (DWORD)children[index].size();
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) { return Release(key, 'k'), ERROR_SUCCESS; }

NTSTATUS NtDeleteKey(HANDLE key)
{
    ++registryCalls;
    const Handle* handle = Find(key, 'k');
    if (handle == nullptr || failDelete.count(handle->path) != 0)
        return handle == nullptr ? kStatusAccessDenied : failDelete[handle->path];
    if (!Children(handle->path).empty())
        return kStatusCannotDelete;
    registry.erase(handle->path);
    return 0;
}

ULONG RtlNtStatusToDosError(NTSTATUS status)
{
    return status == kStatusAccessDenied || status == kStatusCannotDelete ? ERROR_ACCESS_DENIED : 317;
}

}  // namespace PlatformServices
