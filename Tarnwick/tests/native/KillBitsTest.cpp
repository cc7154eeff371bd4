// The kill bits an unattended run with /block sets, or in a check looks up: in both views of the
// machine's software, as the 32-bit program on 64-bit Windows, never through a link, keeping the
// other bits, and changing nothing else.
#include "MachineTest.h"
#include "RegistrationTable.h"
#include "Uninstall.h"

namespace {

using fake::machine;
using Paths = std::vector<std::string>;

const std::string kCompatibility = "Microsoft\\Internet Explorer\\ActiveX Compatibility";
const std::string kFolder64 = "HKLM\\Software\\" + kCompatibility;
const std::string kFolder32 = "HKLM\\Software\\Wow6432Node\\" + kCompatibility;
const std::string kFlags = "Compatibility Flags";
// Row 7's key in each view, and another control's, whose flags no run touches.
const std::string kRow7 = "\\" + fake::Utf8(RegistrationTable[6].classId);
const std::string kKey64 = kFolder64 + kRow7;
const std::string kKey32 = kFolder32 + kRow7;
const std::string kOther = kFolder64 + "\\{00000000-0000-0000-0000-000000000001}";

// A run (quiet or check) with or without administrator rights on a machine set up so; what it
// reports of row 7's kill bit in each view (after the name and view, as the log tells it), the
// flags row 7's keys hold after it (0 for none, or a value of another type), and its exit code.
struct KillBitCase {
    const char* name;
    RemovalMode mode;
    bool administrator;
    void (*setup)();
    std::string report64;
    std::string report32;
    DWORD flags64;
    DWORD flags32;
    int exitCode;
};

void AllSet()
{
    for (int row = 0; row < kRegistrationCount; ++row) {
        const std::string classId = "\\" + fake::Utf8(RegistrationTable[row].classId);
        fake::setDword(kFolder64 + classId, kFlags, 0x400);
        fake::setDword(kFolder32 + classId, kFlags, 0x400);
    }
}

const KillBitCase kCases[] = {
    {"none set", kRemoveQuietly, true, Unchanged, " none->0x400 blocked 0",
     " none->0x400 blocked 0", 0x400, 0x400, 0},
    {"other bits kept", kRemoveQuietly, true, [] { fake::setDword(kKey64, kFlags, 0xC); },
     " 0xc->0x40c blocked 0", " none->0x400 blocked 0", 0x40C, 0x400, 0},
    {"already set", kRemoveQuietly, true, [] { fake::setDword(kKey32, kFlags, 0x401); },
     " none->0x400 blocked 0", " kept 0", 0x400, 0x401, 0},
    {"text in place of a number", kRemoveQuietly, true,
     [] {
         fake::setValue(kKey64, kFlags, "0x400");
         fake::setValue(kKey32, kFlags, "a");  // as long as a number
     },
     " type 0x1->0x400 blocked 0", " type 0x1->0x400 blocked 0", 0x400, 0x400, 0},
    {"no administrator", kRemoveQuietly, false, Unchanged, " failed 5", " failed 5", 0, 0, 1},
    {"the folder a link", kRemoveQuietly, true,
     [] { fake::addKey(kFolder64, "HKLM\\Elsewhere"); }, " failed 1464",
     " none->0x400 blocked 0", 0, 0x400, 1},
    {"check, none set", kCheckOnly, true, [] { fake::setDword(kKey64, kFlags, 0x4); },
     " open 0", " open 0", 0x4, 0, 1},
    {"check, all set", kCheckOnly, true, AllSet, " blocked 0", " blocked 0", 0x400, 0x400, 0},
};

DWORD FlagsOf(const std::string& key)
{
    const auto value = machine.values.find(key + "|" + kFlags);
    if (value == machine.values.end())
        return 0;
    return fake::dwordOf(value->second);
}

TEST_F(MachineTest, BlockSetsEachKillBitInEachViewAndNothingElse)
{
    for (const KillBitCase& test : kCases) {
        SCOPED_TRACE(test.name);
        NewMachine();
        machine.wow64 = true;
        fake::addFile("C:\\WINDOWS\\system32", FILE_ATTRIBUTE_DIRECTORY);
        fake::addFile("C:\\WINDOWS\\SysWOW64", FILE_ATTRIBUTE_DIRECTORY);
        fake::setDword(kOther, kFlags, 0x4);
        test.setup();
        machine.administrator = test.administrator;
        const auto valuesBefore = machine.values.size();
        const Paths keysBefore = fake::keys();
        RecordingObserver observer;

        const int exitCode =
            RunUnattendedRemoval(test.mode, UnattendedScope(), 0, true, &observer);

        EXPECT_EQ(exitCode, test.exitCode);
        Paths reports;
        for (const ItemReport& report : observer.reports) {
            if (fake::Within(report.path, kFolder64) || fake::Within(report.path, kFolder32))
                reports.push_back(report.Line());
        }
        ASSERT_EQ(reports.size(), 2u * kRegistrationCount);
        EXPECT_EQ(reports[12], kKey64 + " [64]" + test.report64);
        EXPECT_EQ(reports[13], kKey32 + " [32]" + test.report32);
        EXPECT_EQ(FlagsOf(kKey64), test.flags64);
        EXPECT_EQ(FlagsOf(kKey32), test.flags32);
        EXPECT_EQ(FlagsOf(kOther), 0x4u);
        // Each run sets a value at most for each class ID in each view, and the link leads nowhere.
        EXPECT_LE(machine.values.size(), valuesBefore + 2 * kRegistrationCount);
        EXPECT_EQ(machine.registry.count("HKLM\\Elsewhere" + kRow7), 0u);
        // A check writes nothing; one after a removal finds what the removal left.
        if (test.mode == kCheckOnly) {
            EXPECT_EQ(fake::keys(), keysBefore);
        } else {
            const int checkCode =
                RunUnattendedRemoval(kCheckOnly, UnattendedScope(), 0, true, NULL);
            EXPECT_EQ(checkCode, test.exitCode);
        }
    }
}

// A run that finds another holding the lock sets nothing.
TEST_F(MachineTest, ABusyRunSetsNoKillBit)
{
    machine.heldElsewhere = {"Tarnwick\\Removal"};
    machine.namespaceMade = true;

    EXPECT_EQ(RunUnattendedRemoval(kRemoveQuietly, kAllProfiles, 0, true, NULL),
              ERROR_INSTALL_ALREADY_RUNNING);

    EXPECT_TRUE(machine.values.empty());
}

}  // namespace
