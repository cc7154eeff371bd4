// The whole procedure on machines where each registration key and both folders are present,
// absent or failing at random: the boxes shown, the keys and files left and the order in which
// the registrations are taken on must follow the outcome table and the row rules.
#include <iconv.h>

#include <set>

#include "ModelCase.h"
#include "Uninstall.h"

namespace {

using model::Random;
using Names = std::vector<std::string>;

const HWND kOwner = (HWND)0x7A11;

// The registrations in the order they are walked: class key, ProgID key, type-library key.
const char* const kRows[7][3] = {
    {"CLSID\\{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}", "Merrowind.DocumentControl.5",
     "TypeLib\\{A6C2FD00-3168-40d0-8CE5-32840CDCDA7A}"},
    {"CLSID\\{F6357AD6-77E4-4ae7-81BF-D16433B66D8E}", "Merrowind.TrialViewControl",
     "TypeLib\\{F6357AB6-77E4-4ae7-81BF-D16433B66D8E}"},
    {"CLSID\\{6E9587CD-0135-4008-AA92-12755DC977DE}", "Merrowind.LiteControl",
     "TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DE}"},
    {"CLSID\\{6E95872D-0135-4008-AA92-12755DC977DE}", "Merrowind.DocumentControl",
     "TypeLib\\{6E95870D-0135-4008-AA92-12755DC977DE}"},
    {"CLSID\\{F311309A-D49F-4144-8FFC-7EC090D7D3FD}", "Merrowind.DocumentControlKX.8",
     "TypeLib\\{F311307A-D49F-4144-8FFC-7EC090D7D3FD}"},
    {"CLSID\\{3DFA2F4D-CD50-4e65-9D8D-8FE7C6A2D11F}", "Fennoxel.DocumentControl.2",
     "TypeLib\\{3DFA2F2D-CD50-4e65-9D8D-8FE7C6A2D11F}"},
    {"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", "Quillodeck.DocumentControl.2",
     "TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AF}"},
};
const char* const kSubkeys[3] = {"InprocServer32", "CLSID", "1.0"};

// Keys of other software beside the registrations, named like them; they must always stay.
const Names kOtherKeys = {"CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32",
                          "Merrowind.DocumentControl.6", "Merrowind.DocumentControlKX",
                          "Quillodeck.DocumentControl.2.bak\\CLSID", "TypeLib\\{00000000-0000-0000-0000-000000000002}\\1.0"};

const HRESULT kAbsent = (HRESULT)0x80070002;
// Errors of refused keys; a present key that reports itself not found is forgiven at row 7 too.
const std::vector<LONG> kErrors = {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, 1018, ERROR_FILE_NOT_FOUND};

HRESULT FromWin32(LONG error)
{
    return (HRESULT)(0x80070000u | ((DWORD)error & 0xFFFF));
}

// One registration key with at most one subkey, and what the machine refuses on it.
enum Refusal { kNone, kOpenRefused, kDeleteRefused, kSubkeyRefused };
struct RegKey {
    std::string path;
    bool present, hasSubkey;
    Refusal refusal;
    LONG error;
};

// The reference removal of one key: its status, and the key and subkey left.
HRESULT RemoveKey(RegKey& key)
{
    if (!key.present)
        return kAbsent;
    if (key.refusal == kOpenRefused)
        return FromWin32(key.error);
    if (key.hasSubkey) {
        // A subkey that is listed but not found is no absence of the key, which then stays.
        if (key.refusal == kSubkeyRefused)
            return FromWin32(key.error == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : key.error);
        key.hasSubkey = false;
    }
    if (key.refusal == kDeleteRefused)
        return FromWin32(key.error);
    key.present = false;
    return S_OK;
}

// An entry of one of the two folders, and whether that folder's sweep removes it.
struct FileEntry {
    std::string name;
    bool directory, matches;
    bool present = false, locked = false;  // drawn for each case
};

// A special folder: located and listable, absent, refusing to be listed, or not located (the
// lookup fails, or its ID list has no path).
enum FolderState { kListable, kAbsentFolder, kUnlistable, kLookupFails, kNoPath };
const char* const kFolderStateNames[] = {"listable", "absent", "not listable", "lookup fails", "no path"};

FolderState RandomFolderState(Random& random)
{
    return random.percent(50) ? kListable : (FolderState)random.between(1, 4);
}

struct Folder {
    int csidl;
    std::string path;
    FolderState state;
    std::vector<FileEntry> entries;
};

// Sets up one folder: its special-folder lookup, its presence and its entries, a few of which
// cannot be deleted (a directory through a file inside it).
void Prepare(Random& random, Folder& folder, std::string& setup)
{
    if (folder.state == kLookupFails)
        fake::failSpecialFolder(folder.csidl, (HRESULT)0x80004005);
    if (folder.state == kNoPath)
        fake::failPathConversion(folder.csidl);
    if (folder.state != kAbsentFolder)
        fake::addFolder(folder.path);
    if (folder.state == kUnlistable)
        fake::failListing(folder.path);
    setup += "\n" + model::Printable(folder.path) + ": " + kFolderStateNames[folder.state];
    for (FileEntry& entry : folder.entries) {
        entry.present = folder.state != kAbsentFolder && random.percent(60);
        entry.locked = entry.present && random.percent(15);
        if (!entry.present)
            continue;
        const std::string path = folder.path + "\\" + entry.name;
        if (entry.directory)
            fake::addFile(path + "\\inside.dat");
        else
            fake::addFile(path);
        if (entry.locked)
            fake::failDeletion(entry.directory ? path + "\\inside.dat" : path);
        setup += "\n  " + entry.name + (entry.locked ? " (cannot be deleted)" : "");
    }
}

// The reference sweep: true when the folder is located and listed and every entry that matches
// could be deleted.
bool Sweep(Folder& folder, bool located)
{
    if (!located || folder.state != kListable)
        return false;
    bool deleted = true;
    for (FileEntry& entry : folder.entries) {
        if (!entry.present || !entry.matches)
            continue;
        if (entry.locked)
            deleted = false;
        else
            entry.present = false;
    }
    return deleted;
}

std::string ToCodePage936(const std::string& text)
{
    iconv_t converter = iconv_open("CP936", "UTF-8");
    if (converter == (iconv_t)-1)
        return "<no code page 936 converter>";
    std::string bytes(text.size(), '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* out = &bytes[0];
    size_t outLeft = bytes.size();
    const size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (converted == (size_t)-1)
        return "<not convertible to code page 936>";
    bytes.resize(bytes.size() - outLeft);
    return bytes;
}

// A path of exactly length bytes.
std::string PathOfLength(size_t length)
{
    std::string path = "C:\\W";
    path += std::string(length - path.size(), 'w');
    return path;
}

// The key and every key above it.
void InsertWithAncestors(std::set<std::string>& keys, const std::string& key)
{
    for (size_t end = key.find('\\'); end != std::string::npos; end = key.find('\\', end + 1))
        keys.insert(key.substr(0, end));
    keys.insert(key);
}

struct ExpectedBox {
    std::string text;
    UINT type;
};

TEST(UninstallModel, ShowsWhatTheOutcomeTableSaysAndLeavesWhatTheRowRulesLeave)
{
    static const std::string caption = ToCodePage936("提示信息");
    static const ExpectedBox notice = {ToCodePage936("注意：卸载前请确保关闭所有浏览器窗口。"), MB_ICONEXCLAMATION};
    static const ExpectedBox success = {ToCodePage936("卸载成功！"), MB_ICONINFORMATION};
    static const ExpectedBox fileFailure = {ToCodePage936("删除文件失败！"), MB_OK};

    model::RunCases(1000, [](Random& random) {
        std::string setup;
        // Registrations: each key absent, removable, or refusing to be opened, deleted or emptied.
        std::vector<RegKey> keys;
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 3; ++column) {
                RegKey key = {kRows[row][column], random.percent(70), random.percent(60),
                              (Refusal)(random.percent(60) ? kNone : random.between(1, 3)), random.pick(kErrors)};
                if (key.present) {
                    const std::string subkey = key.path + "\\" + kSubkeys[column];
                    fake::addKey(key.hasSubkey ? subkey : key.path);
                    if (key.refusal == kOpenRefused)
                        fake::failRegOpen(key.path, key.error);
                    if (key.refusal == kDeleteRefused)
                        fake::failRegDelete(key.path, key.error);
                    if (key.refusal == kSubkeyRefused)
                        fake::failRegOpen(subkey, key.error);
                    setup += "\n" + key.path + (key.hasSubkey ? " with subkey" : "") + " refusal " +
                             std::to_string(key.refusal) + " error " + std::to_string(key.error);
                }
                keys.push_back(key);
            }
        }
        for (const std::string& key : kOtherKeys)
            fake::addKey(key);

        // The Windows folder's path may be too long to take "\Downloaded Program Files" (25 bytes)
        // and its NUL in 260 bytes: then that folder counts as not located.
        const std::string windows = random.percent(20) ? PathOfLength(random.between(228, 240)) : "C:\\WINDOWS";
        fake::setSpecialFolder(CSIDL_WINDOWS, windows);
        Folder downloaded = {CSIDL_WINDOWS, windows + "\\Downloaded Program Files", RandomFolderState(random),
                             {{"Fennoxel.ocx", false, true}, {"QUILLODECK.INF", false, true},
                              {"Conflict.1", true, true}, {"merrowind.ocx", true, true},
                              {"MERROWIND.INF", false, false}, {"quillodeck.ocx.old", false, false},
                              {"conflict.txt", false, false}}};
        Folder system = {CSIDL_SYSTEM, "C:\\WINDOWS\\system32", RandomFolderState(random),
                         {{"merrowind.OCX", false, true}, {"QUILLODECK.OCX", true, true},
                          {"Quillodeck.inf", false, false}, {"CONFLICT.2", true, false},
                          {"kernel32.dll", false, false}}};
        if (system.state == kAbsentFolder)
            system.path = "C:\\WINDOWS\\System64";  // system32 is always there
        fake::setSpecialFolder(CSIDL_SYSTEM, system.path);
        Prepare(random, downloaded, setup);
        Prepare(random, system, setup);
        const bool downloadedLocated =
            downloaded.state != kLookupFails && downloaded.state != kNoPath && windows.size() <= 234;
        const bool systemLocated = system.state != kLookupFails && system.state != kNoPath;
        SCOPED_TRACE("Windows folder of " + std::to_string(windows.size()) + " bytes" + setup);

        std::vector<ExpectedBox> expectedBoxes;
        Names expectedOpens;
        for (int run = random.between(1, 2); run > 0; --run) {
            // The reference run: the sweeps, then each row's class key and, only where that went
            // well, its ProgID and type-library keys; row 7's class key with D decides the box.
            expectedBoxes.push_back(notice);
            const bool d = Sweep(downloaded, downloadedLocated);
            Sweep(system, systemLocated);
            HRESULT status = S_OK;
            for (int row = 0; row < 7; ++row) {
                expectedOpens.push_back(keys[row * 3].path);
                status = RemoveKey(keys[row * 3]);
                if (status >= 0) {
                    for (int column = 1; column < 3; ++column) {
                        expectedOpens.push_back(keys[row * 3 + column].path);
                        RemoveKey(keys[row * 3 + column]);
                    }
                }
            }
            if (status == kAbsent)
                status = S_OK;
            if (status >= 0)
                expectedBoxes.push_back(d ? success : fileFailure);

            RunUninstall(kOwner);

            const std::vector<fake::Box>& boxes = fake::boxes();
            ASSERT_EQ(boxes.size(), expectedBoxes.size());
            for (size_t i = 0; i < boxes.size(); ++i) {
                EXPECT_EQ(boxes[i].text, expectedBoxes[i].text) << "box " << i;
                EXPECT_EQ(boxes[i].type, expectedBoxes[i].type) << "box " << i;
                EXPECT_EQ(boxes[i].caption, caption) << "box " << i;
                EXPECT_EQ(boxes[i].owner, kOwner) << "box " << i;
            }

            std::set<std::string> expectedKeys;
            for (const std::string& key : kOtherKeys)
                InsertWithAncestors(expectedKeys, key);
            for (int i = 0; i < 21; ++i) {
                if (keys[i].present)
                    expectedKeys.insert(keys[i].path);
                if (keys[i].present && keys[i].hasSubkey)
                    expectedKeys.insert(keys[i].path + "\\" + kSubkeys[i % 3]);
            }
            const Names left = fake::keys();
            EXPECT_EQ(std::set<std::string>(left.begin(), left.end()), expectedKeys);

            Names opens;
            for (const std::string& path : fake::callArgs("RegOpenKeyExA"))
                for (const RegKey& key : keys)
                    if (path == key.path)
                        opens.push_back(path);
            EXPECT_EQ(opens, expectedOpens);

            for (const Folder* folder : {&downloaded, &system}) {
                Names expectedEntries;
                for (const FileEntry& entry : folder->entries)
                    if (entry.present)
                        expectedEntries.push_back(entry.name);
                EXPECT_EQ(fake::entries(folder->path), expectedEntries) << model::Printable(folder->path);
            }
        }
    });
}

}  // namespace
