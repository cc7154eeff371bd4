// The dialog's uninstall procedure and the unattended run, around one removal each.
#include "Uninstall.h"

#include "KillBits.h"
#include "RemovalLock.h"

namespace {

const WCHAR kCaption[] = L"提示信息";
const WCHAR kNotice[] = L"注意：卸载前请确保关闭所有浏览器窗口。";
const WCHAR kSuccess[] = L"卸载成功！";
const WCHAR kFileFailure[] = L"删除文件失败！";
const WCHAR kBusy[] = L"另一个卸载正在进行，请稍后再试。";

// How long the dialog waits for another run's removal to end.
const DWORD kDialogWaitMs = 60000;

void ShowMessage(HWND owner, LPCWSTR text, UINT type)
{
    PlatformServices::MessageBoxW(owner, text, kCaption, type);
}

}  // namespace

int RunUninstall(HWND owner)
{
    ShowMessage(owner, kNotice, MB_ICONEXCLAMATION);

    Remains remains;
    {
        // Held for the removal alone: a run elsewhere need not wait for a box to be dismissed.
        RemovalLock lock;
        const LockState state = lock.Take(kDialogWaitMs, owner, NULL);
        if (state == kLockClosed)
            return ERROR_INSTALL_USEREXIT;
        if (state == kLockBusy) {
            ShowMessage(owner, kBusy, MB_ICONEXCLAMATION);
            return ERROR_INSTALL_ALREADY_RUNNING;
        }
        remains = RemoveControls(kRemoveInteractively, kThisUser, NULL);
    }

    // A control that stays registered (as a rule, for want of the rights to remove it) ends the
    // procedure without an outcome box. Failures in the system folder are not reported.
    if (!remains.classKeyStays) {
        if (remains.downloadedControlsCleared)
            ShowMessage(owner, kSuccess, MB_ICONINFORMATION);
        else
            ShowMessage(owner, kFileFailure, MB_OK);
    }
    return ExitCodeFor(kRemoveInteractively, remains);
}

RemovalScope UnattendedScope()
{
    return HasAdministratorRights() ? kAllProfiles : kThisUser;
}

int RunUnattendedRemoval(RemovalMode mode, RemovalScope scope, DWORD waitSeconds, bool block,
                         RemovalObserver* observer)
{
    RemovalLock lock;
    if (lock.Take(waitSeconds * 1000, NULL, observer) == kLockBusy)
        return ERROR_INSTALL_ALREADY_RUNNING;
    Remains remains = RemoveControls(mode, scope, observer);
    if (block)
        SetKillBits(mode, observer, remains);
    return ExitCodeFor(mode, remains);
}
