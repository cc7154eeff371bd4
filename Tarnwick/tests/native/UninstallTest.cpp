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

std::string& WindowsFolder() { return machine.specialFolders[CSIDL_WINDOWS]; }

const std::vector<const char*> kSucceeded = {kNotice, kSuccess}, kFilesFailed = {kNotice, kFileFailure};
// Each case names the registrations without a class key, a change to the machine, the rows whose
// keys stay (besides the other keys of those without a class key), and the boxes shown.
const struct {
    const char* name;
    std::vector<int> withoutClassKey;
    void (*setUp)();
    std::vector<int> rowsStaying;
    std::vector<const char*> boxes;
} kCases[] = {
    {"everything removed", {}, nullptr, {}, kSucceeded},
    {"no class keys", {1, 2, 3, 4, 5, 6, 7}, nullptr, {}, kSucceeded},
    {"folder absent", {}, [] { WindowsFolder() = "C:\\Win"; }, {}, kFilesFailed},
    {"file locked", {}, [] { machine.undeletable = {"C:\\WINDOWS\\Downloaded Program Files\\QUILLODECK.OCX"}; },
     {}, kFilesFailed},
    {"system file locked", {}, [] { machine.undeletable = {"C:\\WINDOWS\\system32\\FENNOXEL.OCX"}; }, {}, kSucceeded},
    {"row 3 absent", {3}, nullptr, {}, kSucceeded},
    {"row 7 absent, folder not found", {7}, [] { machine.failLocation[CSIDL_WINDOWS] = true; }, {}, kFilesFailed},
    {"row 7 refused", {}, [] { machine.failOpen[RegistrationTable[6].classKey] = ERROR_ACCESS_DENIED; }, {7},
     {kNotice}},
    {"row 3 refused", {}, [] { machine.failOpen[RegistrationTable[2].classKey] = ERROR_ACCESS_DENIED; }, {3},
     {kNotice}},
    {"path not converted", {}, [] { machine.failPathConversion[CSIDL_WINDOWS] = true; }, {}, kFilesFailed},
    // 234 bytes leave room for "\Downloaded Program Files" and the terminator; 235 do not.
    {"longest Windows path", {}, [] { WindowsFolder() = "C:\\" + std::string(231, 'w');
         fake::addFolder(WindowsFolder() + "\\Downloaded Program Files"); }, {}, kSucceeded},
    {"Windows path too long", {}, [] { WindowsFolder() = "C:\\" + std::string(232, 'w');
         fake::addFolder(WindowsFolder() + "\\Downloaded Program Files"); }, {}, kFilesFailed},
};

TEST_F(MachineTest, RunUninstallShowsTheOutcomeOfWhatItRemoved)
{
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        machine = fake::Machine();
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
        EXPECT_TRUE(machine.handles.empty());
        ASSERT_EQ(machine.boxes.size(), test.boxes.size());
        for (size_t i = 0; i < test.boxes.size(); ++i) {
            const char* text = test.boxes[i];
            const fake::Box& box = machine.boxes[i];
            EXPECT_EQ(FromCodePage936(box.text), text);
            EXPECT_EQ(FromCodePage936(box.caption), "提示信息");
            EXPECT_EQ(box.owner, kOwner);
            EXPECT_EQ(box.type, text == kNotice ? 0x30u : text == kSuccess ? 0x40u : 0u) << text;
        }
    }
}

}  // namespace
