// SweepFolder on Unix symbolic links that match the rules and point outside the swept folder: what
// a link points to must survive whole, whether or not the run has a trash (the shell would delete
// it, or move it into the trash, if the link were handed to it).
//
// Wine lists a link to a folder as a directory reparse point (0x410) and a link to a file as a
// plain file, and every Windows file call on a link acts on what it points to. The sweep sees that
// such an entry resolves outside the folder and leaves it: the link stays and the sweep reports a
// failure.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FolderSweep.h"
#include "SweepWineTest.h"

using wine_machine::MakeFile;
using wine_machine::MakeFolder;
using wine_machine::MakeUnixSymlink;
using wine_machine::ScratchFolder;
using wine_machine::SortedNames;

namespace {

struct LinkCase {
    const char* name;
    enum { FolderWithContents, EmptyFolder, File } target;
};

void PrintTo(const LinkCase& c, std::ostream* out)
{
    *out << c.name << " -> " << (c.target == LinkCase::File ? "file" : c.target == LinkCase::EmptyFolder ? "empty folder" : "folder");
}

class SweepFolderOverALinkUnderWine : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SweepFolderOverALinkUnderWine, LeavesWhatItPointsToWhole)
{
    const LinkCase c = GetParam();
    ScratchFolder outside("link-target");
    std::string target = outside / "target";
    if (c.target == LinkCase::File) {
        ASSERT_TRUE(MakeFile(target));
    } else {
        ASSERT_TRUE(MakeFolder(target));
        if (c.target == LinkCase::FolderWithContents) {
            ASSERT_TRUE(MakeFile(target + "\\keep.txt"));
            ASSERT_TRUE(MakeFolder(target + "\\nested"));
            ASSERT_TRUE(MakeFile(target + "\\nested\\keep.txt"));
        }
    }
    const std::vector<std::string> targetBefore = SortedNames(outside.Path());
    ScratchFolder folder("links");
    ASSERT_TRUE(MakeUnixSymlink(folder / c.name, target));
    ASSERT_TRUE(MakeFile(folder / "FENNOXEL.OCX"));

    EXPECT_FALSE(SweepFolder(folder.Path().c_str(), DownloadedControlsRules));

    EXPECT_EQ(targetBefore, SortedNames(outside.Path()));
    if (c.target == LinkCase::FolderWithContents) {
        EXPECT_EQ((std::vector<std::string>{"keep.txt", "nested"}), SortedNames(target));
        EXPECT_EQ(std::vector<std::string>{"keep.txt"}, SortedNames(target + "\\nested"));
    }
    EXPECT_EQ((std::vector<std::string>{c.name}), SortedNames(folder.Path()));
    if (TheTrash() != NULL) {
        EXPECT_EQ("", TheTrash()->ItemFor(folder / c.name));
        EXPECT_EQ("", TheTrash()->ItemFor(target));
    }
}

INSTANTIATE_TEST_SUITE_P(ConflictAndControlNames, SweepFolderOverALinkUnderWine,
                         ::testing::Values(LinkCase{"CONFLICT.7", LinkCase::FolderWithContents},
                                           LinkCase{"CONFLICT.8", LinkCase::EmptyFolder},
                                           LinkCase{"QUILLODECK.OCX", LinkCase::FolderWithContents},
                                           LinkCase{"QUILLODECK.OCX", LinkCase::File},
                                           LinkCase{"fennoxel.inf", LinkCase::File}));

}  // namespace
