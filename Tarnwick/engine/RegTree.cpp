#include "RegTree.h"

#include "../platform/PlatformServices.h"

HRESULT DeleteRegTree(HKEY parent, LPCSTR subKey)
{
    // Opening "" would open the parent itself, and the walk would then empty the parent.
    if (subKey == NULL || subKey[0] == '\0')
        return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);

    // A registry link is opened as the link itself, which has no children: the walk never
    // reaches the tree it points to, which may lie anywhere in the registry.
    HKEY key;
    LONG error = PlatformServices::RegOpenKeyExA(parent, subKey, REG_OPTION_OPEN_LINK,
                                                 KEY_ALL_ACCESS, &key);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(error);

    HRESULT status = S_OK;
    char child[kChildNameCapacity];
    for (;;) {
        DWORD capacity = kChildNameCapacity;
        FILETIME lastWriteTime;
        // Always index 0: every pass that succeeds removes the child it found. Any other result,
        // the end of the children or an error, ends the emptying; if children remain, the
        // deletion below fails and reports it.
        if (PlatformServices::RegEnumKeyExA(key, 0, child, &capacity, NULL, NULL, NULL,
                                            &lastWriteTime) != ERROR_SUCCESS)
            break;
        const HRESULT childStatus = DeleteRegTree(key, child);
        // A child that was listed but is not found (it vanished meanwhile) says nothing of this
        // key, which is there: stop emptying, as on an enumeration error, and let the deletion
        // below say whether the key could go. Passing the child's status up would report this
        // key, present, as absent.
        if (childStatus == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            break;
        status = childStatus;
        if (FAILED(status))
            break;
    }
    // The key is deleted through its own handle: deleting it by name would resolve the name
    // again and, for a link, delete the key it points to.
    if (SUCCEEDED(status)) {
        const NTSTATUS deletion = PlatformServices::NtDeleteKey(key);
        if (!NT_SUCCESS(deletion))
            status = HRESULT_FROM_WIN32(PlatformServices::RtlNtStatusToDosError(deletion));
    }
    PlatformServices::RegCloseKey(key);
    return status;
}
