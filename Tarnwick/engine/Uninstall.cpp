#include "Uninstall.h"

#include <string.h>

#include "../platform/PlatformServices.h"
#include "FolderSweep.h"
#include "RegTree.h"
#include "RegistrationTable.h"

namespace {

// The texts are code-page-936 bytes for the narrow message box.
const char kCaption[] = "\xCC\xE1\xCA\xBE\xD0\xC5\xCF\xA2";  // 提示信息
const char kNotice[] =                                      // 注意：卸载前请确保关闭所有浏览器窗口。
    "\xD7\xA2\xD2\xE2\xA3\xBA\xD0\xB6\xD4\xD8\xC7\xB0\xC7\xEB\xC8\xB7\xB1\xA3\xB9\xD8\xB1\xD5"
    "\xCB\xF9\xD3\xD0\xE4\xAF\xC0\xC0\xC6\xF7\xB4\xB0\xBF\xDA\xA1\xA3";
const char kSuccess[] = "\xD0\xB6\xD4\xD8\xB3\xC9\xB9\xA6\xA3\xA1";              // 卸载成功！
const char kFileFailure[] = "\xC9\xBE\xB3\xFD\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\xA3\xA1";  // 删除文件失败！

const char kDownloadedControlsSuffix[] = "\\Downloaded Program Files";

// Puts the path of a special folder into path, followed by suffix (NULL for none). Returns false,
// leaving path undefined, when the folder cannot be located or the path and suffix do not fit.
bool LocateFolder(int folder, LPCSTR suffix, char (&path)[MAX_PATH])
{
    LPITEMIDLIST idList = NULL;
    if (FAILED(PlatformServices::SHGetSpecialFolderLocation(NULL, folder, &idList)))
        return false;
    bool located = PlatformServices::SHGetPathFromIDListA(idList, path) != FALSE;
    if (located && suffix != NULL) {
        located = strlen(path) + strlen(suffix) < MAX_PATH;
        if (located)
            PlatformServices::lstrcatA(path, suffix);
    }
    PlatformServices::CoTaskMemFree(idList);
    return located;
}

void ShowMessage(HWND owner, LPCSTR text, UINT type)
{
    PlatformServices::MessageBoxA(owner, text, kCaption, type);
}

}  // namespace

void RunUninstall(HWND owner)
{
    ShowMessage(owner, kNotice, MB_ICONEXCLAMATION);

    // A downloaded-controls folder that cannot be located counts as one that cannot be listed.
    bool downloadedControlsSwept = false;
    char downloadedControls[MAX_PATH];
    if (LocateFolder(CSIDL_WINDOWS, kDownloadedControlsSuffix, downloadedControls))
        downloadedControlsSwept = SweepFolder(downloadedControls, DownloadedControlsRules);

    // Failures in the system folder are not reported.
    char systemFolder[MAX_PATH];
    if (LocateFolder(CSIDL_SYSTEM, NULL, systemFolder))
        SweepFolder(systemFolder, SystemFolderRules);

    // A row whose class key cannot be removed keeps its ProgID and type library. A class key that
    // is absent is no failure: that control was not registered.
    bool registrationStays = false;
    for (const ControlRegistration& registration : RegistrationTable) {
        const HRESULT status = DeleteRegTree(HKEY_CLASSES_ROOT, registration.classKey);
        if (SUCCEEDED(status)) {
            DeleteRegTree(HKEY_CLASSES_ROOT, registration.progIdKey);
            DeleteRegTree(HKEY_CLASSES_ROOT, registration.typeLibKey);
        } else if (status != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
            registrationStays = true;
        }
    }

    // A control that stays registered (as a rule, for want of the rights to remove it) ends the
    // procedure without an outcome box.
    if (registrationStays)
        return;
    if (downloadedControlsSwept)
        ShowMessage(owner, kSuccess, MB_ICONINFORMATION);
    else
        ShowMessage(owner, kFileFailure, MB_OK);
}
