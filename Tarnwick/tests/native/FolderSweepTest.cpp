#include <algorithm>

#include "FolderSweep.h"
#include "MachineTest.h"

namespace {

using Paths = std::vector<std::string>;

const std::string kDownloaded = "C:\\WINDOWS\\Downloaded Program Files";
const DWORD kFile = FILE_ATTRIBUTE_ARCHIVE, kDir = FILE_ATTRIBUTE_DIRECTORY;
const DWORD kJunction = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

struct Item {
    std::string name;  // below the swept folder
    DWORD attributes;
    bool removed;
    std::string linkTarget;
};

struct SweepCase {
    const char* name;
    const SweepRules* rules;
    std::vector<Item> items;
    bool verdict;
    void (*setUp)(const std::string& folder);
};

class SweepFolderTest : public MachineTest, public ::testing::WithParamInterface<SweepCase> {};

TEST_P(SweepFolderTest, DeletesExactlyTheMatchingEntries)
{
    const SweepCase& test = GetParam();
    const std::string folder = kDownloaded;
    fake::addFolder(folder);
    fake::addFile("C:\\Outside\\tree\\file");  // where links point
    Paths kept = {"C:\\Outside", "C:\\Outside\\tree", "C:\\Outside\\tree\\file", "C:\\WINDOWS", folder};
    for (const Item& item : test.items) {
        fake::addFile(folder + "\\" + item.name, item.attributes, item.linkTarget);
        if (!item.removed)
            kept.push_back(folder + "\\" + item.name);
    }
    if (test.setUp)
        test.setUp(folder);
    std::sort(kept.begin(), kept.end());

    EXPECT_EQ(SweepFolder(folder.c_str(), *test.rules), test.verdict);
    EXPECT_EQ(fake::files(), kept);
}

const SweepRules* const kD = &DownloadedControlsRules;
// Names in every case, near misses, locked entries and both rule sets are the randomized model's;
// these are the cases it does not make.
INSTANTIATE_TEST_SUITE_P(, SweepFolderTest, ::testing::Values(
    SweepCase{"EmptyFolder", kD, {}, true, nullptr},
    // A long name first leaves bytes behind in the path buffer, where a list's second NUL belongs.
    SweepCase{"WholeFoldersOnly", kD, {
        {"a name that is longer than any of the controls' names.txt", kFile, false, ""},
        {"FENNOXEL.OCX", kDir, true, ""}, {"FENNOXEL.OCX\\inner", kFile, true, ""},
        {"CONFLICT.1", kDir, true, ""}, {"CONFLICT.1\\QUILLODECK.OCX", kFile, true, ""},
        {"\x81" "conflict", kDir, true, ""},  // upper-cased byte by byte, trail byte included
        {"\xC4\xFA" "QUILLODECK.OCX", kFile, false, ""},
        {"keep", kDir, false, ""}, {"keep\\MERROWIND.OCX", kFile, false, ""}}, true, nullptr},
    SweepCase{"LockedThenMatching", kD, {{"FENNOXEL.OCX", kFile, false, ""},
        {"QUILLODECK.OCX", kFile, true, ""}}, false,
        [](const std::string& f) { fake::undeletable.push_back(f + "\\FENNOXEL.OCX"); }},
    SweepCase{"ShellLeavesIt", kD, {{"CONFLICT\xD6\xD0\xCE\xC4", kDir, false, ""}}, false,
        [](const std::string& f) { fake::shellKeeps.push_back(f + "\\CONFLICT\xD6\xD0\xCE\xC4"); }},
    SweepCase{"JunctionRemovedItself", kD, {{"CONFLICT.7", kJunction, true, "C:\\Outside\\tree"}},
        true, nullptr},
    // Wine lists a Unix link to a file as a plain file, and every call on it reaches its target.
    SweepCase{"UnixLinksLeft", kD, {{"notes.txt", kFile, false, ""},
        {"QUILLODECK.OCX", kFile, false, "C:\\WINDOWS\\Downloaded Program Files\\notes.txt"},
        {"FENNOXEL.OCX", kFile, false, "C:\\Outside\\tree\\file"}}, false, nullptr},
    SweepCase{"BeforeVista", kD, {{"QUILLODECK.OCX", kFile, true, ""},
        {"CONFLICT.7", kJunction, true, "C:\\Outside\\tree"}}, true,
        [](const std::string&) { fake::beforeVista = true; }}),
    [](const ::testing::TestParamInfo<SweepCase>& info) { return info.param.name; });

TEST_F(MachineTest, AFolderThatCannotBeListedFails)
{
    EXPECT_FALSE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
    fake::addFile(kDownloaded);  // a file, not a folder
    EXPECT_FALSE(SweepFolder(kDownloaded.c_str(), DownloadedControlsRules));
}

// The longest folder whose entries' paths, with the shell list's second NUL, fit the 1024-byte
// buffers is 762 bytes: with a 259-byte name, 762 + 1 + 259 + 2.
TEST_F(MachineTest, AFolderTooLongForTheBuffersIsNotListed)
{
    for (size_t length : {762, 763}) {
        const std::string file = "C:\\" + std::string(length - 3, 'f') + "\\QUILLODECK.OCX";
        fake::addFile(file);
        EXPECT_EQ(SweepFolder(file.substr(0, length).c_str(), DownloadedControlsRules), length == 762);
        const Paths files = fake::files();
        EXPECT_EQ(std::count(files.begin(), files.end(), file), length == 762 ? 0 : 1);
    }
}

}  // namespace
