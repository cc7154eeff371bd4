// SweepFolder against Wine's file system and shell: real folders in the prefix's temp folder,
// deleted through the real SHFileOperationA, into the Unix trash when the run has one.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FolderSweep.h"
#include "SweepWineTest.h"

using wine_machine::Exists;
using wine_machine::ListFolder;
using wine_machine::MakeFile;
using wine_machine::MakeFolder;
using wine_machine::Names;
using wine_machine::ScratchFolder;
using wine_machine::SortedNames;

namespace {

enum Kind {
    kFile,
    // Attributes do not matter to the sweep. (No read-only file: with no trash, Wine's shell
    // refuses to delete one.)
    kHiddenSystemFile,
    kFolder,  // holds a file and a subfolder with a file
};

struct Item {
    const char* name;
    Kind kind;
    bool deletedFromDownloadedControls;
    bool deletedFromSystemFolder;
};

const Item kLayout[] = {
    {"FENNOXEL.OCX", kFile, true, true},
    {"merrowind.ocx", kFile, true, true},
    {"QuilloDeck.Ocx", kFolder, true, true},  // a folder named like a control
    {"Quillodeck.Inf", kFile, true, false},
    {"fennoxel.INF", kHiddenSystemFile, true, false},
    {"Conflict.3", kFolder, true, false},
    {"old_conflicts", kFolder, true, false},
    {"xXcOnFlIcXx", kFolder, true, false},
    // 0x81 0x63 is one character of code page 936; upper-cased byte by byte, its second byte
    // becomes 'C' and the name holds "CONFLIC".
    {"\x81\x63onflict", kFolder, true, false},
    // Near misses.
    {"CONFLICT.7", kFile, false, false},  // conflict names select folders only
    {"conflict", kFile, false, false},
    {"CONFLI", kFolder, false, false},
    {"CON-FLICT", kFolder, false, false},
    {"XFENNOXEL.OCX", kFile, false, false},
    {"FENNOXEL.OCXX", kFile, false, false},
    {"FENNOXEL.OCX.bak", kFile, false, false},
    {"MERROWIND.OC", kFile, false, false},
    {"QUILLODECK", kFolder, false, false},
    {"\xBF\xD8\xBC\xFE.OCX", kFile, false, false},  // 控件.OCX
};

::testing::AssertionResult Make(const std::string& path, Kind kind)
{
    switch (kind) {
    case kFile:
        return MakeFile(path);
    case kHiddenSystemFile:
        return MakeFile(path, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    case kFolder:
        if (::testing::AssertionResult made = MakeFolder(path); !made)
            return made;
        if (::testing::AssertionResult made = MakeFile(path + "\\inner.txt"); !made)
            return made;
        if (::testing::AssertionResult made = MakeFolder(path + "\\sub"); !made)
            return made;
        return MakeFile(path + "\\sub\\deeper.txt");
    }
    return ::testing::AssertionFailure() << "unknown kind";
}

// Checks that a deleted entry went to the trash, contents included, when the run has a trash.
void ExpectInTrashIfAny(const std::string& original, Kind kind)
{
    const wine_machine::Trash* trash = TheTrash();
    if (trash == NULL)
        return;
    std::string item = trash->ItemFor(original);
    ASSERT_NE("", item) << original << " is not in the trash";
    EXPECT_TRUE(Exists(item)) << item;
    if (kind == kFolder) {
        EXPECT_TRUE(Exists(item + "\\sub\\deeper.txt")) << item;
    }
}

void SweepLayout(const char* label, const SweepRules& rules, bool Item::*deleted)
{
    ScratchFolder folder(label);
    std::vector<std::string> kept;
    for (const Item& item : kLayout) {
        ASSERT_TRUE(Make(folder / item.name, item.kind));
        if (!(item.*deleted))
            kept.push_back(item.name);
    }

    EXPECT_TRUE(SweepFolder(folder.Path().c_str(), rules));

    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, SortedNames(folder.Path()));
    for (const Item& item : kLayout) {
        if (item.*deleted) {
            ExpectInTrashIfAny(folder / item.name, item.kind);
        } else if (item.kind == kFolder) {
            EXPECT_TRUE(Exists(folder / item.name + "\\sub\\deeper.txt")) << item.name;
        }
    }
}

TEST(SweepFolderUnderWine, DownloadedControlsLoseControlFilesInfFilesAndConflictFolders)
{
    SweepLayout("downloaded", DownloadedControlsRules, &Item::deletedFromDownloadedControls);
}

TEST(SweepFolderUnderWine, SystemFolderLosesOnlyControlFiles)
{
    SweepLayout("system", SystemFolderRules, &Item::deletedFromSystemFolder);
}

TEST(SweepFolderUnderWine, SweepsAFolderWithAChineseName)
{
    ScratchFolder parent("chinese");
    const std::string folder = parent / "\xBF\xD8\xBC\xFE";  // 控件
    ASSERT_TRUE(MakeFolder(folder));
    ASSERT_TRUE(MakeFile(folder + "\\MERROWIND.OCX"));
    ASSERT_TRUE(Make(folder + "\\\xB3\xE5\xCD\xBB conflict", kFolder));  // 冲突 conflict
    ASSERT_TRUE(MakeFile(folder + "\\\xCB\xB5\xC3\xF7.txt"));          // 说明.txt

    EXPECT_TRUE(SweepFolder(folder.c_str(), DownloadedControlsRules));

    EXPECT_EQ(std::vector<std::string>{"\xCB\xB5\xC3\xF7.txt"}, SortedNames(folder));
    ExpectInTrashIfAny(folder + "\\MERROWIND.OCX", kFile);
    ExpectInTrashIfAny(folder + "\\\xB3\xE5\xCD\xBB conflict", kFolder);
}

TEST(SweepFolderUnderWine, AnEmptyFolderSucceedsAndStays)
{
    ScratchFolder folder("empty");

    EXPECT_TRUE(SweepFolder(folder.Path().c_str(), DownloadedControlsRules));

    EXPECT_TRUE(Exists(folder.Path()));
    EXPECT_TRUE(ListFolder(folder.Path()).empty());
}

TEST(SweepFolderUnderWine, AFolderThatCannotBeListedFailsAndNothingChanges)
{
    ScratchFolder parent("unlisted");
    const std::string file = parent / "QUILLODECK.OCX";
    ASSERT_TRUE(MakeFile(file));

    EXPECT_FALSE(SweepFolder((parent / "missing").c_str(), DownloadedControlsRules));
    EXPECT_FALSE(SweepFolder(file.c_str(), DownloadedControlsRules));  // a file, not a folder

    EXPECT_FALSE(Exists(parent / "missing"));
    EXPECT_EQ(std::vector<std::string>{"QUILLODECK.OCX"}, SortedNames(parent.Path()));
}

TEST(SweepFolderUnderWine, AnEntryHeldOpenFailsTheSweepWhileTheNextMatchIsStillDeleted)
{
    ScratchFolder folder("held");
    ASSERT_TRUE(MakeFile(folder / "FENNOXEL.OCX"));
    ASSERT_TRUE(MakeFile(folder / "QUILLODECK.INF"));
    ASSERT_TRUE(MakeFile(folder / "readme.txt"));

    // Hold the match that the listing yields first, so that the other one comes after it.
    std::vector<std::string> order;
    for (const std::string& name : Names(ListFolder(folder.Path()))) {
        if (name != "readme.txt")
            order.push_back(name);
    }
    ASSERT_EQ(2u, order.size());
    const std::string held = folder / order[0];
    const std::string next = folder / order[1];
    HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);

    bool verdict = SweepFolder(folder.Path().c_str(), DownloadedControlsRules);
    CloseHandle(handle);

    EXPECT_FALSE(verdict);
    EXPECT_TRUE(Exists(held));
    EXPECT_FALSE(Exists(next));
    EXPECT_TRUE(Exists(folder / "readme.txt"));
    ExpectInTrashIfAny(next, kFile);
    if (TheTrash() != NULL) {
        EXPECT_EQ("", TheTrash()->ItemFor(held));
    }
}

}  // namespace
