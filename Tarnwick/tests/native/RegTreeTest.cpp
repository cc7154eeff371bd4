#include "MachineTest.h"
#include "RegTree.h"

namespace {

using Keys = std::vector<std::string>;

const std::string k = "CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}";
const std::string kOutside = "Outside\\Tree";  // where links point

std::string Repeat(const std::string& text, int count)
{
    return count == 0 ? "" : text + Repeat(text, count - 1);
}
// 255 double-byte characters of code page 936 (卸): the longest name Windows allows.
const std::string kLongest = Repeat("\xD0\xB6", 255);

struct TreeCase {
    const char* name;
    Keys keys;
    void (*setUp)();
    HRESULT status;
    Keys staying;  // besides the keys outside
};
void PrintTo(const TreeCase& test, std::ostream* out) { *out << test.name; }

class DeleteRegTreeTest : public MachineTest, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(DeleteRegTreeTest, RemovesTheTreeAndNothingElse)
{
    for (const std::string& key : GetParam().keys)
        fake::addKey(key);
    fake::addKey(kOutside + "\\Child");
    fake::addKey(k + "2");
    if (GetParam().setUp)
        GetParam().setUp();
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, k.c_str()), GetParam().status);
    Keys staying = GetParam().staying;
    staying.insert(staying.end(), {"CLSID", k + "2", "Outside", kOutside, kOutside + "\\Child"});
    std::sort(staying.begin(), staying.end());
    EXPECT_EQ(fake::keys(), staying);
}

// Plain trees, and failures at every depth, are the randomized model's; these are the cases it
// does not make.
INSTANTIATE_TEST_SUITE_P(, DeleteRegTreeTest, ::testing::Values(
    TreeCase{"Absent", {}, nullptr, (HRESULT)0x80070002, {}},
    // A child listed but not found does not make the key look absent.
    TreeCase{"ChildVanished", {k + "\\A"}, [] { fake::machine.failOpen[k + "\\A"] = ERROR_FILE_NOT_FOUND; },
             (HRESULT)0x80070005, {k, k + "\\A"}},
    TreeCase{"LinkInside", {k + "\\A"}, [] { fake::addKey(k + "\\A\\Link", kOutside); }, S_OK, {}},
    TreeCase{"KeyIsLink", {}, [] { fake::addKey(k, kOutside); }, S_OK, {}},
    TreeCase{"LongestName", {k + "\\" + kLongest}, nullptr, S_OK, {}},
    TreeCase{"NameTooLong", {k + "\\" + kLongest + "\xD0\xB6"}, nullptr, (HRESULT)0x80070005,
             {k, k + "\\" + kLongest + "\xD0\xB6"}}),
    [](const ::testing::TestParamInfo<TreeCase>& info) { return info.param.name; });

TEST_F(MachineTest, AnEmptyOrMissingKeyNameIsRefused)
{
    fake::addKey("CLSID\\X");
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, ""), (HRESULT)0x80070057);
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, NULL), (HRESULT)0x80070057);
    EXPECT_EQ(fake::keys(), (Keys{"CLSID", "CLSID\\X"}));
}

}  // namespace
