// The outcome table: what stays on the machine, which boxes RunUninstall shows, and what an
// unattended removal reports and exits with.
#include "MachineTest.h"
#include "RegistrationTable.h"
#include "Uninstall.h"

namespace {

using fake::machine;
using Paths = std::vector<std::string>;

const HWND kOwner = (HWND)0x5150;
// The boxes by their types: the notice (an exclamation mark), the success (information) and the
// file failure (no icon). Their texts and caption are read from the real boxes end to end.
const UINT kNotice = MB_ICONEXCLAMATION;
const UINT kSuccess = MB_ICONINFORMATION;
const UINT kFileFailure = MB_OK;

const std::string kDownloaded = "C:\\WINDOWS\\Downloaded Program Files\\FENNOXEL.OCX";
const std::string kSystem = "C:\\WINDOWS\\system32\\FENNOXEL.OCX";
const std::string kRecords = "Microsoft\\Code Store Database\\Distribution Units\\";
const std::string kSettings = "Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const std::string kStats = "Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\";

// Keys below Software that must stay in both places: other controls' keys one character off the
// rows', and a kill bit, an administrator's decision that outlives the control.
const char* const kNearMisses[] = {
    "Classes\\CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",
    "Classes\\Quillodeck.DocumentControl.20",
    "Classes\\TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AE}",
    "Microsoft\\Code Store Database\\Distribution Units\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",
    "Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",
    "Microsoft\\Internet Explorer\\ActiveX Compatibility\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}",
};

// The keys of row (0-based) in one place, "HKCU" or "HKLM": its class key first, its ProgID and
// type library, the browser's record of it, and per user its add-on state.
Paths RowKeys(const std::string& place, int row)
{
    const std::string software = place + "\\Software\\";
    const std::string classId = fake::Utf8(RegistrationTable[row].classId);
    Paths keys = {
        software + "Classes\\CLSID\\" + classId,
        software + "Classes\\" + fake::Utf8(RegistrationTable[row].progIdKey),
        software + "Classes\\" + fake::Utf8(RegistrationTable[row].typeLibKey),
        software + kRecords + classId,
    };
    if (place == "HKCU") {
        keys.push_back(software + kSettings + classId);
        keys.push_back(software + kStats + classId);
    }
    return keys;
}

// Add-on state is the user's: the machine's copy of row 7's stays.
const std::string kMachineAddOn =
    "HKLM\\Software\\" + kSettings + "{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}";

const Paths kRow3 = RowKeys("HKLM", 2);
const Paths kRow7 = RowKeys("HKLM", 6);
const Paths kRow7User = RowKeys("HKCU", 6);

const std::vector<UINT> kSucceeded = {kNotice, kSuccess};
const std::vector<UINT> kFilesFailed = {kNotice, kFileFailure};

// Every row is installed per machine, and row 7 per user too; the class keys are left out where
// a case says so. The Windows folder is C:\WINDOWS unless a case names another; NULL: it cannot
// be located; "": it has no path. A case may lock a file and refuse the opening of a key. An
// unattended removal reports the failures ("path code") and exits with exitCode.
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
};

const std::string kLongWindows = "C:\\" + std::string(237, 'w');

const OutcomeCase kCases[] = {
    {"everything removed", false, "C:\\WINDOWS", "", "", {}, kSucceeded, {}, 0},
    {"no class keys", true, "C:\\WINDOWS", "", "", {}, kSucceeded, {}, 0},
    {"no downloaded-controls folder", false, "C:\\Win", "", "", {}, kFilesFailed, {}, 0},
    {"Windows folder not located", false, NULL, "", "", {}, kFilesFailed,
     {"%WINDIR%\\Downloaded Program Files 3"}, 1},
    {"Windows folder without a path", false, "", "", "", {}, kFilesFailed,
     {"%WINDIR%\\Downloaded Program Files 3"}, 1},
    {"Windows folder too long for its suffix", false, kLongWindows.c_str(), "", "", {},
     kFilesFailed, {"%WINDIR%\\Downloaded Program Files 3"}, 1},
    {"downloaded file locked", false, "C:\\WINDOWS", kDownloaded, "", {}, kFilesFailed,
     {kDownloaded + " 124"}, 1},
    {"system file locked", false, "C:\\WINDOWS", kSystem, "", {}, kSucceeded, {kSystem + " 124"},
     1},
    {"row 7 refused per machine", false, "C:\\WINDOWS", "", kRow7[0], kRow7, {kNotice},
     {kRow7[0] + " 5"}, 2},
    {"row 7 refused per user", false, "C:\\WINDOWS", "", kRow7User[0], kRow7User, {kNotice},
     {kRow7User[0] + " 5"}, 2},
    {"row 3 refused", false, "C:\\WINDOWS", "", kRow3[0], kRow3, {kNotice}, {kRow3[0] + " 5"},
     2},
    {"row 3's ProgID refused", false, "C:\\WINDOWS", "", kRow3[1], {kRow3[1]}, kSucceeded,
     {kRow3[1] + " 5"}, 1},
    {"row 7's record refused", false, "C:\\WINDOWS", "", kRow7[3], {kRow7[3]}, kSucceeded,
     {kRow7[3] + " 5"}, 1},
};

// Installs a row's keys in one place, each with a child, and returns them.
Paths InstallRow(const std::string& place, int row, bool withClassKey)
{
    Paths keys = RowKeys(place, row);
    if (!withClassKey)
        keys.erase(keys.begin());
    for (const std::string& key : keys)
        fake::addKey(key + "\\Child");
    return keys;
}

// The controls as the case has them, beside near misses that must stay; returns the
// registrations' keys.
Paths Install(const OutcomeCase& test)
{
    Paths installed;
    for (int row = 0; row < 7; ++row) {
        Paths keys = InstallRow("HKLM", row, !test.withoutClassKeys);
        installed.insert(installed.end(), keys.begin(), keys.end());
    }
    Paths perUser = InstallRow("HKCU", 6, !test.withoutClassKeys);
    installed.insert(installed.end(), perUser.begin(), perUser.end());
    for (const char* nearMiss : kNearMisses) {
        fake::addKey(std::string("HKCU\\Software\\") + nearMiss);
        fake::addKey(std::string("HKLM\\Software\\") + nearMiss);
    }
    if (test.windowsFolder == NULL)
        machine.specialFolders.erase(CSIDL_WINDOWS);
    else
        machine.specialFolders[CSIDL_WINDOWS] = test.windowsFolder;
    fake::addKey(kMachineAddOn);
    fake::addFile(kDownloaded);
    fake::addFile(kSystem);
    fake::addFile(kLongWindows + "\\FENNOXEL.OCX");
    // An empty path names nothing.
    machine.undeletable.push_back(test.lockedFile);
    machine.failOpen[test.refusedKey] = ERROR_ACCESS_DENIED;
    return installed;
}

Paths Left(const Paths& installed)
{
    Paths left;
    for (const std::string& key : installed) {
        if (machine.registry.count(key) != 0)
            left.push_back(key);
    }
    return left;
}

// Each case with the dialog's procedure, then unattended: a check first finds traces and removes
// nothing; the removal shows nothing and tells the shell to show nothing either, reports its
// failures, and a check afterwards finds a trace exactly when the exit code says one stays.
TEST_F(MachineTest, TheOutcomeTellsWhatTheRemovalLeft)
{
    for (const OutcomeCase& test : kCases) {
        SCOPED_TRACE(test.name);
        machine = fake::Machine();
        const Paths installed = Install(test);
        const size_t keyCount = machine.registry.size();
        const size_t fileCount = machine.files.size();

        RunUninstall(kOwner);

        EXPECT_EQ(Left(installed), test.keysLeft);
        for (const char* nearMiss : kNearMisses) {
            EXPECT_EQ(machine.registry.count(std::string("HKCU\\Software\\") + nearMiss), 1u);
            EXPECT_EQ(machine.registry.count(std::string("HKLM\\Software\\") + nearMiss), 1u);
        }
        EXPECT_EQ(machine.registry.count(kMachineAddOn), 1u);
        EXPECT_EQ(machine.files.count(kLongWindows + "\\FENNOXEL.OCX"), 1u);
        std::vector<UINT> boxes;
        for (const fake::Box& box : machine.boxes) {
            EXPECT_EQ(box.owner, kOwner);
            boxes.push_back(box.type);
        }
        EXPECT_EQ(boxes, test.boxes);
        // The notice asks for the browsers to be closed before anything is removed.
        ASSERT_FALSE(machine.boxes.empty());
        EXPECT_EQ(machine.boxes[0].keyCount, keyCount);
        EXPECT_EQ(machine.boxes[0].fileCount, fileCount);

        machine = fake::Machine();
        machine.shellFlags |= FOF_SILENT | FOF_NOERRORUI;
        Install(test);
        const Paths installedKeys = fake::keys();
        EXPECT_EQ(ExitCodeFor(kCheckOnly, RemoveControls(kCheckOnly, NULL)), 1);
        EXPECT_EQ(fake::keys(), installedKeys);
        RecordingObserver observer;

        const Remains remains = RemoveControls(kRemoveQuietly, &observer);

        EXPECT_EQ(ExitCodeFor(kRemoveQuietly, remains), test.exitCode);
        EXPECT_EQ(Left(installed), test.keysLeft);
        EXPECT_TRUE(machine.boxes.empty());
        Paths failures;
        for (const ItemReport& report : observer.reports) {
            if (report.fate == kItemFailed)
                failures.push_back(report.path + " " + std::to_string(report.code));
        }
        EXPECT_EQ(failures, test.failures);
        const int checkCode = ExitCodeFor(kCheckOnly, RemoveControls(kCheckOnly, NULL));
        EXPECT_EQ(checkCode, test.exitCode == 0 ? 0 : 1);
    }
}

}  // namespace
