#include <functional>

#include "MachineTest.h"
#include "PlatformServices.h"
#include "RegTree.h"

namespace {

using Keys = std::vector<std::string>;

TEST(HresultFromWin32, ConvertsErrorsAndPassesSuccessAndStatuses)
{
    const struct {
        LONG error;
        HRESULT expected;
    } cases[] = {
        {0, 0},
        {ERROR_FILE_NOT_FOUND, (HRESULT)0x80070002},
        {ERROR_ACCESS_DENIED, (HRESULT)0x80070005},
        {ERROR_NO_MORE_ITEMS, (HRESULT)0x80070103},
        {0xFFFF, (HRESULT)0x8007FFFF},
        {0x10000, (HRESULT)0x80070000},
        {0x12345, (HRESULT)0x80072345},
        {0x7FFFFFFF, (HRESULT)0x8007FFFF},
        {-1, -1},
        {(LONG)0x80004005, (HRESULT)0x80004005},
        {(LONG)0x80000000, (HRESULT)0x80000000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HRESULT_FROM_WIN32(c.error), c.expected) << "error " << c.error;
}

class DeleteRegTreeTest : public MachineTest {};

TEST_F(DeleteRegTreeTest, DeletesALeafAndNothingElse)
{
    fake::addKey("CLSID\\{LEAF}");
    fake::addKey("CLSID\\{OTHER}");
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, "CLSID\\{LEAF}"), S_OK);
    EXPECT_EQ(fake::keys(), (Keys{"CLSID", "CLSID\\{OTHER}"}));
}

TEST_F(DeleteRegTreeTest, DeletesThreeLevelsDepthFirst)
{
    for (const char* key : {"Top\\A\\A1\\deep", "Top\\A\\A2", "Top\\B\\B1", "Top\\C", "Topmost"})
        fake::addKey(key);
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, "Top"), S_OK);
    EXPECT_EQ(fake::keys(), (Keys{"Topmost"}));
    EXPECT_EQ(fake::callArgs("RegDeleteKeyA"),
              (Keys{"Top\\A\\A1\\deep", "Top\\A\\A1", "Top\\A\\A2", "Top\\A", "Top\\B\\B1", "Top\\B",
                    "Top\\C", "Top"}));
}

TEST_F(DeleteRegTreeTest, OpensForFullAccessAndEnumeratesIndexZeroWithCapacity510Always)
{
    fake::addKey("Top\\A\\A1");
    fake::addKey("Top\\B");
    ASSERT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, "Top"), S_OK);
    int opens = 0, enumerations = 0;
    for (const fake::Call& call : fake::calls()) {
        if (call.name == "RegOpenKeyExA") {
            ++opens;
            EXPECT_EQ(call.a, 0u) << call.arg;
            EXPECT_EQ(call.b, (unsigned long)KEY_ALL_ACCESS) << call.arg;
        } else if (call.name == "RegEnumKeyExA") {
            ++enumerations;
            EXPECT_EQ(call.a, 0u) << call.arg;
            EXPECT_EQ(call.b, kChildNameCapacity) << call.arg;
        }
    }
    EXPECT_EQ(opens, 4);
    EXPECT_EQ(enumerations, 4 + 3);  // one per child, one more per key to find it empty
}

TEST_F(DeleteRegTreeTest, AbsentKeyMakesNoFurtherCall)
{
    fake::addKey("CLSID\\{OTHER}");
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, "CLSID\\{ABSENT}"), (HRESULT)0x80070002);
    ASSERT_EQ(fake::calls().size(), 1u);
    EXPECT_EQ(fake::calls()[0].name, "RegOpenKeyExA");
    EXPECT_EQ(fake::keys(), (Keys{"CLSID", "CLSID\\{OTHER}"}));
}

TEST_F(DeleteRegTreeTest, EmptyOrNullPathIsRefusedWithoutRegistryCall)
{
    fake::addKey("CLSID\\{X}");
    for (LPCSTR path : {(LPCSTR)NULL, ""}) {
        EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, path), (HRESULT)0x80070057);
        EXPECT_TRUE(fake::calls().empty());
        EXPECT_EQ(fake::keys(), (Keys{"CLSID", "CLSID\\{X}"}));
    }
}

// Failures in the tree Top\A\A1, Top\A\A2, Top\B: the walk stops at the first failure, keys
// removed before it stay removed, and the failing key and its ancestors stay.
TEST_F(DeleteRegTreeTest, StopsAtTheFirstFailureAndReportsIt)
{
    const struct {
        const char* label;
        std::function<void()> inject;
        HRESULT expected;
        Keys remaining;
    } cases[] = {
        {"key itself refused", [] { fake::failRegOpen("Top"); }, (HRESULT)0x80070005,
         {"Top", "Top\\A", "Top\\A\\A1", "Top\\A\\A2", "Top\\B"}},
        {"second child refused", [] { fake::failRegOpen("Top\\B"); }, (HRESULT)0x80070005,
         {"Top", "Top\\B"}},
        {"second grandchild refused", [] { fake::failRegOpen("top\\a\\A2"); }, (HRESULT)0x80070005,
         {"Top", "Top\\A", "Top\\A\\A2", "Top\\B"}},
        // Not found is reserved for the key itself: Top stays because A does.
        {"child listed but not found",
         [] { fake::failRegOpen("Top\\A", ERROR_FILE_NOT_FOUND); }, (HRESULT)0x80070005,
         {"Top", "Top\\A", "Top\\A\\A1", "Top\\A\\A2", "Top\\B"}},
        {"grandchild listed but not found",
         [] { fake::failRegOpen("Top\\A\\A2", ERROR_FILE_NOT_FOUND); }, (HRESULT)0x80070005,
         {"Top", "Top\\A", "Top\\A\\A2", "Top\\B"}},
        {"emptied child's deletion refused", [] { fake::failRegDelete("Top\\A"); },
         (HRESULT)0x80070005, {"Top", "Top\\A", "Top\\B"}},
        {"emptied key's deletion refused", [] { fake::failRegDelete("Top"); }, (HRESULT)0x80070005,
         {"Top"}},
        // The enumeration error is not returned; the deletion of the still filled key fails.
        {"child's enumeration fails", [] { fake::failRegEnum("Top\\A", 1); }, (HRESULT)0x80070005,
         {"Top", "Top\\A", "Top\\A\\A1", "Top\\A\\A2", "Top\\B"}},
        {"key's enumeration fails", [] { fake::failRegEnum("Top", 234); }, (HRESULT)0x80070005,
         {"Top", "Top\\A", "Top\\A\\A1", "Top\\A\\A2", "Top\\B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fake::reset();
        for (const char* key : {"Top\\A\\A1", "Top\\A\\A2", "Top\\B", "Tops"})
            fake::addKey(key);
        c.inject();
        EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, "Top"), c.expected);
        Keys remaining = c.remaining;
        remaining.push_back("Tops");
        EXPECT_EQ(fake::keys(), remaining);
        ExpectAllReleased();
    }
}

TEST_F(DeleteRegTreeTest, LaterSiblingsAreNotTriedAfterAFailure)
{
    for (const char* key : {"Top\\A", "Top\\B", "Top\\C"})
        fake::addKey(key);
    fake::failRegOpen("Top\\B");
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, "Top"), (HRESULT)0x80070005);
    EXPECT_EQ(fake::callArgs("RegOpenKeyExA"), (Keys{"Top", "Top\\A", "Top\\B"}));
    EXPECT_EQ(fake::callArgs("RegDeleteKeyA"), (Keys{"Top\\A"}));
}

TEST_F(DeleteRegTreeTest, WorksBelowAnOpenParent)
{
    fake::addKey("Parent\\Child\\Grandchild");
    HKEY parent;
    ASSERT_EQ(PlatformServices::RegOpenKeyExA(HKEY_CLASSES_ROOT, "Parent", 0, KEY_ALL_ACCESS, &parent),
              ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegTree(parent, "Child"), S_OK);
    PlatformServices::RegCloseKey(parent);
    EXPECT_EQ(fake::keys(), (Keys{"Parent"}));
}

}  // namespace
