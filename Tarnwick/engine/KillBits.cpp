// The controls' kill bits, set or looked up in each view, never through a link.
#include "KillBits.h"

#include "KeyWalk.h"
#include "RegistrationTable.h"
#include "WideText.h"

namespace {

const WCHAR kCompatibility[] = L"Microsoft\\Internet Explorer\\ActiveX Compatibility\\";
const WCHAR kFlags[] = L"Compatibility Flags";
// COMPAT_EVIL_DONT_LOAD: the browser engine creates no control whose class ID's flags hold it.
const DWORD kKillBit = 0x400;

// Sets (in a check, looks up) the kill bit at path below folder's root in view, and returns its
// fate and the code that decided it. Where the run changes the value, appends to item what it was
// and what it is: " 0x4->0x404", " none->0x400", or for a value of another registry type, that
// type's number (" type 0x1->0x400" for REG_SZ).
template <size_t capacity>
ItemFate SetKillBit(RemovalMode mode, const KeyFolder& folder, const View& view, LPWSTR path,
                    DWORD* code, WCHAR (&item)[capacity])
{
    const bool checking = mode == kCheckOnly;
    UniqueKey key;
    size_t linkLength = 0;
    const ItemFate walk = OpenFolderKey(folder, view, path, checking ? 0 : KEY_SET_VALUE, key,
                                        code, &linkLength, !checking);
    if (walk == kItemNotOwn)
        *code = ERROR_SYMLINK_NOT_SUPPORTED;  // the run writes through no link
    if (walk == kItemAbsent) {
        *code = ERROR_SUCCESS;
        return kItemOpen;
    }
    if (walk != kItemPresent)
        return kItemFailed;
    DWORD type = REG_NONE;
    DWORD flags = 0;
    DWORD size = sizeof flags;
    *code = PlatformServices::RegQueryValueExW(key.Get(), kFlags, NULL, &type,
                                               reinterpret_cast<LPBYTE>(&flags), &size);
    const bool number = *code == ERROR_SUCCESS && type == REG_DWORD && size == sizeof flags;
    if (number && (flags & kKillBit) != 0) {
        *code = ERROR_SUCCESS;
        return checking ? kItemBlocked : kItemKept;
    }
    if (*code != ERROR_SUCCESS && *code != ERROR_MORE_DATA && *code != ERROR_FILE_NOT_FOUND)
        return kItemFailed;
    if (checking) {
        *code = ERROR_SUCCESS;
        return kItemOpen;
    }
    const bool missing = *code == ERROR_FILE_NOT_FOUND;
    const DWORD blocked = (number ? flags : 0) | kKillBit;
    *code = PlatformServices::RegSetValueExW(key.Get(), kFlags, 0, REG_DWORD,
                                             reinterpret_cast<const BYTE*>(&blocked),
                                             sizeof blocked);
    if (*code != ERROR_SUCCESS)
        return kItemFailed;
    AppendText(item, L" ");
    if (number)
        AppendHex(item, flags);
    else if (missing)
        AppendText(item, L"none");
    else if (AppendText(item, L"type "))
        AppendHex(item, type);
    AppendText(item, L"->");
    AppendHex(item, blocked);
    return kItemBlocked;
}

}  // namespace

void SetKillBits(RemovalMode mode, RemovalObserver* observer, Remains& remains)
{
    KeyFolder folder;
    GetKillBitsFolder(&folder);
    for (int row = 0; row < kRegistrationCount; ++row) {
        for (int number = 0; number < folder.viewCount; ++number) {
            const View& view = folder.views[number];
            WCHAR path[kKeyPathCapacity] = L"";
            AppendText(path, folder.path);
            AppendText(path, view.infix);
            AppendText(path, kCompatibility);
            AppendText(path, RegistrationTable[row].classId);
            WCHAR item[kItemNameCapacity + 64] = L"";
            AppendText(item, folder.rootName);
            AppendText(item, path);
            AppendText(item, view.tag);
            DWORD code = ERROR_SUCCESS;
            const ItemFate fate = SetKillBit(mode, folder, view, path, &code, item);
            ReportItem(observer, item, fate, code);
            if (IsTrace(fate))
                remains.otherTraceStays = true;
        }
    }
}
