// RunUninstall's outcome table: what stays on the machine, and which boxes it shows.
#include "MachineTest.h"
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

const std::string kUser = "HKCU\\Software\\Classes\\";
const std::string kMachine = "HKLM\\Software\\Classes\\";
const std::string kDownloaded = "C:\\WINDOWS\\Downloaded Program Files\\FENNOXEL.OCX";
const std::string kSystem = "C:\\WINDOWS\\system32\\FENNOXEL.OCX";

// Each row's class, ProgID and type-library keys.
const char* const kRows[7][3] = {
    {"CLSID\\{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}", "Merrowind.DocumentControl.5",
     "TypeLib\\{A6C2FD00-3168-40d0-8CE5-32840CDCDA7A}"},
    {"CLSID\\{F6357AD6-77E4-4ae7-81BF-D16433B66D8E}", "Merrowind.TrialViewControl",
     "TypeLib\\{F6357AB6-77E4-4ae7-81BF-D16433B66D8E}"},
    {"CLSID\\{6E9587CD-0135-4008-AA92-12755DC977DE}", "Merrowind.LiteControl",
     "TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DE}"},
    {"CLSID\\{6E95872D-0135-4008-AA92-12755DC977DE}", "Merrowind.DocumentControl",
     "TypeLib\\{6E95870D-0135-4008-AA92-12755DC977DE}"},
    {"CLSID\\{F311309A-D49F-4144-8FFC-7EC090D7D3FD}", "Merrowind.DocumentControlKX.8",
     "TypeLib\\{F311307A-D49F-4144-8FFC-7EC090D7D3FD}"},
    {"CLSID\\{3DFA2F4D-CD50-4e65-9D8D-8FE7C6A2D11F}", "Fennoxel.DocumentControl.2",
     "TypeLib\\{3DFA2F2D-CD50-4e65-9D8D-8FE7C6A2D11F}"},
    {"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", "Quillodeck.DocumentControl.2",
     "TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AF}"},
};
const char* const kNearMisses[] = {
    "CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",
    "Quillodeck.DocumentControl.20",
    "TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AE}",
};

const std::vector<UINT> kSucceeded = {kNotice, kSuccess};
const std::vector<UINT> kFilesFailed = {kNotice, kFileFailure};

// Every row is installed per machine, and row 7 per user too; the class keys are left out where
// a case says so. The Windows folder is C:\WINDOWS unless a case names another; NULL: it cannot
// be located; "": it has no path. A case may lock a file and refuse the opening of a key.
struct OutcomeCase
{
    const char* name;
    bool withoutClassKeys;
    const char* windowsFolder;
    std::string lockedFile;
    std::string refusedKey;
    Paths keysLeft;
    std::vector<UINT> boxes;
};

const std::string kLongWindows = "C:\\" + std::string(237, 'w');

const OutcomeCase kCases[] = {
    {"everything removed", false, "C:\\WINDOWS", "", "", {}, kSucceeded},
    {"no class keys", true, "C:\\WINDOWS", "", "", {}, kSucceeded},
    {"no downloaded-controls folder", false, "C:\\Win", "", "", {}, kFilesFailed},
    {"Windows folder not located", false, NULL, "", "", {}, kFilesFailed},
    {"Windows folder without a path", false, "", "", "", {}, kFilesFailed},
    {"Windows folder too long for its suffix", false, kLongWindows.c_str(), "", "", {},
     kFilesFailed},
    {"downloaded file locked", false, "C:\\WINDOWS", kDownloaded, "", {}, kFilesFailed},
    {"system file locked", false, "C:\\WINDOWS", kSystem, "", {}, kSucceeded},
    {"row 7 refused per machine", false, "C:\\WINDOWS", "", kMachine + kRows[6][0],
     {kMachine + kRows[6][0], kMachine + kRows[6][1], kMachine + kRows[6][2]}, {kNotice}},
    {"row 7 refused per user", false, "C:\\WINDOWS", "", kUser + kRows[6][0],
     {kUser + kRows[6][0], kUser + kRows[6][1], kUser + kRows[6][2]}, {kNotice}},
    {"row 3 refused", false, "C:\\WINDOWS", "", kMachine + kRows[2][0],
     {kMachine + kRows[2][0], kMachine + kRows[2][1], kMachine + kRows[2][2]}, {kNotice}},
};

// Installs a registration's keys in one place, with a child below each, and returns them.
Paths InstallRow(const std::string& place, int row, bool withClassKey)
{
    Paths installed;
    for (int key = withClassKey ? 0 : 1; key < 3; ++key)
    {
        installed.push_back(place + kRows[row][key]);
        fake::addKey(place + kRows[row][key] + "\\Child");
    }
    return installed;
}

// The controls as the case has them, beside near misses that must stay; returns the
// registrations' keys.
Paths Install(const OutcomeCase& test)
{
    Paths installed;
    for (int row = 0; row < 7; ++row)
    {
        Paths keys = InstallRow(kMachine, row, !test.withoutClassKeys);
        installed.insert(installed.end(), keys.begin(), keys.end());
    }
    Paths perUser = InstallRow(kUser, 6, !test.withoutClassKeys);
    installed.insert(installed.end(), perUser.begin(), perUser.end());
    for (const char* nearMiss : kNearMisses)
    {
        fake::addKey(kUser + nearMiss);
        fake::addKey(kMachine + nearMiss);
    }
    if (test.windowsFolder == NULL)
        machine.specialFolders.erase(CSIDL_WINDOWS);
    else
        machine.specialFolders[CSIDL_WINDOWS] = test.windowsFolder;
    fake::addFile(kDownloaded);
    fake::addFile(kSystem);
    fake::addFile(kLongWindows + "\\FENNOXEL.OCX");
    if (!test.lockedFile.empty())
        machine.undeletable.push_back(test.lockedFile);
    if (!test.refusedKey.empty())
        machine.failOpen[test.refusedKey] = ERROR_ACCESS_DENIED;
    return installed;
}

Paths Left(const Paths& installed)
{
    Paths left;
    for (const std::string& key : installed)
    {
        if (machine.registry.count(key) != 0)
            left.push_back(key);
    }
    return left;
}

TEST_F(MachineTest, RunUninstallShowsTheOutcomeOfWhatItRemoved)
{
    for (const OutcomeCase& test : kCases)
    {
        SCOPED_TRACE(test.name);
        machine = fake::Machine();
        const Paths installed = Install(test);
        const size_t keyCount = machine.registry.size();
        const size_t fileCount = machine.files.size();

        RunUninstall(kOwner);

        EXPECT_EQ(Left(installed), test.keysLeft);
        for (const char* nearMiss : kNearMisses)
        {
            EXPECT_EQ(machine.registry.count(kUser + nearMiss), 1u);
            EXPECT_EQ(machine.registry.count(kMachine + nearMiss), 1u);
        }
        EXPECT_EQ(machine.files.count(kLongWindows + "\\FENNOXEL.OCX"), 1u);
        EXPECT_TRUE(machine.handles.empty());
        std::vector<UINT> boxes;
        for (const fake::Box& box : machine.boxes)
        {
            EXPECT_EQ(box.owner, kOwner);
            boxes.push_back(box.type);
        }
        EXPECT_EQ(boxes, test.boxes);
        // The notice asks for the browsers to be closed before anything is removed.
        ASSERT_FALSE(machine.boxes.empty());
        EXPECT_EQ(machine.boxes[0].keyCount, keyCount);
        EXPECT_EQ(machine.boxes[0].fileCount, fileCount);
    }
}

}  // namespace
