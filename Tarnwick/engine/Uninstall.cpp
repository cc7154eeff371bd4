#include "Uninstall.h"

#include "../platform/UniqueHandles.h"
#include "FolderSweep.h"
#include "RegTree.h"
#include "RegistrationTable.h"
#include "WideText.h"

namespace {

const WCHAR kCaption[] = L"提示信息";
const WCHAR kNotice[] = L"注意：卸载前请确保关闭所有浏览器窗口。";
const WCHAR kSuccess[] = L"卸载成功！";
const WCHAR kFileFailure[] = L"删除文件失败！";

const WCHAR kDownloadedControlsSuffix[] = L"\\Downloaded Program Files";

// HKEY_CLASSES_ROOT shows the per-user copy of a key held in both places and hides the
// per-machine one, so each place is cleared on its own: per user, then per machine.
const HKEY kClassesRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
const WCHAR kClassesPrefix[] = L"Software\\Classes\\";

// Puts the path of a special folder into path, followed by suffix (NULL for none). Returns false,
// leaving path undefined, when the folder cannot be located or the path and suffix do not fit.
bool LocateFolder(int folder, LPCWSTR suffix, WCHAR (&path)[MAX_PATH])
{
    UniqueIdList idList;
    if (FAILED(PlatformServices::SHGetSpecialFolderLocation(NULL, folder, idList.Put())))
        return false;
    if (!PlatformServices::SHGetPathFromIDListW(idList.Get(), path))
        return false;
    return suffix == NULL || AppendText(path, suffix);
}

// Removes the tree of key (a path relative to HKEY_CLASSES_ROOT) from one place of the classes.
HRESULT DeleteClassesKey(HKEY root, LPCWSTR key)
{
    WCHAR path[MAX_PATH] = L"";
    if (!AppendText(path, kClassesPrefix) || !AppendText(path, key))
        return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
    return DeleteRegTree(root, path);
}

// Removes one registration from one place. Its ProgID and type library go only where its class
// key is gone, removed or absent; a class key that stays keeps them. Returns false when the class
// key stays.
bool RemoveRegistration(HKEY root, const ControlRegistration& registration)
{
    const HRESULT status = DeleteClassesKey(root, registration.classKey);
    if (FAILED(status) && status != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return false;
    DeleteClassesKey(root, registration.progIdKey);
    DeleteClassesKey(root, registration.typeLibKey);
    return true;
}

void ShowMessage(HWND owner, LPCWSTR text, UINT type)
{
    PlatformServices::MessageBoxW(owner, text, kCaption, type);
}

}  // namespace

void RunUninstall(HWND owner)
{
    ShowMessage(owner, kNotice, MB_ICONEXCLAMATION);

    // A downloaded-controls folder that cannot be located counts as one that cannot be listed.
    bool downloadedControlsSwept = false;
    WCHAR downloadedControls[MAX_PATH];
    if (LocateFolder(CSIDL_WINDOWS, kDownloadedControlsSuffix, downloadedControls))
        downloadedControlsSwept = SweepFolder(downloadedControls, DownloadedControlsRules);

    // Failures in the system folder are not reported.
    WCHAR systemFolder[MAX_PATH];
    if (LocateFolder(CSIDL_SYSTEM, NULL, systemFolder))
        SweepFolder(systemFolder, SystemFolderRules);

    bool registrationStays = false;
    for (const ControlRegistration& registration : RegistrationTable) {
        for (HKEY root : kClassesRoots) {
            if (!RemoveRegistration(root, registration))
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
