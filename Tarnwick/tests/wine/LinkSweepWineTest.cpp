// SweepFolder on Unix symbolic links that match the rules and point outside the swept folder:
// the folder a link points to must survive whole, whether or not the run has a trash (the shell
// would empty it, or move it into the trash, if the link were handed to it).
//
// Wine presents a link to a folder as a directory reparse point (attributes 0x410), and every
// Windows file call on such a link acts on the folder it points to: RemoveDirectoryA refuses while
// that folder holds anything, so under Wine the link stays and the sweep reports a failure.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FolderSweep.h"
#include "SweepWineTest.h"

using wine_machine::Entry;
using wine_machine::Exists;
using wine_machine::ListFolder;
using wine_machine::MakeFile;
using wine_machine::MakeFolder;
using wine_machine::MakeUnixSymlink;
using wine_machine::Names;
using wine_machine::ScratchFolder;
using wine_machine::SortedNames;

namespace {

class SweepFolderOverALinkUnderWine : public ::testing::TestWithParam<const char*> {};

TEST_P(SweepFolderOverALinkUnderWine, LeavesTheFolderItPointsToWhole)
{
    const std::string linkName = GetParam();
    ScratchFolder target("link-target");
    ASSERT_TRUE(MakeFile(target / "keep.txt"));
    ASSERT_TRUE(MakeFolder(target / "nested"));
    ASSERT_TRUE(MakeFile(target / "nested\\keep.txt"));
    ScratchFolder folder("links");
    ASSERT_TRUE(MakeUnixSymlink(folder / linkName, target.Path()));
    ASSERT_TRUE(MakeFile(folder / "FENNOXEL.OCX"));

    std::vector<Entry> before = ListFolder(folder.Path());
    auto link = std::find_if(before.begin(), before.end(),
                             [&](const Entry& entry) { return entry.name == linkName; });
    ASSERT_NE(before.end(), link);
    ASSERT_EQ((DWORD)(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY),
              link->attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));

    bool verdict = SweepFolder(folder.Path().c_str(), DownloadedControlsRules);

    EXPECT_EQ((std::vector<std::string>{"keep.txt", "nested"}), SortedNames(target.Path()));
    EXPECT_EQ(std::vector<std::string>{"keep.txt"}, SortedNames(target / "nested"));
    EXPECT_FALSE(Exists(folder / "FENNOXEL.OCX"));
    // Success is reported only when the link is gone.
    std::vector<std::string> after = Names(ListFolder(folder.Path()));
    bool linkStays = std::find(after.begin(), after.end(), linkName) != after.end();
    EXPECT_EQ(!linkStays, verdict);
    if (TheTrash() != NULL) {
        EXPECT_EQ("", TheTrash()->ItemFor(folder / linkName));
        EXPECT_EQ("", TheTrash()->ItemFor(target.Path()));
    }
}

INSTANTIATE_TEST_SUITE_P(ConflictAndControlNames, SweepFolderOverALinkUnderWine,
                         ::testing::Values("CONFLICT.7", "QUILLODECK.OCX"));

}  // namespace
