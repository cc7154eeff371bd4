// Reads the built Tarnwick.exe back: its resources as Windows finds them, and its PE headers and
// import list. Usage: shell_executable_tests PATH-OF-Tarnwick.exe [gtest options]

#include <gtest/gtest.h>

#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

const char* exePath = NULL;

const WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);  // 0x0804
const WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);        // 0x0409

class ExecutableTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExA(exePath, NULL, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (module != NULL)
            FreeLibrary(module);
        module = NULL;
    }
    void SetUp() override { ASSERT_NE(module, nullptr) << "cannot load " << exePath; }

    // The bytes of resource (type, id) in language lang; empty when there is none.
    static std::vector<BYTE> Resource(LPCSTR type, WORD id, WORD lang)
    {
        HRSRC info = FindResourceExA(module, type, MAKEINTRESOURCEA(id), lang);
        if (info == NULL)
            return {};
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
        return std::vector<BYTE>(data, data + SizeofResource(module, info));
    }

    static HMODULE module;
};

HMODULE ExecutableTest::module = NULL;

// Reads little-endian fields in sequence, with DWORD alignment relative to the start.
class Reader {
public:
    explicit Reader(const std::vector<BYTE>& bytes) : bytes_(bytes) {}

    WORD Word() { return static_cast<WORD>(Byte() | Byte() << 8); }
    DWORD Dword() { return Word() | static_cast<DWORD>(Word()) << 16; }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte()
    {
        if (pos_ >= bytes_.size()) {
            overrun_ = true;
            return 0;
        }
        return bytes_[pos_++];
    }
    std::wstring String()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !overrun_; c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    // A name or an ordinal, as dialog templates keep menus, classes and titles.
    std::wstring NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        if (first == 0)
            return L"";
        return static_cast<wchar_t>(first) + String();
    }
    void AlignDword() { pos_ = (pos_ + 3) & ~static_cast<size_t>(3); }
    size_t Position() const { return pos_; }
    bool Overrun() const { return overrun_; }
    bool AtEnd() const { return pos_ >= bytes_.size(); }

private:
    const std::vector<BYTE>& bytes_;
    size_t pos_ = 0;
    bool overrun_ = false;
};

// ---- which resources there are

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD lang, LONG_PTR param)
{
    auto* found = reinterpret_cast<std::set<std::tuple<ULONG_PTR, ULONG_PTR, WORD>>*>(param);
    // The executable names every resource by number.
    found->insert({IS_INTRESOURCE(type) ? reinterpret_cast<ULONG_PTR>(type) : 0,
                   IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0, lang});
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param)
{
    return EnumResourceLanguagesA(module, type, name, AddLanguage, param);
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR param)
{
    return EnumResourceNamesA(module, type, AddName, param);
}

TEST_F(ExecutableTest, HoldsExactlyTheDialogIconsVersionBlockAndManifest)
{
    std::set<std::tuple<ULONG_PTR, ULONG_PTR, WORD>> found;
    EnumResourceTypesA(module, AddType, reinterpret_cast<LONG_PTR>(&found));

    std::set<std::tuple<ULONG_PTR, ULONG_PTR, WORD>> expected = {
        {5 /* RT_DIALOG */, 102, kChinese},
        {14 /* RT_GROUP_ICON */, 128, kChinese},
        {16 /* RT_VERSION */, 1, kChinese},
        {24 /* RT_MANIFEST */, 1, kEnglishUS},
    };
    for (ULONG_PTR image = 1; image <= 9; ++image)
        expected.insert({3 /* RT_ICON */, image, kChinese});
    EXPECT_EQ(found, expected);
}

// ---- dialog template 102

struct DialogItem {
    DWORD helpId, exStyle, style;
    short x, y, cx, cy;
    DWORD id;
    std::wstring windowClass, title;
    WORD extraCount;
};

TEST_F(ExecutableTest, DialogTemplateIsTheMainDialog)
{
    std::vector<BYTE> bytes = Resource(RT_DIALOG, 102, kChinese);
    ASSERT_FALSE(bytes.empty());
    Reader in(bytes);

    EXPECT_EQ(in.Word(), 1);       // dlgVer
    EXPECT_EQ(in.Word(), 0xFFFF);  // signature: extended template
    EXPECT_EQ(in.Dword(), 0u);     // help id
    EXPECT_EQ(in.Dword(), 0x00040000u);  // WS_EX_APPWINDOW
    EXPECT_EQ(in.Dword(), 0x90C800C8u);  // WS_POPUP|WS_VISIBLE|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT|DS_FIXEDSYS
    const WORD itemCount = in.Word();
    EXPECT_EQ(itemCount, 3);
    EXPECT_EQ(in.Short(), 0);
    EXPECT_EQ(in.Short(), 0);
    EXPECT_EQ(in.Short(), 155);
    EXPECT_EQ(in.Short(), 69);
    EXPECT_EQ(in.NameOrOrdinal(), L"");  // no menu
    EXPECT_EQ(in.NameOrOrdinal(), L"");  // the standard dialog class
    EXPECT_EQ(in.String(), L"Quillodeck客户端控件卸载工具");
    EXPECT_EQ(in.Word(), 9);  // points
    EXPECT_EQ(in.Word(), 0);  // weight
    EXPECT_EQ(in.Byte(), 0);  // not italic
    EXPECT_EQ(in.Byte(), 1);  // character set
    EXPECT_EQ(in.String(), L"MS Shell Dlg");

    const DialogItem expected[] = {
        {0, 0, 0x50010001, 26, 46, 50, 16, 1, L"#128", L"卸载(&U)", 0},
        {0, 0, 0x50010000, 91, 46, 50, 16, 2, L"#128", L"关闭(&C)", 0},
        {0, 0, 0x50020001, 7, 14, 140, 8, 0xFFFFFFFF, L"#130",
         L"注意：卸载前请确保关闭所有浏览器窗口。", 0},
    };
    ASSERT_EQ(itemCount, 3);
    for (const DialogItem& want : expected) {
        SCOPED_TRACE(testing::Message() << "control " << static_cast<int>(want.id));
        in.AlignDword();
        DialogItem got;
        got.helpId = in.Dword();
        got.exStyle = in.Dword();
        got.style = in.Dword();
        got.x = in.Short();
        got.y = in.Short();
        got.cx = in.Short();
        got.cy = in.Short();
        got.id = in.Dword();
        got.windowClass = in.NameOrOrdinal();  // #128 BUTTON, #130 STATIC
        got.title = in.NameOrOrdinal();
        got.extraCount = in.Word();
        EXPECT_EQ(got.helpId, want.helpId);
        EXPECT_EQ(got.exStyle, want.exStyle);
        EXPECT_EQ(got.style, want.style);
        EXPECT_EQ(std::make_tuple(got.x, got.y, got.cx, got.cy),
                  std::make_tuple(want.x, want.y, want.cx, want.cy));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.windowClass, want.windowClass);
        EXPECT_EQ(got.title, want.title);
        EXPECT_EQ(got.extraCount, want.extraCount);
    }
    EXPECT_FALSE(in.Overrun());
    EXPECT_TRUE(in.AtEnd());
}

// ---- icon group 128 and its images

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ExecutableTest, IconGroupHoldsNineImagesBySizeWithinDepth)
{
    std::vector<BYTE> group = Resource(RT_GROUP_ICON, 128, kChinese);
    ASSERT_GE(group.size(), 6u);
    Reader in(group);
    EXPECT_EQ(in.Word(), 0);  // reserved
    EXPECT_EQ(in.Word(), 1);  // icons, not cursors
    const WORD count = in.Word();
    ASSERT_EQ(count, 9);
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
    const GroupIconEntry* entries = reinterpret_cast<const GroupIconEntry*>(group.data() + 6);

    const struct {
        int size, bits;
    } expected[] = {{48, 4}, {32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {48, 24}, {32, 24}, {16, 24}};
    for (int i = 0; i < 9; ++i) {
        const GroupIconEntry& entry = entries[i];
        const int size = expected[i].size, bits = expected[i].bits;
        SCOPED_TRACE(testing::Message() << "image " << i << ": " << size << " px, " << bits << " bpp");
        EXPECT_EQ(entry.width, size);
        EXPECT_EQ(entry.height, size);
        EXPECT_EQ(entry.colorCount, bits == 4 ? 16 : 0);
        EXPECT_EQ(entry.planes, 1);
        EXPECT_EQ(entry.bitCount, bits);

        std::vector<BYTE> image = Resource(RT_ICON, entry.id, kChinese);
        ASSERT_EQ(image.size(), entry.bytesInRes);
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        memcpy(&header, image.data(), sizeof header);
        EXPECT_EQ(header.biSize, sizeof header);
        EXPECT_EQ(header.biWidth, size);
        EXPECT_EQ(header.biHeight, 2 * size);  // colour bits and AND mask
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, bits);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        const size_t palette = bits <= 8 ? (size_t{1} << bits) * 4 : 0;
        const size_t colourRow = (size * bits + 31) / 32 * 4, maskRow = (size + 31) / 32 * 4;
        EXPECT_EQ(image.size(), sizeof header + palette + size * (colourRow + maskRow));

        // Windows makes an icon of it, of the right size.
        HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE,
                                              0x00030000, size, size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP mask;
        ASSERT_TRUE(GetObjectA(info.hbmMask, sizeof mask, &mask));
        EXPECT_EQ(mask.bmWidth, size);
        DeleteObject(info.hbmMask);
        if (info.hbmColor != NULL)
            DeleteObject(info.hbmColor);
        DestroyIcon(icon);

        // The mark has rounded corners: the top left pixel is transparent, the middle one is not.
        // DIB rows run bottom-up, so the top row is the last of the mask.
        const BYTE* maskBits = image.data() + sizeof header + palette + size * colourRow;
        const auto transparent = [&](int x, int y) {
            return (maskBits[(size - 1 - y) * maskRow + x / 8] >> (7 - x % 8) & 1) != 0;
        };
        EXPECT_TRUE(transparent(0, 0));
        EXPECT_FALSE(transparent(size / 2, size / 2));
    }
}

// ---- version block

// One node of a VS_VERSIONINFO tree.
struct VersionNode {
    std::wstring key;
    WORD type;  // 1: text value
    std::vector<BYTE> value;
    std::vector<VersionNode> children;
};

VersionNode ParseVersionNode(const BYTE* data, size_t size)
{
    VersionNode node;
    const WORD length = *reinterpret_cast<const WORD*>(data);
    const WORD valueLength = *reinterpret_cast<const WORD*>(data + 2);
    node.type = *reinterpret_cast<const WORD*>(data + 4);
    if (length > size || length < 6)
        throw std::runtime_error("version node overruns its parent");
    size_t pos = 6;
    for (; pos + 1 < length && *reinterpret_cast<const WORD*>(data + pos) != 0; pos += 2)
        node.key += static_cast<wchar_t>(*reinterpret_cast<const WORD*>(data + pos));
    pos = (pos + 2 + 3) & ~size_t{3};
    // Text values count UTF-16 characters, binary ones bytes.
    const size_t valueBytes = node.type == 1 ? valueLength * 2u : valueLength;
    if (pos + valueBytes > length)
        throw std::runtime_error("version value overruns its node");
    node.value.assign(data + pos, data + pos + valueBytes);
    pos = (pos + valueBytes + 3) & ~size_t{3};
    while (pos < length) {
        node.children.push_back(ParseVersionNode(data + pos, length - pos));
        pos = (pos + *reinterpret_cast<const WORD*>(data + pos) + 3) & ~size_t{3};
    }
    return node;
}

std::wstring TextValue(const VersionNode& node)
{
    std::wstring text(reinterpret_cast<const wchar_t*>(node.value.data()), node.value.size() / 2);
    if (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

TEST_F(ExecutableTest, VersionBlockDescribesTheProgram)
{
    std::vector<BYTE> bytes = Resource(RT_VERSION, 1, kChinese);
    ASSERT_FALSE(bytes.empty());
    const VersionNode root = ParseVersionNode(bytes.data(), bytes.size());
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");

    ASSERT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, root.value.data(), sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);  // 1.0
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00000001u);  // .0.1
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed.dwFileSubtype, 0u);
    EXPECT_EQ(fixed.dwFileDateMS, 0u);
    EXPECT_EQ(fixed.dwFileDateLS, 0u);

    ASSERT_EQ(root.children.size(), 2u);
    const VersionNode& stringInfo = root.children[0];
    EXPECT_EQ(stringInfo.key, L"StringFileInfo");
    ASSERT_EQ(stringInfo.children.size(), 1u);
    const VersionNode& table = stringInfo.children[0];
    EXPECT_EQ(table.key, L"080403a8");

    const std::vector<std::wstring> names = {L"CompanyName",      L"FileDescription", L"FileVersion",
                                             L"InternalName",     L"LegalCopyright",  L"OriginalFilename",
                                             L"ProductName",      L"ProductVersion"};
    std::vector<std::wstring> keys;
    for (const VersionNode& string : table.children) {
        keys.push_back(string.key);
        EXPECT_EQ(string.type, 1) << "text value";
        EXPECT_FALSE(TextValue(string).empty()) << "empty " << testing::PrintToString(string.key);
    }
    EXPECT_EQ(keys, names);

    const VersionNode& varInfo = root.children[1];
    EXPECT_EQ(varInfo.key, L"VarFileInfo");
    ASSERT_EQ(varInfo.children.size(), 1u);
    EXPECT_EQ(varInfo.children[0].key, L"Translation");
    EXPECT_EQ(varInfo.children[0].value, (std::vector<BYTE>{0x04, 0x08, 0xA8, 0x03}));
}

TEST_F(ExecutableTest, VersionStringsReadBackThroughTheVersionApi)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exePath, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(exePath, 0, size, block.data()));

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } expected[] = {
        {L"FileDescription", L"卸载客户端控件"},
        {L"FileVersion", L"1.0.0.1"},
        {L"InternalName", L"Tarnwick.exe"},
        {L"OriginalFilename", L"Tarnwick.exe"},
        {L"ProductVersion", L"1.0.0.1"},
    };
    for (const auto& want : expected) {
        std::wstring path = std::wstring(L"\\StringFileInfo\\080403a8\\") + want.name;
        void* value = NULL;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), path.c_str(), &value, &length)) << path.c_str();
        EXPECT_STREQ(static_cast<const wchar_t*>(value), want.value) << path.c_str();
    }

    WORD* translation = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 0x03A8);
}

// ---- manifest

TEST_F(ExecutableTest, ManifestAsksForTheInvokersRightsAndNamesNoAssembly)
{
    std::vector<BYTE> bytes = Resource(MAKEINTRESOURCEA(24), 1, kEnglishUS);
    ASSERT_FALSE(bytes.empty());
    const std::string text(bytes.begin(), bytes.end());

    EXPECT_EQ(text.find("<?xml"), std::string::npos) << "no XML declaration";
    EXPECT_EQ(text.find("dependency"), std::string::npos) << "no side-by-side assembly";
    EXPECT_EQ(text.find("assemblyIdentity"), std::string::npos);

    // The elements, in document order.
    const char* const parts[] = {
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">",
        "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
        "<security>",
        "<requestedPrivileges>",
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\">",
        "</requestedPrivileges>",
        "</security>",
        "</trustInfo>",
        "</assembly>",
    };
    size_t pos = 0;
    EXPECT_EQ(text.compare(0, strlen(parts[0]), parts[0]), 0) << "the root element comes first";
    for (const char* part : parts) {
        const size_t found = text.find(part, pos);
        ASSERT_NE(found, std::string::npos) << part << " after offset " << pos << " in\n" << text;
        pos = found + strlen(part);
    }
    EXPECT_EQ(text.find_first_not_of(" \r\n", pos), std::string::npos) << "nothing after the root";
}

// ---- PE headers and imports

class ImageTest : public testing::Test {
protected:
    void SetUp() override
    {
        FILE* file = fopen(exePath, "rb");
        ASSERT_NE(file, nullptr) << exePath;
        char buffer[65536];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
            image.insert(image.end(), buffer, buffer + n);
        fclose(file);
        ASSERT_GE(image.size(), sizeof(IMAGE_DOS_HEADER));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
        ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
        ASSERT_LE(dos->e_lfanew + sizeof(IMAGE_NT_HEADERS32), image.size());
        nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
        ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    }

    // The file offset of a relative virtual address; 0 when no section holds it.
    size_t Offset(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return rva - section->VirtualAddress + section->PointerToRawData;
        }
        return 0;
    }

    std::vector<BYTE> image;
    const IMAGE_NT_HEADERS32* nt = NULL;
};

TEST_F(ImageTest, IsA32BitX86WindowedProgram)
{
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);  // PE32
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_FALSE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
}

TEST_F(ImageTest, ImportsOnlyWindowsOwnLibraries)
{
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    size_t pos = Offset(directory.VirtualAddress);
    ASSERT_NE(pos, 0u);

    const std::set<std::string> windows = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                           "shell32.dll",  "ole32.dll",  "msvcrt.dll"};
    std::set<std::string> imported;
    for (;; pos += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        ASSERT_LE(pos + sizeof(IMAGE_IMPORT_DESCRIPTOR), image.size());
        IMAGE_IMPORT_DESCRIPTOR entry;
        memcpy(&entry, image.data() + pos, sizeof entry);
        if (entry.Name == 0)
            break;
        const size_t name = Offset(entry.Name);
        ASSERT_NE(name, 0u);
        std::string dll(reinterpret_cast<const char*>(image.data() + name));
        for (char& c : dll)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        imported.insert(dll);
    }
    for (const std::string& dll : imported)
        EXPECT_EQ(windows.count(dll), 1u) << dll << " is not one of Windows' own libraries";
    // The shell and the engine need at least these.
    for (const char* dll : {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "ole32.dll"})
        EXPECT_EQ(imported.count(dll), 1u) << dll;
}

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        fprintf(stderr, "usage: %s PATH-OF-Tarnwick.exe [gtest options]\n", argv[0]);
        return 2;
    }
    exePath = argv[1];
    return RUN_ALL_TESTS();
}
