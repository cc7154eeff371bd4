#include "FolderSweep.h"
#include "MachineTest.h"

namespace {

using Names = std::vector<std::string>;

// The shell's list form of one path: the path, its NUL and the list's closing NUL.
std::string ShellList(const std::string& path)
{
    return path + std::string(2, '\0');
}

// One entry, put in both folders and swept with each folder's rules.
struct EntryCase {
    const char* label;
    const char* name;
    DWORD attributes;
    bool deletedFromDownloaded;
    bool deletedFromSystem;
};

const DWORD kFile = FILE_ATTRIBUTE_ARCHIVE;
const DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
const DWORD kHiddenFile = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

const EntryCase kEntryCases[] = {
    {"UpperCaseOcx", "FENNOXEL.OCX", kFile, true, true},
    {"LowerCaseOcx", "merrowind.ocx", kFile, true, true},
    {"MixedCaseOcx", "QuilloDeck.Ocx", kFile, true, true},
    {"HiddenSystemReadOnlyOcx", "QUILLODECK.OCX", kHiddenFile, true, true},
    {"QuillodeckInf", "quillodeck.inf", kFile, true, false},
    {"FennoxelInf", "Fennoxel.INF", kFile, true, false},
    {"UnlistedInf", "MERROWIND.INF", kFile, false, false},
    {"CharacterBefore", "XFENNOXEL.OCX", kFile, false, false},
    {"CharactersAfter", "FENNOXEL.OCX.BAK", kFile, false, false},
    {"Shortened", "FENNOXEL.OC", kFile, false, false},
    {"OcxNamedDirectory", "Merrowind.ocx", kFolder, true, true},
    {"InfNamedDirectory", "FENNOXEL.INF", kFolder, true, false},
    {"ConflictDirectory", "CONFLICT.1", kFolder, true, false},
    {"LowerCaseConflictDirectory", "conflict", kFolder, true, false},
    {"ConflictInsideDirectoryName", "old cOnFlIcTs 2", kFolder, true, false},
    {"ConflicAtTheEnd", "xCONFLIC", kFolder, true, false},
    {"ConflicOneLetterShort", "CONFLI", kFolder, false, false},
    {"ConflictNamedFile", "CONFLICT.1", kFile, false, false},
    {"HiddenConflictDirectory", "Conflict", kFolder | FILE_ATTRIBUTE_HIDDEN, true, false},
    // 0x81 0x63 is one double-byte character of code page 936; upper-casing its second byte as
    // a letter turns the name into "\x81" "CONFLICT".
    {"ConflicThroughDoubleByteCharacter", "\x81\x63onflict", kFolder, true, false},
    {"DoubleByteConflictNamedFile", "\x81\x63onflict", kFile, false, false},
    {"DoubleByteNearMiss", "\x81\x64onflict", kFolder, false, false},
};

void PrintTo(const EntryCase& c, std::ostream* out)
{
    *out << c.label;
}

class SweepEntryTest : public MachineTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(SweepEntryTest, DeletesExactlyTheEntriesTheRulesSelect)
{
    const EntryCase& c = GetParam();
    const struct {
        const std::string folder;
        const SweepRules& rules;
        bool deleted;
    } sweeps[] = {{kDownloaded, DownloadedControlsRules, c.deletedFromDownloaded},
                  {kSystem, SystemFolderRules, c.deletedFromSystem}};
    for (const auto& sweep : sweeps) {
        SCOPED_TRACE(sweep.folder);
        const std::string path = sweep.folder + "\\" + c.name;
        fake::addFile(sweep.folder + "\\before.txt");
        if (c.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            fake::addFolder(path, c.attributes);
            fake::addFile(path + "\\inside.dat");
        } else {
            fake::addFile(path, "", c.attributes);
        }
        fake::addFile(sweep.folder + "\\after.txt");
        size_t operationsBefore = fake::shellOperations().size();

        EXPECT_TRUE(SweepFolder(sweep.folder.c_str(), sweep.rules));
        EXPECT_EQ(fake::exists(path), !sweep.deleted);
        EXPECT_TRUE(fake::exists(sweep.folder + "\\before.txt"));
        EXPECT_TRUE(fake::exists(sweep.folder + "\\after.txt"));
        ASSERT_EQ(fake::shellOperations().size() - operationsBefore, sweep.deleted ? 1u : 0u);
        // The shell gets the name as listed, not the upper-cased copy.
        if (sweep.deleted) {
            EXPECT_EQ(fake::shellOperations().back().from, ShellList(path));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Names, SweepEntryTest, ::testing::ValuesIn(kEntryCases),
                         [](const ::testing::TestParamInfo<EntryCase>& info) { return info.param.label; });

class SweepFolderTest : public MachineTest {};

TEST_F(SweepFolderTest, FolderWithOnlyDotEntriesGivesTrueAndDeletesNothing)
{
    fake::addFolder(kDownloaded);
    EXPECT_TRUE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::callArgs("FindFirstFileA"), Names{kDownloaded + "\\*.*"});
    EXPECT_EQ(fake::callArgs("FindClose"), Names{kDownloaded});
    EXPECT_TRUE(fake::shellOperations().empty());
}

TEST_F(SweepFolderTest, FolderThatCannotBeListedGivesFalse)
{
    const struct {
        const char* label;
        void (*prepare)();
    } cases[] = {
        {"absent", [] { fake::addFile("C:\\WINDOWS\\FENNOXEL.OCX"); }},
        {"a file", [] { fake::addFile(kDownloaded, "not a folder"); }},
        {"listing refused", [] {
             fake::addFile(kDownloaded + "\\FENNOXEL.OCX");
             fake::failListing(kDownloaded);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fake::reset();
        c.prepare();
        Names before = fake::files();
        EXPECT_FALSE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
        EXPECT_EQ(fake::files(), before);
        EXPECT_TRUE(fake::shellOperations().empty());
        ExpectAllReleased();
    }
}

TEST_F(SweepFolderTest, DeletesThroughTheShellWithoutOwnerToTheRecycleBin)
{
    fake::addFile(kSystem + "\\Fennoxel.ocx");
    ASSERT_TRUE(SweepFolder(kSystem.c_str(), SystemFolderRules));
    ASSERT_EQ(fake::shellOperations().size(), 1u);
    const fake::ShellOperation& operation = fake::shellOperations()[0];
    EXPECT_EQ(operation.owner, (HWND)NULL);
    EXPECT_EQ(operation.func, (UINT)FO_DELETE);
    EXPECT_EQ(operation.flags, 0x50);
    EXPECT_TRUE(operation.toIsNull);
    EXPECT_EQ(operation.from, ShellList(kSystem + "\\Fennoxel.ocx"));
}

TEST_F(SweepFolderTest, DeletesMatchesInListingOrder)
{
    for (const char* name : {"QUILLODECK.INF", "keep.txt", "CONFLICT.2", "FENNOXEL.OCX", "CONFLICT.1"})
        fake::addFolder(kDownloaded + "\\" + name);
    EXPECT_TRUE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::callArgs("SHFileOperationA"),
              (Names{kDownloaded + "\\QUILLODECK.INF", kDownloaded + "\\CONFLICT.2",
                     kDownloaded + "\\FENNOXEL.OCX", kDownloaded + "\\CONFLICT.1"}));
    EXPECT_EQ(fake::entries(kDownloaded), Names{"keep.txt"});
}

TEST_F(SweepFolderTest, FailedDeletionGivesFalseAndTheSweepGoesOn)
{
    fake::addFile(kDownloaded + "\\FENNOXEL.OCX");
    fake::addFile(kDownloaded + "\\MERROWIND.OCX");
    fake::failDeletion(kDownloaded + "\\FENNOXEL.OCX");
    EXPECT_FALSE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::entries(kDownloaded), Names{"FENNOXEL.OCX"});
    EXPECT_EQ(fake::shellOperations().size(), 2u);
}

TEST_F(SweepFolderTest, ConflictFolderWithALockedFileInsideGivesFalse)
{
    fake::addFile(kDownloaded + "\\CONFLICT.1\\locked.ocx");
    fake::addFile(kDownloaded + "\\CONFLICT.1\\free.ocx");
    fake::failDeletion(kDownloaded + "\\CONFLICT.1\\locked.ocx");
    EXPECT_FALSE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::entries(kDownloaded + "\\CONFLICT.1"), Names{"locked.ocx"});
}

TEST_F(SweepFolderTest, ListingThatEndsEarlyIsNoFailure)
{
    fake::addFile(kDownloaded + "\\FENNOXEL.OCX");
    fake::addFile(kDownloaded + "\\MERROWIND.OCX");
    fake::endListingAfter(kDownloaded, 1);
    EXPECT_TRUE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::entries(kDownloaded), Names{"MERROWIND.OCX"});
}

// Matching links are removed themselves; the shell would delete what they point to.
TEST_F(SweepFolderTest, RemovesLinksAsLinksAndLeavesTheirTargets)
{
    const struct {
        const char* label;
        const std::string folder;
        const SweepRules& rules;
        const char* name;
        bool directory;
        const char* removal;
    } cases[] = {
        {"conflict junction", kDownloaded, DownloadedControlsRules, "CONFLICT.7", true, "RemoveDirectoryA"},
        {"ocx-named directory link", kSystem, SystemFolderRules, "merrowind.OCX", true, "RemoveDirectoryA"},
        {"ocx file link", kDownloaded, DownloadedControlsRules, "QUILLODECK.OCX", false, "DeleteFileA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fake::reset();
        fake::addFile("C:\\Users\\me\\Documents\\report.doc", "precious");
        fake::addFile("C:\\Users\\me\\QUILLODECK.OCX", "precious");
        const std::string link = c.folder + "\\" + c.name;
        fake::addLink(link, c.directory ? "C:\\Users\\me\\Documents" : "C:\\Users\\me\\QUILLODECK.OCX",
                      c.directory);
        fake::addLink(c.folder + "\\elsewhere", "C:\\Users", true);
        Names before = fake::files();

        EXPECT_TRUE(SweepFolder(c.folder.c_str(), c.rules));
        EXPECT_EQ(fake::callArgs(c.removal), Names{link});
        EXPECT_TRUE(fake::shellOperations().empty());
        EXPECT_FALSE(fake::exists(link));
        Names expected;
        for (const std::string& path : before)
            if (path != link)
                expected.push_back(path);
        EXPECT_EQ(fake::files(), expected);
        EXPECT_EQ(fake::contents("C:\\Users\\me\\Documents\\report.doc"), "precious");
        ExpectAllReleased();
    }
}

TEST_F(SweepFolderTest, LinkThatCannotBeRemovedGivesFalse)
{
    fake::addFolder("C:\\Elsewhere");
    fake::addLink(kDownloaded + "\\CONFLICT", "C:\\Elsewhere", true);
    fake::addFile(kDownloaded + "\\FENNOXEL.INF");
    fake::failDeletion(kDownloaded + "\\CONFLICT");
    EXPECT_FALSE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::entries(kDownloaded), Names{"CONFLICT"});
    EXPECT_TRUE(fake::exists("C:\\Elsewhere"));
}

// Some file systems list a link to a file as a plain file and follow every link, even when it is
// opened as itself. Such a matching entry, and one whose whereabouts cannot be told, is left in
// place and counts as a failure; the sweep still deletes the folder's own matches.
TEST_F(SweepFolderTest, LeavesEntriesThatResolveOutsideTheFolder)
{
    const struct {
        const char* label;
        const char* name;
        bool directory;
        bool unopenable;
    } cases[] = {
        {"file link listed as a file", "QUILLODECK.OCX", false, false},
        {"folder link", "CONFLICT.7", true, false},
        {"folder link to a folder named like it", "Conflict", true, false},
        {"entry that cannot be opened", "FENNOXEL.INF", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fake::reset();
        const std::string target = c.directory ? "C:\\Users\\me\\Conflict" : "C:\\Users\\me\\QUILLODECK.OCX";
        fake::addFile(c.directory ? target + "\\report.doc" : target, "precious");
        const std::string entry = kDownloaded + "\\" + c.name;
        if (c.unopenable) {
            fake::addFile(entry);
            fake::failOpen(entry);
        } else {
            fake::addUnixLink(entry, target, c.directory);
        }
        fake::addFile(kDownloaded + "\\merrowind.ocx");

        EXPECT_FALSE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
        EXPECT_EQ(fake::entries(kDownloaded), Names{c.name});
        EXPECT_EQ(fake::contents(c.directory ? target + "\\report.doc" : target), "precious");
        EXPECT_EQ(fake::callArgs("SHFileOperationA"), Names{kDownloaded + "\\merrowind.ocx"});
        EXPECT_TRUE(fake::callArgs("DeleteFileA").empty());
        EXPECT_TRUE(fake::callArgs("RemoveDirectoryA").empty());
        ExpectAllReleased();
    }
}

TEST_F(SweepFolderTest, FolderWhoseWhereaboutsCannotBeToldDeletesNothing)
{
    fake::addFile(kDownloaded + "\\FENNOXEL.OCX");
    fake::failOpen(kDownloaded);
    EXPECT_FALSE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::entries(kDownloaded), Names{"FENNOXEL.OCX"});
}

// A folder reached through a link of its own still has its items swept: they are compared with
// where the folder really is.
TEST_F(SweepFolderTest, SweepsAFolderReachedThroughALink)
{
    fake::addFile("D:\\Controls\\FENNOXEL.OCX");
    fake::addFile("D:\\Controls\\readme.txt");
    fake::addLink(kDownloaded, "D:\\Controls", true);
    EXPECT_TRUE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::entries("D:\\Controls"), Names{"readme.txt"});
}

// A full path is the folder, a backslash and a name of up to 259 bytes; with the shell list's
// two NULs it must fit the 1024-byte buffer, so longer folders are not swept.
TEST_F(SweepFolderTest, LongestFolderStillFitsTheLongestName)
{
    const std::string longest = FolderOfLength(762);
    const std::string name = "CONFLICT" + std::string(251, 'x');
    fake::addFolder(longest + "\\" + name);
    EXPECT_TRUE(SweepFolder(longest.c_str(), DownloadedControlsRules));
    ASSERT_EQ(fake::shellOperations().size(), 1u);
    EXPECT_EQ(fake::shellOperations()[0].from.size(), 1024u);
    EXPECT_EQ(fake::shellOperations()[0].from, ShellList(longest + "\\" + name));
    EXPECT_TRUE(fake::entries(longest).empty());

    const std::string tooLong = FolderOfLength(763);
    fake::addFolder(tooLong + "\\" + name);
    EXPECT_FALSE(SweepFolder(tooLong.c_str(), DownloadedControlsRules));
    EXPECT_EQ(fake::callArgs("FindFirstFileA").size(), 1u);
    EXPECT_EQ(fake::entries(tooLong), Names{name});
}

}  // namespace
