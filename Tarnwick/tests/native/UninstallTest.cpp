#include <iconv.h>
#include <string.h>

#include <algorithm>
#include <functional>

#include "MachineTest.h"
#include "RegistrationTable.h"
#include "Uninstall.h"

namespace {

using Names = std::vector<std::string>;

const HWND kOwner = (HWND)0x5150;

const char kCaption[] = "提示信息";
const char kNotice[] = "注意：卸载前请确保关闭所有浏览器窗口。";
const char kSuccess[] = "卸载成功！";
const char kFileFailure[] = "删除文件失败！";

// The UTF-8 form of code-page-936 bytes, or a marker when they are not valid code page 936.
std::string FromCodePage936(const std::string& bytes)
{
    iconv_t converter = iconv_open("UTF-8", "CP936");
    if (converter == (iconv_t)-1)
        return "<no code page 936 converter>";
    std::string text(bytes.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* out = &text[0];
    size_t outLeft = text.size();
    size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (converted == (size_t)-1)
        return "<not code page 936>";
    text.resize(text.size() - outLeft);
    return text;
}

// The keys a registration leaves: its three keys with a few subkeys each.
Names RowKeys(const ControlRegistration& row)
{
    return {std::string(row.classKey) + "\\InprocServer32", std::string(row.classKey) + "\\ToolboxBitmap32",
            std::string(row.progIdKey) + "\\CLSID", std::string(row.typeLibKey) + "\\1.0\\0\\win32"};
}

void InstallRow(int index, bool withClassKey = true)
{
    const ControlRegistration& row = RegistrationTable[index];
    for (const std::string& key : RowKeys(row))
        if (withClassKey || key.compare(0, strlen(row.classKey), row.classKey) != 0)
            fake::addKey(key);
}

// Keys and files that belong to something else and must survive every run.
const Names kOtherKeys = {"CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32",
                          "Merrowind.DocumentControl.6", "TypeLib\\{00000000-0000-0000-0000-000000000002}"};
const Names kOtherFiles = {kDownloaded + "\\other.ocx", kSystem + "\\kernel32.dll"};

void InstallEverything()
{
    for (int i = 0; i < kRegistrationCount; ++i)
        InstallRow(i);
    for (const std::string& key : kOtherKeys)
        fake::addKey(key);
    for (const char* name : {"FENNOXEL.OCX", "Quillodeck.inf", "CONFLICT.1\\x.ocx"})
        fake::addFile(kDownloaded + "\\" + name);
    fake::addFile(kSystem + "\\MERROWIND.OCX");
    for (const std::string& path : kOtherFiles)
        fake::addFile(path);
}

const char* const kRow7Class = RegistrationTable[6].classKey;

class UninstallTest : public MachineTest {
protected:
    // Checks the notice, then the boxes expected after it: texts, caption, owner, types.
    static void ExpectBoxes(const std::vector<std::pair<const char*, UINT>>& afterNotice)
    {
        std::vector<std::pair<const char*, UINT>> expected = {{kNotice, MB_ICONEXCLAMATION}};
        expected.insert(expected.end(), afterNotice.begin(), afterNotice.end());
        const std::vector<fake::Box>& boxes = fake::boxes();
        ASSERT_EQ(boxes.size(), expected.size());
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].owner, kOwner);
            EXPECT_EQ(FromCodePage936(boxes[i].text), expected[i].first);
            EXPECT_EQ(FromCodePage936(boxes[i].caption), kCaption);
            EXPECT_EQ(boxes[i].type, expected[i].second);
        }
    }
};

TEST_F(UninstallTest, ShowsTheOutcomeOfRow7AndTheDownloadedControlsSweep)
{
    const std::pair<const char*, UINT> success = {kSuccess, MB_ICONINFORMATION}, failure = {kFileFailure, MB_OK};
    const struct {
        const char* label;
        std::function<void()> prepare;
        std::vector<std::pair<const char*, UINT>> afterNotice;
    } cases[] = {
        {"nothing installed", [] { fake::addFolder(kDownloaded); }, {success}},
        {"everything installed", InstallEverything, {success}},
        {"row 7 class key absent, its ProgID present",
         [] { fake::addFolder(kDownloaded); InstallRow(6, false); }, {success}},
        {"downloaded-controls folder absent", [] { InstallRow(6); }, {failure}},
        {"downloaded control not deletable", [] {
             InstallEverything();
             fake::failDeletion(kDownloaded + "\\FENNOXEL.OCX");
         }, {failure}},
        {"row 7 class key refused", [] { InstallEverything(); fake::failRegOpen(kRow7Class); }, {}},
        {"row 7 class key refused, folder absent", [] {
             InstallRow(6);
             fake::failRegOpen(kRow7Class);
         }, {}},
        {"row 7 class key deletion refused", [] {
             InstallEverything();
             fake::failRegDelete(kRow7Class);
         }, {}},
        {"row 7 subkey refused", [] {
             InstallEverything();
             fake::failRegOpen(std::string(kRow7Class) + "\\ToolboxBitmap32");
         }, {}},
        // The class key is there, so this is no absence to forgive.
        {"row 7 subkey listed but not found", [] {
             InstallEverything();
             fake::failRegOpen(std::string(kRow7Class) + "\\ToolboxBitmap32", ERROR_FILE_NOT_FOUND);
         }, {}},
        {"rows 1-6 refused", [] {
             InstallEverything();
             for (int i = 0; i < 6; ++i)
                 fake::failRegOpen(RegistrationTable[i].classKey);
         }, {success}},
        {"row 7 ProgID and type library refused", [] {
             InstallEverything();
             fake::failRegDelete(RegistrationTable[6].progIdKey);
             fake::failRegOpen(RegistrationTable[6].typeLibKey);
         }, {success}},
        {"system-folder control not deletable", [] {
             InstallEverything();
             fake::failDeletion(kSystem + "\\MERROWIND.OCX");
         }, {success}},
        {"system folder not listable", [] { InstallEverything(); fake::failListing(kSystem); }, {success}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fake::reset();
        c.prepare();
        RunUninstall(kOwner);
        ExpectBoxes(c.afterNotice);
        ExpectAllReleased();
    }
}

TEST_F(UninstallTest, RemovesEveryRegistrationAndControlFileAndNothingElse)
{
    InstallEverything();
    RunUninstall(kOwner);
    Names keys = kOtherKeys;
    keys.insert(keys.end(), {"CLSID", "TypeLib"});
    keys.push_back("CLSID\\{00000000-0000-0000-0000-000000000001}");
    std::sort(keys.begin(), keys.end());
    Names remaining = fake::keys();
    std::sort(remaining.begin(), remaining.end());
    EXPECT_EQ(remaining, keys);
    EXPECT_EQ(fake::entries(kDownloaded), Names{"other.ocx"});
    EXPECT_EQ(fake::entries(kSystem), Names{"kernel32.dll"});
}

TEST_F(UninstallTest, WalksNoticeSweepsThenRowsInOrderClassProgIdTypeLib)
{
    InstallEverything();
    RunUninstall(kOwner);
    Names expected;
    for (const ControlRegistration& row : RegistrationTable)
        expected.insert(expected.end(), {row.classKey, row.progIdKey, row.typeLibKey});
    Names topLevelOpens;
    for (const std::string& key : fake::callArgs("RegOpenKeyExA"))
        if (std::find(expected.begin(), expected.end(), key) != expected.end())
            topLevelOpens.push_back(key);
    EXPECT_EQ(topLevelOpens, expected);

    const std::vector<fake::Call>& calls = fake::calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().name, "MessageBoxA");
    EXPECT_EQ(fake::callArgs("FindFirstFileA"), (Names{kDownloaded + "\\*.*", kSystem + "\\*.*"}));
    auto firstOpen = std::find_if(calls.begin(), calls.end(),
                                  [](const fake::Call& call) { return call.name == "RegOpenKeyExA"; });
    EXPECT_TRUE(std::none_of(firstOpen, calls.end(),
                             [](const fake::Call& call) { return call.name.compare(0, 4, "Find") == 0; }));
}

TEST_F(UninstallTest, RowWithoutClassKeyKeepsItsProgIdAndTypeLib)
{
    fake::addFolder(kDownloaded);
    for (int i = 0; i < kRegistrationCount; ++i)
        InstallRow(i, i != 2 && i != 6);  // rows 3 and 7 without their class keys
    RunUninstall(kOwner);
    const Names opened = fake::callArgs("RegOpenKeyExA");
    for (int i = 0; i < kRegistrationCount; ++i) {
        const bool kept = i == 2 || i == 6;
        for (const char* key : {RegistrationTable[i].progIdKey, RegistrationTable[i].typeLibKey}) {
            EXPECT_EQ(fake::keyExists(key), kept) << key;
            EXPECT_EQ(std::count(opened.begin(), opened.end(), key), kept ? 0 : 1) << key;
        }
    }
    ExpectBoxes({{kSuccess, MB_ICONINFORMATION}});
}

TEST_F(UninstallTest, Row7NotRemovableStillRemovesRows1To6AndShowsOnlyTheNotice)
{
    InstallEverything();
    fake::failRegDelete(std::string(kRow7Class) + "\\InprocServer32");
    RunUninstall(kOwner);
    for (int i = 0; i < 6; ++i) {
        const ControlRegistration& row = RegistrationTable[i];
        for (const char* key : {row.classKey, row.progIdKey, row.typeLibKey})
            EXPECT_FALSE(fake::keyExists(key)) << key;
    }
    for (const std::string& key : RowKeys(RegistrationTable[6]))
        EXPECT_TRUE(fake::keyExists(key)) << key;
    ExpectBoxes({});
}

TEST_F(UninstallTest, SecondRunFindsNothingAndReportsSuccessAgain)
{
    InstallEverything();
    RunUninstall(kOwner);
    RunUninstall(kOwner);
    ASSERT_EQ(fake::boxes().size(), 4u);
    EXPECT_EQ(FromCodePage936(fake::boxes()[2].text), kNotice);
    EXPECT_EQ(FromCodePage936(fake::boxes()[3].text), kSuccess);
}

TEST_F(UninstallTest, FolderThatCannotBeLocatedIsNotSwept)
{
    const struct {
        const char* label;
        std::function<void()> inject;
        Names patterns;
        const char* outcome;
    } cases[] = {
        {"Windows folder lookup fails", [] { fake::failSpecialFolder(CSIDL_WINDOWS, (HRESULT)0x80004005); },
         {kSystem + "\\*.*"}, kFileFailure},
        {"Windows folder has no path", [] { fake::failPathConversion(CSIDL_WINDOWS); }, {kSystem + "\\*.*"},
         kFileFailure},
        {"system folder lookup fails", [] { fake::failSpecialFolder(CSIDL_SYSTEM, (HRESULT)0x80004005); },
         {kDownloaded + "\\*.*"}, kSuccess},
        {"system folder has no path", [] { fake::failPathConversion(CSIDL_SYSTEM); }, {kDownloaded + "\\*.*"},
         kSuccess},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fake::reset();
        InstallEverything();
        c.inject();
        RunUninstall(kOwner);
        EXPECT_EQ(fake::callArgs("FindFirstFileA"), c.patterns);
        ASSERT_EQ(fake::boxes().size(), 2u);
        EXPECT_EQ(FromCodePage936(fake::boxes()[1].text), c.outcome);
        ExpectAllReleased();  // an ID list whose path could not be had is freed too
    }
}

// "\Downloaded Program Files" is 25 bytes: with its NUL it fits the 260-byte buffer after a
// Windows folder of at most 234 bytes.
TEST_F(UninstallTest, WindowsFolderOf234BytesIsSweptAnd235IsNotLocated)
{
    for (size_t length : {234, 235}) {
        SCOPED_TRACE(length);
        fake::reset();
        const std::string windows = FolderOfLength(length);
        fake::setSpecialFolder(CSIDL_WINDOWS, windows);
        fake::addFile(windows + "\\Downloaded Program Files\\FENNOXEL.OCX");
        RunUninstall(kOwner);
        bool fits = length == 234;
        EXPECT_EQ(fake::callArgs("lstrcatA").size(), fits ? 1u : 0u);
        EXPECT_EQ(fake::exists(windows + "\\Downloaded Program Files\\FENNOXEL.OCX"), !fits);
        EXPECT_EQ(fake::callArgs("FindFirstFileA").size(), fits ? 2u : 1u);
        ASSERT_EQ(fake::boxes().size(), 2u);
        EXPECT_EQ(FromCodePage936(fake::boxes()[1].text), fits ? kSuccess : kFileFailure);
        ExpectAllReleased();
    }
}

}  // namespace
