#include "MachineTest.h"
#include "RegistrationTable.h"
#include "Uninstall.h"

namespace {

using fake::machine;

const HWND kOwner = (HWND)0x5150;
// The boxes by their types: the notice (an exclamation mark), the success (information) and the
// file failure (no icon). Their texts and caption are read from the real boxes end to end.
const UINT kNotice = MB_ICONEXCLAMATION, kSuccess = MB_ICONINFORMATION, kFileFailure = MB_OK;

// Near misses, and the keys of the registrations numbered in rows (1 to 7); those in
// withoutClassKey have their other keys only.
void Install(const std::vector<int>& rows, const std::vector<int>& withoutClassKey) {
    for (const char* key : {"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}", "Quillodeck.DocumentControl.20",
                            "TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AE}"})
        fake::addKey(key);
    for (int row : rows) {
        const ControlRegistration& keys = RegistrationTable[row - 1];
        if (std::count(withoutClassKey.begin(), withoutClassKey.end(), row) == 0)
            fake::addKey(std::string(keys.classKey) + "\\InprocServer32");
        fake::addKey(keys.progIdKey);
        fake::addKey(std::string(keys.typeLibKey) + "\\1.0");
    }
}

std::string& WindowsFolder() { return machine.specialFolders[CSIDL_WINDOWS]; }

const std::vector<UINT> kSucceeded = {kNotice, kSuccess}, kFilesFailed = {kNotice, kFileFailure};
// Each case names the registrations without a class key, a change to the machine, the rows whose
// keys stay (besides the other keys of those without a class key), and the boxes shown.
const struct {
    const char* name;
    std::vector<int> withoutClassKey;
    void (*setUp)();
    std::vector<int> rowsStaying;
    std::vector<UINT> boxes;
} kCases[] = {
    {"everything removed", {}, nullptr, {}, kSucceeded},
    {"no class keys", {1, 2, 3, 4, 5, 6, 7}, nullptr, {}, kSucceeded},
    {"folder absent", {}, [] { WindowsFolder() = "C:\\Win"; }, {}, kFilesFailed},
    {"file locked", {}, [] { machine.undeletable = {"C:\\WINDOWS\\Downloaded Program Files\\FENNOXEL.OCX"}; }, {},
     kFilesFailed},
    {"system file locked", {}, [] { machine.undeletable = {"C:\\WINDOWS\\system32\\FENNOXEL.OCX"}; }, {}, kSucceeded},
    {"row 7 absent, folder not found", {7}, [] { machine.specialFolders.erase(CSIDL_WINDOWS); }, {}, kFilesFailed},
    {"row 7 refused", {}, [] { machine.failOpen[RegistrationTable[6].classKey] = ERROR_ACCESS_DENIED; }, {7},
     {kNotice}},
    {"row 3 refused", {}, [] { machine.failOpen[RegistrationTable[2].classKey] = ERROR_ACCESS_DENIED; }, {3},
     {kNotice}},
    {"path not converted", {}, [] { WindowsFolder() = ""; }, {}, kFilesFailed},
    // 234 bytes leave room for "\Downloaded Program Files" and the terminator; 235 do not.
    {"longest Windows path", {}, [] { WindowsFolder() = "C:\\" + std::string(231, 'w');
         fake::addFolder(WindowsFolder() + "\\Downloaded Program Files"); }, {}, kSucceeded},
    {"Windows path too long", {}, [] { WindowsFolder() = "C:\\" + std::string(232, 'w');
         fake::addFolder(WindowsFolder() + "\\Downloaded Program Files"); }, {}, kFilesFailed},
};

TEST_F(MachineTest, RunUninstallShowsTheOutcomeOfWhatItRemoved) {
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        machine = fake::Machine();
        Install(test.rowsStaying, {});
        Install(test.withoutClassKey, test.withoutClassKey);
        const std::vector<std::string> staying = fake::keys();
        machine = fake::Machine();
        Install({1, 2, 3, 4, 5, 6, 7}, test.withoutClassKey);
        fake::addFile("C:\\WINDOWS\\Downloaded Program Files\\FENNOXEL.OCX");
        fake::addFile("C:\\WINDOWS\\system32\\FENNOXEL.OCX");
        if (test.setUp) test.setUp();

        RunUninstall(kOwner);
        EXPECT_EQ(fake::keys(), staying);
        EXPECT_TRUE(machine.handles.empty());
        std::vector<UINT> boxes;
        for (const fake::Box& box : machine.boxes) boxes.push_back(box.owner == kOwner ? box.type : -1);
        EXPECT_EQ(boxes, test.boxes);
    }
}

}  // namespace
