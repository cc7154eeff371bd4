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

// Capacity of a key's path below its root, and of its name in the log.
const int kKeyPathCapacity = MAX_PATH;
const int kItemNameCapacity = kRootNameCapacity + kKeyPathCapacity + 8;

// A folder that a removal swept, as the log names it, and the rules it was swept with.
struct SweptPlace {
    WCHAR folder[MAX_PATH];
    const SweepRules* rules;
};

// One removal under way: how it works, whom it tells, and what it has found to stay.
struct Run
{
    RemovalMode mode;
    RemovalObserver* observer;
    SweepWork sweepWork;
    Remains remains;
    SweptPlace swept[4];
    int sweptCount;
    // Per registration: its class key stays per machine, in either view; its type library went
    // from the place being handled.
    bool machineClassKeyStays[kRegistrationCount];
    bool libraryGone[kRegistrationCount];
};

bool Stays(ItemFate fate)
{
    return fate == kItemPresent || fate == kItemNotOwn || fate == kItemFailed;
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

// Records that the folder shown was swept with rules, or, where siblingName is not NULL, that
// folder's sibling of that name.
void RecordSweptPlace(Run& run, LPCWSTR shown, LPCWSTR siblingName, const SweepRules* rules)
{
    SweptPlace& swept = run.swept[run.sweptCount++];
    swept.folder[0] = L'\0';
    swept.rules = rules;
    AppendText(swept.folder, shown);
    const LPWSTR last = LastBackslash(swept.folder);
    if (siblingName != NULL && last != NULL) {
        last[1] = L'\0';
        AppendText(swept.folder, siblingName);
    }
}

// Sweeps a folder and returns the verdict; a folder that cannot be located counts as one that
// cannot be listed. So does a system folder that is not there: Sysnative is missing on 64-bit
// Windows XP and Server 2003 without their update.
SweepVerdict Sweep(Run& run, const SweptFolder& folder)
{
    WCHAR path[MAX_PATH];
    WCHAR shown[MAX_PATH];
    SweepVerdict verdict = kFolderUnlisted;
    const LPCWSTR shownSuffix = folder.shownSuffix != NULL ? folder.shownSuffix : folder.suffix;
    const bool systemFolder = folder.rules == &SystemFolderRules;
    if (LocateFolder(folder.specialFolder, folder.suffix, path) &&
        LocateFolder(folder.specialFolder, shownSuffix, shown) &&
        (!systemFolder ||
         PlatformServices::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)) {
        RecordSweptPlace(run, shown, NULL, folder.rules);
        if (folder.siblingName != NULL)
            RecordSweptPlace(run, shown, folder.siblingName, folder.rules);
        verdict = SweepFolder(path, shown, *folder.rules, run.sweepWork);
    } else
        ReportItem(run.observer, folder.unlocatedName, kItemFailed, ERROR_PATH_NOT_FOUND);
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
HRESULT LookForKey(HKEY root, LPCWSTR path, REGSAM view)
{
    UniqueKey key;
    return HRESULT_FROM_WIN32(PlatformServices::RegOpenKeyExW(root, path, REG_OPTION_OPEN_LINK,
                                                              KEY_QUERY_VALUE | view,
                                                              key.Put()));
}

// Opens the key at path below folder's root in view, with access. In a folder reached as itself,
// each component of path is opened as itself, and one that is a link ends the walk. Returns
// kItemPresent with the key open, else the fate of the component that ended the walk: a link
// (kItemNotOwn), absent or failed, the code that decided it in code.
ItemFate OpenFolderKey(const KeyFolder& folder, REGSAM view, LPWSTR path, REGSAM access,
                       UniqueKey& key, DWORD* code)
{
    if (!folder.asItself) {
        *code = PlatformServices::RegOpenKeyExW(folder.root, path, 0, access | view, key.Put());
    } else {
        HKEY at = folder.root;
        for (LPWSTR name = path, end = path;; ++end) {
            if (*end != L'\\' && *end != L'\0')
                continue;
            const WCHAR next = *end;
            *end = L'\0';
            HKEY component = NULL;
            *code = PlatformServices::RegOpenKeyExW(at, name, REG_OPTION_OPEN_LINK,
                                                    access | KEY_QUERY_VALUE | view, &component);
            *end = next;
            if (*code != ERROR_SUCCESS)
                break;
            key.Reset(component);
            at = component;
            if (IsLink(at))
                return kItemNotOwn;
            if (next == L'\0')
                break;
            name = end + 1;
        }
    }
    if (*code == ERROR_FILE_NOT_FOUND)
        return kItemAbsent;
    return *code == ERROR_SUCCESS ? kItemPresent : kItemFailed;
}

// Removes (in a check, looks for) the tree of the key at path below folder's root in view, and
// returns its fate and the code that decided it. In a folder reached as itself, every component
// of path is opened as itself, and one that is a link is the key's fate: its tree stays.
ItemFate ActOnKey(RemovalMode mode, const KeyFolder& folder, REGSAM view, LPWSTR path,
                  DWORD* code)
{
    UniqueKey parent;
    HKEY at = folder.root;
    LPWSTR name = path;
    LPWSTR last = LastBackslash(path);
    if (folder.asItself && last != NULL) {
        *last = L'\0';
        const ItemFate walk = OpenFolderKey(folder, view, path, 0, parent, code);
        *last = L'\\';
        if (walk != kItemPresent)
            return walk;
        at = parent.Get();
        name = last + 1;
    }
    const HRESULT status =
        mode == kCheckOnly ? LookForKey(at, name, view) : DeleteRegTree(at, name, view);
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
// (NULL for the key itself).
void ReportKey(const Run& run, const KeyFolder& folder, const KeyView& view, LPCWSTR path,
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
    ReportItem(run.observer, item, fate, code);
}

// Removes (in a check, looks for) the key prefix + name in one view of folder, reports it and
// returns its fate.
ItemFate HandleKeyInView(const Run& run, const KeyFolder& folder, const KeyView& view,
                         LPCWSTR prefix, LPCWSTR name)
{
    WCHAR path[kKeyPathCapacity] = L"";
    DWORD code = ERROR_INVALID_PARAMETER;
    ItemFate fate = kItemFailed;
    if (AppendText(path, folder.path) && AppendText(path, view.infix) &&
        AppendText(path, prefix) && AppendText(path, name))
        fate = ActOnKey(run.mode, folder, view.access, path, &code);
    else
        path[0] = L'\0';
    ReportKey(run, folder, view, path, NULL, fate, code);
    return fate;
}

// Removes (in a check, looks for) the key prefix + name in each view of folder, reports each and
// returns whether it stays in any: a key that both views show is handled once.
bool HandleKey(const Run& run, const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    if (folder.root == NULL)
        return false;
    bool stays = false;
    const int viewCount = ViewsOfKey(folder, prefix, name);
    for (int view = 0; view < viewCount; ++view)
        stays = Stays(HandleKeyInView(run, folder, folder.views[view], prefix, name)) || stays;
    return stays;
}

// A key of a registration's besides its class key.
void HandleDependentKey(Run& run, const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    if (HandleKey(run, folder, prefix, name))
        run.remains.otherTraceStays = true;
}

// Removes one registration from one place, and returns whether its other keys went. They go only
// where its class key is gone, removed or absent, in every view: a class key that stays keeps
// them. A user's add-on state also stays while the control stays registered per machine: a
// disabled add-on must not come back enabled. A check looks at them all.
bool HandleRegistration(Run& run, const Place& place, int row)
{
    const ControlRegistration& registration = RegistrationTable[row];
    const bool classKeyStays = HandleKey(run, place.classes, kClassKeys, registration.classId);
    if (classKeyStays)
        run.remains.classKeyStays = true;
    if (!place.user)
        run.machineClassKeyStays[row] = classKeyStays;
    const bool checking = run.mode == kCheckOnly;
    if (classKeyStays && !checking)
        return false;
    HandleDependentKey(run, place.classes, L"", registration.progIdKey);
    HandleDependentKey(run, place.classes, L"", registration.typeLibKey);
    HandleDependentKey(run, place.software, kDownloadRecords, registration.classId);
    if (place.user && (!run.machineClassKeyStays[row] || checking)) {
        HandleDependentKey(run, place.software, kAddOnSettings, registration.classId);
        HandleDependentKey(run, place.software, kAddOnStats, registration.classId);
    }
    return true;
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
        if (!AppendText(path, folder.path) || !AppendText(path, view.infix) ||
            !AppendText(path, parent))
            continue;
        ItemFate listing = OpenFolderKey(folder, view.access, path, KEY_ENUMERATE_SUB_KEYS,
                                         children, &code);
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
            if (Stays(fate))
                run.remains.otherTraceStays = true;
            // A removed child's place goes to the next one.
            if (fate != kItemRemoved)
                ++index;
        }
        if (Stays(listing)) {
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
        if (run.libraryGone[row] && TextEqualIgnoringCase(library, guid))
            return true;
    }
    return false;
}

// Whether path names, or lies inside, an entry that a swept folder's rules select: in any case of
// the letters a-z; its long form where Windows can tell it, as it can for a short (8.3) path of
// an entry or, after it is gone, of its folder. A 32-bit installer names a file of SysWOW64 in
// system32, which is swept too.
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
        const size_t folderLength = TextLength(swept.folder);
        if (!TextStartsWithIgnoringCase(longPath, swept.folder) || longPath[folderLength] != L'\\')
            continue;
        // The entry of the folder: the last name, or a folder that holds the rest.
        WCHAR entry[MAX_PATH] = L"";
        size_t size = 0;
        LPCWSTR at = longPath + folderLength + 1;
        for (; *at != L'\0' && *at != L'\\' && size + 1 < MAX_PATH; ++at)
            entry[size++] = *at;
        entry[size] = L'\0';
        if (MatchesRules(entry, *at == L'\\', *swept.rules))
            return true;
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
        LONG code = PlatformServices::RegOpenKeyExW(software.root, path, 0,
                                                    KEY_QUERY_VALUE | view.access, records.Put());
        WCHAR name[kSweepBufferSize];
        for (DWORD index = 0; code == ERROR_SUCCESS;) {
            DWORD length = kSweepBufferSize;
            code = PlatformServices::RegEnumValueW(records.Get(), index, name, &length, NULL, NULL,
                                                   NULL, NULL);
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
                code = ERROR_SUCCESS;
            }
            // A name too long for the buffer is no path the sweeps select.
            if (code == ERROR_MORE_DATA)
                code = ERROR_SUCCESS;
            if (Stays(fate))
                run.remains.otherTraceStays = true;
            if (fate != kItemRemoved)
                ++index;
        }
        if (code != ERROR_NO_MORE_ITEMS && code != ERROR_FILE_NOT_FOUND) {
            ReportKey(run, software, view, path, NULL, kItemFailed, code);
            run.remains.otherTraceStays = true;
        }
    }
    HandleChildKeys(run, software, kModuleUsage, NamesSweptPath);
}

void HandlePlace(Run& run, const Place& place)
{
    for (int row = 0; row < kRegistrationCount; ++row)
        run.libraryGone[row] = HandleRegistration(run, place, row);
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
        ProfileHives hives;
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

Remains RemoveControls(RemovalMode mode, RemovalScope scope, RemovalObserver* observer)
{
    // A check looks up what goes at the next start; an administrator's removal (one that reaches
    // every profile) adds what is in use.
    PendingDeletions pending;
    const bool pends = mode == kCheckOnly || (mode == kRemoveQuietly && scope == kAllProfiles);
    if (pends)
        pending.Read();
    Run run = {mode, observer, {mode, pends ? &pending : NULL, observer},
               {false, false, false, false}, {}, 0, {}, {}};
    if (scope == kAllProfiles && !UnloadLeftHives(observer))
        run.remains.otherTraceStays = true;
    run.remains.downloadedControlsCleared = Sweep(run, kDownloadedControls) == kFolderSwept;
    Sweep(run, IsWow64() ? kSysnative : kSystem);
    if (IsWindows64Bit())
        Sweep(run, kSystemX86);
    // The machine's class keys first: they decide whether a user's add-on state may go.
    Place place;
    GetMachinePlace(&place);
    HandlePlace(run, place);
    HandleSharedFiles(run, place.software);
    GetCurrentUserPlace(&place);
    HandlePlace(run, place);
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
