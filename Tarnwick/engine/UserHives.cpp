// The users' hives: the running user's, every profile's, loaded and unloaded where needed.
#include "UserHives.h"

#include "RegTree.h"
#include "WideText.h"

namespace {

const WCHAR kClasses[] = L"Software\\Classes\\";

const WCHAR kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const WCHAR kProfileFolder[] = L"ProfileImagePath";
const WCHAR kUserSids[][10] = {L"S-1-5-21-", L"S-1-12-1-"};
const WCHAR kUsersRoot[] = L"HKEY_USERS\\";
const WCHAR kClassesHive[] = L"_Classes";
// The names below HKEY_USERS under which a run loads the hives it needs.
const WCHAR kLoadedPrefix[] = L"Tarnwick.";
const WCHAR kUserHiveFile[] = L"\\NTUSER.DAT";
// The per-user classes hive, from Vista on, and on XP.
const LPCWSTR kClassesHiveFiles[] = {
    L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
    L"\\Local Settings\\Application Data\\Microsoft\\Windows\\UsrClass.dat",
};
// An unload fails while a program holds a handle into the hive: such handles are often brief.
const int kUnloadAttempts = 5;
const DWORD kUnloadPauseMs = 200;

void ReportHive(RemovalObserver* observer, LPCWSTR name, ItemFate fate, DWORD code)
{
    WCHAR item[kRootNameCapacity] = L"";
    AppendText(item, kUsersRoot);
    AppendText(item, name);
    ReportItem(observer, item, fate, code);
}

// Whether the file is there; where it is not, tells observer.
bool IsThere(LPCWSTR path, RemovalObserver* observer)
{
    if (PlatformServices::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return true;
    const DWORD error = PlatformServices::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        return true;
    ReportItem(observer, path, kItemAbsent, error);
    return false;
}

// Enables the backup and restore privileges, which loading and unloading a hive need, while it
// lives; then sets them back as they were.
class HivePrivileges {
public:
    HivePrivileges()
    {
        Privileges wanted = {2, {{{0, 0}, SE_PRIVILEGE_ENABLED}, {{0, 0}, SE_PRIVILEGE_ENABLED}}};
        DWORD size = 0;
        m_adjusted =
            PlatformServices::OpenProcessToken(PlatformServices::GetCurrentProcess(),
                                               TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                               m_token.Put()) &&
            PlatformServices::LookupPrivilegeValueW(NULL, L"SeBackupPrivilege",
                                                    &wanted.privileges[0].Luid) &&
            PlatformServices::LookupPrivilegeValueW(NULL, L"SeRestorePrivilege",
                                                    &wanted.privileges[1].Luid) &&
            PlatformServices::AdjustTokenPrivileges(m_token.Get(), FALSE, wanted.Get(),
                                                    sizeof m_previous, m_previous.Get(), &size);
    }

    HivePrivileges(const HivePrivileges&) = delete;
    HivePrivileges& operator=(const HivePrivileges&) = delete;

    ~HivePrivileges()
    {
        if (m_adjusted)
            PlatformServices::AdjustTokenPrivileges(m_token.Get(), FALSE, m_previous.Get(), 0,
                                                    NULL, NULL);
    }

private:
    // TOKEN_PRIVILEGES with room for two.
    struct Privileges {
        DWORD count;
        LUID_AND_ATTRIBUTES privileges[2];
        PTOKEN_PRIVILEGES Get() { return reinterpret_cast<PTOKEN_PRIVILEGES>(this); }
    };

    UniqueObject m_token;
    Privileges m_previous = {};
    bool m_adjusted;
};

// Unloads the hive loaded as HKEY_USERS\name, trying again a few times while it is in use.
LONG UnloadHive(LPCWSTR name)
{
    for (int attempt = 1;; ++attempt) {
        LONG error;
        {
            HivePrivileges privileges;
            error = PlatformServices::RegUnLoadKeyW(HKEY_USERS, name);
        }
        if (error == ERROR_SUCCESS || attempt == kUnloadAttempts)
            return error;
        PlatformServices::Sleep(kUnloadPauseMs);
    }
}

// The SID of the running account, "" where it cannot be told.
void GetCurrentUserSid(WCHAR (&sid)[kSidCapacity])
{
    UniqueObject token;
    struct {
        TOKEN_USER user;
        BYTE sid[SECURITY_MAX_SID_SIZE];
    } information;
    DWORD size = 0;
    UniqueLocal text;
    if (PlatformServices::OpenProcessToken(PlatformServices::GetCurrentProcess(), TOKEN_QUERY,
                                           token.Put()) &&
        PlatformServices::GetTokenInformation(token.Get(), TokenUser, &information,
                                              sizeof information, &size) &&
        PlatformServices::ConvertSidToStringSidW(information.user.User.Sid,
                                                 reinterpret_cast<LPWSTR*>(text.Put())))
        AppendText(sid, static_cast<LPCWSTR>(text.Get()));
}

bool IsUserSid(LPCWSTR sid)
{
    // A profile being repaired has a copy named <SID>.bak.
    const size_t length = TextLength(sid);
    if (length > 4 && TextEqual(sid + length - 4, L".bak"))
        return false;
    return TextStartsWith(sid, kUserSids[0]) || TextStartsWith(sid, kUserSids[1]);
}

// Reads the profile's folder from its entry in the list, expanded.
bool ReadProfileFolder(HKEY list, LPCWSTR sid, WCHAR (&folder)[MAX_PATH])
{
    UniqueKey profile;
    WCHAR text[MAX_PATH];
    DWORD type = 0;
    DWORD size = sizeof text - sizeof text[0];
    if (PlatformServices::RegOpenKeyExW(list, sid, 0, KEY_QUERY_VALUE | NativeView(),
                                        profile.Put()) != ERROR_SUCCESS ||
        PlatformServices::RegQueryValueExW(profile.Get(), kProfileFolder, NULL, &type,
                                           reinterpret_cast<LPBYTE>(text),
                                           &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    text[size / sizeof text[0]] = L'\0';
    const DWORD length = PlatformServices::ExpandEnvironmentStringsW(text, folder, MAX_PATH);
    return length != 0 && length <= MAX_PATH;
}

// The file of the profile's classes hive: where Windows from Vista on keeps it, or else where XP
// does; where neither has one, the first, to be reported absent.
void GetClassesHiveFile(LPCWSTR folder, WCHAR (&file)[MAX_PATH])
{
    for (LPCWSTR name : kClassesHiveFiles) {
        file[0] = L'\0';
        if (AppendText(file, folder) && AppendText(file, name) &&
            PlatformServices::GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES)
            return;
    }
    file[0] = L'\0';
    AppendText(file, folder);
    AppendText(file, kClassesHiveFiles[0]);
}

}  // namespace

ProfileList::ProfileList()
{
    // A machine without the list has no profiles but the running account's.
    const LONG error = PlatformServices::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList, 0,
                                                       KEY_ENUMERATE_SUB_KEYS | NativeView(),
                                                       m_list.Put());
    if (error != ERROR_FILE_NOT_FOUND)
        m_error = error;
    GetCurrentUserSid(m_ownSid);
}

bool ProfileList::Next(WCHAR (&sid)[kSidCapacity], WCHAR (&folder)[MAX_PATH])
{
    while (m_list.IsValid() && m_error == ERROR_SUCCESS) {
        DWORD length = kSidCapacity;
        const LONG error = PlatformServices::RegEnumKeyExW(m_list.Get(), m_index++, sid, &length,
                                                           NULL, NULL, NULL, NULL);
        if (error != ERROR_SUCCESS) {
            if (error != ERROR_NO_MORE_ITEMS)
                m_error = error;
            return false;
        }
        if (IsUserSid(sid) && !TextEqual(sid, m_ownSid) &&
            ReadProfileFolder(m_list.Get(), sid, folder))
            return true;
    }
    return false;
}

int CountProfiles()
{
    ProfileList profiles;
    WCHAR sid[kSidCapacity];
    WCHAR folder[MAX_PATH];
    int count = 0;
    while (profiles.Next(sid, folder))
        ++count;
    return count;
}

UserHives::~UserHives()
{
    Close(NULL);
}

bool UserHives::OpenCurrentUser(RemovalObserver* observer, Place* place)
{
    WCHAR sid[kSidCapacity] = L"";
    GetCurrentUserSid(sid);
    WCHAR classesName[kSidCapacity + 8] = L"";
    AppendText(classesName, sid);
    AppendText(classesName, kClassesHive);
    LONG userError = ERROR_FILE_NOT_FOUND;
    LONG classesError = ERROR_FILE_NOT_FOUND;
    if (sid[0] != L'\0') {
        userError = OpenRoot(m_user, sid);
        classesError = OpenRoot(m_classes, classesName);
    }
    const HKEY user = userError == ERROR_SUCCESS ? m_user.root.Get() : HKEY_CURRENT_USER;
    const WCHAR kCurrentUser[] = L"HKEY_CURRENT_USER\\";
    if (classesError == ERROR_SUCCESS)
        GetUserPlace(place, m_classes.root.Get(), L"", L"HKEY_CURRENT_USER\\Software\\Classes\\",
                     user, kCurrentUser);
    else
        GetUserPlace(place, user, kClasses, kCurrentUser, user, kCurrentUser);
    if (userError != ERROR_SUCCESS && userError != ERROR_FILE_NOT_FOUND)
        ReportHive(observer, sid, kItemFailed, userError);
    if (classesError != ERROR_SUCCESS && classesError != ERROR_FILE_NOT_FOUND)
        ReportHive(observer, classesName, kItemFailed, classesError);
    return (userError == ERROR_SUCCESS || userError == ERROR_FILE_NOT_FOUND) &&
           (classesError == ERROR_SUCCESS || classesError == ERROR_FILE_NOT_FOUND);
}

bool UserHives::Open(LPCWSTR sid, LPCWSTR folder, RemovalObserver* observer, Place* place)
{
    WCHAR classesName[kSidCapacity + 8] = L"";
    AppendText(classesName, sid);
    AppendText(classesName, kClassesHive);
    WCHAR userFile[MAX_PATH] = L"";
    WCHAR classesFile[MAX_PATH];
    AppendText(userFile, folder);
    AppendText(userFile, kUserHiveFile);
    GetClassesHiveFile(folder, classesFile);
    bool opened = true;
    if (IsThere(folder, observer)) {
        opened = OpenHive(m_classes, classesName, classesFile, observer) &&
                 OpenHive(m_user, sid, userFile, observer);
    }
    // The log names the keys "HKEY_USERS\<SID>_Classes\..." and "HKEY_USERS\<SID>\...".
    WCHAR classesRootName[kRootNameCapacity] = L"";
    WCHAR userRootName[kRootNameCapacity] = L"";
    AppendText(classesRootName, kUsersRoot);
    AppendText(classesRootName, classesName);
    AppendText(classesRootName, L"\\");
    AppendText(userRootName, kUsersRoot);
    AppendText(userRootName, sid);
    AppendText(userRootName, L"\\");
    GetUserPlace(place, m_classes.root.Get(), L"", classesRootName, m_user.root.Get(),
                 userRootName);
    return opened;
}

bool UserHives::Close(RemovalObserver* observer)
{
    const bool classesClosed = CloseHive(m_classes, observer);
    return CloseHive(m_user, observer) && classesClosed;
}

LONG UserHives::OpenRoot(Hive& hive, LPCWSTR name)
{
    LONG error = PlatformServices::RegOpenKeyExW(HKEY_USERS, name, 0,
                                                 KEY_QUERY_VALUE | NativeView(), hive.root.Put());
    if (error == ERROR_SUCCESS && !IsKeyAskedFor(hive.root.Get(), L"", 0)) {
        hive.root.Reset();
        error = ERROR_BADKEY;
    }
    return error;
}

bool UserHives::OpenHive(Hive& hive, LPCWSTR name, LPCWSTR file, RemovalObserver* observer)
{
    LONG error = OpenRoot(hive, name);
    if (error == ERROR_SUCCESS)
        return true;
    if (error != ERROR_FILE_NOT_FOUND) {
        ReportHive(observer, name, kItemFailed, error);
        return false;
    }
    if (!IsThere(file, observer))
        return true;
    WCHAR loadedAs[kRootNameCapacity] = L"";
    AppendText(loadedAs, kLoadedPrefix);
    AppendText(loadedAs, name);
    {
        HivePrivileges privileges;
        error = PlatformServices::RegLoadKeyW(HKEY_USERS, loadedAs, file);
    }
    // A file that is no usable hive, which Windows cannot load either: no one has keys there.
    if (error == ERROR_BADDB || error == ERROR_REGISTRY_CORRUPT ||
        error == ERROR_NOT_REGISTRY_FILE) {
        ReportItem(observer, file, kItemUnreadable, error);
        return true;
    }
    if (error != ERROR_SUCCESS) {
        ReportItem(observer, file, kItemFailed, error);
        return false;
    }
    AppendText(hive.loadedAs, loadedAs);
    error = OpenRoot(hive, loadedAs);
    if (error != ERROR_SUCCESS)
        ReportHive(observer, loadedAs, kItemFailed, error);
    return error == ERROR_SUCCESS;
}

bool UserHives::CloseHive(Hive& hive, RemovalObserver* observer)
{
    hive.root.Reset();
    if (hive.loadedAs[0] == L'\0')
        return true;
    const LONG error = UnloadHive(hive.loadedAs);
    if (error != ERROR_SUCCESS)
        ReportHive(observer, hive.loadedAs, kItemFailed, error);
    hive.loadedAs[0] = L'\0';
    return error == ERROR_SUCCESS;
}

bool UnloadLeftHives(RemovalObserver* observer)
{
    bool unloaded = true;
    WCHAR name[kRootNameCapacity];
    for (DWORD index = 0;;) {
        DWORD length = kRootNameCapacity;
        if (PlatformServices::RegEnumKeyExW(HKEY_USERS, index, name, &length, NULL, NULL, NULL,
                                            NULL) != ERROR_SUCCESS)
            return unloaded;
        if (!TextStartsWith(name, kLoadedPrefix)) {
            ++index;
            continue;
        }
        const LONG error = UnloadHive(name);
        ReportHive(observer, name, error == ERROR_SUCCESS ? kItemUnloaded : kItemFailed, error);
        if (error != ERROR_SUCCESS) {
            unloaded = false;
            ++index;
        }
    }
}
