#include "Uninstall.h"

#include "../platform/PlatformServices.h"
#include "Removal.h"

namespace {

const WCHAR kCaption[] = L"提示信息";
const WCHAR kNotice[] = L"注意：卸载前请确保关闭所有浏览器窗口。";
const WCHAR kSuccess[] = L"卸载成功！";
const WCHAR kFileFailure[] = L"删除文件失败！";

void ShowMessage(HWND owner, LPCWSTR text, UINT type)
{
    PlatformServices::MessageBoxW(owner, text, kCaption, type);
}

}  // namespace

void RunUninstall(HWND owner)
{
    ShowMessage(owner, kNotice, MB_ICONEXCLAMATION);

    const Remains remains = RemoveControls(kRemoveInteractively, NULL);

    // A control that stays registered (as a rule, for want of the rights to remove it) ends the
    // procedure without an outcome box. Failures in the system folder are not reported.
    if (remains.classKeyStays)
        return;
    if (remains.downloadedControlsCleared)
        ShowMessage(owner, kSuccess, MB_ICONINFORMATION);
    else
        ShowMessage(owner, kFileFailure, MB_OK);
}
