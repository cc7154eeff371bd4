// DeleteRegTree against Wine's registry: real key trees under HKEY_CLASSES_ROOT, each test in a
// scratch key of its own.
#include <string>

#include <gtest/gtest.h>

#include "RegTree.h"
#include "WineMachine.h"

using wine_machine::KeyExists;
using wine_machine::KeyIntact;
using wine_machine::MakeKey;
using wine_machine::ScratchKey;
using wine_machine::SubkeyCount;

namespace {

const HRESULT kKeyAbsent = (HRESULT)0x80070002;
const HRESULT kInvalidParameter = (HRESULT)0x80070057;

TEST(DeleteRegTreeUnderWine, RemovesANestedTreeAndNothingBesideOrAboveIt)
{
    ScratchKey root("nested");
    const std::string parent = root / "Parent";
    const std::string target = parent + "\\Target";
    const char* const inside[] = {
        "Alpha", "Alpha\\One", "Alpha\\One\\Deep", "Alpha\\Two", "Beta", "Gamma\\Leaf",
    };
    // Neighbours whose names begin like the target's, or that the target's name begins with.
    const char* const beside[] = {"Sibling", "Sibling\\Child", "Target2", "Targe", "TargetX\\Y"};

    for (const char* key : inside)
        ASSERT_TRUE(MakeKey(target + "\\" + key));
    for (const char* key : beside)
        ASSERT_TRUE(MakeKey(parent + "\\" + key));
    ASSERT_TRUE(MakeKey(target));
    ASSERT_TRUE(MakeKey(parent));

    EXPECT_EQ(S_OK, DeleteRegTree(HKEY_CLASSES_ROOT, target.c_str()));

    EXPECT_FALSE(KeyExists(target));
    EXPECT_TRUE(KeyIntact(parent));
    EXPECT_TRUE(KeyIntact(root.Path()));
    for (const char* key : beside)
        EXPECT_TRUE(KeyIntact(parent + "\\" + key)) << key;
    EXPECT_EQ(4, SubkeyCount(parent));  // Sibling, Target2, Targe, TargetX and nothing else
}

TEST(DeleteRegTreeUnderWine, RemovesAKeyBelowAnOpenParentHandle)
{
    ScratchKey root("handle");
    ASSERT_TRUE(MakeKey(root / "Target\\Child\\Grandchild"));
    ASSERT_TRUE(MakeKey(root / "Other"));

    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CLASSES_ROOT, root.Path().c_str(), 0, KEY_ALL_ACCESS, &parent));
    EXPECT_EQ(S_OK, DeleteRegTree(parent, "Target"));
    RegCloseKey(parent);

    EXPECT_FALSE(KeyExists(root / "Target"));
    EXPECT_TRUE(KeyIntact(root / "Other"));
}

TEST(DeleteRegTreeUnderWine, RemovesWideAndDeepTrees)
{
    ScratchKey root("large");
    const std::string wide = root / "Wide";
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(MakeKey(wide + "\\Child" + std::to_string(i)));
    std::string deep = root / "Deep";
    for (int level = 0; level < 40; ++level)
        deep += "\\Level" + std::to_string(level);
    ASSERT_TRUE(MakeKey(deep));

    EXPECT_EQ(S_OK, DeleteRegTree(HKEY_CLASSES_ROOT, wide.c_str()));
    EXPECT_EQ(S_OK, DeleteRegTree(HKEY_CLASSES_ROOT, (root / "Deep").c_str()));

    EXPECT_EQ(0, SubkeyCount(root.Path()));
}

TEST(DeleteRegTreeUnderWine, ReportsAnAbsentKeyAndCreatesNothing)
{
    ScratchKey root("absent");
    ASSERT_TRUE(MakeKey(root / "Present"));

    EXPECT_EQ(kKeyAbsent, DeleteRegTree(HKEY_CLASSES_ROOT, (root / "Missing").c_str()));
    EXPECT_EQ(kKeyAbsent, DeleteRegTree(HKEY_CLASSES_ROOT, (root / "Missing\\Below").c_str()));

    EXPECT_FALSE(KeyExists(root / "Missing"));
    EXPECT_TRUE(KeyIntact(root / "Present"));
    EXPECT_EQ(1, SubkeyCount(root.Path()));
}

TEST(DeleteRegTreeUnderWine, RefusesAnEmptyPathThatWouldNameTheRootItself)
{
    ScratchKey root("empty-path");
    long rootKeys = SubkeyCount("");
    ASSERT_GT(rootKeys, 0);

    EXPECT_EQ(kInvalidParameter, DeleteRegTree(HKEY_CLASSES_ROOT, ""));
    EXPECT_EQ(kInvalidParameter, DeleteRegTree(HKEY_CLASSES_ROOT, NULL));

    EXPECT_EQ(rootKeys, SubkeyCount(""));
    EXPECT_TRUE(KeyIntact(root.Path()));
}

// Key names come back from the narrow enumeration in code page 936 and must name the same keys
// when handed back to the narrow open and delete calls.
TEST(DeleteRegTreeUnderWine, RemovesKeysWithChineseNames)
{
    ScratchKey root("chinese");
    const std::string target = root / "\xBF\xD8\xBC\xFE";  // 控件
    ASSERT_TRUE(MakeKey(target + "\\\xD7\xA2\xB2\xE1\\\xC0\xE0\xBF\xE2"));  // 注册\类库
    ASSERT_TRUE(MakeKey(target + "\\\x81\x63onflict"));
    ASSERT_TRUE(MakeKey(root / "\xBF\xD8\xBC\xFE\xB1\xB8\xB7\xDD"));  // 控件备份

    EXPECT_EQ(S_OK, DeleteRegTree(HKEY_CLASSES_ROOT, target.c_str()));

    EXPECT_FALSE(KeyExists(target));
    EXPECT_TRUE(KeyIntact(root / "\xBF\xD8\xBC\xFE\xB1\xB8\xB7\xDD"));
}

// A child's name is read into 510 bytes with its terminator. A key name may be 255 characters
// long; in code page 936 a 254-character Chinese name takes 508 bytes and fits, a 255-character
// one takes 510 and does not, so that child is never read, the emptying ends early and the
// failed deletion of the still populated key is what the caller learns.
TEST(DeleteRegTreeUnderWine, ReportsAChildWhoseNameDoesNotFitTheNameBuffer)
{
    ScratchKey root("long-names");
    std::string fits, tooLong;
    for (int i = 0; i < 254; ++i)
        fits += "\xBF\xD8";  // 控
    tooLong = fits + "\xBF\xD8";
    ASSERT_TRUE(MakeKey(root / "Fits\\" + fits));
    ASSERT_TRUE(MakeKey(root / "TooLong\\" + tooLong));

    EXPECT_EQ(S_OK, DeleteRegTree(HKEY_CLASSES_ROOT, (root / "Fits").c_str()));
    EXPECT_FALSE(KeyExists(root / "Fits"));

    HRESULT status = DeleteRegTree(HKEY_CLASSES_ROOT, (root / "TooLong").c_str());
    EXPECT_LT(status, 0);
    EXPECT_TRUE(KeyIntact(root / "TooLong\\" + tooLong));
}

// The engine takes HRESULT_FROM_WIN32 from the MinGW headers in this build; the native build has
// its own routine. Both must give the same status codes.
TEST(HresultFromWin32UnderMinGW, KeepsTheLow16BitsOfAPositiveErrorUnderTheWin32Facility)
{
    const struct {
        LONG error;
        HRESULT status;
    } cases[] = {
        {0, 0},
        {ERROR_FILE_NOT_FOUND, (HRESULT)0x80070002},
        {ERROR_ACCESS_DENIED, (HRESULT)0x80070005},
        {ERROR_INVALID_PARAMETER, (HRESULT)0x80070057},
        {0xFFFF, (HRESULT)0x8007FFFF},
        {0x12345, (HRESULT)0x80072345},
        {0x7FFFFFFF, (HRESULT)0x8007FFFF},
        {-1, -1},
        {(LONG)0x80004005, (HRESULT)0x80004005},
        {(LONG)0x80000000, (HRESULT)0x80000000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.status, HRESULT_FROM_WIN32(c.error)) << "error " << c.error;
}

}  // namespace
