#include "Removal.h"

#include "FolderSweep.h"
#include "Places.h"
#include "RegTree.h"
#include "RegistrationTable.h"
#include "WideText.h"

namespace {

// A folder that the removal sweeps: a special folder with suffix appended, swept with rules. The
// log names it as it is reached, with shownSuffix in place of suffix where that is not NULL, and
// as unlocatedName where it cannot be located. Installers' records may name its entries in a
// sibling folder, siblingName (NULL for none).
struct SweptFolder {
    int specialFolder;
    LPCWSTR suffix;
    LPCWSTR shownSuffix;
    LPCWSTR unlocatedName;
    const SweepRules* rules;
    LPCWSTR siblingName;
};

const SweptFolder kDownloadedControls = {CSIDL_WINDOWS, L"\\Downloaded Program Files", NULL,
                                         L"%WINDIR%\\Downloaded Program Files",
                                         &DownloadedControlsRules, NULL};
const SweptFolder kSystem = {CSIDL_SYSTEM, NULL, NULL, L"%WINDIR%\\system32", &SystemFolderRules,
                             NULL};
// On 64-bit Windows, both system folders. A 32-bit program reaches the 64-bit one through
// Sysnative, since Windows shows it SysWOW64 as system32; the log names it system32, as Windows
// names it to a 64-bit program. A 32-bit installer records a file of SysWOW64 in system32.
const SweptFolder kSysnative = {CSIDL_WINDOWS, L"\\Sysnative", L"\\system32",
                                L"%WINDIR%\\system32", &SystemFolderRules, NULL};
const SweptFolder kSystemX86 = {CSIDL_SYSTEMX86, NULL, NULL, L"%WINDIR%\\SysWOW64",
                                &SystemFolderRules, L"system32"};

const WCHAR kClassKeys[] = L"CLSID\\";
const WCHAR kInterfaces[] = L"Interface";
// The installers' records of shared files, below the machine's software folder.
const WCHAR kSharedDlls[] = L"Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const WCHAR kModuleUsage[] = L"Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
// The browser's record of a control it downloaded, by class ID: its "Downloaded Program Files"
// view lists the control from it. Per user, its add-on state: enabled or not, use counts and the
// sites allowed to run it. Below a place's software folder.
const WCHAR kDownloadRecords[] = L"Microsoft\\Code Store Database\\Distribution Units\\";
const WCHAR kAddOnSettings[] = L"Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const WCHAR kAddOnStats[] = L"Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\";
const WCHAR kProfileListName[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// Capacity of a key's path below its root: a folder's path, and below it a key name as long as
// Windows allows; and of its name in the log.
const int kKeyPathCapacity = MAX_PATH + kChildNameCapacity;
const int kItemNameCapacity = kRootNameCapacity + kKeyPathCapacity + 8;

// A folder that a removal sweeps, once located: its path, and its name in the log.
struct SweptPlace {
    const SweptFolder* folder;
    WCHAR path[MAX_PATH];
    WCHAR shown[MAX_PATH];
};

// One removal under way: how it works, whom it tells, and what it has found to stay.
struct Run
{
    RemovalMode mode;
    RemovalObserver* observer;
    SweepWork sweepWork;
    Remains remains;
    SweptPlace swept[3];
    int sweptCount;
    // Per registration: its class key stays per machine, in either view; in the place being
    // handled, its class key is gone in every view, so that its other keys go (in a check, all of
    // them are looked at).
    bool machineClassKeyStays[kRegistrationCount];
    bool registrationGone[kRegistrationCount];
    // The link last reported: a link on the way to several keys is reported once.
    WCHAR lastLink[kItemNameCapacity];
};

// A fate that leaves a trace of the controls: what stays, and a link that may lead to one.
bool IsTrace(ItemFate fate)
{
    return fate == kItemPresent || fate == kItemNotOwn || fate == kItemFailed;
}

// Whether the fate is one of what is gone: removed, or not there.
bool IsGone(ItemFate fate)
{
    return fate == kItemRemoved || fate == kItemAbsent;
}

// Puts the path of a special folder into path, followed by suffix (NULL for none). Returns false,
// leaving path undefined, when the folder cannot be located or the path and suffix do not fit.
bool LocateFolder(int folder, LPCWSTR suffix, WCHAR (&path)[MAX_PATH])
{
    UniqueIdList idList;
    if (FAILED(PlatformServices::SHGetSpecialFolderLocation(NULL, folder, idList.Put())))
        return false;
    if (!PlatformServices::SHGetPathFromIDListW(idList.Get(), path))
        return false;
    return suffix == NULL || AppendText(path, suffix);
}

// Locates a folder to sweep, and adds it to the run's; a folder that cannot be located counts as
// one that cannot be listed. So does a system folder that is not there: Sysnative is missing on
// 64-bit Windows XP and Server 2003 without their update.
void LocateSweptFolder(Run& run, const SweptFolder& folder)
{
    SweptPlace& place = run.swept[run.sweptCount];
    const LPCWSTR shownSuffix = folder.shownSuffix != NULL ? folder.shownSuffix : folder.suffix;
    const bool systemFolder = folder.rules == &SystemFolderRules;
    place.folder = &folder;
    if (LocateFolder(folder.specialFolder, folder.suffix, place.path) &&
        LocateFolder(folder.specialFolder, shownSuffix, place.shown) &&
        (!systemFolder ||
         PlatformServices::GetFileAttributesW(place.path) != INVALID_FILE_ATTRIBUTES)) {
        ++run.sweptCount;
        return;
    }
    ReportItem(run.observer, folder.unlocatedName, kItemFailed, ERROR_PATH_NOT_FOUND);
    run.remains.otherTraceStays = true;
}

// Sweeps a located folder, and returns the verdict.
SweepVerdict Sweep(Run& run, SweptPlace& place)
{
    const SweepVerdict verdict =
        SweepFolder(place.path, place.shown, *place.folder->rules, run.sweepWork);
    if (verdict == kFolderUnlisted || verdict == kEntriesStay)
        run.remains.otherTraceStays = true;
    if (verdict == kEntriesPending)
        run.remains.pendingStays = true;
    return verdict;
}

bool IsLink(HKEY key)
{
    DWORD type = REG_NONE;
    return PlatformServices::RegQueryValueExW(key, L"SymbolicLinkValue", NULL, &type, NULL,
                                              NULL) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Whether the key is there, without following a link.
HRESULT LookForKey(HKEY parent, LPCWSTR name, REGSAM view)
{
    UniqueKey key;
    return HRESULT_FROM_WIN32(PlatformServices::RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK,
                                                              KEY_QUERY_VALUE | view,
                                                              key.Put()));
}

// Opens the key at path below folder's root in view, with access. In a folder reached as itself,
// each component of path is opened as itself, and one that is a link ends the walk. Returns
// kItemPresent with the key open, else the fate of the component that ended the walk with the
// code that decided it: a link (kItemNotOwn; *linkLength is the length of its path), absent or
// failed. Where a 64-bit request was given another view's key (see IsKeyAskedFor), that view
// cannot be reached: kItemFailed, ERROR_BADKEY.
ItemFate OpenFolderKey(const KeyFolder& folder, const KeyView& view, LPWSTR path, REGSAM access,
                       UniqueKey& key, DWORD* code, size_t* linkLength)
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
            *code = PlatformServices::RegOpenKeyExW(at, name, REG_OPTION_OPEN_LINK, access,
                                                    &component);
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

// Removes (in a check, looks for) the tree of the key at path below folder's root in view, and
// returns its fate and the code that decided it. Its parent is opened first (OpenFolderKey), and
// a link on the way there is the key's fate: nothing behind it is touched.
ItemFate ActOnKey(RemovalMode mode, const KeyFolder& folder, const KeyView& view, LPWSTR path,
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

// How many views of folder show the key prefix + name: one where both show it as one key.
int ViewsOfKey(const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    WCHAR path[kKeyPathCapacity] = L"";
    if (folder.sharedViews && AppendText(path, folder.path) && AppendText(path, prefix) &&
        AppendText(path, name) && IsOneKeyInViews(folder, path))
        return 1;
    return folder.viewCount;
}

// Tells the observer of the key at path below folder's root in view, or of its value named value
// (NULL for the key itself). A link is told once for all the keys it stands in the way of.
void ReportKey(Run& run, const KeyFolder& folder, const KeyView& view, LPCWSTR path,
               LPCWSTR value, ItemFate fate, DWORD code)
{
    WCHAR item[kItemNameCapacity + kSweepBufferSize] = L"";
    AppendText(item, folder.rootName);
    AppendText(item, path);
    if (value != NULL) {
        AppendText(item, L"\\");
        AppendText(item, value);
    }
    AppendText(item, view.tag);
    if (fate == kItemNotOwn) {
        if (TextEqual(item, run.lastLink))
            return;
        run.lastLink[0] = L'\0';
        AppendText(run.lastLink, item);
    }
    ReportItem(run.observer, item, fate, code);
}

// Removes (in a check, looks for) the key prefix + name in one view of folder, reports it (a link
// on the way by the link's own name) and returns its fate.
ItemFate HandleKeyInView(Run& run, const KeyFolder& folder, const KeyView& view, LPCWSTR prefix,
                         LPCWSTR name)
{
    WCHAR path[kKeyPathCapacity] = L"";
    DWORD code = ERROR_INVALID_PARAMETER;
    size_t linkLength = 0;
    ItemFate fate = kItemFailed;
    if (AppendText(path, folder.path) && AppendText(path, view.infix) &&
        AppendText(path, prefix) && AppendText(path, name))
        fate = ActOnKey(run.mode, folder, view, path, &code, &linkLength);
    if (fate == kItemNotOwn)
        path[linkLength] = L'\0';
    ReportKey(run, folder, view, path, NULL, fate, code);
    return fate;
}

// Removes (in a check, looks for) the key prefix + name in each view of folder, reports each, and
// returns the fate that weighs most: one that stays (failed, present), then a link on the way,
// then removed or absent. A key that both views show is handled once.
ItemFate HandleKey(Run& run, const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    ItemFate weightiest = kItemAbsent;
    if (folder.root == NULL)
        return weightiest;
    const int viewCount = ViewsOfKey(folder, prefix, name);
    for (int view = 0; view < viewCount; ++view) {
        const ItemFate fate = HandleKeyInView(run, folder, folder.views[view], prefix, name);
        weightiest = Weightier(weightiest, fate);
    }
    return weightiest;
}

// A key of a registration's besides its class key: one that stays, or a link on the way to it
// (COM follows registry links, so a registration behind one still counts), is a trace.
void HandleDependentKey(Run& run, const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    if (IsTrace(HandleKey(run, folder, prefix, name)))
        run.remains.otherTraceStays = true;
}

// Removes one registration's keys from one place, and tells whether they are gone. Its ProgID
// and type library go only where its class key is gone in every view: a class key that stays, or
// that a link stands in the way of, keeps them. A check looks at them all.
void HandleRegistration(Run& run, const Place& place, int row)
{
    const ControlRegistration& registration = RegistrationTable[row];
    const ItemFate classKey = HandleKey(run, place.classes, kClassKeys, registration.classId);
    if (classKey == kItemNotOwn)
        run.remains.otherTraceStays = true;
    else if (IsTrace(classKey))
        run.remains.classKeyStays = true;
    if (!place.user)
        run.machineClassKeyStays[row] = !IsGone(classKey);
    run.registrationGone[row] = IsGone(classKey) || run.mode == kCheckOnly;
    if (!run.registrationGone[row])
        return;
    HandleDependentKey(run, place.classes, L"", registration.progIdKey);
    HandleDependentKey(run, place.classes, L"", registration.typeLibKey);
}

// Removes (in a check, looks for) the browser's records of the registrations that went from the
// place: its record of each download and, per user, the add-on state. A link on the way to a
// record is no trace: the browser alone reads its records, and what the link leads to is another
// place's key, which that place's walk handles (or, like the kill bits, keeps). A user's add-on
// state also stays while the control stays registered per machine: a disabled add-on must not
// come back enabled.
void HandleRecords(Run& run, const Place& place)
{
    const LPCWSTR kUserRecords[] = {kDownloadRecords, kAddOnSettings, kAddOnStats};
    const int folderCount = place.user ? 3 : 1;
    for (int folder = 0; folder < folderCount; ++folder) {
        for (int row = 0; row < kRegistrationCount; ++row) {
            const bool addOnState = folder != 0;
            if (!run.registrationGone[row] ||
                (addOnState && run.machineClassKeyStays[row] && run.mode != kCheckOnly))
                continue;
            const ItemFate fate = HandleKey(run, place.software, kUserRecords[folder],
                                            RegistrationTable[row].classId);
            if (IsTrace(fate) && fate != kItemNotOwn)
                run.remains.otherTraceStays = true;
        }
    }
}

// Decides whether the child key name of a folder's key, open as parent in view, goes.
typedef bool (*ChildRule)(const Run& run, HKEY parent, LPCWSTR name, REGSAM view);

// Removes (in a check, looks for) every child of the key parent below folder that rule selects,
// in each view; one that stays is a trace, and so is a parent that cannot be listed to its end.
void HandleChildKeys(Run& run, const KeyFolder& folder, LPCWSTR parent, ChildRule rule)
{
    if (folder.root == NULL)
        return;
    const int viewCount = ViewsOfKey(folder, parent, L"");
    for (int number = 0; number < viewCount; ++number) {
        const KeyView& view = folder.views[number];
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
            if (rule(run, children.Get(), name + 1, view.access))
                fate = HandleKeyInView(run, folder, view, parent, name);
            if (IsTrace(fate))
                run.remains.otherTraceStays = true;
            // A removed child's place goes to the next one.
            if (fate != kItemRemoved)
                ++index;
        }
        if (listing == kItemNotOwn)
            path[linkLength] = L'\0';
        if (IsTrace(listing)) {
            ReportKey(run, folder, view, path, NULL, listing, code);
            run.remains.otherTraceStays = true;
        }
    }
}

// Whether the interface iid (below interfaces, in view) belongs to a type library that went from
// the place: its TypeLib subkey, opened as itself, names the library, in any case of the letters
// a-z. Windows removes the interfaces with a library it unregisters, and an interface left
// behind points at a library that is gone.
bool BelongsToLibraryGone(const Run& run, HKEY interfaces, LPCWSTR iid, REGSAM view)
{
    WCHAR path[kChildNameCapacity + 8] = L"";
    AppendText(path, iid);
    AppendText(path, L"\\TypeLib");
    UniqueKey typeLib;
    WCHAR library[40];  // a GUID in braces
    DWORD type = REG_NONE;
    DWORD size = sizeof library - sizeof library[0];
    if (PlatformServices::RegOpenKeyExW(interfaces, path, REG_OPTION_OPEN_LINK,
                                        KEY_QUERY_VALUE | view, typeLib.Put()) != ERROR_SUCCESS ||
        PlatformServices::RegQueryValueExW(typeLib.Get(), NULL, NULL, &type,
                                           reinterpret_cast<LPBYTE>(library),
                                           &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    library[size / sizeof library[0]] = L'\0';
    for (int row = 0; row < kRegistrationCount; ++row) {
        const LPCWSTR guid = RegistrationTable[row].typeLibKey + 8;  // after "TypeLib\"
        if (run.registrationGone[row] && TextEqualIgnoringCase(library, guid))
            return true;
    }
    return false;
}

// Whether longPath names, or lies inside, an entry of folder that rules select, in any case of
// the letters a-z. An entry that the path names itself is a directory where it is one now.
bool IsInSweptFolder(LPCWSTR longPath, LPCWSTR folder, const SweepRules& rules)
{
    const size_t folderLength = TextLength(folder);
    if (!TextStartsWithIgnoringCase(longPath, folder) || longPath[folderLength] != L'\\')
        return false;
    // The entry of the folder: the last name, or a folder that holds the rest.
    WCHAR entry[MAX_PATH] = L"";
    size_t size = 0;
    LPCWSTR at = longPath + folderLength + 1;
    for (; *at != L'\0' && *at != L'\\' && size + 1 < MAX_PATH; ++at)
        entry[size++] = *at;
    entry[size] = L'\0';
    bool directory = *at == L'\\';
    if (*at == L'\0') {
        const DWORD attributes = PlatformServices::GetFileAttributesW(longPath);
        directory = attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    return MatchesRules(entry, directory, rules);
}

// Whether path names, or lies inside, an entry that a swept folder's rules select. The path is
// read in its long form where Windows can tell it: a short (8.3) path of an entry that is there,
// or, once it is gone, of its folder. A 32-bit installer names a file of SysWOW64 in system32.
bool IsSweptPath(const Run& run, LPCWSTR path)
{
    WCHAR given[kSweepBufferSize] = L"";
    WCHAR full[kSweepBufferSize] = L"";
    AppendText(given, path);
    LPWSTR name = LastBackslash(given);
    const DWORD length = PlatformServices::GetLongPathNameW(given, full, kSweepBufferSize);
    if ((length == 0 || length >= kSweepBufferSize) && name != NULL) {
        *name = L'\0';
        const DWORD folderLength =
            PlatformServices::GetLongPathNameW(given, full, kSweepBufferSize);
        *name = L'\\';
        if (folderLength == 0 || folderLength >= kSweepBufferSize || !AppendText(full, name))
            full[0] = L'\0';
    }
    const LPCWSTR longPath = full[0] != L'\0' ? full : given;
    for (int number = 0; number < run.sweptCount; ++number) {
        const SweptPlace& swept = run.swept[number];
        const SweepRules& rules = *swept.folder->rules;
        if (IsInSweptFolder(longPath, swept.shown, rules))
            return true;
        WCHAR sibling[MAX_PATH] = L"";
        AppendText(sibling, swept.shown);
        const LPWSTR last = LastBackslash(sibling);
        if (swept.folder->siblingName != NULL && last != NULL) {
            last[1] = L'\0';
            if (AppendText(sibling, swept.folder->siblingName) &&
                IsInSweptFolder(longPath, sibling, rules))
                return true;
        }
    }
    return false;
}

// Whether a ModuleUsage key, named by a path with / for \, names a path that the sweeps select.
bool NamesSweptPath(const Run& run, HKEY, LPCWSTR name, REGSAM)
{
    WCHAR path[kChildNameCapacity];
    size_t length = 0;
    for (; name[length] != L'\0'; ++length)
        path[length] = name[length] == L'/' ? L'\\' : name[length];
    path[length] = L'\0';
    return IsSweptPath(run, path);
}

// Removes (in a check, looks for) the installers' records of the controls' files in the machine's
// software folder, in each view: every SharedDLLs value and every ModuleUsage key that names a
// path the sweeps select, whether or not the file is still there. Other files' records stay.
void HandleSharedFiles(Run& run, const KeyFolder& software)
{
    const int viewCount = ViewsOfKey(software, kSharedDlls, L"");
    for (int number = 0; number < viewCount; ++number) {
        const KeyView& view = software.views[number];
        WCHAR path[kKeyPathCapacity] = L"";
        AppendText(path, software.path);
        AppendText(path, kSharedDlls);
        // Read to find the records; opened for writing only to remove one.
        UniqueKey records;
        UniqueKey writable;
        DWORD code = ERROR_SUCCESS;
        size_t linkLength = 0;
        ItemFate listing = OpenFolderKey(software, view, path, 0, records, &code, &linkLength);
        WCHAR name[kSweepBufferSize];
        for (DWORD index = 0; listing == kItemPresent;) {
            DWORD length = kSweepBufferSize;
            code = PlatformServices::RegEnumValueW(records.Get(), index, name, &length, NULL, NULL,
                                                   NULL, NULL);
            // A name too long for the buffer is no path the sweeps select.
            if (code != ERROR_SUCCESS && code != ERROR_MORE_DATA) {
                listing = code == ERROR_NO_MORE_ITEMS ? kItemAbsent : kItemFailed;
                break;
            }
            ItemFate fate = kItemAbsent;
            if (code == ERROR_SUCCESS && IsSweptPath(run, name)) {
                fate = kItemPresent;
                if (run.mode != kCheckOnly) {
                    if (!writable.IsValid())
                        code = PlatformServices::RegOpenKeyExW(software.root, path, 0,
                                                               KEY_SET_VALUE | view.access,
                                                               writable.Put());
                    if (code == ERROR_SUCCESS)
                        code = PlatformServices::RegDeleteValueW(writable.Get(), name);
                    fate = code == ERROR_SUCCESS ? kItemRemoved : kItemFailed;
                }
                ReportKey(run, software, view, path, name, fate, code);
            }
            if (IsTrace(fate))
                run.remains.otherTraceStays = true;
            if (fate != kItemRemoved)
                ++index;
        }
        if (IsTrace(listing)) {
            ReportKey(run, software, view, path, NULL, listing, code);
            run.remains.otherTraceStays = true;
        }
    }
    HandleChildKeys(run, software, kModuleUsage, NamesSweptPath);
}

// The registrations, then the browser's records of those that went, then the interfaces of their
// type libraries.
void HandlePlace(Run& run, const Place& place)
{
    for (int row = 0; row < kRegistrationCount; ++row)
        HandleRegistration(run, place, row);
    HandleRecords(run, place);
    HandleChildKeys(run, place.classes, kInterfaces, BelongsToLibraryGone);
}

// Every other user's profile, one at a time, its hives open while its place is handled.
void HandleProfiles(Run& run)
{
    ProfileList profiles;
    WCHAR sid[kSidCapacity];
    WCHAR folder[MAX_PATH];
    while (profiles.Next(sid, folder)) {
        const LPCWSTR last = LastBackslash(folder);
        if (run.observer != NULL)
            run.observer->OnProfile(sid, last != NULL ? last + 1 : folder);
        UserHives hives;
        Place place;
        if (hives.Open(sid, folder, run.observer, &place))
            HandlePlace(run, place);
        else
            run.remains.otherTraceStays = true;
        if (!hives.Close(run.observer))
            run.remains.otherTraceStays = true;
    }
    if (profiles.Error() != ERROR_SUCCESS) {
        ReportItem(run.observer, kProfileListName, kItemFailed, profiles.Error());
        run.remains.otherTraceStays = true;
    }
}

}  // namespace

ItemFate Weightier(ItemFate left, ItemFate right)
{
    // By ItemFate.
    const int kWeights[] = {0, 0, 3, 2, 3, 1, 0, 0};
    return kWeights[right] > kWeights[left] ? right : left;
}

Remains RemoveControls(RemovalMode mode, RemovalScope scope, RemovalObserver* observer)
{
    // A check looks up what goes at the next start; an administrator's removal (one that reaches
    // every profile) adds what is in use.
    PendingDeletions pending;
    const bool pends = mode == kCheckOnly || (mode == kRemoveQuietly && scope == kAllProfiles);
    if (pends)
        pending.Read();
    Run run = {mode, observer, {mode, pends ? &pending : NULL, observer},
               {false, false, false, false}, {}, 0, {}, {}, L""};
    if (scope == kAllProfiles && !UnloadLeftHives(observer))
        run.remains.otherTraceStays = true;
    LocateSweptFolder(run, kDownloadedControls);
    LocateSweptFolder(run, IsWow64() ? kSysnative : kSystem);
    if (IsWindows64Bit())
        LocateSweptFolder(run, kSystemX86);
    // The installers' records of the files first: a record may name a file by its short (8.3)
    // name, which Windows lengthens only while the file is there.
    Place place;
    GetMachinePlace(&place);
    HandleSharedFiles(run, place.software);
    for (int number = 0; number < run.sweptCount; ++number) {
        SweptPlace& swept = run.swept[number];
        const SweepVerdict verdict = Sweep(run, swept);
        if (swept.folder == &kDownloadedControls)
            run.remains.downloadedControlsCleared = verdict == kFolderSwept;
    }
    // The machine's class keys first: they decide whether a user's add-on state may go.
    HandlePlace(run, place);
    UserHives currentUser;
    if (currentUser.OpenCurrentUser(observer, &place))
        HandlePlace(run, place);
    else
        run.remains.otherTraceStays = true;
    currentUser.Close(observer);
    if (scope == kAllProfiles)
        HandleProfiles(run);
    return run.remains;
}

int ExitCodeFor(RemovalMode mode, const Remains& remains)
{
    if (remains.classKeyStays && mode != kCheckOnly)
        return 2;
    if (remains.classKeyStays || remains.otherTraceStays)
        return 1;
    if (remains.pendingStays)
        return ERROR_SUCCESS_REBOOT_REQUIRED;
    return 0;
}
