// What a removal leaves, concern by concern, on a machine with the controls installed everywhere:
// each scenario runs the dialog's procedure (as the 64-bit build), then unattended a check, a quiet
// removal and a check (as the 32-bit program on 64-bit Windows, reaching every profile). Then the
// running user's keys, and the lock that keeps removals from overlapping.
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
const std::vector<UINT> kSucceeded = {kNotice, kSuccess};
const std::vector<UINT> kFilesFailed = {kNotice, kFileFailure};

const std::string kDownloaded = "C:\\WINDOWS\\Downloaded Program Files";
const std::string kDlFile = kDownloaded + "\\FENNOXEL.OCX";
// Both system folders: the 64-bit one, which a 32-bit program reaches through Sysnative, and
// SysWOW64.
const std::string kSystem = "C:\\WINDOWS\\system32\\FENNOXEL.OCX";
const std::string kSystemX86 = "C:\\WINDOWS\\SysWOW64\\MERROWIND.OCX";
// A Windows folder of 235 characters leaves no room for Downloaded Program Files.
const std::string kLongWindows = "C:\\" + std::string(232, 'w');
const std::string kRecords = "Microsoft\\Code Store Database\\Distribution Units\\";
const std::string kSettings = "Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const std::string kStats = "Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\";

// A user's profile on disk, whose hives an unattended run loads; its keys are "file|key".
const std::string kSid = "S-1-5-21-1-2-3-1001";
const std::string kProfile = "C:\\Users\\jdoe";
const std::string kUserHive = kProfile + "\\NTUSER.DAT";
const std::string kClassesHive = kProfile + "\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";

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

const Paths kRow3 = RowKeys("HKLM", 2);
const Paths kRow7 = RowKeys("HKLM", 6);
const Paths kUser7 = RowKeys("HKCU", 6);
const Paths kProfile7 = RowKeys(kProfile, 6);
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
// not the file is still there: SharedDLLs values ("key|name") and ModuleUsage keys; by a short
// path, by a name of 255 characters, of a conflict folder itself.
const std::string kSharedDlls = "Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kSharedDllsKey = "HKLM\\Software\\" + kSharedDlls;
const std::string kModuleUsageKey =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
const std::string kModuleUsage = kModuleUsageKey + "\\";
const std::string kShortPath = "C:\\WINDOWS\\DOWNLO~1\\FENNOX~1.OCX";
const std::string kInConflict = "C:/WINDOWS/Downloaded Program Files/CONFLICT.1/";
const Paths kSystemRecords = {
    kSharedDllsKey + "|C:\\WINDOWS\\system32\\FENNOXEL.OCX",
    "HKLM\\Software\\Wow6432Node\\" + kSharedDlls + "|C:\\WINDOWS\\system32\\merrowind.ocx",
};
const Paths kDownloadedRecords = {
    kSharedDllsKey + "|C:\\WINDOWS\\Downloaded Program Files\\QUILLODECK.INF",
    kSharedDllsKey + "|" + kShortPath,
    kModuleUsage + kInConflict + "FENNOXEL.OCX",
    kModuleUsage + kInConflict + std::string(255 - kInConflict.size(), 'x'),
    kModuleUsage + "C:/WINDOWS/Downloaded Program Files/CONFLICT.2",
};
// Near misses that stay: the kill bits, and add-on state, the machine's own; an interface of a
// library one character off row 7's; another file's records.
const std::string kMachineAddOn =
    "HKLM\\Software\\" + kSettings + "{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}";
const std::string kOtherInterface =
    "HKLM\\Software\\Classes\\Interface\\{1B000000-0000-0000-0000-000000000000}";
const Paths kOtherRecords = {
    kSharedDllsKey + "|C:\\WINDOWS\\system32\\OTHER.OCX",
    kModuleUsage + "C:/WINDOWS/system32/FENNOXEL.OCX.1",
};

// Every key the scenarios follow: every row's per machine, row 7's per user and in the profile,
// row 1's in the 32-bit view, the interfaces and the files' records.
Paths Registrations()
{
    Paths keys;
    for (int row = 0; row < kRegistrationCount; ++row) {
        const Paths rowKeys = RowKeys("HKLM", row);
        keys.insert(keys.end(), rowKeys.begin(), rowKeys.end());
    }
    for (const Paths& more :
         {kUser7, kProfile7, kView32, kInterfaces7, kSystemRecords, kDownloadedRecords})
        keys.insert(keys.end(), more.begin(), more.end());
    return keys;
}

// One key: "HKLM...|name" is a value; any other key gets a child. Each key grants the rights
// that a removal needs, and no more.
void InstallKey(const std::string& key)
{
    const size_t bar = key.find('|');
    if (fake::Within(key, "HKLM") && bar != std::string::npos) {
        fake::setValue(key.substr(0, bar), key.substr(bar + 1), "1");
        machine.grants[key.substr(0, bar)] = KEY_QUERY_VALUE | KEY_SET_VALUE;
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

// The controls installed everywhere, beside the near misses, in both system folders, with the
// profile in the list (and its copy of a repair, which is none).
void Install()
{
    for (const std::string& key : Registrations())
        InstallKey(key);
    for (const std::string& key : kOtherRecords)
        InstallKey(key);
    for (const std::string& key : {kInterfaces7[0], kInterfaces7[1], kOtherInterface}) {
        const bool other = key == kOtherInterface;
        fake::setValue(key + "\\TypeLib", "", other ? "{B1918981-B3F5-45b1-AC66-70A71BA5F7AF}"
                                                    : "{b1918982-b3f5-45B1-ac66-70a71ba5f7af}");
    }
    fake::addKey(kMachineAddOn);
    // The running user's profile is reached through its own hives.
    fake::addProfile(machine.currentUser, "C:\\Users\\admin");
    fake::addProfile(kSid, kProfile);
    fake::addProfile(kSid + ".bak", kProfile);
    for (const std::string& file :
         {kDlFile, kSystem, kSystemX86, kLongWindows + "\\FENNOXEL.OCX"})
        fake::addFile(file);
    fake::addFile(kDownloaded + "\\CONFLICT.2", FILE_ATTRIBUTE_DIRECTORY);
    machine.shortPaths[kShortPath] = kDlFile;
}

// Whether the key is there: a key, a value ("HKLM...|name") or a key in a hive file ("file|key").
bool IsThere(const std::string& key)
{
    const size_t bar = key.find('|');
    if (bar == std::string::npos)
        return machine.registry.count(key) != 0;
    if (fake::Within(key, "HKLM"))
        return machine.values.count(key) != 0;
    const auto hive = machine.hiveFiles.find(key.substr(0, bar));
    return hive != machine.hiveFiles.end() && hive->second.count(key.substr(bar + 1)) != 0;
}

// The keys Registrations() follows that are there.
Paths Left()
{
    Paths left;
    for (const std::string& key : Registrations()) {
        if (IsThere(key))
            left.push_back(key);
    }
    return left;
}

// Of the keys there before a run, those expected after it: the kept ones, and where the run does
// not reach every profile, the profile's.
Paths Expected(const Paths& before, const Paths& kept, bool profileKept)
{
    Paths expected;
    for (const std::string& key : before) {
        if (fake::Contains(kept, key) || (profileKept && fake::Within(key, "C:")))
            expected.push_back(key);
    }
    return expected;
}

// Every registration without its class key.
void WithoutClassKeys()
{
    for (const std::string& key : Registrations()) {
        const size_t bar = key.find('|');
        if (key.find("CLSID\\") == std::string::npos)
            continue;
        for (const std::string& gone : {key + "\\Child", key}) {
            if (bar == std::string::npos)
                machine.registry.erase(gone);
            else
                machine.hiveFiles[key.substr(0, bar)].erase(gone.substr(bar + 1));
        }
    }
}

// A scenario: what it changes on the installed machine, the followed keys it leaves, and what a
// quiet removal reports failed, pending or unreadable ("path fate code") and exits with.
struct Scenario {
    const char* name;
    void (*setup)();
    Paths keysLeft;
    Paths reports;
    int exitCode;
};

class ScenarioTest : public MachineTest {
protected:
    template <size_t count>
    void CheckScenarios(const Scenario (&scenarios)[count])
    {
        for (const Scenario& test : scenarios) {
            SCOPED_TRACE(test.name);
            NewMachine();
            CheckUnattended(test);
        }
    }

    // Unattended, a check finds traces and removes nothing. The quiet removal shows nothing (the
    // shell neither), unloads first a hive a killed run left, reaches the profile and both system
    // folders, the 64-bit one through Sysnative, and leaves the near misses; a check after it finds
    // a trace exactly when its exit code says one stays. A file in use is scheduled once, under its
    // 64-bit path; without administrator rights it cannot be, and stays.
    void CheckUnattended(const Scenario& test)
    {
        machine.shellFlags = 0;
        machine.wow64 = true;
        Install();
        test.setup();
        const Paths before = Left();
        const Paths installedKeys = fake::keys();
        EXPECT_EQ(ExitCodeFor(kCheckOnly, RemoveControls(kCheckOnly, kAllProfiles, NULL)), 1);
        EXPECT_EQ(fake::keys(), installedKeys);
        fake::addKey("HKU\\Tarnwick.S-1-5-21-9");
        machine.loadedHives["Tarnwick.S-1-5-21-9"] = "C:\\Users\\killed\\NTUSER.DAT";
        RecordingObserver observer;

        const Remains remains = RemoveControls(kRemoveQuietly, kAllProfiles, &observer);

        EXPECT_EQ(ExitCodeFor(kRemoveQuietly, remains), test.exitCode);
        EXPECT_EQ(Left(), Expected(before, test.keysLeft, false));
        for (const std::string& near : {kMachineAddOn, kOtherInterface, kOtherRecords[1]})
            EXPECT_EQ(machine.registry.count(near), 1u) << near;
        EXPECT_EQ(machine.values.count(kOtherRecords[0]), 1u);
        EXPECT_EQ(machine.files.count(kLongWindows + "\\FENNOXEL.OCX"), 1u);
        EXPECT_EQ(machine.files.count(kSystemX86), 0u);
        EXPECT_TRUE(machine.boxes.empty());
        EXPECT_EQ(observer.profiles, Paths{kSid + " jdoe"});
        Paths reports;
        for (const ItemReport& report : observer.reports) {
            if (report.fate == kItemFailed || report.fate == kItemPending ||
                report.fate == kItemUnreadable)
                reports.push_back(report.Line());
        }
        EXPECT_EQ(reports, test.reports);
        Paths scheduled;
        for (const std::string& report : test.reports) {
            const size_t pending = report.find(" pending ");
            if (pending != std::string::npos)
                scheduled.push_back("\\??\\" + report.substr(0, pending));
        }
        const auto windows = machine.specialFolders.find(CSIDL_WINDOWS);
        const bool systemSwept = windows != machine.specialFolders.end() &&
                                 windows->second == "C:\\WINDOWS" && !machine.inUse.count(kSystem);
        EXPECT_EQ(machine.files.count(kSystem), systemSwept ? 0u : 1u);
        const Remains check = RemoveControls(kCheckOnly, kAllProfiles, NULL);
        EXPECT_EQ(ExitCodeFor(kCheckOnly, check), test.exitCode == 2 ? 1 : test.exitCode);
        RemoveControls(kRemoveQuietly, kAllProfiles, NULL);
        EXPECT_EQ(machine.pending, scheduled);
        if (scheduled.empty())
            return;
        NewMachine();
        machine.administrator = false;
        Install();
        test.setup();
        EXPECT_EQ(RunUnattendedRemoval(kRemoveQuietly, UnattendedScope(), 0, false, NULL), 1);
    }
};

// A refused key, named in its view; what goes at the next start; a folder not swept.
const std::string kRefused = " [64] failed 5";
const std::string kUnswept = "%WINDIR%\\Downloaded Program Files failed 3";
const std::string kUnswept64 = "%WINDIR%\\system32 failed 3";
const Paths kUnlocated = {kUnswept, kUnswept64};

// A registration's ProgID and type library, the browser's records of it and the interfaces of its
// type library go only where its class key went; add-on state stays for every user while the class
// key stays per machine.
TEST_F(ScenarioTest, ARegistrationsOtherKeysGoOnlyWhereItsClassKeyWent)
{
    const Paths kRow7AddOnsToo = {kRow7[0],     kRow7[1],     kRow7[2],        kRow7[3],
                                  kUser7[4],    kUser7[5],    kProfile7[4],    kProfile7[5],
                                  kInterfaces7[0], kInterfaces7[1]};
    const Scenario kScenarios[] = {
        {"everything removed", Unchanged, {}, {}, 0},
        {"no class keys", WithoutClassKeys, {}, {}, 0},
        {"row 7 refused", [] { fake::refuse(kRow7[0]); }, kRow7AddOnsToo, {kRow7[0] + kRefused}, 2},
        {"user's row 7 refused", [] { fake::refuse(kUser7[0]); }, kUser7,
         {kUser7[0] + kRefused}, 2},
        {"a ProgID and a record refused",
         [] {
             fake::refuse(kRow3[1]);
             fake::refuse(kUser7[3]);
         },
         {kRow3[1], kUser7[3]}, {kRow3[1] + kRefused, kUser7[3] + kRefused}, 1},
    };
    CheckScenarios(kScenarios);
}

// A swept folder that is not there, cannot be located or listed is a trace; the records of its
// entries stay where it cannot be reached.
TEST_F(ScenarioTest, AFolderThatCannotBeSweptIsATrace)
{
    const Scenario kScenarios[] = {
        {"no downloaded-controls folder, no Sysnative",
         [] { machine.specialFolders[CSIDL_WINDOWS] = "C:\\Win"; }, kDownloadedRecords,
         {kUnswept64}, 1},
        {"Windows folder not located", [] { machine.specialFolders.erase(CSIDL_WINDOWS); },
         kDownloadedRecords, kUnlocated, 1},
        {"Windows folder without a path", [] { machine.specialFolders[CSIDL_WINDOWS] = ""; },
         kDownloadedRecords, kUnlocated, 1},
        {"Windows folder too long",
         [] {
             machine.specialFolders[CSIDL_WINDOWS] = kLongWindows;
             fake::addFile(kLongWindows + "\\system32", FILE_ATTRIBUTE_DIRECTORY);
         },
         kDownloadedRecords, {kUnswept}, 1},
        {"listing refused", [] { machine.listingErrors[kDownloaded] = ERROR_ACCESS_DENIED; }, {},
         {kDownloaded + " failed 5"}, 1},
        {"listing cut short", [] { machine.listingErrors[kDownloaded] = 1117; }, {},
         {kDownloaded + " failed 1117"}, 1},
    };
    CheckScenarios(kScenarios);
}

// A file held open, or a module a program has loaded, goes at the next start (3010), unless
// another trace stays (1).
TEST_F(ScenarioTest, AFileInUseGoesAtTheNextStart)
{
    const Scenario kScenarios[] = {
        {"downloaded file held open", [] { fake::holdOpen(kDlFile); }, {},
         {kDlFile + " pending 32"}, ERROR_SUCCESS_REBOOT_REQUIRED},
        {"system file loaded", [] { fake::holdOpen(kSystem, ERROR_ACCESS_DENIED); }, {},
         {kSystem + " pending 5"}, ERROR_SUCCESS_REBOOT_REQUIRED},
        {"a file in use beside a ProgID that stays",
         [] {
             fake::holdOpen(kDlFile);
             fake::refuse(kRow3[1]);
         },
         {kRow3[1]}, {kDlFile + " pending 32", kRow3[1] + kRefused}, 1},
    };
    CheckScenarios(kScenarios);
}

// A profile's hive that cannot be loaded, or a key there that cannot be removed, is a trace; a hive
// file that is no hive, which no one can load, is none.
TEST_F(ScenarioTest, AProfileIsATraceUnlessNoOneCanLoadIt)
{
    const Scenario kScenarios[] = {
        {"profile's row 7 refused",
         [] {
             fake::refuse("HKU\\Tarnwick." + kSid + "_Classes\\CLSID\\" +
                          kRow7[0].substr(28));
         },
         kProfile7,
         {"HKU\\" + kSid + "_Classes\\CLSID\\" + kRow7[0].substr(28) + kRefused}, 2},
        {"profile's hive in use", [] { machine.hivesInUse = {kClassesHive}; }, kProfile7,
         {kClassesHive + " failed 32"}, 1},
        {"profile's user hive no hive", [] { machine.hiveFiles.erase(kUserHive); }, {},
         {kUserHive + " unreadable 1017"}, 0},
    };
    CheckScenarios(kScenarios);
}

// The interfaces and the files' records that cannot be listed or removed are traces.
TEST_F(ScenarioTest, InterfacesAndRecordsThatStayAreTraces)
{
    const std::string kInterfaces = "HKLM\\Software\\Classes\\Interface";
    const Scenario kScenarios[] = {
        {"interfaces refused",
         [] { fake::refuse("HKLM\\Software\\Classes\\Interface"); }, {kInterfaces7[0]},
         {kInterfaces + kRefused}, 1},
        {"SharedDLLs listing cut short", [] { machine.failEnum[kSharedDllsKey] = 1117; },
         {kSystemRecords[0], kDownloadedRecords[0], kDownloadedRecords[1]},
         {kSharedDllsKey + " [64] failed 1117"}, 1},
        {"ModuleUsage listing cut short", [] { machine.failEnum[kModuleUsageKey] = 1117; },
         {kDownloadedRecords[2], kDownloadedRecords[3], kDownloadedRecords[4]},
         {kModuleUsageKey + " [64] failed 1117"}, 1},
        {"SharedDLLs value refused", [] { fake::refuse(kSystemRecords[0]); }, {kSystemRecords[0]},
         {kSharedDllsKey + "\\" + kSystem + kRefused}, 1},
    };
    CheckScenarios(kScenarios);
}

// The dialog says what the downloaded-controls folder and the class keys leave: success, files
// that failed (the shell cannot delete a file in use), or, where a class key stays, no outcome at
// all; the notice before anything is removed, no box while it holds the lock, and the code an
// unattended removal would give. It loads no profile's hive.
TEST_F(ScenarioTest, TheDialogTellsWhatTheDownloadedControlsAndClassKeysLeft)
{
    const struct {
        const char* name;
        void (*setup)();
        std::vector<UINT> boxes;
        int exitCode;
    } kCases[] = {
        {"everything removed", Unchanged, kSucceeded, 0},
        {"no downloaded-controls folder, no trace",
         [] { machine.specialFolders[CSIDL_WINDOWS] = "C:\\Win"; }, kFilesFailed, 0},
        {"a file held open", [] { fake::holdOpen(kDlFile); }, kFilesFailed, 1},
        {"a module loaded in the system folder",
         [] { fake::holdOpen(kSystem, ERROR_ACCESS_DENIED); }, kSucceeded, 1},
        {"row 3 refused", [] { fake::refuse(kRow3[0]); }, {kNotice}, 2},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        NewMachine();
        Install();
        test.setup();
        const size_t keyCount = machine.registry.size();
        const size_t fileCount = machine.files.size();

        EXPECT_EQ(RunUninstall(NULL), test.exitCode);

        EXPECT_EQ(machine.hiveLoads, 0);
        std::vector<UINT> boxes;
        for (const fake::Box& box : machine.boxes) {
            boxes.push_back(box.type);
            EXPECT_EQ(box.lock, "") << "a box shows while the lock is held";
        }
        EXPECT_EQ(boxes, test.boxes);
        ASSERT_FALSE(machine.boxes.empty());
        EXPECT_EQ(machine.boxes[0].keyCount, keyCount);
        EXPECT_EQ(machine.boxes[0].fileCount, fileCount);
    }
}

// The running account's keys, reached through its hives below HKU as another user's are: each
// component opened as itself, a link on the way to a browser's record no trace (kill bits stay),
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
        Install();
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
        // Each once: a link is told once for all the keys behind it.
        for (const std::string& report : test.reports)
            EXPECT_EQ(std::count(reports.begin(), reports.end(), report), 1) << report;
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
            Install();
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
                exitCode =
                    RunUnattendedRemoval(kRemoveQuietly, UnattendedScope(), 5, false, &observer);

            // Only an administrator's unattended run reaches every profile.
            const bool busy = test.exitCode == ERROR_INSTALL_ALREADY_RUNNING;
            const bool profileKept = dialog || !test.administrator;
            EXPECT_EQ(Left(), busy ? installed : Expected(installed, {}, profileKept));
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
