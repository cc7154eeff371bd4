// The removal as a whole: which folders and places it reaches, in what order, and what stays.
#include "Removal.h"

#include "InstallerRecords.h"
#include "Registrations.h"
#include "UserHives.h"
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

const WCHAR kProfileListName[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// A folder that a removal sweeps, once located: its path, and its name in the log.
struct SweptPlace {
    const SweptFolder* folder;
    WCHAR path[MAX_PATH];
    WCHAR shown[MAX_PATH];
};

// One removal under way: how it walks keys and sweeps folders, the folders it located and where
// installers' records name their entries, what its places' registrations tell, and what it has
// found to stay.
struct Run
{
    KeyWalk walk;
    SweepWork sweepWork;
    SweptPlace swept[3];
    int sweptCount;
    RecordedFolder recorded[4];
    int recordedCount;
    RegistrationGates gates;
    Remains remains;
};

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

// Notes that installers' records name the entries that rules select in the folder named path, or,
// where siblingName is not NULL, in that sibling of it.
void RecordFolder(Run& run, LPCWSTR path, LPCWSTR siblingName, const SweepRules* rules)
{
    RecordedFolder& recorded = run.recorded[run.recordedCount];
    recorded.path[0] = L'\0';
    recorded.rules = rules;
    AppendText(recorded.path, path);
    const LPWSTR last = LastBackslash(recorded.path);
    if (siblingName != NULL && last != NULL) {
        last[1] = L'\0';
        AppendText(recorded.path, siblingName);
    }
    ++run.recordedCount;
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
    if (!LocateFolder(folder.specialFolder, folder.suffix, place.path) ||
        !LocateFolder(folder.specialFolder, shownSuffix, place.shown) ||
        (systemFolder &&
         PlatformServices::GetFileAttributesW(place.path) == INVALID_FILE_ATTRIBUTES)) {
        ReportItem(run.walk.observer, folder.unlocatedName, kItemFailed, ERROR_PATH_NOT_FOUND);
        run.remains.otherTraceStays = true;
        return;
    }
    ++run.sweptCount;
    RecordFolder(run, place.shown, NULL, folder.rules);
    if (folder.siblingName != NULL)
        RecordFolder(run, place.shown, folder.siblingName, folder.rules);
}

// Sweeps a located folder, and notes what stays.
void Sweep(Run& run, const SweptPlace& place)
{
    const SweepVerdict verdict =
        SweepFolder(place.path, place.shown, *place.folder->rules, run.sweepWork);
    if (place.folder == &kDownloadedControls)
        run.remains.downloadedControlsCleared = verdict == kFolderSwept;
    if (verdict == kFolderUnlisted || verdict == kEntriesStay)
        run.remains.otherTraceStays = true;
    if (verdict == kEntriesPending)
        run.remains.pendingStays = true;
}

// The registrations, with the browser's records of those that went, then the interfaces of their
// type libraries.
void HandlePlace(Run& run, const Place& place)
{
    RemoveRegistrations(run.walk, place, run.gates, run.remains);
    RemoveInterfaces(run.walk, place.classes, run.gates.registrationGone, run.remains);
}

// Every other user's profile, one at a time, its hives open while its place is handled.
void HandleProfiles(Run& run)
{
    RemovalObserver* const observer = run.walk.observer;
    ProfileList profiles;
    WCHAR sid[kSidCapacity];
    WCHAR folder[MAX_PATH];
    while (profiles.Next(sid, folder)) {
        const LPCWSTR last = LastBackslash(folder);
        if (observer != NULL)
            observer->OnProfile(sid, last != NULL ? last + 1 : folder);
        UserHives hives;
        Place place;
        if (hives.Open(sid, folder, observer, &place))
            HandlePlace(run, place);
        else
            run.remains.otherTraceStays = true;
        if (!hives.Close(observer))
            run.remains.otherTraceStays = true;
    }
    if (profiles.Error() != ERROR_SUCCESS) {
        ReportItem(observer, kProfileListName, kItemFailed, profiles.Error());
        run.remains.otherTraceStays = true;
    }
}

}  // namespace

Remains RemoveControls(RemovalMode mode, RemovalScope scope, RemovalObserver* observer)
{
    // Only an administrator may schedule a deletion for the next start, and only an
    // administrator's unattended run reaches every profile: such a run schedules what is in use.
    // A check looks the schedule up.
    const bool administratorsRun = scope == kAllProfiles;
    const bool schedules = mode == kRemoveQuietly && administratorsRun;
    PendingDeletions pending;
    if (schedules || mode == kCheckOnly)
        pending.Read();
    Run run = {{mode, observer, L""},
               {mode, schedules || mode == kCheckOnly ? &pending : NULL, observer},
               {}, 0, {}, 0, {}, {false, false, false, false}};
    if (administratorsRun && !UnloadLeftHives(observer))
        run.remains.otherTraceStays = true;
    LocateSweptFolder(run, kDownloadedControls);
    LocateSweptFolder(run, IsWow64() ? kSysnative : kSystem);
    if (IsWindows64Bit())
        LocateSweptFolder(run, kSystemX86);
    // The installers' records of the files first: a record may name a file by its short (8.3)
    // name, which Windows lengthens only while the file is there.
    Place place;
    GetMachinePlace(&place);
    RemoveFileRecords(run.walk, place.software, run.recorded, run.recordedCount, run.remains);
    for (int number = 0; number < run.sweptCount; ++number)
        Sweep(run, run.swept[number]);
    // The machine's class keys first: they decide whether a user's add-on state may go.
    HandlePlace(run, place);
    UserHives currentUser;
    if (currentUser.OpenCurrentUser(observer, &place))
        HandlePlace(run, place);
    else
        run.remains.otherTraceStays = true;
    currentUser.Close(observer);
    if (administratorsRun)
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
