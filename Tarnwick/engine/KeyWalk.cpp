// How a key of a place is reached as itself, removed or looked for, and reported, in each view.
#include "KeyWalk.h"

#include "WideText.h"

namespace {

// Whether the open key is a registry link.
bool IsLink(HKEY key)
{
    DWORD type = REG_NONE;
    return PlatformServices::RegQueryValueExW(key, L"SymbolicLinkValue", NULL, &type, NULL,
                                              NULL) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Opens the component name below at as itself; with create, makes it where it is missing. Only a
// key made anew is taken: one that appears meanwhile may be a link, which making it would follow.
LONG OpenComponent(HKEY at, LPCWSTR name, REGSAM access, bool create, HKEY* component)
{
    LONG error = PlatformServices::RegOpenKeyExW(at, name, REG_OPTION_OPEN_LINK, access, component);
    if (error != ERROR_FILE_NOT_FOUND || !create)
        return error;
    DWORD disposition = 0;
    error = PlatformServices::RegCreateKeyExW(at, name, 0, NULL, 0, access, NULL, component,
                                              &disposition);
    if (error == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY) {
        PlatformServices::RegCloseKey(*component);
        error = ERROR_ALREADY_EXISTS;
    }
    return error;
}

// Whether the key is there, without following a link.
HRESULT LookForKey(HKEY parent, LPCWSTR name, REGSAM view)
{
    UniqueKey key;
    return HRESULT_FROM_WIN32(PlatformServices::RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK,
                                                              KEY_QUERY_VALUE | view,
                                                              key.Put()));
}

// Removes (in a check, looks for) the tree of the key at path below folder's root in view, and
// returns its fate and the code that decided it. Its parent is opened first (OpenFolderKey), and
// a link on the way there is the key's fate: nothing behind it is touched.
ItemFate ActOnKey(RemovalMode mode, const KeyFolder& folder, const View& view, LPWSTR path,
                  DWORD* code, size_t* linkLength)
{
    UniqueKey parent;
    HKEY at = folder.root;
    LPWSTR name = path;
    const LPWSTR last = LastBackslash(path);
    if (last != NULL) {
        *last = L'\0';
        const ItemFate walk = OpenFolderKey(folder, view, path, 0, parent, code, linkLength);
        *last = L'\\';
        if (walk != kItemPresent)
            return walk;
        at = parent.Get();
        name = last + 1;
    }
    const HRESULT status = mode == kCheckOnly ? LookForKey(at, name, view.access)
                                              : DeleteRegTree(at, name, view.access);
    *code = FAILED(status) ? status & 0xFFFF : ERROR_SUCCESS;
    if (status == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return kItemAbsent;
    if (FAILED(status))
        return kItemFailed;
    return mode == kCheckOnly ? kItemPresent : kItemRemoved;
}

// Whether both views of folder show the key at path as one key. So are two absences: the key is
// reported once.
bool IsOneKeyInViews(const KeyFolder& folder, LPCWSTR path)
{
    UniqueKey keys[2];
    WCHAR names[2][kKernelNameCapacity];
    for (int view = 0; view < 2; ++view) {
        names[view][0] = L'\0';
        if (PlatformServices::RegOpenKeyExW(folder.root, path, REG_OPTION_OPEN_LINK,
                                            KEY_QUERY_VALUE | folder.views[view].access,
                                            keys[view].Put()) == ERROR_SUCCESS &&
            !GetKernelName(keys[view].Get(), names[view]))
            return false;
    }
    return TextEqual(names[0], names[1]);
}

// Removes (in a check, looks for) the key prefix + name in one view of folder, reports it (a link
// on the way by the link's own name) and returns its fate.
ItemFate HandleKeyInView(KeyWalk& walk, const KeyFolder& folder, const View& view, LPCWSTR prefix,
                         LPCWSTR name)
{
    WCHAR path[kKeyPathCapacity] = L"";
    DWORD code = ERROR_INVALID_PARAMETER;
    size_t linkLength = 0;
    ItemFate fate = kItemFailed;
    if (AppendText(path, folder.path) && AppendText(path, view.infix) &&
        AppendText(path, prefix) && AppendText(path, name))
        fate = ActOnKey(walk.mode, folder, view, path, &code, &linkLength);
    if (fate == kItemNotOwn)
        path[linkLength] = L'\0';
    ReportKey(walk, folder, view, path, NULL, fate, code);
    return fate;
}

}  // namespace

ItemFate OpenFolderKey(const KeyFolder& folder, const View& view, LPWSTR path, REGSAM access,
                       UniqueKey& key, DWORD* code, size_t* linkLength, bool create)
{
    access |= KEY_QUERY_VALUE | view.access;
    size_t opened = 0;  // how much of path the deepest key opened took
    bool link = false;
    if (!folder.asItself) {
        *code = PlatformServices::RegOpenKeyExW(folder.root, path, 0, access, key.Put());
        opened = TextLength(path);
    } else {
        HKEY at = folder.root;
        for (LPWSTR name = path, end = path; !link; ++end) {
            if (*end != L'\\' && *end != L'\0')
                continue;
            const WCHAR next = *end;
            *end = L'\0';
            HKEY component = NULL;
            *code = OpenComponent(at, name, access, create, &component);
            *end = next;
            if (*code != ERROR_SUCCESS)
                break;
            key.Reset(component);
            at = component;
            opened = end - path;
            link = IsLink(at);
            if (next == L'\0')
                break;
            name = end + 1;
        }
    }
    if (key.IsValid() && (view.access & KEY_WOW64_64KEY) != 0 &&
        !IsKeyAskedFor(key.Get(), path, opened)) {
        *code = ERROR_BADKEY;
        return kItemFailed;
    }
    if (link) {
        *linkLength = opened;
        return kItemNotOwn;
    }
    if (*code == ERROR_FILE_NOT_FOUND)
        return kItemAbsent;
    return *code == ERROR_SUCCESS ? kItemPresent : kItemFailed;
}

int ViewsOfKey(const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    WCHAR path[kKeyPathCapacity] = L"";
    if (ViewsMayShareKeys(folder) && AppendText(path, folder.path) && AppendText(path, prefix) &&
        AppendText(path, name) && IsOneKeyInViews(folder, path))
        return 1;
    return folder.viewCount;
}

void ReportKey(KeyWalk& walk, const KeyFolder& folder, const View& view, LPCWSTR path,
               LPCWSTR value, ItemFate fate, DWORD code)
{
    WCHAR item[kItemNameCapacity + kValueNameCapacity] = L"";
    AppendText(item, folder.rootName);
    AppendText(item, path);
    if (value != NULL) {
        AppendText(item, L"\\");
        AppendText(item, value);
    }
    AppendText(item, view.tag);
    if (fate == kItemNotOwn) {
        if (TextEqual(item, walk.lastLink))
            return;
        walk.lastLink[0] = L'\0';
        AppendText(walk.lastLink, item);
    }
    ReportItem(walk.observer, item, fate, code);
}

ItemFate HandleKey(KeyWalk& walk, const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    ItemFate weightiest = kItemAbsent;
    if (folder.root == NULL)
        return weightiest;
    const int viewCount = ViewsOfKey(folder, prefix, name);
    for (int view = 0; view < viewCount; ++view) {
        const ItemFate fate = HandleKeyInView(walk, folder, folder.views[view], prefix, name);
        weightiest = Weightier(weightiest, fate);
    }
    return weightiest;
}

bool HandleChildKeys(KeyWalk& walk, const KeyFolder& folder, LPCWSTR parent,
                     const ChildRule& rule)
{
    bool traceStays = false;
    if (folder.root == NULL)
        return traceStays;
    const int viewCount = ViewsOfKey(folder, parent, L"");
    for (int number = 0; number < viewCount; ++number) {
        const View& view = folder.views[number];
        WCHAR path[kKeyPathCapacity] = L"";
        UniqueKey children;
        DWORD code = ERROR_SUCCESS;
        size_t linkLength = 0;
        AppendText(path, folder.path);
        AppendText(path, view.infix);
        AppendText(path, parent);
        ItemFate listing = OpenFolderKey(folder, view, path, KEY_ENUMERATE_SUB_KEYS, children,
                                         &code, &linkLength);
        // The child's name, after the backslash that joins it to parent's path.
        WCHAR name[1 + kChildNameCapacity] = L"\\";
        for (DWORD index = 0; listing == kItemPresent;) {
            DWORD length = kChildNameCapacity;
            code = PlatformServices::RegEnumKeyExW(children.Get(), index, name + 1, &length, NULL,
                                                   NULL, NULL, NULL);
            if (code != ERROR_SUCCESS) {
                listing = code == ERROR_NO_MORE_ITEMS ? kItemAbsent : kItemFailed;
                break;
            }
            ItemFate fate = kItemAbsent;
            if (rule.Selects(children.Get(), name + 1, view.access))
                fate = HandleKeyInView(walk, folder, view, parent, name);
            traceStays = traceStays || IsTrace(fate);
            // A removed child's place goes to the next one.
            if (fate != kItemRemoved)
                ++index;
        }
        if (listing == kItemNotOwn)
            path[linkLength] = L'\0';
        if (IsTrace(listing)) {
            ReportKey(walk, folder, view, path, NULL, listing, code);
            traceStays = true;
        }
    }
    return traceStays;
}
