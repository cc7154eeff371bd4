// The Windows behaviours of the in-memory machine that the engine's tests depend on.
#include "MachineTest.h"
#include "PlatformServices.h"

namespace {

using namespace PlatformServices;
using Names = std::vector<std::string>;

class FakeMachineTest : public MachineTest {};

TEST_F(FakeMachineTest, RegistryBehavesAsWindowsWhereTheWalkReliesOnIt)
{
    fake::addKey("K\\ABC\\Leaf");
    HKEY root, key;
    // "" opens the parent itself; nested paths open case-insensitively.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_ALL_ACCESS, &root), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(root, "k", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    char name[8];
    DWORD capacity = 3;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &capacity, NULL, NULL, NULL, NULL), 234);  // ERROR_MORE_DATA
    capacity = 4;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &capacity, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
    EXPECT_STREQ(name, "ABC");
    EXPECT_EQ(capacity, 3u);
    EXPECT_EQ(RegEnumKeyExA(key, 1, name, &capacity, NULL, NULL, NULL, NULL), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegDeleteKeyA(key, "ABC"), ERROR_ACCESS_DENIED);  // it has a subkey
    EXPECT_EQ(RegDeleteKeyA(root, "K\\abc\\LEAF"), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(root);
    EXPECT_EQ(fake::keys(), (Names{"K", "K\\ABC"}));
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

// The fixture's release check counts on these records.
TEST_F(FakeMachineTest, RecordsMisuseAndCutWsprintfResults)
{
    LPITEMIDLIST idList;
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_SYSTEM, &idList), S_OK);
    EXPECT_EQ(fake::counters().idListsObtained, 1);
    CoTaskMemFree(idList);
    CoTaskMemFree(idList);
    EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), 6);  // ERROR_INVALID_HANDLE
    char buffer[2048];
    EXPECT_EQ(wsprintfA(buffer, "%s\\%s", std::string(1000, 'a').c_str(), std::string(100, 'b').c_str()), 1023);
    EXPECT_EQ(strlen(buffer), 1023u);
    EXPECT_EQ(fake::problems().size(), 3u);
    fake::reset();
}

}  // namespace
