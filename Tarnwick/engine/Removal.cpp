#include "Removal.h"

#include "../platform/UniqueHandles.h"
#include "FolderSweep.h"
#include "RegTree.h"
#include "RegistrationTable.h"
#include "WideText.h"

namespace {

const WCHAR kDownloadedControlsSuffix[] = L"\\Downloaded Program Files";
// How the log names a folder that cannot be located.
const WCHAR kDownloadedControlsName[] = L"%WINDIR%\\Downloaded Program Files";
const WCHAR kSystemFolderName[] = L"%WINDIR%\\system32";

// HKEY_CLASSES_ROOT shows the per-user copy of a key held in both places and hides the
// per-machine one, so each place is cleared on its own: per user, then per machine.
const HKEY kPlaces[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
const WCHAR kClasses[] = L"Software\\Classes\\";
const WCHAR kClassKeys[] = L"Software\\Classes\\CLSID\\";
// The browser's record of a control it downloaded, by class ID: its "Downloaded Program Files"
// view lists the control from it. Per user, its add-on state: enabled or not, use counts and the
// sites allowed to run it.
const WCHAR kDownloadRecords[] =
    L"Software\\Microsoft\\Code Store Database\\Distribution Units\\";
const WCHAR kAddOnSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const WCHAR kAddOnStats[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\";

// One removal under way: how it works, whom it tells, and what it has found to stay.
struct Run
{
    RemovalMode mode;
    RemovalObserver* observer;
    Remains remains;
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

// Sweeps a special folder (with suffix appended) and returns the verdict; a folder that cannot be
// located counts as one that cannot be listed.
SweepVerdict Sweep(Run& run, int folder, LPCWSTR suffix, LPCWSTR name, const SweepRules& rules)
{
    WCHAR path[MAX_PATH];
    SweepVerdict verdict = kFolderUnlisted;
    if (LocateFolder(folder, suffix, path))
        verdict = SweepFolder(path, rules, run.mode, run.observer);
    else
        ReportItem(run.observer, NULL, name, kItemFailed, ERROR_PATH_NOT_FOUND);
    if (verdict == kFolderUnlisted || verdict == kEntriesStay)
        run.remains.otherTraceStays = true;
    return verdict;
}

// Whether the key is there, without following a link.
HRESULT LookForKey(HKEY root, LPCWSTR path)
{
    UniqueKey key;
    return HRESULT_FROM_WIN32(PlatformServices::RegOpenKeyExW(root, path, REG_OPTION_OPEN_LINK,
                                                              KEY_READ, key.Put()));
}

// Removes (in a check, looks for) the tree of the key prefix + name below root, reports it and
// returns its fate.
ItemFate HandleKey(const Run& run, HKEY root, LPCWSTR prefix, LPCWSTR name)
{
    WCHAR path[MAX_PATH] = L"";
    HRESULT status = HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
    if (AppendText(path, prefix) && AppendText(path, name))
        status = run.mode == kCheckOnly ? LookForKey(root, path) : DeleteRegTree(root, path);
    ItemFate fate = run.mode == kCheckOnly ? kItemPresent : kItemRemoved;
    if (status == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        fate = kItemAbsent;
    else if (FAILED(status))
        fate = kItemFailed;
    ReportItem(run.observer, root, path, fate, FAILED(status) ? status & 0xFFFF : ERROR_SUCCESS);
    return fate;
}

// A key of a registration's besides its class key.
void HandleDependentKey(Run& run, HKEY root, LPCWSTR prefix, LPCWSTR name)
{
    if (Stays(HandleKey(run, root, prefix, name)))
        run.remains.otherTraceStays = true;
}

// Removes one registration from one place. Its other keys go only where its class key is gone,
// removed or absent: a class key that stays keeps them. A check looks at them all.
void HandleRegistration(Run& run, HKEY root, const ControlRegistration& registration)
{
    const ItemFate classKeyFate = HandleKey(run, root, kClassKeys, registration.classId);
    if (Stays(classKeyFate))
        run.remains.classKeyStays = true;
    if (classKeyFate == kItemFailed && run.mode != kCheckOnly)
        return;
    HandleDependentKey(run, root, kClasses, registration.progIdKey);
    HandleDependentKey(run, root, kClasses, registration.typeLibKey);
    HandleDependentKey(run, root, kDownloadRecords, registration.classId);
    if (root == HKEY_CURRENT_USER) {
        HandleDependentKey(run, root, kAddOnSettings, registration.classId);
        HandleDependentKey(run, root, kAddOnStats, registration.classId);
    }
}

}  // namespace

Remains RemoveControls(RemovalMode mode, RemovalObserver* observer)
{
    Run run = {mode, observer, {false, false, false}};
    const SweepVerdict downloaded = Sweep(run, CSIDL_WINDOWS, kDownloadedControlsSuffix,
                                          kDownloadedControlsName, DownloadedControlsRules);
    run.remains.downloadedControlsCleared = downloaded == kFolderSwept;
    Sweep(run, CSIDL_SYSTEM, NULL, kSystemFolderName, SystemFolderRules);
    for (const ControlRegistration& registration : RegistrationTable) {
        for (HKEY root : kPlaces)
            HandleRegistration(run, root, registration);
    }
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
