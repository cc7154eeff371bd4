#include "RegTree.h"

#include "../platform/PlatformServices.h"

HRESULT DeleteRegTree(HKEY parent, LPCSTR subKey)
{
    // Opening "" would open the parent itself, and the walk would then empty the parent.
    if (subKey == NULL || subKey[0] == '\0')
        return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);

    HKEY key;
    LONG error = PlatformServices::RegOpenKeyExA(parent, subKey, 0, KEY_ALL_ACCESS, &key);
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
        // A child that was listed but is not found (it vanished meanwhile, or it links to a key
        // that does not exist) says nothing of this key, which is there: stop emptying, as on an
        // enumeration error, and let the deletion below say whether the key could go. Passing
        // the child's status up would report this key, present, as absent.
        if (childStatus == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            break;
        status = childStatus;
        if (FAILED(status))
            break;
    }
    PlatformServices::RegCloseKey(key);
    if (FAILED(status))
        return status;

    error = PlatformServices::RegDeleteKeyA(parent, subKey);
    if (error != ERROR_SUCCESS)
        status = HRESULT_FROM_WIN32(error);
    return status;
}
