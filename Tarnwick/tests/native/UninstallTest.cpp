#include <iconv.h>

#include "MachineTest.h"
#include "RegistrationTable.h"
#include "Uninstall.h"

namespace {

using fake::machine;

const HWND kOwner = (HWND)0x5150;
const char kNotice[] = "注意：卸载前请确保关闭所有浏览器窗口。";
const char kSuccess[] = "卸载成功！";
const char kFileFailure[] = "删除文件失败！";

// The text that code-page-936 bytes stand for, as UTF-8.
std::string FromCodePage936(std::string bytes)
{
    iconv_t converter = iconv_open("UTF-8", "CP936");
    std::string text(bytes.size() * 3, '\0');
    char *in = &bytes[0], *out = &text[0];
    size_t inLeft = bytes.size(), outLeft = text.size();
    const bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != (size_t)-1;
    iconv_close(converter);
    return converted ? text.substr(0, text.size() - outLeft) : "<not code page 936>";
}

// Near misses, and the keys of the registrations numbered in rows (1 to 7); those in
// withoutClassKey have their other keys only.
void Install(const std::vector<int>& rows, const std::vector<int>& withoutClassKey)
{
    for (const char* key : {"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}", "Quillodeck.DocumentControl.20",
                            "TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AE}"})
        fake::addKey(key);
    for (int row : rows) {
        const ControlRegistration& keys = RegistrationTable[row - 1];
        if (std::count(withoutClassKey.begin(), withoutClassKey.end(), row) == 0)
            fake::addKey(std::string(keys.classKey) + "\\InprocServer32");
        fake::addKey(keys.progIdKey);
        fake::addKey(std::string(keys.typeLibKey) + "\\1.0");
    }
}

struct OutcomeCase {
    const char* name;
    std::vector<int> withoutClassKey;
    void (*setUp)();
    std::vector<int> rowsStaying;  // besides the other keys of those without a class key
    std::vector<const char*> boxes;
};
void PrintTo(const OutcomeCase& test, std::ostream* out) { *out << test.name; }

class RunUninstallTest : public MachineTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(RunUninstallTest, ShowsTheOutcomeOfWhatItRemoved)
{
    const OutcomeCase& test = GetParam();
    Install(test.rowsStaying, {});
    Install(test.withoutClassKey, test.withoutClassKey);
    const std::vector<std::string> staying = fake::keys();
    machine = fake::Machine();
    Install({1, 2, 3, 4, 5, 6, 7}, test.withoutClassKey);
    fake::addFile("C:\\WINDOWS\\Downloaded Program Files\\QUILLODECK.OCX");
    fake::addFile("C:\\WINDOWS\\system32\\FENNOXEL.OCX");
    if (test.setUp)
        test.setUp();

    RunUninstall(kOwner);
    EXPECT_EQ(fake::keys(), staying);
    ASSERT_EQ(machine.boxes.size(), test.boxes.size());
    for (size_t i = 0; i < test.boxes.size(); ++i) {
        const char* text = test.boxes[i];
        EXPECT_EQ(FromCodePage936(machine.boxes[i].text), text);
        EXPECT_EQ(FromCodePage936(machine.boxes[i].caption), "提示信息");
        EXPECT_EQ(machine.boxes[i].owner, kOwner);
        EXPECT_EQ(machine.boxes[i].type, text == kNotice ? 0x30u : text == kSuccess ? 0x40u : 0u) << text;
    }
}

std::string& WindowsFolder() { return machine.specialFolders[CSIDL_WINDOWS]; }

const std::vector<const char*> kSucceeded = {kNotice, kSuccess}, kFilesFailed = {kNotice, kFileFailure};
INSTANTIATE_TEST_SUITE_P(, RunUninstallTest, ::testing::Values(
    OutcomeCase{"EverythingRemoved", {}, nullptr, {}, kSucceeded},
    OutcomeCase{"NoClassKeys", {1, 2, 3, 4, 5, 6, 7}, nullptr, {}, kSucceeded},
    OutcomeCase{"FolderAbsent", {}, [] { WindowsFolder() = "C:\\Win"; }, {}, kFilesFailed},
    OutcomeCase{"FileLocked", {}, [] { machine.undeletable = {"C:\\WINDOWS\\Downloaded Program Files\\QUILLODECK.OCX"}; },
                {}, kFilesFailed},
    OutcomeCase{"SystemFileLocked", {}, [] { machine.undeletable = {"C:\\WINDOWS\\system32\\FENNOXEL.OCX"}; }, {}, kSucceeded},
    OutcomeCase{"Row3Absent", {3}, nullptr, {}, kSucceeded},
    OutcomeCase{"Row7AbsentFolderNotFound", {7}, [] { machine.failLocation[CSIDL_WINDOWS] = true; }, {},
                kFilesFailed},
    OutcomeCase{"Row7Refused", {}, [] { machine.failOpen[RegistrationTable[6].classKey] = ERROR_ACCESS_DENIED; },
                {7}, {kNotice}},
    OutcomeCase{"Row3Refused", {}, [] { machine.failOpen[RegistrationTable[2].classKey] = ERROR_ACCESS_DENIED; },
                {3}, {kNotice}},
    OutcomeCase{"PathNotConverted", {}, [] { machine.failPathConversion[CSIDL_WINDOWS] = true; }, {},
                kFilesFailed},
    // 234 bytes leave room for "\Downloaded Program Files" and the terminator; 235 do not.
    OutcomeCase{"LongestWindowsPath", {}, [] { WindowsFolder() = "C:\\" + std::string(231, 'w');
                    fake::addFolder(WindowsFolder() + "\\Downloaded Program Files"); }, {}, kSucceeded},
    OutcomeCase{"WindowsPathTooLong", {}, [] { WindowsFolder() = "C:\\" + std::string(232, 'w');
                    fake::addFolder(WindowsFolder() + "\\Downloaded Program Files"); }, {}, kFilesFailed}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return info.param.name; });

}  // namespace
