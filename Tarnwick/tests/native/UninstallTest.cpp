// The outcome table: what stays on the machine, which boxes RunUninstall shows, and what an
// unattended removal reports and exits with; and the lock that keeps removals from overlapping.
#include "MachineTest.h"
#include "PlatformServices.h"
#include "RegistrationTable.h"
#include "RemovalLock.h"
#include "Uninstall.h"

namespace {

using fake::machine;
using Paths = std::vector<std::string>;

// The boxes by their types: the notice (an exclamation mark), the success (information) and the
// file failure (no icon). Their texts, caption and owner are read from the real boxes end to end.
const UINT kNotice = MB_ICONEXCLAMATION;
const UINT kSuccess = MB_ICONINFORMATION;
const UINT kFileFailure = MB_OK;

const std::string kDownloaded = "C:\\WINDOWS\\Downloaded Program Files";
const std::string kDlFile = kDownloaded + "\\FENNOXEL.OCX";
// Both system folders: the 64-bit one, which a 32-bit program reaches through Sysnative, and
// SysWOW64.
const std::string kSystem = "C:\\WINDOWS\\system32\\FENNOXEL.OCX";
const std::string kSystemX86 = "C:\\WINDOWS\\SysWOW64\\MERROWIND.OCX";
const std::string kRecords = "Microsoft\\Code Store Database\\Distribution Units\\";
const std::string kSettings = "Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const std::string kStats = "Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\";

// A user's profile on disk, whose hives an unattended run loads; its keys are "file|key".
const std::string kSid = "S-1-5-21-1-2-3-1001";
const std::string kProfile = "C:\\Users\\jdoe";
const std::string kUserHive = kProfile + "\\NTUSER.DAT";
const std::string kClassesHive = kProfile + "\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
const std::string kProfileEntry =
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + kSid;

// The keys of row (0-based) in one place, "HKCU", "HKLM" or kProfile: its class key first, its
// ProgID and type library, the browser's record of it, and per user its add-on state.
Paths RowKeys(const std::string& place, int row)
{
    std::string classes = place + "\\Software\\Classes\\";
    std::string software = place + "\\Software\\";
    if (place == kProfile) {
        classes = kClassesHive + "|";
        software = kUserHive + "|Software\\";
    }
    const std::string classId = fake::Utf8(RegistrationTable[row].classId);
    Paths keys = {
        classes + "CLSID\\" + classId,
        classes + fake::Utf8(RegistrationTable[row].progIdKey),
        classes + fake::Utf8(RegistrationTable[row].typeLibKey),
        software + kRecords + classId,
    };
    if (place != "HKLM") {
        keys.push_back(software + kSettings + classId);
        keys.push_back(software + kStats + classId);
    }
    return keys;
}

// Add-on state is the user's: the machine's copy of row 7's stays.
const std::string kMachineAddOn =
    "HKLM\\Software\\" + kSettings + "{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}";
// Row 1 in the machine's 32-bit view: its class key and record.
const Paths kView32 = {
    "HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}",
    "HKLM\\Software\\Wow6432Node\\" + kRecords + "{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}",
};

// Interfaces of row 7's type library, per machine and in the 32-bit view (named in lower case).
const Paths kInterfaces7 = {
    "HKLM\\Software\\Classes\\Interface\\{1B000007-0000-0000-0000-000000000000}",
    "HKLM\\Software\\Classes\\Wow6432Node\\Interface\\{1B000007-0000-0000-0000-000000000000}",
};
// The installers' records of the controls' files below C:\WINDOWS, in either view, whether or
// not the file is still there: SharedDLLs values ("key|name") and ModuleUsage keys.
const std::string kSharedDlls = "Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kModuleUsage =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\";
// Also a record of a file by its short path, one with a name of 255 characters, and one of a
// conflict folder itself.
const std::string kShortPath = "C:\\WINDOWS\\DOWNLO~1\\FENNOX~1.OCX";
const std::string kInConflict = "C:/WINDOWS/Downloaded Program Files/CONFLICT.1/";
const Paths kFileRecords = {
    "HKLM\\Software\\" + kSharedDlls + "|C:\\WINDOWS\\system32\\FENNOXEL.OCX",
    "HKLM\\Software\\" + kSharedDlls + "|C:\\WINDOWS\\Downloaded Program Files\\QUILLODECK.INF",
    "HKLM\\Software\\Wow6432Node\\" + kSharedDlls + "|C:\\WINDOWS\\system32\\merrowind.ocx",
    kModuleUsage + kInConflict + "FENNOXEL.OCX",
    "HKLM\\Software\\" + kSharedDlls + "|" + kShortPath,
    kModuleUsage + kInConflict + std::string(255 - kInConflict.size(), 'x'),
    kModuleUsage + "C:/WINDOWS/Downloaded Program Files/CONFLICT.2",
};
// Near misses: an interface of a library one character off row 7's, another file's records.
const std::string kOtherInterface =
    "HKLM\\Software\\Classes\\Interface\\{1B000000-0000-0000-0000-000000000000}";
const std::string kOtherRecords[] = {
    "HKLM\\Software\\" + kSharedDlls + "|C:\\WINDOWS\\system32\\OTHER.OCX",
    kModuleUsage + "C:/WINDOWS/system32/FENNOXEL.OCX.1",
};

const Paths kRow3 = RowKeys("HKLM", 2);
const Paths kRow7 = RowKeys("HKLM", 6);
const Paths kUser7 = RowKeys("HKCU", 6);
const Paths kProfile7 = RowKeys(kProfile, 6);
// While its class key stays per machine, row 7's add-on state stays for every user.
const Paths kRow7AddOnsToo = {kRow7[0], kRow7[1], kRow7[2], kRow7[3], kUser7[4], kUser7[5],
                              kProfile7[4], kProfile7[5], kInterfaces7[0], kInterfaces7[1]};
const std::string kProfile7Loaded =
    "HKU\\Tarnwick." + kSid + "_Classes\\CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}";
const std::string kProfile7Shown =
    "HKU\\" + kSid + "_Classes\\CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF} [64]";

const std::vector<UINT> kSucceeded = {kNotice, kSuccess};
const std::vector<UINT> kFilesFailed = {kNotice, kFileFailure};

// Every row is installed per machine, row 7 per user and in the profile, and row 1 in the
// machine's 32-bit view, without class keys where a case says so. The Windows folder cannot be
// located where it is NULL, and has no path where it is "". A case may lock a file (a hive file
// in use too), refuse a key, end the downloaded-controls folder's listing in an error (refused,
// or cut short before its last entry), and make a hive file no hive; a quiet removal reports what
// fails, goes at the next start or cannot be loaded ("path fate code").
struct OutcomeCase {
    const char* name;
    bool withoutClassKeys;
    const char* windowsFolder;
    std::string lockedFile;
    std::string refusedKey;
    Paths keysLeft;
    std::vector<UINT> boxes;
    Paths failures;
    int exitCode;
    DWORD listingError = ERROR_NO_MORE_FILES;
    std::string notAHive = "";
};

const char* const kWin = "C:\\WINDOWS";
// The longest Windows folder of 235 characters has no room for Downloaded Program Files.
const std::string kLongWin = "C:\\" + std::string(232, 'w');
const std::string kUnswept = "%WINDIR%\\Downloaded Program Files failed 3";
const std::string kUnswept64 = "%WINDIR%\\system32 failed 3";
const Paths kUnlocated = {kUnswept, kUnswept64};
// A refused key, named in its view; a file held open, or a module that a running program has
// loaded, which goes at the next start.
const std::string kRefused = " [64] failed 5";
const std::string kInUse = " pending 32";
const std::string kLoaded = " pending 5";
const int kRestart = ERROR_SUCCESS_REBOOT_REQUIRED;

const DWORD kIoError = 1117;  // ERROR_IO_DEVICE
const std::string kSharedDllsKey = "HKLM\\Software\\" + kSharedDlls;
const std::string kInterfaces = "HKLM\\Software\\Classes\\Interface";

const OutcomeCase kCases[] = {
    {"everything removed", false, kWin, "", "", {}, kSucceeded, {}, 0},
    {"no class keys", true, kWin, "", "", {}, kSucceeded, {}, 0},
    {"no downloaded-controls folder, no Sysnative", false, "C:\\Win", "", "", {}, kFilesFailed,
     {kUnswept64}, 1},
    {"Windows folder not located", false, NULL, "", "", {}, kFilesFailed, kUnlocated, 1},
    {"Windows folder without a path", false, "", "", "", {}, kFilesFailed, kUnlocated, 1},
    {"Windows folder too long", false, kLongWin.c_str(), "", "", {}, kFilesFailed, {kUnswept}, 1},
    {"downloaded file locked", false, kWin, kDlFile, "", {}, kFilesFailed, {kDlFile + kInUse},
     kRestart},
    {"system file loaded", false, kWin, kSystem, "", {}, kSucceeded, {kSystem + kLoaded}, kRestart},
    {"row 7 refused", false, kWin, "", kRow7[0], kRow7AddOnsToo, {kNotice},
     {kRow7[0] + kRefused}, 2},
    {"user's row 7 refused", false, kWin, "", kUser7[0], kUser7, {kNotice},
     {kUser7[0] + kRefused}, 2},
    {"profile's row 7 refused", false, kWin, "", kProfile7Loaded, kProfile7, kSucceeded,
     {kProfile7Shown + " failed 5"}, 2},
    {"profile's hive in use", false, kWin, kClassesHive, "", kProfile7, kSucceeded,
     {kClassesHive + " failed 32"}, 1},
    {"row 3 refused", false, kWin, "", kRow3[0], kRow3, {kNotice}, {kRow3[0] + kRefused}, 2},
    {"ProgID refused", false, kWin, "", kRow3[1], {kRow3[1]}, kSucceeded, {kRow3[1] + kRefused}, 1},
    {"record refused", false, kWin, "", kUser7[3], {kUser7[3]}, kSucceeded,
     {kUser7[3] + kRefused}, 1},
    {"interfaces refused", false, kWin, "", kInterfaces, {kInterfaces7[0]}, kSucceeded,
     {kInterfaces + kRefused}, 1},
    {"SharedDLLs refused", false, kWin, "", kSharedDllsKey,
     {kFileRecords[0], kFileRecords[1], kFileRecords[4]}, kSucceeded, {kSharedDllsKey + kRefused},
     1},
    {"SharedDLLs value refused", false, kWin, "", kFileRecords[0], {kFileRecords[0]}, kSucceeded,
     {kSharedDllsKey + "\\" + kSystem + kRefused}, 1},
    {"listing refused", false, kWin, "", "", {}, kFilesFailed, {kDownloaded + " failed 5"}, 1,
     ERROR_ACCESS_DENIED},
    {"listing cut short", false, kWin, "", "", {}, kFilesFailed, {kDownloaded + " failed 1117"},
     1, kIoError},
    {"a file in use beside a ProgID that stays", false, kWin, kDlFile, kRow3[1], {kRow3[1]},
     kFilesFailed, {kDlFile + kInUse, kRow3[1] + kRefused}, 1},
    {"profile's user hive no hive", false, kWin, "", "", {}, kSucceeded,
     {kUserHive + " unreadable 1017"}, 0, ERROR_NO_MORE_FILES, kUserHive},
};

// Every row's keys per machine, row 7's per user and in the profile, and row 1's in the 32-bit
// view.
Paths Registrations()
{
    Paths keys;
    for (int row = 0; row < 7; ++row) {
        const Paths rowKeys = RowKeys("HKLM", row);
        keys.insert(keys.end(), rowKeys.begin(), rowKeys.end());
    }
    for (const Paths& more : {kUser7, kProfile7, kView32, kInterfaces7, kFileRecords})
        keys.insert(keys.end(), more.begin(), more.end());
    return keys;
}

bool IsInstalled(const OutcomeCase& test, const std::string& key)
{
    return !test.withoutClassKeys || key.find("CLSID\\") == std::string::npos;
}

// One registration: "HKLM...|name" is a value; any other key gets a child. Each key grants the
// rights that a removal needs, and no more.
void InstallKey(const std::string& key)
{
    const size_t bar = key.find('|');
    if (fake::Within(key, "HKLM") && bar != std::string::npos) {
        fake::addKey(key.substr(0, bar));
        machine.grants[key.substr(0, bar)] = KEY_QUERY_VALUE | KEY_SET_VALUE;
        machine.values[key] = "1";
        return;
    }
    const REGSAM rights = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
    machine.grants[key] = rights;
    machine.grants[key + "\\Child"] = rights;
    if (bar == std::string::npos)
        fake::addKey(key + "\\Child");
    else
        fake::addHiveKey(key.substr(0, bar), key.substr(bar + 1) + "\\Child");
}

// The controls as the case has them, and the profile in the list.
void Install(const OutcomeCase& test)
{
    for (const std::string& key : Registrations()) {
        if (IsInstalled(test, key))
            InstallKey(key);
    }
    // The running user's profile is reached through HKCU alone.
    const std::string own = kProfileEntry.substr(0, kProfileEntry.rfind('\\') + 1);
    machine.values[own + machine.currentUser + "|ProfileImagePath"] = "C:\\Users\\admin";
    fake::addKey(own + machine.currentUser);
    fake::addKey(kProfileEntry);
    machine.values[kProfileEntry + "|ProfileImagePath"] = kProfile;
    // A profile being repaired has a copy of its entry, which is not another profile.
    fake::addKey(kProfileEntry + ".bak");
    machine.values[kProfileEntry + ".bak|ProfileImagePath"] = kProfile;
    if (test.windowsFolder == NULL)
        machine.specialFolders.erase(CSIDL_WINDOWS);
    else
        machine.specialFolders[CSIDL_WINDOWS] = test.windowsFolder;
    // Sysnative reaches the 64-bit system folder below the Windows folder; C:\Win lacks one.
    if (test.windowsFolder == kWin || test.windowsFolder == kLongWin.c_str())
        fake::addFile(test.windowsFolder + std::string("\\system32"), FILE_ATTRIBUTE_DIRECTORY);
    fake::addKey(kMachineAddOn);
    for (const std::string& key : {kInterfaces7[0], kInterfaces7[1], kOtherInterface}) {
        fake::addKey(key + "\\TypeLib");
        machine.values[key + "\\TypeLib|"] = key == kOtherInterface
                                                  ? "{B1918981-B3F5-45b1-AC66-70A71BA5F7AF}"
                                                  : "{b1918982-b3f5-45B1-ac66-70a71ba5f7af}";
    }
    for (const std::string& record : kOtherRecords)
        InstallKey(record);
    fake::addFile(kDlFile);
    fake::addFile(kSystem);
    fake::addFile(kSystemX86);
    fake::addFile(kLongWin + "\\FENNOXEL.OCX");
    fake::addFile(kDownloaded + "\\CONFLICT.2", FILE_ATTRIBUTE_DIRECTORY);
    machine.shortPaths[kShortPath] = kDlFile;
    machine.hiveFiles.erase(test.notAHive);
    // An empty path names nothing.
    machine.undeletable[test.lockedFile] =
        test.lockedFile == kSystem ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION;
    machine.hivesInUse.push_back(test.lockedFile);
    machine.failOpen[test.refusedKey] = ERROR_ACCESS_DENIED;
    if (test.listingError != ERROR_NO_MORE_FILES)
        machine.listingErrors[kDownloaded] = test.listingError;
}

// The registrations' keys still there.
Paths Left()
{
    Paths left;
    for (const std::string& key : Registrations()) {
        const size_t bar = key.find('|');
        if (bar == std::string::npos && machine.registry.count(key) != 0)
            left.push_back(key);
        else if (fake::Within(key, "HKLM") && machine.values.count(key) != 0)
            left.push_back(key);
        else if (bar != std::string::npos && machine.hiveFiles.count(key.substr(0, bar)) != 0 &&
                 machine.hiveFiles.at(key.substr(0, bar)).count(key.substr(bar + 1)) != 0)
            left.push_back(key);
    }
    return left;
}

// The keys the case leaves, and where the run does not reach every profile, the profile's too.
Paths KeysLeft(const OutcomeCase& test, bool everyProfile)
{
    Paths left;
    for (const std::string& key : Registrations()) {
        const bool profiles = fake::Within(key, "C:");
        // Where Windows is elsewhere, no sweep selects the records of its downloaded controls.
        const bool elsewhere = test.windowsFolder != kWin && fake::Contains(kFileRecords, key) &&
                               (key.find("Downloaded") != std::string::npos ||
                                key.find(kShortPath) != std::string::npos);
        const bool inAHive = test.notAHive.empty() || key.rfind(test.notAHive, 0) != 0;
        if (fake::Contains(test.keysLeft, key) || elsewhere ||
            (profiles && !everyProfile && IsInstalled(test, key) && inAHive))
            left.push_back(key);
    }
    return left;
}

// Each case with the dialog's procedure (as the 64-bit build), then unattended (as the 32-bit
// program on 64-bit Windows), reaching every profile: a check finds traces and removes nothing,
// the quiet removal shows nothing (the shell neither) and first unloads a hive a killed run left
// loaded, and a check finds a trace exactly when the exit code says one stays.
TEST_F(MachineTest, TheOutcomeTellsWhatTheRemovalLeft)
{
    for (const OutcomeCase& test : kCases) {
        SCOPED_TRACE(test.name);
        NewMachine();
        Install(test);
        const size_t keyCount = machine.registry.size();
        const size_t fileCount = machine.files.size();

        const int dialogCode = RunUninstall(NULL);

        EXPECT_EQ(Left(), KeysLeft(test, false));
        // The dialog's code says that the class key stays where its boxes do.
        EXPECT_EQ(dialogCode == 2, test.boxes.size() == 1);
        EXPECT_EQ(machine.hiveLoads, 0);
        EXPECT_EQ(machine.registry.count(kMachineAddOn), 1u);
        EXPECT_EQ(machine.registry.count(kOtherInterface), 1u);
        EXPECT_EQ(machine.values.count(kOtherRecords[0]), 1u);
        EXPECT_EQ(machine.registry.count(kOtherRecords[1]), 1u);
        EXPECT_EQ(machine.files.count(kLongWin + "\\FENNOXEL.OCX"), 1u);
        std::vector<UINT> boxes;
        for (const fake::Box& box : machine.boxes)
            boxes.push_back(box.type);
        EXPECT_EQ(boxes, test.boxes);
        // The notice asks for the browsers to be closed before anything is removed.
        ASSERT_FALSE(machine.boxes.empty());
        EXPECT_EQ(machine.boxes[0].keyCount, keyCount);
        EXPECT_EQ(machine.boxes[0].fileCount, fileCount);
        for (const fake::Box& box : machine.boxes)
            EXPECT_EQ(box.lock, "") << "a box shows while the lock is held";

        NewMachine();
        machine.shellFlags = 0;
        machine.wow64 = true;
        Install(test);
        const Paths installedKeys = fake::keys();
        EXPECT_EQ(ExitCodeFor(kCheckOnly, RemoveControls(kCheckOnly, kAllProfiles, NULL)), 1);
        EXPECT_EQ(fake::keys(), installedKeys);
        fake::addKey("HKU\\Tarnwick.S-1-5-21-9");
        machine.loadedHives["Tarnwick.S-1-5-21-9"] = "C:\\Users\\killed\\NTUSER.DAT";
        RecordingObserver observer;

        const Remains remains = RemoveControls(kRemoveQuietly, kAllProfiles, &observer);

        EXPECT_EQ(ExitCodeFor(kRemoveQuietly, remains), test.exitCode);
        EXPECT_EQ(Left(), KeysLeft(test, true));
        // Both system folders are swept, the 64-bit one through Sysnative below Windows.
        const bool systemStays = test.lockedFile == kSystem || test.windowsFolder != kWin;
        EXPECT_EQ(machine.files.count(kSystem), systemStays ? 1u : 0u);
        EXPECT_EQ(machine.files.count(kSystemX86), 0u);
        EXPECT_TRUE(machine.boxes.empty());
        EXPECT_EQ(observer.profiles, Paths{kSid + " jdoe"});
        Paths failures;
        for (const ItemReport& report : observer.reports) {
            if (report.fate == kItemFailed || report.fate == kItemPending ||
                report.fate == kItemUnreadable)
                failures.push_back(report.Line());
        }
        EXPECT_EQ(failures, test.failures);
        const Remains check = RemoveControls(kCheckOnly, kAllProfiles, NULL);
        EXPECT_EQ(ExitCodeFor(kCheckOnly, check), test.exitCode == 2 ? 1 : test.exitCode);
        // The file in use is scheduled once, under its 64-bit path; without administrator rights
        // it cannot be, and stays.
        if (test.exitCode == kRestart) {
            const Paths scheduled = {"\\??\\" + test.lockedFile};
            EXPECT_EQ(machine.pending, scheduled);
            RemoveControls(kRemoveQuietly, kAllProfiles, NULL);
            EXPECT_EQ(machine.pending, scheduled);
            NewMachine();
            machine.administrator = false;
            Install(test);
            EXPECT_EQ(RunUnattendedRemoval(kRemoveQuietly, UnattendedScope(), 0, NULL), 1);
        }
    }
}

// The running account's keys, reached through its hives below HKU as another user's are: each
// component opened as itself, a link on the way to a browser's record no trace (the kill bits stay),
// one on the way to its classes a trace; SYSTEM's classes are .DEFAULT's own; a 64-bit request
// given a Wow6432Node key reaches neither view. Keys are "path" or "path>link target"; reports are
// among those of a quiet run with administrator rights, as the 32-bit program on 64-bit Windows.
struct OwnPlaceCase {
    const char* name;
    std::string sid;
    Paths keys;
    std::string misdirected;
    Paths kept;
    Paths reports;
    int exitCode;
};

const std::string kOwn = "HKU\\S-1-5-21-7-7-7-500";
const std::string kOwnClasses = kOwn + "\\Software\\Classes";
const std::string kClassId7 = fake::Utf8(RegistrationTable[6].classId);
const std::string kClassKey7 = "\\CLSID\\" + kClassId7;
const std::string kShownClass7 = "HKCU\\Software\\Classes" + kClassKey7 + " [64] ";
const std::string kKillBit7 =
    "HKLM\\Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\" + kClassId7;
const std::string kOwnSettings = "Software\\" + kSettings.substr(0, kSettings.size() - 1);
const std::string kOwnProgId7 = kOwnClasses + "\\" + fake::Utf8(RegistrationTable[6].progIdKey);

const OwnPlaceCase kOwnCases[] = {
    {"Ext\\Settings a link to the kill bits", kOwn.substr(4),
     {kOwn + "\\" + kOwnSettings + ">" + kKillBit7.substr(0, kKillBit7.rfind('\\')), kKillBit7},
     "", {kKillBit7}, {"HKCU\\" + kOwnSettings + " [64] link 0"}, 0},
    {"CLSID a link", kOwn.substr(4),
     {kOwnClasses + "\\CLSID>HKLM\\Elsewhere", "HKLM\\Elsewhere\\" + kClassId7, kOwnProgId7}, "",
     {"HKLM\\Elsewhere\\" + kClassId7, kOwnProgId7},
     {"HKCU\\Software\\Classes\\CLSID [64] link 0"}, 1},
    {"SYSTEM below .DEFAULT", "S-1-5-18",
     {"HKU\\S-1-5-18>HKU\\.DEFAULT", "HKU\\.DEFAULT\\Software\\Classes" + kClassKey7}, "", {},
     {kShownClass7 + "removed 0"}, 0},
    {"a classes hive", kOwn.substr(4), {kOwn, kOwn + "_Classes" + kClassKey7}, "", {},
     {kShownClass7 + "removed 0"}, 0},
    {"a 64-bit request given a Wow6432Node key", kOwn.substr(4),
     {kOwnClasses + "\\Wow6432Node" + kClassKey7}, kOwnClasses,
     {kOwnClasses + "\\Wow6432Node" + kClassKey7}, {kShownClass7 + "failed 1010"}, 2},
};

TEST_F(MachineTest, TheRunningUsersKeysAreWalkedAsItself)
{
    for (const OwnPlaceCase& test : kOwnCases) {
        SCOPED_TRACE(test.name);
        NewMachine();
        machine.shellFlags = 0;
        machine.wow64 = true;
        Install(kCases[0]);
        machine.currentUser = test.sid;
        for (const std::string& key : test.keys) {
            const size_t arrow = key.find('>');
            const std::string target = arrow == std::string::npos ? "" : key.substr(arrow + 1);
            fake::addKey(key.substr(0, arrow), target);
        }
        machine.misdirected = {test.misdirected};
        RecordingObserver observer;

        const Remains remains = RemoveControls(kRemoveQuietly, kAllProfiles, &observer);

        EXPECT_EQ(ExitCodeFor(kRemoveQuietly, remains), test.exitCode);
        for (const std::string& key : test.kept)
            EXPECT_EQ(machine.registry.count(key), 1u) << key;
        Paths reports;
        for (const ItemReport& report : observer.reports)
            reports.push_back(report.Line());
        for (const std::string& report : test.reports)
            EXPECT_TRUE(fake::Contains(reports, report)) << report;
    }
}

// The lock's mutex and namespace let Administrators and SYSTEM in, and no one else: an ordinary
// user's program can open neither while a removal holds them.
TEST_F(MachineTest, AnOrdinaryUserCannotHoldTheLock)
{
    RemovalLock lock;
    ASSERT_EQ(lock.Take(0, NULL, NULL), kLockTaken);
    machine.administrator = false;

    EXPECT_EQ(PlatformServices::CreateMutexW(NULL, FALSE, L"Tarnwick\\Removal"), (HANDLE)NULL);
    EXPECT_EQ(PlatformServices::OpenPrivateNamespaceW(NULL, L"Tarnwick"), (HANDLE)NULL);
}

// Which lock a run takes, and what it does when another holds it: the dialog waits a minute, then
// says so (or ends when closed meanwhile); an unattended run waits 5 s here, then exits 1618.
struct LockCase {
    const char* name;
    bool administrator;
    bool beforeVista;
    bool namespaceMade;
    std::string heldElsewhere;
    bool closedWhileWaiting;
    Paths locksTaken;
    std::vector<UINT> boxes;
    int exitCode;
};

const std::string kNamespaced = "Tarnwick\\Removal";
const std::string kGlobal = "Global\\Tarnwick.Removal";
const std::vector<UINT> kBusy = {kNotice, kNotice};
const HWND kDialogWindow = reinterpret_cast<HWND>(0x10);

const LockCase kLockCases[] = {
    {"namespace made", true, false, false, "", false, {kNamespaced}, kSucceeded, 0},
    {"namespace opened", true, false, true, kGlobal, false, {kNamespaced}, kSucceeded, 0},
    {"before Vista", true, true, false, "", false, {kGlobal}, kSucceeded, 0},
    {"no administrator", false, false, true, kNamespaced, false, {}, kSucceeded, 0},
    {"held", true, false, true, kNamespaced, false, {}, kBusy, ERROR_INSTALL_ALREADY_RUNNING},
    {"closed", true, false, true, kNamespaced, true, {}, {kNotice}, ERROR_INSTALL_ALREADY_RUNNING},
};

TEST_F(MachineTest, ARunWaitsForTheLockAWhileAtMost)
{
    for (const LockCase& test : kLockCases) {
        SCOPED_TRACE(test.name);
        for (bool dialog : {true, false}) {
            NewMachine();
            if (!dialog)
                machine.shellFlags = 0;
            Install(kCases[0]);
            machine.administrator = test.administrator;
            machine.beforeVista = test.beforeVista;
            machine.namespaceMade = test.namespaceMade;
            machine.heldElsewhere = {test.heldElsewhere};
            machine.closedWhileWaiting = test.closedWhileWaiting;
            const Paths installed = Left();
            RecordingObserver observer;
            int exitCode = 0;

            if (dialog)
                exitCode = RunUninstall(kDialogWindow);
            else
                exitCode = RunUnattendedRemoval(kRemoveQuietly, UnattendedScope(), 5, &observer);

            // Only an administrator's unattended run reaches every profile.
            const bool busy = test.exitCode == ERROR_INSTALL_ALREADY_RUNNING;
            const Paths left = KeysLeft(kCases[0], !dialog && test.administrator);
            EXPECT_EQ(Left(), busy ? installed : left);
            EXPECT_EQ(machine.locksTaken, test.locksTaken);
            EXPECT_EQ(machine.lock, "");
            if (dialog) {
                std::vector<UINT> boxes;
                for (const fake::Box& box : machine.boxes)
                    boxes.push_back(box.type);
                EXPECT_EQ(boxes, test.boxes);
                EXPECT_EQ(machine.tickCount, busy && !test.closedWhileWaiting ? 60000u : 0u);
                // A press closed while it waited removed nothing: the user cancelled it.
                const bool cancelled = test.closedWhileWaiting;
                EXPECT_EQ(exitCode, cancelled ? ERROR_INSTALL_USEREXIT : test.exitCode);
            } else {
                EXPECT_EQ(exitCode, test.exitCode);
                EXPECT_EQ(machine.tickCount, busy ? 5000u : 0u);
                EXPECT_EQ(observer.waits, busy ? 1 : 0);
            }
        }
    }
}

}  // namespace
