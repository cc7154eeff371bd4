#include "WineMachine.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "WineUnix.h"

namespace wine_machine {

namespace {

// Test paths and key names are in the ANSI code page, as the engine takes them.
std::wstring Widen(const std::string& narrow)
{
    return wine_unix::Widen(narrow, CP_ACP);
}

std::string Narrow(const std::wstring& wide)
{
    return wine_unix::Narrow(wide, CP_ACP);
}

// The Windows path of an NT path of the form \??\Z:\..., or "".
std::string WindowsPathOfNtPath(const std::string& ntPath)
{
    return ntPath.compare(0, 4, "\\??\\") == 0 ? ntPath.substr(4) : std::string();
}

std::string WindowsParent(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string ReadSmallFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    char buffer[4096];
    DWORD read = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &read, NULL))
        read = 0;
    CloseHandle(file);
    return std::string(buffer, read);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Undoes the URL escaping of a trash information file's Path entry.
std::string PercentDecoded(const std::string& text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            decoded += (char)(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// The Path entry of a trash information file.
std::string TrashInfoPath(const std::string& info)
{
    size_t start = info.find("\nPath=");
    if (start == std::string::npos)
        return "";
    start += 6;
    size_t end = info.find('\n', start);
    return PercentDecoded(info.substr(start, end == std::string::npos ? end : end - start));
}

// Opens, or with create makes, a key below HKEY_CLASSES_ROOT ("" for the root itself) one name at a
// time: Wine's narrow registry calls take no path longer than 260 characters.
LONG OpenKeyPath(const std::string& path, bool create, HKEY* result)
{
    HKEY key = HKEY_CLASSES_ROOT;
    const char* start = path.c_str();
    do {
        const char* end = start;
        while (*end != '\0' && *end != '\\')
            end = CharNextA(end);  // a trail byte of code page 936 may equal the backslash
        std::string name(start, end);
        HKEY next;
        LONG error = create ? RegCreateKeyExA(key, name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                              &next, NULL)
                            : RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &next);
        if (key != HKEY_CLASSES_ROOT)
            RegCloseKey(key);
        if (error != ERROR_SUCCESS)
            return error;
        key = next;
        start = *end == '\0' ? end : end + 1;
    } while (*start != '\0');
    *result = key;
    return ERROR_SUCCESS;
}

unsigned NextSerial()
{
    static unsigned serial = 0;
    return ++serial;
}

}  // namespace

std::string UnixPath(const std::string& windowsPath)
{
    return wine_unix::UnixPath(Widen(windowsPath));
}

std::string WindowsPath(const std::string& unixPath)
{
    return Narrow(wine_unix::WindowsPath(unixPath));
}

std::string EnvironmentVariable(const char* name)
{
    char value[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

ScratchFolder::ScratchFolder(const char* label)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH];
    snprintf(name, sizeof name, "tarnwick-%s-%lu-%u", label, GetCurrentProcessId(), NextSerial());
    path_ = std::string(temp, length) + name;  // the temp path ends in a backslash
    if (!CreateDirectoryA(path_.c_str(), NULL))
        ADD_FAILURE() << "cannot create the scratch folder " << path_ << ", error "
                      << GetLastError();
}

ScratchFolder::~ScratchFolder()
{
    if (!Exists(path_))
        return;
    std::string unix = UnixPath(path_);
    if (unix.empty() || unix[0] != '/') {
        ADD_FAILURE() << "no Unix path for " << path_;
        return;
    }
    int status = wine_unix::RunUnixShell("rm -rf -- " + wine_unix::ShellQuoted(unix));
    if (status != 0 || Exists(path_))
        ADD_FAILURE() << "cannot remove the scratch folder " << path_ << ", rm status " << status;
}

::testing::AssertionResult MakeFolder(const std::string& path)
{
    if (CreateDirectoryA(path.c_str(), NULL))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "CreateDirectoryA(" << path << ") failed, error " << GetLastError();
}

::testing::AssertionResult MakeFile(const std::string& path, DWORD attributes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, attributes, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return ::testing::AssertionFailure()
               << "CreateFileA(" << path << ") failed, error " << GetLastError();
    DWORD written = 0;
    BOOL ok = WriteFile(file, path.c_str(), (DWORD)path.size(), &written, NULL);
    CloseHandle(file);
    if (!ok)
        return ::testing::AssertionFailure() << "cannot write " << path;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult MakeUnixSymlink(const std::string& linkPath,
                                           const std::string& targetPath)
{
    if (!Exists(targetPath))
        return ::testing::AssertionFailure() << "the link target " << targetPath << " is missing";
    if (Exists(linkPath))
        return ::testing::AssertionFailure() << linkPath << " exists already";
    if (!wine_unix::MakeUnixLink(Widen(linkPath), Widen(targetPath)))
        return ::testing::AssertionFailure() << "cannot make a Unix link at " << linkPath << " to "
                                             << targetPath;
    if (!Exists(linkPath))
        return ::testing::AssertionFailure() << "ln made no link at " << linkPath;
    return ::testing::AssertionSuccess();
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<Entry> ListFolder(const std::string& folder)
{
    std::vector<Entry> entries;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0)
            entries.push_back(Entry{data.cFileName, data.dwFileAttributes});
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return entries;
}

std::vector<std::string> Names(const std::vector<Entry>& entries)
{
    std::vector<std::string> names;
    for (const Entry& entry : entries)
        names.push_back(entry.name);
    return names;
}

std::vector<std::string> SortedNames(const std::string& folder)
{
    std::vector<std::string> names = Names(ListFolder(folder));
    std::sort(names.begin(), names.end());
    return names;
}

::testing::AssertionResult Trash::Locate(Trash* trash)
{
    // Wine hands HOME and WINEPREFIX to Windows programs as NT paths in these two variables.
    std::string home = WindowsPathOfNtPath(EnvironmentVariable("WINEHOMEDIR"));
    std::string prefix = WindowsPathOfNtPath(EnvironmentVariable("WINECONFIGDIR"));
    std::string unixDataHome = EnvironmentVariable("XDG_DATA_HOME");
    std::string dataHome = unixDataHome.empty() ? "" : WindowsPath(unixDataHome);
    if (home.empty() || prefix.empty() || dataHome.empty())
        return ::testing::AssertionFailure()
               << "HOME, WINEPREFIX and XDG_DATA_HOME must be set (run under with-wine-prefix.sh)";
    if (dataHome.compare(0, home.size() + 1, home + "\\") != 0 ||
        WindowsParent(home) != WindowsParent(prefix) || WindowsParent(home).empty())
        return ::testing::AssertionFailure()
               << "XDG_DATA_HOME (" << dataHome << ") must lie inside HOME (" << home
               << "), beside the throwaway WINEPREFIX (" << prefix << ")";
    trash->dataHome_ = dataHome;
    return ::testing::AssertionSuccess();
}

std::string Trash::ItemFor(const std::string& originalPath) const
{
    std::string wanted = UnixPath(originalPath);
    std::string trash = dataHome_ + "\\Trash";
    const std::string suffix = ".trashinfo";
    for (const Entry& entry : ListFolder(trash + "\\info")) {
        if (entry.name.size() <= suffix.size() ||
            entry.name.compare(entry.name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (TrashInfoPath(ReadSmallFile(trash + "\\info\\" + entry.name)) == wanted)
            return trash + "\\files\\" + entry.name.substr(0, entry.name.size() - suffix.size());
    }
    return "";
}

ScratchKey::ScratchKey(const char* label)
{
    char name[MAX_PATH];
    snprintf(name, sizeof name, "TarnwickWineTest.%s.%lu.%u", label, GetCurrentProcessId(),
             NextSerial());
    path_ = name;
    ::testing::AssertionResult made = MakeKey(path_);
    if (!made)
        ADD_FAILURE() << made.message();
}

ScratchKey::~ScratchKey()
{
    LONG error = RegDeleteTreeA(HKEY_CLASSES_ROOT, path_.c_str());
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        ADD_FAILURE() << "cannot remove the scratch key " << path_ << ", error " << error;
}

::testing::AssertionResult MakeKey(const std::string& path)
{
    HKEY key;
    LONG error = OpenKeyPath(path, true, &key);
    if (error != ERROR_SUCCESS)
        return ::testing::AssertionFailure() << "cannot create " << path << ", error " << error;
    error = RegSetValueExA(key, "Marker", 0, REG_SZ, (const BYTE*)path.c_str(),
                           (DWORD)path.size() + 1);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS)
        return ::testing::AssertionFailure() << "cannot set a value in " << path;
    return ::testing::AssertionSuccess();
}

bool KeyExists(const std::string& path)
{
    HKEY key;
    if (OpenKeyPath(path, false, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool KeyIntact(const std::string& path)
{
    HKEY key;
    if (OpenKeyPath(path, false, &key) != ERROR_SUCCESS)
        return false;
    std::string marker(path.size() + 1, '\0');
    DWORD size = (DWORD)marker.size();
    DWORD type = 0;
    LONG error = RegQueryValueExA(key, "Marker", NULL, &type, (BYTE*)&marker[0], &size);
    RegCloseKey(key);
    return error == ERROR_SUCCESS && type == REG_SZ && size == marker.size() &&
           marker.compare(0, path.size(), path) == 0;
}

long SubkeyCount(const std::string& path)
{
    HKEY key;
    if (OpenKeyPath(path, false, &key) != ERROR_SUCCESS)
        return -1;
    DWORD count = 0;
    LONG error = RegQueryInfoKeyA(key, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL, NULL,
                                  NULL, NULL);
    RegCloseKey(key);
    return error == ERROR_SUCCESS ? (long)count : -1;
}

}  // namespace wine_machine
