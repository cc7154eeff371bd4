#include "Removal.h"

#include "FolderSweep.h"
#include "Places.h"
#include "RegTree.h"
#include "RegistrationTable.h"
#include "WideText.h"

namespace {

// A folder that the removal sweeps: a special folder with suffix appended, swept with rules. The
// log names it as it is reached, with shownSuffix in place of suffix where that is not NULL, and
// as unlocatedName where it cannot be located.
struct SweptFolder {
    int specialFolder;
    LPCWSTR suffix;
    LPCWSTR shownSuffix;
    LPCWSTR unlocatedName;
    const SweepRules* rules;
};

const SweptFolder kDownloadedControls = {CSIDL_WINDOWS, L"\\Downloaded Program Files", NULL,
                                         L"%WINDIR%\\Downloaded Program Files",
                                         &DownloadedControlsRules};
const SweptFolder kSystem = {CSIDL_SYSTEM, NULL, NULL, L"%WINDIR%\\system32", &SystemFolderRules};
// On 64-bit Windows, both system folders. A 32-bit program reaches the 64-bit one through
// Sysnative, since Windows shows it SysWOW64 as system32; the log names it system32, as Windows
// names it to a 64-bit program.
const SweptFolder kSysnative = {CSIDL_WINDOWS, L"\\Sysnative", L"\\system32",
                                L"%WINDIR%\\system32", &SystemFolderRules};
const SweptFolder kSystemX86 = {CSIDL_SYSTEMX86, NULL, NULL, L"%WINDIR%\\SysWOW64",
                                &SystemFolderRules};

const WCHAR kClassKeys[] = L"CLSID\\";
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

// One removal under way: how it works, whom it tells, and what it has found to stay.
struct Run
{
    RemovalMode mode;
    RemovalObserver* observer;
    Remains remains;
    // Per registration: its class key stays per machine, in either view.
    bool machineClassKeyStays[kRegistrationCount];
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
         PlatformServices::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES))
        verdict = SweepFolder(path, shown, *folder.rules, run.mode, run.observer);
    else
        ReportItem(run.observer, folder.unlocatedName, kItemFailed, ERROR_PATH_NOT_FOUND);
    if (verdict == kFolderUnlisted || verdict == kEntriesStay)
        run.remains.otherTraceStays = true;
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
                                                              KEY_READ | view, key.Put()));
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
    for (LPWSTR end = name; folder.asItself && *end != L'\0'; ++end) {
        if (*end != L'\\')
            continue;
        *end = L'\0';
        HKEY component = NULL;
        const LONG error = PlatformServices::RegOpenKeyExW(at, name, REG_OPTION_OPEN_LINK,
                                                           KEY_QUERY_VALUE | view, &component);
        *end = L'\\';
        if (error != ERROR_SUCCESS) {
            *code = error;
            return error == ERROR_FILE_NOT_FOUND ? kItemAbsent : kItemFailed;
        }
        parent.Reset(component);
        at = component;
        name = end + 1;
        *code = ERROR_SUCCESS;
        if (IsLink(at))
            return kItemNotOwn;
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

// Removes (in a check, looks for) the key prefix + name in each view of folder, reports each and
// returns whether it stays in any: a key that both views show is handled once.
bool HandleKey(const Run& run, const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    if (folder.root == NULL)
        return false;
    WCHAR path[kKeyPathCapacity] = L"";
    int viewCount = folder.viewCount;
    if (folder.sharedViews && AppendText(path, folder.path) && AppendText(path, prefix) &&
        AppendText(path, name) && IsOneKeyInViews(folder, path))
        viewCount = 1;
    bool stays = false;
    for (int view = 0; view < viewCount; ++view) {
        const KeyView& keyView = folder.views[view];
        path[0] = L'\0';
        WCHAR item[kItemNameCapacity] = L"";
        DWORD code = ERROR_INVALID_PARAMETER;
        ItemFate fate = kItemFailed;
        if (AppendText(path, folder.path) && AppendText(path, keyView.infix) &&
            AppendText(path, prefix) && AppendText(path, name)) {
            AppendText(item, folder.rootName);
            AppendText(item, path);
            AppendText(item, keyView.tag);
            fate = ActOnKey(run.mode, folder, keyView.access, path, &code);
        }
        ReportItem(run.observer, item, fate, code);
        stays = stays || Stays(fate);
    }
    return stays;
}

// A key of a registration's besides its class key.
void HandleDependentKey(Run& run, const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name)
{
    if (HandleKey(run, folder, prefix, name))
        run.remains.otherTraceStays = true;
}

// Removes one registration from one place. Its other keys go only where its class key is gone,
// removed or absent, in every view: a class key that stays keeps them. A user's add-on state also
// stays while the control stays registered per machine: a disabled add-on must not come back
// enabled. A check looks at them all.
void HandleRegistration(Run& run, const Place& place, int row)
{
    const ControlRegistration& registration = RegistrationTable[row];
    const bool classKeyStays = HandleKey(run, place.classes, kClassKeys, registration.classId);
    if (classKeyStays)
        run.remains.classKeyStays = true;
    if (!place.user)
        run.machineClassKeyStays[row] = classKeyStays;
    const bool checking = run.mode == kCheckOnly;
    if (classKeyStays && !checking)
        return;
    HandleDependentKey(run, place.classes, L"", registration.progIdKey);
    HandleDependentKey(run, place.classes, L"", registration.typeLibKey);
    HandleDependentKey(run, place.software, kDownloadRecords, registration.classId);
    if (place.user && (!run.machineClassKeyStays[row] || checking)) {
        HandleDependentKey(run, place.software, kAddOnSettings, registration.classId);
        HandleDependentKey(run, place.software, kAddOnStats, registration.classId);
    }
}

void HandlePlace(Run& run, const Place& place)
{
    for (int row = 0; row < kRegistrationCount; ++row)
        HandleRegistration(run, place, row);
}

// Every other user's profile, one at a time, its hives open while its place is handled.
void HandleProfiles(Run& run)
{
    ProfileList profiles;
    WCHAR sid[kSidCapacity];
    WCHAR folder[MAX_PATH];
    while (profiles.Next(sid, folder)) {
        LPCWSTR folderName = folder;
        for (LPCWSTR at = folder; *at != L'\0'; ++at) {
            if (*at == L'\\')
                folderName = at + 1;
        }
        if (run.observer != NULL)
            run.observer->OnProfile(sid, folderName);
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
    Run run = {mode, observer, {false, false, false}, {}};
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
    return 0;
}
