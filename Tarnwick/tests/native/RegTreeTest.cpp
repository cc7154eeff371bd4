#include <algorithm>

#include "MachineTest.h"
#include "RegTree.h"

namespace {

using Keys = std::vector<std::string>;

const std::string kKey = "CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}";
// 255 double-byte characters of code page 936 (卸): the longest name Windows allows.
std::string Repeat(const std::string& text, int count)
{
    std::string repeated;
    while (count-- > 0)
        repeated += text;
    return repeated;
}
const std::string kLongest = Repeat("\xD0\xB6", 255);

struct TreeCase {
    const char* name;
    Keys before;
    void (*fail)();
    HRESULT status;
    Keys after;
};

class DeleteRegTreeTest : public MachineTest, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(DeleteRegTreeTest, RemovesTheTreeOrStopsAtTheFirstFailure)
{
    for (const std::string& key : GetParam().before)
        fake::addKey(key);
    fake::addKey("Link\\Target\\Child");  // a tree outside, that links point to
    fake::addKey(kKey + "2\\Sibling");
    if (GetParam().fail)
        GetParam().fail();
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, kKey.c_str()), GetParam().status);
    Keys after = GetParam().after;
    after.insert(after.end(), {kKey + "2", kKey + "2\\Sibling", "Link", "Link\\Target", "Link\\Target\\Child"});
    std::sort(after.begin(), after.end());
    EXPECT_EQ(fake::keys(), after);
}

// Plain trees and failures at every depth are the randomized model's; these are the cases it
// does not make.
const std::string k = kKey;
INSTANTIATE_TEST_SUITE_P(, DeleteRegTreeTest, ::testing::Values(
    TreeCase{"Absent", {"CLSID"}, nullptr, (HRESULT)0x80070002, {"CLSID"}},
    // A child listed but not found does not make the key look absent.
    TreeCase{"ChildVanished", {k + "\\A"}, [] { fake::failOpen[k + "\\A"] = ERROR_FILE_NOT_FOUND; },
             (HRESULT)0x80070005, {"CLSID", k, k + "\\A"}},
    TreeCase{"LinkInside", {k + "\\A"}, [] { fake::addKey(k + "\\A\\Link", "Link\\Target"); }, S_OK,
             {"CLSID"}},
    TreeCase{"KeyIsLink", {"CLSID"}, [] { fake::addKey(k, "Link\\Target"); }, S_OK, {"CLSID"}},
    TreeCase{"LongestName", {k + "\\" + kLongest}, nullptr, S_OK, {"CLSID"}},
    TreeCase{"NameTooLong", {k + "\\" + kLongest + "\xD0\xB6"}, nullptr, (HRESULT)0x80070005,
             {"CLSID", k, k + "\\" + kLongest + "\xD0\xB6"}}),
    [](const ::testing::TestParamInfo<TreeCase>& info) { return info.param.name; });

TEST_F(MachineTest, AnEmptyOrMissingKeyNameIsRefusedUntouched)
{
    fake::addKey("CLSID");
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, ""), (HRESULT)0x80070057);
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, NULL), (HRESULT)0x80070057);
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, kKey.c_str()), (HRESULT)0x80070002);
    EXPECT_EQ(fake::registryCalls, 1);  // the open of the absent key, nothing after it
    EXPECT_EQ(fake::keys(), Keys{"CLSID"});
}

TEST(HResultFromWin32, KeepsTheLowBitsOfPositiveErrors)
{
    EXPECT_EQ(HRESULT_FROM_WIN32(0), 0);
    EXPECT_EQ(HRESULT_FROM_WIN32(2), (HRESULT)0x80070002);
    EXPECT_EQ(HRESULT_FROM_WIN32(0x12345), (HRESULT)0x80072345);
    EXPECT_EQ(HRESULT_FROM_WIN32(-5), -5);
}

}  // namespace
