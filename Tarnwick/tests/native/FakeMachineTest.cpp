// The Windows behaviours of the in-memory machine that the engine's tests depend on.
#include "MachineTest.h"
#include "PlatformServices.h"

namespace {

using namespace PlatformServices;
using Names = std::vector<std::string>;

class FakeMachineTest : public MachineTest {};

TEST_F(FakeMachineTest, RegistryOpensNestedPathsAndTheParentItselfForAnEmptyPath)
{
    fake::addKey("CLSID\\{X}\\InprocServer32");
    HKEY root, nested;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_ALL_ACCESS, &root), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(root, "clsid\\{x}", 0, KEY_ALL_ACCESS, &nested), ERROR_SUCCESS);
    char name[16];
    DWORD capacity = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(root, 0, name, &capacity, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
    EXPECT_STREQ(name, "CLSID");
    capacity = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(nested, 0, name, &capacity, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
    EXPECT_STREQ(name, "InprocServer32");
    EXPECT_EQ(capacity, 14u);
    RegCloseKey(nested);
    RegCloseKey(root);
    HKEY absent;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{Y}", 0, KEY_ALL_ACCESS, &absent), ERROR_FILE_NOT_FOUND);
}

TEST_F(FakeMachineTest, RegistryEnumerationHonoursTheCapacityAndEnds)
{
    fake::addKey("K\\ABC");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "K", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    char name[8];
    DWORD capacity = 3;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &capacity, NULL, NULL, NULL, NULL), 234);  // ERROR_MORE_DATA
    capacity = 4;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &capacity, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
    capacity = 4;
    EXPECT_EQ(RegEnumKeyExA(key, 1, name, &capacity, NULL, NULL, NULL, NULL), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(FakeMachineTest, RegistryRefusesToDeleteAKeyWithSubkeys)
{
    fake::addKey("K\\Child");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "K"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "k\\child"), ERROR_SUCCESS);
    EXPECT_EQ(fake::keys(), Names{"K"});
}

TEST_F(FakeMachineTest, SearchYieldsDotEntriesThenEntriesInTheOrderAdded)
{
    for (const char* name : {"b", "C", "a"})
        fake::addFile(std::string("C:\\F\\") + name);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("C:\\f\\*.*", &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    Names listed = {entry.cFileName};
    while (FindNextFileA(search, &entry))
        listed.push_back(entry.cFileName);
    FindClose(search);
    EXPECT_EQ(listed, (Names{".", "..", "b", "C", "a"}));
}

// The reason links must never reach the shell.
TEST_F(FakeMachineTest, ShellDeletionOfALinkDeletesItsTargetAndLeavesTheLink)
{
    fake::addFile("C:\\Outside\\precious.doc");
    fake::addLink("C:\\D\\CONFLICT.7", "C:\\Outside", true);
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = "C:\\D\\CONFLICT.7\0";
    EXPECT_EQ(SHFileOperationA(&operation), 0);
    EXPECT_FALSE(fake::exists("C:\\Outside"));
    EXPECT_TRUE(fake::exists("C:\\D\\CONFLICT.7"));
}

TEST_F(FakeMachineTest, WsprintfStopsAt1024BytesAndReportsIt)
{
    char buffer[2048];
    EXPECT_EQ(wsprintfA(buffer, "%s\\%s", std::string(1000, 'a').c_str(), std::string(100, 'b').c_str()), 1023);
    EXPECT_EQ(strlen(buffer), 1023u);
    EXPECT_EQ(fake::problems().size(), 1u);
    fake::reset();
}

TEST_F(FakeMachineTest, ReleasesAreCountedAndMisuseRecorded)
{
    LPITEMIDLIST idList;
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_SYSTEM, &idList), S_OK);
    char path[MAX_PATH];
    EXPECT_TRUE(SHGetPathFromIDListA(idList, path));
    EXPECT_STREQ(path, "C:\\WINDOWS\\system32");
    EXPECT_EQ(fake::counters().idListsObtained - fake::counters().idListsFreed, 1);
    CoTaskMemFree(idList);
    CoTaskMemFree(idList);
    EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), 6);
    EXPECT_EQ(fake::problems().size(), 2u);
    fake::reset();
}

}  // namespace
