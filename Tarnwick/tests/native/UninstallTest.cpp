#include <iconv.h>

#include <algorithm>

#include "MachineTest.h"
#include "RegistrationTable.h"
#include "Uninstall.h"

namespace {

const HWND kOwner = (HWND)0x5150;
const std::string kWindows = "C:\\WINDOWS";
const std::string kDownloaded = kWindows + "\\Downloaded Program Files";

// The texts as the user reads them, and the code-page-936 bytes handed to the narrow message box.
const char kNotice[] = "注意：卸载前请确保关闭所有浏览器窗口。";
const char kSuccess[] = "卸载成功！";
const char kFileFailure[] = "删除文件失败！";

std::string FromCodePage936(std::string bytes)
{
    iconv_t converter = iconv_open("UTF-8", "CP936");
    std::string text(bytes.size() * 3, '\0');
    char *in = &bytes[0], *out = &text[0];
    size_t inLeft = bytes.size(), outLeft = text.size();
    const bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != (size_t)-1;
    iconv_close(converter);
    text.resize(text.size() - outLeft);
    return converted ? text : "<not code page 936>";
}

// Rows are numbered 1 to 7. A registration without its class key keeps its other keys.
void Install(const std::vector<int>& rows, const std::vector<int>& withoutClassKey)
{
    fake::addKey("CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}");  // near misses
    fake::addKey("Quillodeck.DocumentControl.20");
    fake::addKey("TypeLib\\{00000000-0000-0000-0000-000000000000}");
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

class RunUninstallTest : public MachineTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(RunUninstallTest, ShowsTheOutcomeOfWhatItRemoved)
{
    const OutcomeCase& test = GetParam();
    Install(test.rowsStaying, {});
    Install(test.withoutClassKey, test.withoutClassKey);
    const std::vector<std::string> keysStaying = fake::keys();
    fake::reset();
    Install({1, 2, 3, 4, 5, 6, 7}, test.withoutClassKey);
    fake::addFile(kDownloaded + "\\QUILLODECK.OCX");
    fake::addFile(fake::specialFolders[CSIDL_SYSTEM] + "\\FENNOXEL.OCX");
    if (test.setUp)
        test.setUp();

    RunUninstall(kOwner);
    EXPECT_EQ(fake::keys(), keysStaying);
    ASSERT_EQ(fake::boxes.size(), test.boxes.size());
    for (size_t i = 0; i < test.boxes.size(); ++i) {
        const fake::Box& box = fake::boxes[i];
        EXPECT_EQ(FromCodePage936(box.text), test.boxes[i]);
        EXPECT_EQ(FromCodePage936(box.caption), "提示信息");
        EXPECT_EQ(box.owner, kOwner);
        const char* text = test.boxes[i];
        EXPECT_EQ(box.type, text == kNotice ? 0x30u : text == kSuccess ? 0x40u : 0u) << text;
    }
}

const std::vector<const char*> kSucceeded = {kNotice, kSuccess};
const std::vector<const char*> kFilesFailed = {kNotice, kFileFailure};
const std::vector<const char*> kNoOutcome = {kNotice};
INSTANTIATE_TEST_SUITE_P(, RunUninstallTest, ::testing::Values(
    OutcomeCase{"EverythingRemoved", {}, nullptr, {}, kSucceeded},
    OutcomeCase{"NoClassKeys", {1, 2, 3, 4, 5, 6, 7}, nullptr, {}, kSucceeded},
    OutcomeCase{"FolderAbsent", {}, [] { fake::specialFolders[CSIDL_WINDOWS] = "C:\\Win"; }, {},
                kFilesFailed},
    OutcomeCase{"DownloadedFileLocked", {}, [] { fake::undeletable = {kDownloaded + "\\QUILLODECK.OCX"}; },
                {}, kFilesFailed},
    OutcomeCase{"SystemFileLocked", {}, [] { fake::undeletable = {"C:\\WINDOWS\\system32\\FENNOXEL.OCX"}; },
                {}, kSucceeded},
    OutcomeCase{"Row3Absent", {3}, nullptr, {}, kSucceeded},
    OutcomeCase{"Row7AbsentFolderAbsent", {7}, [] { fake::failLocation[CSIDL_WINDOWS] = true; }, {},
                kFilesFailed},
    OutcomeCase{"Row7Refused", {}, [] { fake::failOpen[RegistrationTable[6].classKey] = ERROR_ACCESS_DENIED; },
                {7}, kNoOutcome},
    OutcomeCase{"Row3Refused", {}, [] { fake::failOpen[RegistrationTable[2].classKey] = ERROR_ACCESS_DENIED; },
                {3}, kNoOutcome},
    OutcomeCase{"PathNotConverted", {}, [] { fake::failPathConversion[CSIDL_WINDOWS] = true; }, {},
                kFilesFailed},
    // 234 bytes leave room for "\Downloaded Program Files"; 235 do not.
    OutcomeCase{"LongestWindowsPath", {}, [] {
                    fake::specialFolders[CSIDL_WINDOWS] = "C:\\" + std::string(231, 'w');
                    fake::addFolder(fake::specialFolders[CSIDL_WINDOWS] + "\\Downloaded Program Files");
                }, {}, kSucceeded},
    OutcomeCase{"WindowsPathTooLong", {}, [] {
                    fake::specialFolders[CSIDL_WINDOWS] = "C:\\" + std::string(232, 'w');
                    fake::addFolder(fake::specialFolders[CSIDL_WINDOWS] + "\\Downloaded Program Files");
                }, {}, kFilesFailed}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return info.param.name; });

}  // namespace
