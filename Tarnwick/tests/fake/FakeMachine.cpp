#include "FakeMachine.h"

#include <algorithm>
#include <codecvt>
#include <locale>

#include "PlatformServices.h"

namespace fake {

Machine machine;

namespace {

const NTSTATUS kStatusAccessDenied = (NTSTATUS)0xC0000022;
const NTSTATUS kStatusCannotDelete = (NTSTATUS)0xC0000121;
const NTSTATUS kStatusKeyDeleted = (NTSTATUS)0xC000017C;
const int kShellNoSuchFile = 0x7C;

// A path without a backslash is its own parent.
std::string Parent(const std::string& path)
{
    return path.substr(0, path.rfind('\\'));
}

// The names of the entries directly below path, in order.
template <typename Map>
std::vector<std::string> Children(const Map& map, const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& item : map) {
        if (item.first != path && Parent(item.first) == path)
            names.push_back(item.first.substr(path.size() + 1));
    }
    return names;
}

template <typename Map>
std::vector<std::string> Paths(const Map& map)
{
    std::vector<std::string> paths;
    for (const auto& item : map)
        paths.push_back(item.first);
    return paths;
}

// Handles of every type are numbered in one sequence, so that none stands for two things.
uintptr_t lastHandle;

template <typename T>
T Open(const std::string& path, REGSAM access = 0, const std::vector<std::string>& listing = {})
{
    machine.handles[++lastHandle] = Handle{path, access, listing};
    return reinterpret_cast<T>(lastHandle);
}

// An unknown handle, or one already released, throws, which fails the test.
Handle& Find(const void* handle)
{
    return machine.handles.at(reinterpret_cast<uintptr_t>(handle));
}

// Sets the last error, as a failing call does, and returns the call's result.
template <typename T>
T Fail(DWORD error, T result)
{
    machine.lastError = error;
    return result;
}

// Releases a handle; a named object goes with the last handle that names it.
void Release(const void* handle)
{
    const std::string path = Find(handle).path;
    machine.handles.erase(reinterpret_cast<uintptr_t>(handle));
    for (const auto& other : machine.handles) {
        if (other.second.path == path)
            return;
    }
    machine.objects.erase(path);
}

// Opens the named object, made with security's descriptor (SDDL) where missing. An ordinary user
// is refused one that lets in neither everyone (WD) nor the users (BU); the default lets all in.
HANDLE OpenObject(const std::string& name, LPSECURITY_ATTRIBUTES security)
{
    const bool made = machine.objects.count(name) == 0;
    std::string& sddl = machine.objects[name];
    if (made && security != NULL && security->lpSecurityDescriptor != NULL)
        sddl = Find(security->lpSecurityDescriptor).path;
    const bool forUsers = sddl.empty() || sddl.find(";;;WD)") != std::string::npos ||
                          sddl.find(";;;BU)") != std::string::npos;
    if (!made && !forUsers && !machine.administrator)
        return Fail(ERROR_ACCESS_DENIED, (HANDLE)NULL);
    return Open<HANDLE>(name);
}

typedef std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t> Converter;

// Windows refuses a path of MAX_PATH characters or more that has no "\\?\" prefix.
bool TooLong(const std::string& path)
{
    return Utf16(path).size() > MAX_PATH;
}

// Whether the entry at path is there; where it is not, the last error says why.
bool Exists(const std::string& path)
{
    if (TooLong(path))
        return Fail(ERROR_PATH_NOT_FOUND, false);
    return machine.files.count(path) != 0 || Fail(ERROR_FILE_NOT_FOUND, false);
}

// Where a call on path lands: a link's target, unless the link is asked for and opens as itself.
std::string Resolve(const std::string& path, bool asItself)
{
    auto entry = machine.files.find(path);
    if (entry == machine.files.end() || entry->second.linkTarget.empty() ||
        (asItself && (entry->second.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0))
        return path;
    return entry->second.linkTarget;
}

BOOL Remove(const std::string& path)
{
    if (!Exists(path))
        return FALSE;
    for (const auto& item : machine.inUse) {
        if (Within(item.first, path))
            return Fail(item.second, FALSE);
    }
    for (const std::string& file : Paths(machine.files)) {
        if (Within(file, path))
            machine.files.erase(file);
    }
    return TRUE;
}

// Copies text into a buffer of capacity units with its terminator; false when it does not fit.
bool CopyOut(const std::string& text, LPWSTR buffer, size_t capacity)
{
    const std::vector<WCHAR> wide = Utf16(text);
    if (wide.size() > capacity)
        return false;
    std::copy(wide.begin(), wide.end(), buffer);
    return true;
}

// What a key handle stands for, a root's included.
Handle Key(HKEY key)
{
    static const std::map<HKEY, std::string> kRoots = {
        {HKEY_CURRENT_USER, "HKCU"}, {HKEY_LOCAL_MACHINE, "HKLM"}, {HKEY_USERS, "HKU"}};
    if (kRoots.count(key) != 0)
        return Handle{kRoots.at(key), KEY_READ, {}};
    return Find(key);
}

// Where the 32-bit view shows a key of the machine: Software's keys below its Wow6432Node, and its
// classes' CLSID and Interface below theirs; the other classes are shared.
std::string View32(const std::string& path)
{
    const std::string classes = "HKLM\\Software\\Classes";
    if (Within(path, classes + "\\CLSID") || Within(path, classes + "\\Interface"))
        return classes + "\\Wow6432Node" + path.substr(classes.size());
    if (Within(path, "HKLM\\Software") && !Within(path, classes))
        return "HKLM\\Software\\Wow6432Node" + path.substr(13);
    return path;
}

// A 32-bit program's path: the Windows folder's system32 is SysWOW64, and Sysnative is system32.
std::string FilePath(const std::string& path)
{
    if (!machine.wow64 || machine.specialFolders.count(CSIDL_WINDOWS) == 0)
        return path;
    const std::string windows = machine.specialFolders[CSIDL_WINDOWS] + "\\";
    if (Within(path, windows + "system32"))
        return windows + "SysWOW64" + path.substr(windows.size() + 8);
    if (Within(path, windows + "Sysnative"))
        return windows + "system32" + path.substr(windows.size() + 9);
    return path;
}

// The path with its folders' links followed, as Windows follows them; the last name is the call's.
std::string FollowFolders(const std::string& path)
{
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos)
        return path;
    return Resolve(FollowFolders(path.substr(0, slash)), false) + path.substr(slash);
}

std::string Path(LPCWSTR path)
{
    return FollowFolders(FilePath(Utf8(path)));
}

}  // namespace

void addKey(const std::string& path, const std::string& linkTarget)
{
    if (path.find('\\') != std::string::npos)
        addKey(Parent(path));
    if (machine.registry.count(path) == 0 || !linkTarget.empty())
        machine.registry[path] = linkTarget;
}

void addFile(const std::string& path, DWORD attributes, const std::string& linkTarget)
{
    const std::string folder = Parent(path);
    if (folder.find('\\') != std::string::npos && machine.files.count(folder) == 0)
        addFile(folder, FILE_ATTRIBUTE_DIRECTORY);
    machine.files[path] = Entry{attributes, linkTarget};
}

void addHiveKey(const std::string& file, const std::string& key)
{
    if (key.find('\\') != std::string::npos)
        addHiveKey(file, Parent(key));
    machine.hiveFiles[file][key];
    addFile(file);
}

void setValue(const std::string& key, const std::string& name, const std::string& text)
{
    const std::vector<WCHAR> wide = Utf16(text);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(wide.data());
    addKey(key);
    machine.values[key + "|" + name] = {REG_SZ, {bytes, bytes + wide.size() * sizeof(WCHAR)}};
}

void setDword(const std::string& key, const std::string& name, DWORD number)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
    addKey(key);
    machine.values[key + "|" + name] = {REG_DWORD, {bytes, bytes + sizeof number}};
}

DWORD dwordOf(const Value& value)
{
    DWORD number = 0;
    if (value.type == REG_DWORD && value.data.size() == sizeof number)
        std::copy(value.data.begin(), value.data.end(), reinterpret_cast<BYTE*>(&number));
    return number;
}

void holdOpen(const std::string& path, DWORD error)
{
    machine.inUse[path] = error;
}

void refuse(const std::string& key, LONG error)
{
    machine.failOpen[key] = error;
}

void addProfile(const std::string& sid, const std::string& folder)
{
    setValue("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid,
             "ProfileImagePath", folder);
}

std::vector<std::string> keys()
{
    return Paths(machine.registry);
}

std::vector<std::string> files()
{
    return Paths(machine.files);
}

bool Within(const std::string& path, const std::string& folder)
{
    return path == folder || path.rfind(folder + "\\", 0) == 0;
}

bool Contains(const std::vector<std::string>& paths, const std::string& path)
{
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

std::string Utf8(LPCWSTR text)
{
    return Converter().to_bytes(reinterpret_cast<const char16_t*>(text));
}

std::vector<WCHAR> Utf16(const std::string& text)
{
    const std::u16string units = Converter().from_bytes(text);
    return std::vector<WCHAR>(units.c_str(), units.c_str() + units.size() + 1);
}

}  // namespace fake

namespace PlatformServices {

using namespace fake;

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST* idList)
{
    if (machine.specialFolders.count(folder) == 0)
        return (HRESULT)0x80004005;
    *idList = Open<LPITEMIDLIST>(machine.specialFolders[folder]);
    return S_OK;
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST idList, LPWSTR path)
{
    const std::string& folder = Find(idList).path;
    return !folder.empty() && CopyOut(folder, path, MAX_PATH);
}

void CoTaskMemFree(LPVOID block)
{
    Release(block);
}

int MessageBoxW(HWND, LPCWSTR, LPCWSTR, UINT type)
{
    machine.boxes.push_back(Box{type, machine.registry.size(), machine.files.size(), machine.lock});
    return IDOK;
}

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* entry)
{
    const std::string path = Path(pattern);
    const std::string folder = Parent(path);
    if (TooLong(path) || path != folder + "\\*.*" || machine.files.count(folder) == 0 ||
        (machine.files[folder].attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    const auto error = machine.listingErrors.find(folder);
    if (error != machine.listingErrors.end() && error->second == ERROR_ACCESS_DENIED)
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    std::vector<std::string> listing = Children(machine.files, folder);
    listing.insert(listing.begin(), {".", ".."});
    HANDLE search = Open<HANDLE>(folder, 0, listing);
    FindNextFileW(search, entry);
    return search;
}

BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* entry)
{
    Handle& handle = Find(search);
    if (handle.listing.size() == 1 && machine.listingErrors.count(handle.path) != 0)
        return Fail(machine.listingErrors[handle.path], FALSE);
    if (handle.listing.empty())
        return Fail(ERROR_NO_MORE_FILES, FALSE);
    const std::string name = handle.listing.front();
    handle.listing.erase(handle.listing.begin());
    *entry = WIN32_FIND_DATAW();
    entry->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    if (name != "." && name != "..")
        entry->dwFileAttributes = machine.files[handle.path + "\\" + name].attributes;
    CopyOut(name, entry->cFileName, MAX_PATH);
    return TRUE;
}

BOOL FindClose(HANDLE search)
{
    Release(search);
    return TRUE;
}

// The shell follows every link, and deletes a folder whole or not at all.
int SHFileOperationW(SHFILEOPSTRUCTW* operation)
{
    const std::string path = Path(operation->pFrom);
    const bool oneItem = operation->pFrom[Utf16(Utf8(operation->pFrom)).size()] == L'\0';
    if (!oneItem || operation->wFunc != FO_DELETE || operation->pTo != NULL ||
        operation->hwnd != NULL || operation->fFlags != machine.shellFlags)
        machine.problems.push_back("shell deletion not as asked: " + path);
    if (Contains(machine.shellKeeps, path))
        return 0;
    if (machine.files.count(path) == 0 || !Remove(Resolve(path, false)))
        return kShellNoSuchFile;
    return 0;
}

// A folder is deleted by RemoveDirectoryW alone, once it is empty.
BOOL DeleteFileW(LPCWSTR path)
{
    const std::string file = Path(path);
    const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
    if (machine.files.count(file) != 0 && (machine.files[file].attributes & refused) != 0)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    return Remove(file);
}

BOOL RemoveDirectoryW(LPCWSTR path)
{
    const std::string folder = Path(path);
    const auto entry = machine.files.find(folder);
    if (entry == machine.files.end())
        return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if ((entry->second.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return Fail(ERROR_DIRECTORY, FALSE);
    if ((entry->second.attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!Children(machine.files, folder).empty())
        return Fail(ERROR_DIR_NOT_EMPTY, FALSE);
    return Remove(folder);
}

// Only an administrator may schedule; a deletion's target is empty.
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR, DWORD)
{
    std::string path = Utf8(existing);
    if (!machine.administrator)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (path.rfind("\\\\?\\", 0) == 0)
        path = path.substr(4);
    machine.pending.push_back("\\??\\" + path);
    addKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    return TRUE;
}

// A short path is lengthened only while its entry is there.
DWORD GetLongPathNameW(LPCWSTR path, LPWSTR longPath, DWORD capacity)
{
    const std::string name = Utf8(path);
    const std::string file = machine.shortPaths.count(name) != 0 ? machine.shortPaths[name] : name;
    if (machine.files.count(file) == 0)
        return Fail(ERROR_FILE_NOT_FOUND, 0);
    CopyOut(file, longPath, capacity);
    return Utf16(file).size() - 1;
}

NTSTATUS NtSetInformationFile(HANDLE file, PIO_STATUS_BLOCK, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS informationClass)
{
    const Handle& handle = Find(file);
    const auto entry = machine.files.find(handle.path);
    if (informationClass != FileBasicInformation || length != sizeof(FILE_BASIC_INFORMATION))
        machine.problems.push_back("file information not as asked");
    if ((handle.access & FILE_WRITE_ATTRIBUTES) == 0 || entry == machine.files.end())
        return kStatusAccessDenied;
    const ULONG attributes = static_cast<FILE_BASIC_INFORMATION*>(information)->FileAttributes;
    const DWORD kept = entry->second.attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (attributes != 0)
        entry->second.attributes = kept | (attributes == FILE_ATTRIBUTE_NORMAL ? 0 : attributes);
    return 0;
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags,
                   HANDLE)
{
    const std::string file = Path(path);
    if (!Exists(file))
        return INVALID_HANDLE_VALUE;
    return Open<HANDLE>(Resolve(file, (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0), access);
}

DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD capacity, DWORD)
{
    const std::string& resolved = Find(file).path;
    if (machine.beforeVista)
        return Fail(ERROR_CALL_NOT_IMPLEMENTED, 0);
    if (machine.files.count(resolved) == 0)
        return Fail(ERROR_FILE_NOT_FOUND, 0);
    const std::string final = "\\\\?\\" + resolved;
    const DWORD size = (DWORD)Utf16(final).size();
    return CopyOut(final, path, capacity) ? size - 1 : size;
}

BOOL CloseHandle(HANDLE handle)
{
    Release(handle);
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    const std::string file = Path(path);
    if (!Exists(file))
        return INVALID_FILE_ATTRIBUTES;
    if (Contains(machine.unreadable, file))
        return Fail(ERROR_ACCESS_DENIED, INVALID_FILE_ATTRIBUTES);
    return machine.files[file].attributes;
}

DWORD GetLastError()
{
    return machine.lastError;
}

BOOL CheckTokenMembership(HANDLE, PSID, PBOOL isMember)
{
    *isMember = machine.administrator;
    return TRUE;
}

// A descriptor's handle stands for its text.
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD,
                                                          PSECURITY_DESCRIPTOR* descriptor, PULONG)
{
    *descriptor = Open<PSECURITY_DESCRIPTOR>(Utf8(text));
    return TRUE;
}

// Memory is a handle too, so that what is not freed is seen.
HLOCAL LocalAlloc(UINT, SIZE_T bytes)
{
    BYTE* memory = new BYTE[bytes]();
    machine.handles[reinterpret_cast<uintptr_t>(memory)] = Handle{"memory", 0, {}};
    return memory;
}

HLOCAL LocalFree(HLOCAL memory)
{
    const bool allocated = Find(memory).path == "memory";
    Release(memory);
    if (allocated)
        delete[] static_cast<BYTE*>(memory);
    return NULL;
}

// The token's user is the running account, whatever SID its structure points to.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS, LPVOID information, DWORD length,
                         PDWORD)
{
    Find(token);
    if (length < sizeof(TOKEN_USER))
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    static_cast<TOKEN_USER*>(information)->User.Sid = information;
    return TRUE;
}

BOOL ConvertSidToStringSidW(PSID, LPWSTR* text)
{
    const std::vector<WCHAR> sid = Utf16(machine.currentUser);
    *text = static_cast<LPWSTR>(LocalAlloc(0, sid.size() * sizeof(WCHAR)));
    std::copy(sid.begin(), sid.end(), *text);
    return TRUE;
}

HANDLE CreateBoundaryDescriptorW(LPCWSTR, ULONG)
{
    if (machine.beforeVista)
        return Fail(ERROR_CALL_NOT_IMPLEMENTED, (HANDLE)NULL);
    return Open<HANDLE>("boundary");
}

BOOL AddSIDToBoundaryDescriptor(HANDLE*, PSID)
{
    return TRUE;
}

void DeleteBoundaryDescriptor(HANDLE boundary)
{
    Release(boundary);
}

HANDLE CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES security, LPVOID, LPCWSTR)
{
    if (machine.namespaceMade || machine.objects.count("namespace") != 0)
        return Fail(ERROR_ALREADY_EXISTS, (HANDLE)NULL);
    return OpenObject("namespace", security);
}

// Another run's namespace was made as the engine makes it: for administrators only.
HANDLE OpenPrivateNamespaceW(LPVOID, LPCWSTR)
{
    if (!machine.namespaceMade && machine.objects.count("namespace") == 0)
        return Fail(ERROR_PATH_NOT_FOUND, (HANDLE)NULL);
    machine.objects.emplace("namespace", "D:P(A;;GA;;;BA)(A;;GA;;;SY)");
    return OpenObject("namespace", NULL);
}

// The mutex in it would lose its name, and another run could take one of the same name.
BOOLEAN ClosePrivateNamespace(HANDLE privateNamespace, ULONG)
{
    if (!machine.lock.empty())
        machine.problems.push_back("namespace closed while its mutex is held");
    Release(privateNamespace);
    return TRUE;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES security, BOOL, LPCWSTR name)
{
    return OpenObject(Utf8(name), security);
}

BOOL ReleaseMutex(HANDLE mutex)
{
    Find(mutex);
    machine.lock = "";
    return TRUE;
}

DWORD GetTickCount()
{
    return machine.tickCount;
}

// A mutex another run holds times out, after the clock has moved on by the wait's time; the
// dialog's wait with closedWhileWaiting wakes for a message, the press of Close.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL, DWORD ms, DWORD wakeMask)
{
    const std::string mutex = Find(handles[0]).path;
    if (!Contains(machine.heldElsewhere, mutex)) {
        machine.lock = mutex;
        machine.locksTaken.push_back(mutex);
        return WAIT_OBJECT_0;
    }
    if (wakeMask != 0 && machine.closedWhileWaiting)
        return WAIT_OBJECT_0 + count;
    machine.tickCount += ms;
    return WAIT_TIMEOUT;
}

BOOL PeekMessageW(MSG*, HWND, UINT, UINT, UINT)
{
    return machine.closedWhileWaiting && !machine.dialogClosed;
}

BOOL IsDialogMessageW(HWND, MSG*)
{
    machine.dialogClosed = true;
    return TRUE;
}

LRESULT DispatchMessageW(const MSG*)
{
    return 0;
}

BOOL IsWindowVisible(HWND)
{
    return !machine.dialogClosed;
}

// Opens each component of subKey in turn, below a root in the view asked for. A link is followed
// to its target, except as the last component when REG_OPTION_OPEN_LINK asks for the link itself.
LONG RegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* key)
{
    std::string path = Key(parent).path;
    std::string rest = Utf8(subKey);
    const bool view32 = (access & KEY_WOW64_32KEY) != 0 ||
                        (machine.wow64 && (access & KEY_WOW64_64KEY) == 0);
    if (view32 && path.find('\\') == std::string::npos && !rest.empty())
        rest = View32(path + "\\" + rest).substr(path.size() + 1);
    if (rest.empty() && path.find('\\') != std::string::npos)
        machine.problems.push_back("key opened as its parent");
    while (!rest.empty()) {
        const size_t slash = rest.find('\\');
        path += "\\" + rest.substr(0, slash);
        rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
        auto found = machine.registry.find(path);
        if (found == machine.registry.end())
            return ERROR_FILE_NOT_FOUND;
        if (machine.failOpen.count(path) != 0)
            return machine.failOpen[path];
        const REGSAM rights = access & ~(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
        if (rest.empty() && machine.grants.count(path) != 0 && (rights & ~machine.grants[path]))
            return ERROR_ACCESS_DENIED;
        const bool asItself = rest.empty() && (options & REG_OPTION_OPEN_LINK) != 0;
        if (!found->second.empty() && !asItself)
            path = found->second;
        if (machine.registry.count(path) == 0)
            return ERROR_FILE_NOT_FOUND;
    }
    if (machine.wow64 && Contains(machine.misdirected, path))
        path += "\\Wow6432Node";
    if (machine.registry.count(path) == 0)
        return ERROR_FILE_NOT_FOUND;
    *key = Open<HKEY>(path, access);
    return ERROR_SUCCESS;
}

// A link's SymbolicLinkValue; the values set.
LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    const Handle& handle = Find(key);
    if ((handle.access & KEY_QUERY_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    const std::string value = name == NULL ? "" : Utf8(name);
    if (value == "SymbolicLinkValue" && !machine.registry[handle.path].empty()) {
        *type = REG_LINK;
        return ERROR_SUCCESS;
    }
    Value found;
    if (value == "PendingFileRenameOperations" && Within(handle.path, "HKLM\\SYSTEM")) {
        std::string list;
        for (const std::string& path : machine.pending)
            list += path + std::string(2, '\0');
        const std::vector<WCHAR> text = Utf16(list);
        const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
        found = {REG_MULTI_SZ, {bytes, bytes + text.size() * sizeof(WCHAR)}};
    } else if (machine.values.count(handle.path + "|" + value) != 0) {
        found = machine.values[handle.path + "|" + value];
    } else {
        return ERROR_FILE_NOT_FOUND;
    }
    *type = found.type;
    const DWORD capacity = *size;
    *size = found.data.size();
    if (data != NULL && *size > capacity)
        return ERROR_MORE_DATA;
    if (data != NULL)
        std::copy(found.data.begin(), found.data.end(), data);
    return ERROR_SUCCESS;
}

// The key's values in order of their names; only their names are given.
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPDWORD,
                   LPBYTE, LPDWORD)
{
    const Handle& handle = Find(key);
    if ((handle.access & KEY_QUERY_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    if (machine.failEnum.count(handle.path) != 0)
        return machine.failEnum[handle.path];
    for (const auto& value : machine.values) {
        if (value.first.rfind(handle.path + "|", 0) != 0 || index-- != 0)
            continue;
        const bool fits = CopyOut(value.first.substr(handle.path.size() + 1), name, *nameLength);
        return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
    }
    return ERROR_NO_MORE_ITEMS;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name)
{
    const Handle& handle = Find(key);
    const std::string value = handle.path + "|" + Utf8(name);
    if ((handle.access & KEY_SET_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    if (machine.failOpen.count(value) != 0)
        return machine.failOpen[value];
    return machine.values.erase(value) != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Opens the key name below parent, following a link as Windows does, or makes it.
LONG RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access,
                     LPSECURITY_ATTRIBUTES, HKEY* key, LPDWORD disposition)
{
    std::string path = Key(parent).path + "\\" + Utf8(subKey);
    if (Key(parent).path.find('\\') == std::string::npos)
        machine.problems.push_back("key made below a root, in no view");
    if (!machine.administrator && Within(path, "HKLM"))
        return ERROR_ACCESS_DENIED;
    *disposition =
        machine.registry.count(path) == 0 ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    addKey(path);
    if (!machine.registry[path].empty())
        path = machine.registry[path];
    *key = Open<HKEY>(path, access);
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    const Handle& handle = Find(key);
    if ((handle.access & KEY_SET_VALUE) == 0 ||
        (!machine.administrator && Within(handle.path, "HKLM")))
        return ERROR_ACCESS_DENIED;
    machine.values[handle.path + "|" + Utf8(name)] = {type, {data, data + size}};
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPWSTR,
                   LPDWORD, FILETIME*)
{
    const Handle handle = Key(key);
    if ((handle.access & KEY_ENUMERATE_SUB_KEYS) != KEY_ENUMERATE_SUB_KEYS)
        return ERROR_ACCESS_DENIED;
    if (machine.failEnum.count(handle.path) != 0)
        return machine.failEnum[handle.path];
    const std::vector<std::string> children = Children(machine.registry, handle.path);
    if (index >= children.size())
        return ERROR_NO_MORE_ITEMS;
    if (!CopyOut(children[index], name, *nameLength))
        return ERROR_MORE_DATA;
    *nameLength = (DWORD)Utf16(children[index]).size() - 1;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    Release(key);
    return ERROR_SUCCESS;
}

NTSTATUS NtDeleteKey(HANDLE key)
{
    const Handle& handle = Find(key);
    if ((handle.access & DELETE) == 0)
        return kStatusAccessDenied;
    if (machine.failDelete.count(handle.path) != 0)
        return machine.failDelete[handle.path];
    if (!Children(machine.registry, handle.path).empty())
        return kStatusCannotDelete;
    machine.registry.erase(handle.path);
    return 0;
}

// The machine's own statuses: denied, a key with children, a key deleted meanwhile.
ULONG RtlNtStatusToDosError(NTSTATUS status)
{
    if (status == kStatusKeyDeleted)
        return ERROR_KEY_DELETED;
    if (status != kStatusAccessDenied && status != kStatusCannotDelete)
        machine.problems.push_back("an unknown status");
    return ERROR_ACCESS_DENIED;
}

NTSTATUS NtQueryKey(HANDLE key, ULONG, PVOID information, ULONG length, PULONG)
{
    const std::string& path = Find(key).path;
    std::string name = "\\REGISTRY\\USER" + path.substr(3);
    if (Within(path, "HKLM"))
        name = "\\REGISTRY\\MACHINE" + path.substr(4);
    if (Within(path, "HKCU"))
        name = "\\REGISTRY\\USER\\" + machine.currentUser + path.substr(4);
    const std::vector<WCHAR> text = Utf16(name);
    ULONG* nameLength = static_cast<ULONG*>(information);
    *nameLength = (text.size() - 1) * sizeof(WCHAR);
    if (sizeof(ULONG) + *nameLength > length)
        return kStatusAccessDenied;
    std::copy(text.begin(), text.end() - 1, reinterpret_cast<WCHAR*>(nameLength + 1));
    return 0;
}

DWORD ExpandEnvironmentStringsW(LPCWSTR text, LPWSTR expanded, DWORD capacity)
{
    CopyOut(Utf8(text), expanded, capacity);
    return Utf16(Utf8(text)).size();
}

// A hive's keys go below HKU\subKey, and back to its file when it is unloaded.
LONG RegLoadKeyW(HKEY, LPCWSTR subKey, LPCWSTR file)
{
    const std::string path = Utf8(file);
    if (!machine.privileges)
        return ERROR_PRIVILEGE_NOT_HELD;
    if (machine.files.count(path) == 0)
        return ERROR_FILE_NOT_FOUND;
    if (Contains(machine.hivesInUse, path))
        return ERROR_SHARING_VIOLATION;
    if (machine.hiveFiles.count(path) == 0)
        return ERROR_NOT_REGISTRY_FILE;
    const std::string root = "HKU\\" + Utf8(subKey);
    machine.registry[root] = "";
    for (const auto& key : machine.hiveFiles[path])
        machine.registry[root + "\\" + key.first] = key.second;
    machine.loadedHives[Utf8(subKey)] = path;
    ++machine.hiveLoads;
    return ERROR_SUCCESS;
}

// Refused while a handle into the hive is open.
LONG RegUnLoadKeyW(HKEY, LPCWSTR subKey)
{
    const std::string name = Utf8(subKey);
    const std::string root = "HKU\\" + name;
    if (!machine.privileges)
        return ERROR_PRIVILEGE_NOT_HELD;
    for (const auto& handle : machine.handles) {
        if (Within(handle.second.path, root))
            return ERROR_ACCESS_DENIED;
    }
    std::map<std::string, std::string>& keys = machine.hiveFiles[machine.loadedHives.at(name)];
    keys.clear();
    for (const std::string& key : Paths(machine.registry)) {
        if (key != root && Within(key, root))
            keys[key.substr(root.size() + 1)] = machine.registry[key];
        if (Within(key, root))
            machine.registry.erase(key);
    }
    machine.loadedHives.erase(name);
    return ERROR_SUCCESS;
}

HANDLE GetCurrentProcess()
{
    return (HANDLE)-1;
}

BOOL OpenProcessToken(HANDLE, DWORD, HANDLE* token)
{
    *token = Open<HANDLE>("token");
    return TRUE;
}

BOOL LookupPrivilegeValueW(LPCWSTR, LPCWSTR, PLUID)
{
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL, PTOKEN_PRIVILEGES privileges, DWORD,
                           PTOKEN_PRIVILEGES previous, PDWORD)
{
    Find(token);
    if (previous != NULL) {
        previous->PrivilegeCount = 1;
        previous->Privileges[0].Attributes = machine.privileges ? SE_PRIVILEGE_ENABLED : 0;
    }
    machine.privileges = (privileges->Privileges[0].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    return TRUE;
}

void Sleep(DWORD ms)
{
    machine.tickCount += ms;
}

BOOL IsWow64Process(HANDLE, PBOOL wow64)
{
    *wow64 = machine.wow64;
    return TRUE;
}

}  // namespace PlatformServices
