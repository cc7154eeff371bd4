// The interfaces of the controls' type libraries, and the installers' records of their files.
#include "InstallerRecords.h"

#include "WideText.h"

namespace {

const WCHAR kInterfaces[] = L"Interface";
// The installers' records of shared files, below the machine's software folder.
const WCHAR kSharedDlls[] = L"Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const WCHAR kModuleUsage[] = L"Microsoft\\Windows\\CurrentVersion\\ModuleUsage";

// An interface goes where it belongs to a type library that went from the place: its TypeLib
// subkey, opened as itself, names the library, in any case of the letters a-z. Windows removes the
// interfaces with a library it unregisters, and an interface left behind points at a library that
// is gone.
class InterfaceOfLibraryGone : public ChildRule {
public:
    explicit InterfaceOfLibraryGone(const bool (&librariesGone)[kRegistrationCount])
        : m_librariesGone(librariesGone)
    {
    }

    bool Selects(HKEY interfaces, LPCWSTR iid, REGSAM view) const override;

private:
    const bool (&m_librariesGone)[kRegistrationCount];
};

bool InterfaceOfLibraryGone::Selects(HKEY interfaces, LPCWSTR iid, REGSAM view) const
{
    WCHAR path[kChildNameCapacity + 8] = L"";
    AppendText(path, iid);
    AppendText(path, L"\\TypeLib");
    UniqueKey typeLib;
    WCHAR library[40];  // a GUID in braces
    DWORD type = REG_NONE;
    DWORD size = sizeof library - sizeof library[0];
    if (PlatformServices::RegOpenKeyExW(interfaces, path, REG_OPTION_OPEN_LINK,
                                        KEY_QUERY_VALUE | view, typeLib.Put()) != ERROR_SUCCESS ||
        PlatformServices::RegQueryValueExW(typeLib.Get(), NULL, NULL, &type,
                                           reinterpret_cast<LPBYTE>(library),
                                           &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    library[size / sizeof library[0]] = L'\0';
    for (int row = 0; row < kRegistrationCount; ++row) {
        const LPCWSTR guid = RegistrationTable[row].typeLibKey + 8;  // after "TypeLib\"
        if (m_librariesGone[row] && TextEqualIgnoringCase(library, guid))
            return true;
    }
    return false;
}

// Whether longPath names, or lies inside, an entry of folder that rules select, in any case of
// the letters a-z. An entry that the path names itself is a directory where it is one now.
bool IsInSweptFolder(LPCWSTR longPath, LPCWSTR folder, const SweepRules& rules)
{
    const size_t folderLength = TextLength(folder);
    if (!TextStartsWithIgnoringCase(longPath, folder) || longPath[folderLength] != L'\\')
        return false;
    // The entry of the folder: the last name, or a folder that holds the rest.
    WCHAR entry[MAX_PATH] = L"";
    size_t size = 0;
    LPCWSTR at = longPath + folderLength + 1;
    for (; *at != L'\0' && *at != L'\\' && size + 1 < MAX_PATH; ++at)
        entry[size++] = *at;
    entry[size] = L'\0';
    bool directory = *at == L'\\';
    if (*at == L'\0') {
        const DWORD attributes = PlatformServices::GetFileAttributesW(longPath);
        directory = attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    return MatchesRules(entry, directory, rules);
}

// Whether path names, or lies inside, an entry that the rules of one of folders select. The path is
// read in its long form where Windows can tell it: a short (8.3) path of an entry that is there,
// or, once it is gone, of its folder.
bool IsSweptPath(const RecordedFolder* folders, int count, LPCWSTR path)
{
    WCHAR given[kSweepBufferSize] = L"";
    WCHAR full[kSweepBufferSize] = L"";
    AppendText(given, path);
    LPWSTR name = LastBackslash(given);
    const DWORD length = PlatformServices::GetLongPathNameW(given, full, kSweepBufferSize);
    if ((length == 0 || length >= kSweepBufferSize) && name != NULL) {
        *name = L'\0';
        const DWORD folderLength =
            PlatformServices::GetLongPathNameW(given, full, kSweepBufferSize);
        *name = L'\\';
        if (folderLength == 0 || folderLength >= kSweepBufferSize || !AppendText(full, name))
            full[0] = L'\0';
    }
    const LPCWSTR longPath = full[0] != L'\0' ? full : given;
    for (int number = 0; number < count; ++number) {
        if (IsInSweptFolder(longPath, folders[number].path, *folders[number].rules))
            return true;
    }
    return false;
}

// A ModuleUsage key goes where it names, by a path with / for \\, an entry the sweeps select.
class RecordOfSweptPath : public ChildRule {
public:
    RecordOfSweptPath(const RecordedFolder* folders, int count) : m_folders(folders), m_count(count)
    {
    }

    bool Selects(HKEY, LPCWSTR name, REGSAM) const override
    {
        WCHAR path[kChildNameCapacity];
        size_t length = 0;
        for (; name[length] != L'\0'; ++length)
            path[length] = name[length] == L'/' ? L'\\' : name[length];
        path[length] = L'\0';
        return IsSweptPath(m_folders, m_count, path);
    }

private:
    const RecordedFolder* m_folders;
    int m_count;
};

}  // namespace

void RemoveInterfaces(KeyWalk& walk, const KeyFolder& classes,
                      const bool (&librariesGone)[kRegistrationCount], Remains& remains)
{
    if (HandleChildKeys(walk, classes, kInterfaces, InterfaceOfLibraryGone(librariesGone)))
        remains.otherTraceStays = true;
}

void RemoveFileRecords(KeyWalk& walk, const KeyFolder& software, const RecordedFolder* folders,
                       int count, Remains& remains)
{
    const int viewCount = ViewsOfKey(software, kSharedDlls, L"");
    for (int number = 0; number < viewCount; ++number) {
        const View& view = software.views[number];
        WCHAR path[kKeyPathCapacity] = L"";
        AppendText(path, software.path);
        AppendText(path, kSharedDlls);
        // Read to find the records; opened for writing only to remove one.
        UniqueKey records;
        UniqueKey writable;
        DWORD code = ERROR_SUCCESS;
        size_t linkLength = 0;
        ItemFate listing = OpenFolderKey(software, view, path, 0, records, &code, &linkLength);
        WCHAR name[kValueNameCapacity];
        for (DWORD index = 0; listing == kItemPresent;) {
            DWORD length = kValueNameCapacity;
            code = PlatformServices::RegEnumValueW(records.Get(), index, name, &length, NULL, NULL,
                                                   NULL, NULL);
            // A name too long for the buffer is no path the sweeps select.
            if (code != ERROR_SUCCESS && code != ERROR_MORE_DATA) {
                listing = code == ERROR_NO_MORE_ITEMS ? kItemAbsent : kItemFailed;
                break;
            }
            ItemFate fate = kItemAbsent;
            if (code == ERROR_SUCCESS && IsSweptPath(folders, count, name)) {
                fate = kItemPresent;
                if (walk.mode != kCheckOnly) {
                    if (!writable.IsValid())
                        code = PlatformServices::RegOpenKeyExW(software.root, path, 0,
                                                               KEY_SET_VALUE | view.access,
                                                               writable.Put());
                    if (code == ERROR_SUCCESS)
                        code = PlatformServices::RegDeleteValueW(writable.Get(), name);
                    fate = code == ERROR_SUCCESS ? kItemRemoved : kItemFailed;
                }
                ReportKey(walk, software, view, path, name, fate, code);
            }
            if (IsTrace(fate))
                remains.otherTraceStays = true;
            if (fate != kItemRemoved)
                ++index;
        }
        if (IsTrace(listing)) {
            ReportKey(walk, software, view, path, NULL, listing, code);
            remains.otherTraceStays = true;
        }
    }
    if (HandleChildKeys(walk, software, kModuleUsage, RecordOfSweptPath(folders, count)))
        remains.otherTraceStays = true;
}

