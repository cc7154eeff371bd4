#include "MachineTest.h"
#include "RegTree.h"

namespace {

using Keys = std::vector<std::string>;

const std::string k = "CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", kOutside = "Outside";
// 255 double-byte characters of code page 936 (抖): the longest name Windows allows.
const std::string kLongest(510, '\xB6');

// Plain trees, and failures at every depth, are the randomized model's; these are the cases it
// does not make. Each names the keys it adds, a failure, the result and the keys that stay.
const struct {
    const char* name;
    Keys keys;
    void (*setUp)();
    HRESULT status;
    Keys staying;
} kCases[] = {
    {"absent", {}, nullptr, (HRESULT)0x80070002, {}},
    // A child listed but not found does not make the key look absent.
    {"child vanished", {k + "\\A"}, [] { fake::machine.failOpen[k + "\\A"] = ERROR_FILE_NOT_FOUND; },
     (HRESULT)0x80070005, {k, k + "\\A"}},
    {"link inside", {k + "\\A"}, [] { fake::addKey(k + "\\A\\Link", kOutside); }, S_OK, {}},
    {"key is a link", {}, [] { fake::addKey(k, kOutside); }, S_OK, {}},
    {"longest name", {k + "\\" + kLongest}, nullptr, S_OK, {}},
    {"name too long", {k + "\\" + kLongest + "\xB6\xB6"}, nullptr, (HRESULT)0x80070005,
     {k, k + "\\" + kLongest + "\xB6\xB6"}},
};

TEST_F(MachineTest, DeleteRegTreeRemovesTheTreeAndNothingElse)
{
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        fake::machine = fake::Machine();
        for (const std::string& key : test.keys + Keys{"CLSID", kOutside + "\\Child", k + "2"})
            fake::addKey(key);
        if (test.setUp)
            test.setUp();
        EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, k.c_str()), test.status);
        Keys staying = test.staying + Keys{"CLSID", k + "2", kOutside, kOutside + "\\Child"};
        std::sort(staying.begin(), staying.end());
        EXPECT_EQ(fake::keys(), staying);
        EXPECT_TRUE(fake::machine.handles.empty());
    }
}

TEST_F(MachineTest, AnEmptyOrMissingKeyNameIsRefused)
{
    fake::addKey("CLSID\\X");
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, ""), (HRESULT)0x80070057);
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, NULL), (HRESULT)0x80070057);
    EXPECT_EQ(fake::keys(), (Keys{"CLSID", "CLSID\\X"}));
}

}  // namespace
