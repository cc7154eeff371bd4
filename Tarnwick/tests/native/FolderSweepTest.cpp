#include "FolderSweep.h"
#include "MachineTest.h"

namespace {

using Paths = std::vector<std::string>;

const std::string kFolder = "C:\\WINDOWS\\Downloaded Program Files", kOutside = "C:\\Outside";
const DWORD kFile = FILE_ATTRIBUTE_ARCHIVE, kDir = FILE_ATTRIBUTE_DIRECTORY;
const DWORD kJunction = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

struct Item {
    std::string name;  // below the swept folder
    DWORD attributes;
    bool removed;
    std::string linkTarget;
};

// Names in every case, near misses, locked entries and both rule sets are the randomized model's;
// these are the cases it does not make.
const struct {
    const char* name;
    std::vector<Item> items;
    bool verdict;
    void (*setUp)();
} kCases[] = {
    {"empty folder", {}, true, nullptr},
    // A long name first leaves bytes in the path buffer where a shell list's second NUL belongs.
    {"whole folders only", {{"A name longer than any of the controls' names.txt", kFile, false, ""},
        {"FENNOXEL.OCX", kDir, true, ""}, {"FENNOXEL.OCX\\inner", kFile, true, ""},
        {"CONFLICT.1", kDir, true, ""}, {"CONFLICT.1\\QUILLODECK.OCX", kFile, true, ""},
        {"\x81" "conflict", kDir, true, ""},  // upper-cased byte by byte, trail byte included
        {"\xC4\xFA" "QUILLODECK.OCX", kFile, false, ""},
        {"keep", kDir, false, ""}, {"keep\\MERROWIND.OCX", kFile, false, ""}}, true, nullptr},
    {"locked, then matching", {{"FENNOXEL.OCX", kFile, false, ""}, {"QUILLODECK.OCX", kFile, true, ""}},
        false, [] { fake::machine.undeletable = {kFolder + "\\FENNOXEL.OCX"}; }},
    {"the shell leaves it", {{"CONFLICT\xD6\xD0\xCE\xC4", kDir, false, ""}}, false,
        [] { fake::machine.shellKeeps = {kFolder + "\\CONFLICT\xD6\xD0\xCE\xC4"}; }},
    {"junction removed itself", {{"CONFLICT.7", kJunction, true, kOutside}}, true, nullptr},
    // Wine lists a Unix link to a file as a plain file, and every call on it reaches its target.
    {"Unix links left", {{"notes.txt", kFile, false, ""}, {"QUILLODECK.OCX", kFile, false, kFolder + "\\notes.txt"},
        {"FENNOXEL.OCX", kFile, false, kOutside + "\\file"}}, false, nullptr},
    {"before Vista", {{"QUILLODECK.OCX", kFile, true, ""}, {"CONFLICT.7", kJunction, true, kOutside}}, true,
        [] { fake::machine.beforeVista = true; }},
};

TEST_F(MachineTest, SweepFolderDeletesTheMatchingEntriesThemselves)
{
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        fake::machine = fake::Machine();
        fake::addFolder(kFolder);
        fake::addFile(kOutside + "\\file");  // where links point
        Paths staying = {kOutside, kOutside + "\\file", "C:\\WINDOWS", kFolder};
        for (const Item& item : test.items) {
            fake::addFile(kFolder + "\\" + item.name, item.attributes, item.linkTarget);
            if (!item.removed)
                staying.push_back(kFolder + "\\" + item.name);
        }
        if (test.setUp)
            test.setUp();
        std::sort(staying.begin(), staying.end());
        EXPECT_EQ(SweepFolder(kFolder.c_str(), DownloadedControlsRules), test.verdict);
        EXPECT_EQ(fake::files(), staying);
        EXPECT_TRUE(fake::machine.handles.empty() && fake::machine.problems.empty());
    }
}

// The longest folder whose entries' paths, with the shell list's second NUL, fit the 1024-byte
// buffers is 762 bytes: with a 259-byte name, 762 + 1 + 259 + 2.
TEST_F(MachineTest, AFolderTooLongForTheBuffersIsNotListed)
{
    for (size_t length : {762, 763}) {
        const std::string file = "C:\\" + std::string(length - 3, 'f') + "\\QUILLODECK.OCX";
        fake::addFile(file);
        EXPECT_EQ(SweepFolder(file.substr(0, length).c_str(), DownloadedControlsRules), length == 762);
        EXPECT_EQ(fake::machine.files.count(file), length == 762 ? 0u : 1u);
    }
}

}  // namespace
