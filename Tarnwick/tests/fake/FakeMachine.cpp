#include "FakeMachine.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include "PlatformServices.h"

// An ID list of the fake names the special folder it stands for.
struct _ITEMIDLIST {
    int folder;
};

namespace fake {
namespace {

const LONG kErrorInvalidHandle = 6;
const LONG kErrorBadPathname = 161;
const LONG kErrorMoreData = 234;
const LONG kErrorKeyDeleted = 1018;
const HRESULT kInvalidArgument = (HRESULT)0x80070057;
const int kShellInvalidFiles = 0x7C;  // the shell's DE_INVALIDFILES
const int kWsprintfLimit = 1024;      // wsprintfA writes at most this many bytes
// More calls than any run on a test machine makes: the caller is looping without end.
const size_t kCallLimit = 1000000;

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = c - 'a' + 'A';
    return text;
}

// Key and file names compare as Windows compares them; the registry also sorts by this order.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const { return Upper(a) < Upper(b); }
};

std::vector<std::string> Split(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = path.find('\\', start)) != std::string::npos; start = end + 1)
        parts.push_back(path.substr(start, end - start));
    parts.push_back(path.substr(start));
    return parts;
}

std::string Join(const std::string& parent, const std::string& name)
{
    if (parent.empty() || name.empty())
        return parent + name;
    return parent + "\\" + name;
}

std::string Hex(unsigned long value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

struct Key {
    std::string name;
    Key* parent = nullptr;
    std::map<std::string, std::shared_ptr<Key>, NoCaseLess> children;
    bool deleted = false;  // deleted while a handle still refers to it
};

struct OpenKey {
    std::shared_ptr<Key> key;
    std::string path;
};

struct Entry {
    std::string name;
    DWORD attributes = 0;
    std::string target;  // a link's target; empty for anything else
    bool alwaysFollowed = false;  // a Unix link under Wine: no call reaches the link itself
    std::string contents;
    std::vector<std::shared_ptr<Entry>> children;

    bool isLink() const { return !target.empty(); }
    bool isFolder() const { return !isLink() && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

struct Search {
    std::string folder;
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

struct State {
    State() { fileRoot.attributes = FILE_ATTRIBUTE_DIRECTORY; }

    std::shared_ptr<Key> classesRoot = std::make_shared<Key>();
    std::map<ULONG_PTR, OpenKey> openKeys;
    Entry fileRoot;
    std::map<ULONG_PTR, Search> searches;
    std::map<ULONG_PTR, std::string> files;  // open file handles and the paths they resolved to
    ULONG_PTR nextHandle = 0x1000;
    std::set<ITEMIDLIST*> idLists;
    std::map<int, std::string> specialFolders;

    // Failures, by upper-cased path.
    std::map<std::string, LONG> openFailures, deleteFailures, enumFailures;
    std::set<std::string> unlistable, undeletable, unopenable;
    std::map<std::string, int> listingLimits;
    std::map<int, HRESULT> specialFolderFailures;
    std::set<int> conversionFailures;

    std::vector<Call> calls;
    std::vector<Box> boxes;
    std::vector<ShellOperation> shellOperations;
    Counters counters;
    std::vector<std::string> problems;
};

State& Machine()
{
    static State state;
    return state;
}

void Record(const char* name, const std::string& arg, unsigned long a = 0, unsigned long b = 0)
{
    if (Machine().calls.size() >= kCallLimit) {
        fprintf(stderr, "fake machine: more than %zu platform calls, last %s(%s): endless loop\n",
                kCallLimit, name, arg.c_str());
        abort();
    }
    Machine().calls.push_back(Call{name, arg, a, b});
}

void Problem(const std::string& what)
{
    Machine().problems.push_back(what);
}

// Releases one open handle of a kind: records the call with the path the handle stands for and
// counts the release. A handle that is not open is recorded as "?" and reported as misuse.
template <typename Open, typename PathOf>
bool Release(std::map<ULONG_PTR, Open>& open, ULONG_PTR handle, const char* function, int& released,
             PathOf pathOf)
{
    auto found = open.find(handle);
    if (found == open.end()) {
        Record(function, "?");
        Problem(std::string(function) + " of a handle that is not open");
        return false;
    }
    Record(function, pathOf(found->second));
    open.erase(found);
    ++released;
    return true;
}

// ---- Registry

// Finds the key at subKey below base; "" is base itself, as on Windows.
LONG Walk(const std::shared_ptr<Key>& base, const std::string& subKey, std::shared_ptr<Key>& found)
{
    found = base;
    if (subKey.empty())
        return ERROR_SUCCESS;
    for (const std::string& name : Split(subKey)) {
        if (name.empty())
            return kErrorBadPathname;
        auto child = found->children.find(name);
        if (child == found->children.end())
            return ERROR_FILE_NOT_FOUND;
        found = child->second;
    }
    return ERROR_SUCCESS;
}

bool LookUpKey(HKEY handle, const char* function, OpenKey& key)
{
    if (handle == HKEY_CLASSES_ROOT) {
        key = OpenKey{Machine().classesRoot, ""};
        return true;
    }
    auto open = Machine().openKeys.find((ULONG_PTR)handle);
    if (open == Machine().openKeys.end()) {
        Problem(std::string(function) + " on a key handle that is not open");
        return false;
    }
    key = open->second;
    return true;
}

// Records a call that addresses subKey below parent and finds that key: path is the key's full
// path as addressed, found the key. Fails as the registry does for a handle that is not open, a
// parent deleted meanwhile or a key that is not there.
LONG FindSubkey(const char* function, HKEY parent, LPCSTR subKey, unsigned long a, unsigned long b,
                std::string& path, std::shared_ptr<Key>& found)
{
    const std::string name = subKey == NULL ? "" : subKey;
    OpenKey base;
    const bool valid = LookUpKey(parent, function, base);
    path = Join(base.path, name);
    Record(function, path, a, b);
    if (!valid)
        return kErrorInvalidHandle;
    if (base.key->deleted)
        return kErrorKeyDeleted;
    return Walk(base.key, name, found);
}

void ListKeys(const Key& key, const std::string& path, std::vector<std::string>& out)
{
    for (const auto& child : key.children) {
        std::string childPath = Join(path, child.second->name);
        out.push_back(childPath);
        ListKeys(*child.second, childPath, out);
    }
}

// ---- Files

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    return path.substr(path.rfind('\\') + 1);
}

std::shared_ptr<Entry>* Child(Entry& folder, const std::string& name)
{
    for (auto& child : folder.children)
        if (Upper(child->name) == Upper(name))
            return &child;
    return nullptr;
}

// Finds the entry at an absolute path, following links on the way (and at the end when
// followLast is set), as Windows resolves paths.
Entry* Find(const std::string& path, bool followLast, int depth = 0)
{
    if (depth > 8)
        return nullptr;
    Entry* entry = &Machine().fileRoot;
    std::vector<std::string> names = Split(path);
    for (size_t i = 0; i < names.size(); ++i) {
        if (!entry->isFolder())
            return nullptr;
        std::shared_ptr<Entry>* child = Child(*entry, names[i]);
        if (child == nullptr)
            return nullptr;
        entry = child->get();
        if (entry->isLink() && (followLast || i + 1 < names.size())) {
            entry = Find(entry->target, true, depth + 1);
            if (entry == nullptr)
                return nullptr;
        }
    }
    return entry;
}

// The path at which the entry really is, with its names as stored: links on the way, and at the
// end unless it is opened as itself, replaced by their targets. Empty when there is no entry.
std::string Resolve(const std::string& path, bool asItself, int depth = 0)
{
    if (depth > 8)
        return "";
    Entry* entry = &Machine().fileRoot;
    std::string resolved;
    std::vector<std::string> names = Split(path);
    for (size_t i = 0; i < names.size(); ++i) {
        if (!entry->isFolder())
            return "";
        std::shared_ptr<Entry>* child = Child(*entry, names[i]);
        if (child == nullptr)
            return "";
        entry = child->get();
        resolved = Join(resolved, entry->name);
        const bool last = i + 1 == names.size();
        if (entry->isLink() && (!last || !asItself || entry->alwaysFollowed)) {
            std::string rest = entry->target;
            for (size_t j = i + 1; j < names.size(); ++j)
                rest = Join(rest, names[j]);
            return Resolve(rest, asItself, depth + 1);
        }
    }
    return resolved;
}

Entry& MakeFolders(const std::string& path)
{
    Entry* entry = &Machine().fileRoot;
    for (const std::string& name : Split(path)) {
        std::shared_ptr<Entry>* child = Child(*entry, name);
        if (child == nullptr) {
            entry->children.push_back(std::make_shared<Entry>());
            entry->children.back()->name = name;
            entry->children.back()->attributes = FILE_ATTRIBUTE_DIRECTORY;
            child = &entry->children.back();
        }
        entry = child->get();
        if (!entry->isFolder())
            throw std::invalid_argument("not a folder on the way to " + path);
    }
    return *entry;
}

Entry& AddEntry(const std::string& path, DWORD attributes)
{
    std::string name = NameOf(path);
    if (name.empty() || name.size() >= MAX_PATH || path.find('\\') == std::string::npos)
        throw std::invalid_argument("bad entry path " + path);
    Entry& folder = MakeFolders(FolderOf(path));
    if (Child(folder, name) != nullptr)
        throw std::invalid_argument("entry exists already: " + path);
    folder.children.push_back(std::make_shared<Entry>());
    Entry& entry = *folder.children.back();
    entry.name = name;
    entry.attributes = attributes;
    return entry;
}

// Removes folder's entry at index and, for a folder, everything in it, except what cannot be
// deleted: such entries stay, with every folder above them. Returns true when all went.
bool RemoveEntry(Entry& folder, size_t index, const std::string& path);

bool RemoveContents(Entry& folder, const std::string& path)
{
    bool removed = true;
    for (size_t i = 0; i < folder.children.size();) {
        if (!RemoveEntry(folder, i, Join(path, folder.children[i]->name))) {
            removed = false;
            ++i;
        }
    }
    return removed;
}

bool RemoveEntry(Entry& folder, size_t index, const std::string& path)
{
    Entry& entry = *folder.children[index];
    if (Machine().undeletable.count(Upper(path)) != 0)
        return false;
    if (entry.isFolder() && !RemoveContents(entry, path))
        return false;
    folder.children.erase(folder.children.begin() + index);
    return true;
}

// The folder holding path and the index of path's entry in it; false when there is none.
bool Locate(const std::string& path, Entry*& folder, size_t& index)
{
    folder = Find(FolderOf(path), true);
    if (folder == nullptr || !folder->isFolder())
        return false;
    std::shared_ptr<Entry>* child = Child(*folder, NameOf(path));
    if (child == nullptr)
        return false;
    index = child - folder->children.data();
    return true;
}

// One item of a shell deletion. Given a link, the shell deletes what the link points to (its
// contents and the target itself) and leaves the link, as measured under Wine.
int ShellDelete(const std::string& path)
{
    Entry* folder;
    size_t index;
    if (!Locate(path, folder, index))
        return ERROR_FILE_NOT_FOUND;
    if (Machine().undeletable.count(Upper(path)) != 0)
        return ERROR_SHARING_VIOLATION;
    if (folder->children[index]->isLink()) {
        std::string target = folder->children[index]->target;
        if (!Locate(target, folder, index))
            return ERROR_FILE_NOT_FOUND;
        return RemoveEntry(*folder, index, target) ? 0 : ERROR_SHARING_VIOLATION;
    }
    return RemoveEntry(*folder, index, path) ? 0 : ERROR_SHARING_VIOLATION;
}

WIN32_FIND_DATAA FindData(const std::string& name, DWORD attributes)
{
    WIN32_FIND_DATAA data;
    memset(&data, 0, sizeof data);
    data.dwFileAttributes = attributes;
    strcpy(data.cFileName, name.c_str());
    return data;
}

void ListFiles(const Entry& folder, const std::string& path, std::vector<std::string>& out)
{
    for (const auto& child : folder.children) {
        std::string childPath = Join(path, child->name);
        out.push_back(childPath);
        if (child->isFolder())
            ListFiles(*child, childPath, out);
    }
}

}  // namespace

void reset()
{
    State& state = Machine();
    for (ITEMIDLIST* idList : state.idLists)
        delete idList;
    state = State();
    setSpecialFolder(CSIDL_WINDOWS, "C:\\WINDOWS");
    setSpecialFolder(CSIDL_SYSTEM, "C:\\WINDOWS\\system32");
    addFolder("C:\\WINDOWS\\system32");
}

void addKey(const std::string& path)
{
    Key* key = Machine().classesRoot.get();
    for (const std::string& name : Split(path)) {
        if (name.empty())
            throw std::invalid_argument("empty key name in " + path);
        std::shared_ptr<Key>& child = key->children[name];
        if (!child) {
            child = std::make_shared<Key>();
            child->name = name;
            child->parent = key;
        }
        key = child.get();
    }
}

bool keyExists(const std::string& path)
{
    std::shared_ptr<Key> found;
    return !path.empty() && Walk(Machine().classesRoot, path, found) == ERROR_SUCCESS;
}

std::vector<std::string> keys()
{
    std::vector<std::string> out;
    ListKeys(*Machine().classesRoot, "", out);
    return out;
}

void addFolder(const std::string& path, DWORD attributes)
{
    MakeFolders(path).attributes |= attributes;
}

void addFile(const std::string& path, const std::string& contents, DWORD attributes)
{
    AddEntry(path, attributes & ~FILE_ATTRIBUTE_DIRECTORY).contents = contents;
}

void addLink(const std::string& path, const std::string& target, bool directory)
{
    DWORD attributes = FILE_ATTRIBUTE_REPARSE_POINT |
                       (directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    AddEntry(path, attributes).target = target;
}

void addUnixLink(const std::string& path, const std::string& target, bool directory)
{
    DWORD attributes = directory ? FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT
                                 : FILE_ATTRIBUTE_ARCHIVE;
    Entry& link = AddEntry(path, attributes);
    link.target = target;
    link.alwaysFollowed = true;
}

bool exists(const std::string& path)
{
    return Find(path, false) != nullptr;
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    Entry* entry = Find(folder, true);
    if (entry != nullptr && entry->isFolder())
        for (const auto& child : entry->children)
            names.push_back(child->name);
    return names;
}

std::vector<std::string> files()
{
    std::vector<std::string> out;
    ListFiles(Machine().fileRoot, "", out);
    return out;
}

std::string contents(const std::string& path)
{
    Entry* entry = Find(path, true);
    return entry == nullptr ? "" : entry->contents;
}

void setSpecialFolder(int csidl, const std::string& path)
{
    Machine().specialFolders[csidl] = path;
}

void failRegOpen(const std::string& path, LONG error)
{
    Machine().openFailures[Upper(path)] = error;
}

void failRegDelete(const std::string& path, LONG error)
{
    Machine().deleteFailures[Upper(path)] = error;
}

void failRegEnum(const std::string& path, LONG error)
{
    Machine().enumFailures[Upper(path)] = error;
}

void failListing(const std::string& folder)
{
    Machine().unlistable.insert(Upper(folder));
}

void endListingAfter(const std::string& folder, int count)
{
    Machine().listingLimits[Upper(folder)] = count;
}

void failOpen(const std::string& path)
{
    Machine().unopenable.insert(Upper(path));
}

void failDeletion(const std::string& path)
{
    Machine().undeletable.insert(Upper(path));
}

void failSpecialFolder(int csidl, HRESULT status)
{
    Machine().specialFolderFailures[csidl] = status;
}

void failPathConversion(int csidl)
{
    Machine().conversionFailures.insert(csidl);
}

const std::vector<Call>& calls()
{
    return Machine().calls;
}

std::vector<std::string> callArgs(const std::string& name)
{
    std::vector<std::string> args;
    for (const Call& call : Machine().calls)
        if (call.name == name)
            args.push_back(call.arg);
    return args;
}

const std::vector<Box>& boxes()
{
    return Machine().boxes;
}

const std::vector<ShellOperation>& shellOperations()
{
    return Machine().shellOperations;
}

const Counters& counters()
{
    return Machine().counters;
}

const std::vector<std::string>& problems()
{
    return Machine().problems;
}

}  // namespace fake

namespace PlatformServices {

using namespace fake;

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* idList)
{
    Record("SHGetSpecialFolderLocation", Hex(folder), folder, owner != NULL);
    *idList = NULL;
    auto failure = Machine().specialFolderFailures.find(folder);
    if (failure != Machine().specialFolderFailures.end())
        return failure->second;
    if (Machine().specialFolders.count(folder) == 0)
        return kInvalidArgument;
    *idList = new ITEMIDLIST{folder};
    Machine().idLists.insert(*idList);
    ++Machine().counters.idListsObtained;
    return S_OK;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST idList, LPSTR path)
{
    if (Machine().idLists.count(const_cast<ITEMIDLIST*>(idList)) == 0) {
        Record("SHGetPathFromIDListA", "?");
        Problem("SHGetPathFromIDListA on an ID list that is not held");
        return FALSE;
    }
    Record("SHGetPathFromIDListA", Hex(idList->folder));
    const std::string& folder = Machine().specialFolders[idList->folder];
    if (Machine().conversionFailures.count(idList->folder) != 0 || folder.size() >= MAX_PATH) {
        // What the buffer holds after a failure is no path; a caller that uses it shows up.
        strcpy(path, "?:\\not located");
        return FALSE;
    }
    strcpy(path, folder.c_str());
    return TRUE;
}

void CoTaskMemFree(LPVOID block)
{
    ITEMIDLIST* idList = static_cast<ITEMIDLIST*>(block);
    if (idList == NULL) {
        Record("CoTaskMemFree", "NULL");
        return;
    }
    if (Machine().idLists.erase(idList) == 0) {
        Record("CoTaskMemFree", "?");
        Problem("CoTaskMemFree of a block that is not held");
        return;
    }
    Record("CoTaskMemFree", Hex(idList->folder));
    delete idList;
    ++Machine().counters.idListsFreed;
}

LPSTR lstrcatA(LPSTR path, LPCSTR suffix)
{
    Record("lstrcatA", suffix, strlen(path));
    return strcat(path, suffix);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    Record("MessageBoxA", text, type);
    Machine().boxes.push_back(Box{owner, text, caption, type});
    return IDOK;
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* entry)
{
    Record("FindFirstFileA", pattern);
    const std::string suffix = "\\*.*";
    std::string text = pattern;
    if (text.size() < suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0) {
        Problem("FindFirstFileA with a pattern other than <folder>\\*.*: " + text);
        return INVALID_HANDLE_VALUE;
    }
    std::string folder = text.substr(0, text.size() - suffix.size());
    Entry* listed = Find(folder, true);
    if (listed == nullptr || !listed->isFolder() || Machine().unlistable.count(Upper(folder)) != 0)
        return INVALID_HANDLE_VALUE;

    Search search;
    search.folder = folder;
    search.entries.push_back(FindData(".", FILE_ATTRIBUTE_DIRECTORY));
    search.entries.push_back(FindData("..", FILE_ATTRIBUTE_DIRECTORY));
    auto limit = Machine().listingLimits.find(Upper(folder));
    for (const auto& child : listed->children) {
        if (limit != Machine().listingLimits.end() && search.entries.size() - 2 >= (size_t)limit->second)
            break;
        search.entries.push_back(FindData(child->name, child->attributes));
    }
    *entry = search.entries[0];
    search.next = 1;
    ULONG_PTR handle = Machine().nextHandle++;
    Machine().searches[handle] = search;
    ++Machine().counters.searchesOpened;
    return (HANDLE)handle;
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* entry)
{
    auto search = Machine().searches.find((ULONG_PTR)handle);
    if (search == Machine().searches.end()) {
        Record("FindNextFileA", "?");
        Problem("FindNextFileA on a search that is not open");
        return FALSE;
    }
    Record("FindNextFileA", search->second.folder);
    if (search->second.next >= search->second.entries.size())
        return FALSE;
    *entry = search->second.entries[search->second.next++];
    return TRUE;
}

BOOL FindClose(HANDLE handle)
{
    return Release(Machine().searches, (ULONG_PTR)handle, "FindClose",
                   Machine().counters.searchesClosed,
                   [](const Search& search) { return search.folder; });
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(buffer, kWsprintfLimit, format, arguments);
    va_end(arguments);
    if (length >= kWsprintfLimit) {
        Problem("wsprintfA result cut at 1024 bytes");
        length = kWsprintfLimit - 1;
    }
    Record("wsprintfA", buffer);
    return length;
}

int SHFileOperationA(SHFILEOPSTRUCTA* operation)
{
    std::vector<std::string> paths;
    const char* item = operation->pFrom;
    for (; item != NULL && *item != '\0'; item += strlen(item) + 1)
        paths.push_back(item);
    std::string from = item == NULL ? "" : std::string(operation->pFrom, item + 1);
    Record("SHFileOperationA", paths.empty() ? "" : paths[0], operation->wFunc, operation->fFlags);
    Machine().shellOperations.push_back(
        ShellOperation{operation->hwnd, operation->wFunc, from, operation->pTo == NULL, operation->fFlags});
    if (operation->wFunc != FO_DELETE || paths.empty())
        return kShellInvalidFiles;
    int result = 0;
    for (const std::string& path : paths) {
        int itemResult = ShellDelete(path);
        if (result == 0)
            result = itemResult;
    }
    return result;
}

BOOL DeleteFileA(LPCSTR path)
{
    Record("DeleteFileA", path);
    Entry* folder;
    size_t index;
    if (!Locate(path, folder, index) || (folder->children[index]->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return FALSE;
    return RemoveEntry(*folder, index, path);
}

BOOL RemoveDirectoryA(LPCSTR path)
{
    Record("RemoveDirectoryA", path);
    Entry* folder;
    size_t index;
    if (!Locate(path, folder, index))
        return FALSE;
    const Entry& entry = *folder->children[index];
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !entry.children.empty())
        return FALSE;
    return RemoveEntry(*folder, index, path);
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile)
{
    Record("CreateFileA", path, access, flags);
    // The engine opens entries only to ask where they are: for attributes, sharing everything.
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (access != FILE_READ_ATTRIBUTES || shareMode != shareAll || security != NULL ||
        disposition != OPEN_EXISTING || templateFile != NULL ||
        (flags & FILE_FLAG_BACKUP_SEMANTICS) == 0)
        Problem(std::string("CreateFileA opens ") + path + " other than for its attributes");
    if (Machine().unopenable.count(Upper(path)) != 0)
        return INVALID_HANDLE_VALUE;
    const std::string resolved = Resolve(path, (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0);
    if (resolved.empty())
        return INVALID_HANDLE_VALUE;
    const ULONG_PTR handle = Machine().nextHandle++;
    Machine().files[handle] = resolved;
    ++Machine().counters.filesOpened;
    return (HANDLE)handle;
}

DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR path, DWORD capacity, DWORD flags)
{
    auto open = Machine().files.find((ULONG_PTR)file);
    Record("GetFinalPathNameByHandleA", open == Machine().files.end() ? "" : open->second,
           capacity, flags);
    if (open == Machine().files.end()) {
        Problem("GetFinalPathNameByHandleA on an unknown handle");
        return 0;
    }
    const std::string finalPath = "\\\\?\\" + open->second;
    if (finalPath.size() >= capacity)
        return (DWORD)finalPath.size() + 1;
    memcpy(path, finalPath.c_str(), finalPath.size() + 1);
    return (DWORD)finalPath.size();
}

BOOL CloseHandle(HANDLE handle)
{
    return Release(Machine().files, (ULONG_PTR)handle, "CloseHandle", Machine().counters.filesClosed,
                   [](const std::string& path) { return path; });
}

LONG RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM access, HKEY* key)
{
    std::string path;
    std::shared_ptr<Key> found;
    LONG error = FindSubkey("RegOpenKeyExA", parent, subKey, options, access, path, found);
    if (error != ERROR_SUCCESS)
        return error;
    auto failure = Machine().openFailures.find(Upper(path));
    if (failure != Machine().openFailures.end())
        return failure->second;
    ULONG_PTR handle = Machine().nextHandle++;
    Machine().openKeys[handle] = OpenKey{found, path};
    ++Machine().counters.keysOpened;
    *key = (HKEY)handle;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY handle, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPSTR className, LPDWORD classLength, FILETIME* lastWriteTime)
{
    OpenKey key;
    bool valid = LookUpKey(handle, "RegEnumKeyExA", key);
    Record("RegEnumKeyExA", key.path, index, nameLength == NULL ? 0 : *nameLength);
    if (!valid)
        return kErrorInvalidHandle;
    if (reserved != NULL || name == NULL || nameLength == NULL) {
        Problem("RegEnumKeyExA without a name buffer or with the reserved argument set");
        return ERROR_INVALID_PARAMETER;
    }
    if (key.key->deleted)
        return kErrorKeyDeleted;
    auto failure = Machine().enumFailures.find(Upper(key.path));
    if (failure != Machine().enumFailures.end())
        return failure->second;
    if (index >= key.key->children.size())
        return ERROR_NO_MORE_ITEMS;
    auto child = key.key->children.begin();
    std::advance(child, index);
    const std::string& childName = child->second->name;
    if (childName.size() + 1 > *nameLength)
        return kErrorMoreData;
    strcpy(name, childName.c_str());
    *nameLength = childName.size();
    if (className != NULL && classLength != NULL && *classLength > 0) {
        className[0] = '\0';
        *classLength = 0;
    }
    if (lastWriteTime != NULL)
        *lastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY parent, LPCSTR subKey)
{
    std::string path;
    std::shared_ptr<Key> found;
    LONG error = FindSubkey("RegDeleteKeyA", parent, subKey, 0, 0, path, found);
    if (error != ERROR_SUCCESS)
        return error;
    auto failure = Machine().deleteFailures.find(Upper(path));
    if (failure != Machine().deleteFailures.end())
        return failure->second;
    // Windows refuses a key that still has subkeys, and the root itself.
    if (found->parent == nullptr || !found->children.empty())
        return ERROR_ACCESS_DENIED;
    found->deleted = true;
    found->parent->children.erase(found->name);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY handle)
{
    return Release(Machine().openKeys, (ULONG_PTR)handle, "RegCloseKey",
                   Machine().counters.keysClosed, [](const OpenKey& key) { return key.path; })
               ? ERROR_SUCCESS
               : kErrorInvalidHandle;
}

}  // namespace PlatformServices
