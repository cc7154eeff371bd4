#include "FolderSweep.h"
#include "MachineTest.h"
#include "RegTree.h"

namespace {

// An empty name would open HKEY_CLASSES_ROOT itself, and the walk would empty it.
TEST_F(MachineTest, DeleteRegTreeRefusesAnEmptyOrMissingKeyName)
{
    fake::addKey("CLSID\\X");
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, ""), (HRESULT)0x80070057);
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, NULL), (HRESULT)0x80070057);
    EXPECT_EQ(fake::keys(), (std::vector<std::string>{"CLSID", "CLSID\\X"}));
}

// The longest folder whose entries' paths, with the shell list's second NUL, fit the 1024-byte
// buffers is 762 bytes: with a 259-byte name, 762 + 1 + 259 + 2.
TEST_F(MachineTest, SweepFolderDoesNotListAFolderTooLongForItsBuffers)
{
    for (size_t length : {762, 763}) {
        const std::string file = "C:\\" + std::string(length - 3, 'f') + "\\QUILLODECK.OCX";
        fake::addFile(file);
        EXPECT_EQ(SweepFolder(file.substr(0, length).c_str(), DownloadedControlsRules), length == 762);
        EXPECT_EQ(fake::machine.files.count(file), length == 762 ? 0u : 1u);
    }
}

}  // namespace
