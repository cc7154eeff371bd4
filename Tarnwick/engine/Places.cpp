// The machine's place and a user's: their folders of keys, and the views each is seen in.
#include "Places.h"

#include "../platform/PlatformServices.h"
#include "WideText.h"

namespace {

// 32-bit Windows has one registry view.
const View kOneView[] = {{L"", 0, L""}};
// The machine's keys on 64-bit Windows: Windows' views of one path.
const View kWindowsViews[] = {
    {L"", KEY_WOW64_64KEY, L" [64]"},
    {L"", KEY_WOW64_32KEY, L" [32]"},
};
// A user's classes, and the machine's kill bits, on 64-bit Windows: the 32-bit ones below
// Wow6432Node, both reached in the 64-bit view, which redirects nothing. The first alone is the
// one view of a user's other software.
const View kViewsByPath[] = {
    {L"", KEY_WOW64_64KEY, L" [64]"},
    {L"Wow6432Node\\", KEY_WOW64_64KEY, L" [32]"},
};

const WCHAR kClasses[] = L"Software\\Classes\\";
const WCHAR kSoftware[] = L"Software\\";
const WCHAR kMachine[] = L"HKEY_LOCAL_MACHINE\\";

void SetFolder(KeyFolder* folder, HKEY root, LPCWSTR path, LPCWSTR rootName, const View* views,
               int viewCount, bool asItself)
{
    folder->root = root;
    folder->path = path;
    folder->rootName[0] = L'\0';
    AppendText(folder->rootName, rootName);
    folder->views = views;
    folder->viewCount = viewCount;
    folder->asItself = asItself;
}

}  // namespace

bool IsWow64()
{
    BOOL wow64 = FALSE;
    return PlatformServices::IsWow64Process(PlatformServices::GetCurrentProcess(), &wow64) &&
           wow64;
}

bool IsWindows64Bit()
{
    return sizeof(void*) == 8 || IsWow64();
}

REGSAM NativeView()
{
    return IsWindows64Bit() ? KEY_WOW64_64KEY : 0;
}

void GetMachinePlace(Place* place)
{
    const bool both = IsWindows64Bit();
    const View* views = both ? kWindowsViews : kOneView;
    SetFolder(&place->classes, HKEY_LOCAL_MACHINE, kClasses, kMachine, views, both ? 2 : 1, false);
    SetFolder(&place->software, HKEY_LOCAL_MACHINE, kSoftware, kMachine, views, both ? 2 : 1,
              false);
}

void GetUserPlace(Place* place, HKEY classesRoot, LPCWSTR classesPath, LPCWSTR classesName,
                  HKEY softwareRoot, LPCWSTR softwareName)
{
    const bool both = IsWindows64Bit();
    SetFolder(&place->classes, classesRoot, classesPath, classesName,
              both ? kViewsByPath : kOneView, both ? 2 : 1, true);
    SetFolder(&place->software, softwareRoot, kSoftware, softwareName,
              both ? kViewsByPath : kOneView, 1, true);
}

void GetKillBitsFolder(KeyFolder* folder)
{
    const bool both = IsWindows64Bit();
    SetFolder(folder, HKEY_LOCAL_MACHINE, kSoftware, kMachine,
              both ? kViewsByPath : kOneView, both ? 2 : 1, true);
}
