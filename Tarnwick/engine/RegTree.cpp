// Registry tree removal without following links, and the names Windows gives keys.
#include "RegTree.h"

#include "../platform/UniqueHandles.h"
#include "WideText.h"

namespace {

// How many components of the first length characters of path are Wow6432Node, in any case.
int CountWow64Nodes(LPCWSTR path, size_t length)
{
    const WCHAR kNode[] = L"Wow6432Node";
    const size_t kNodeLength = sizeof kNode / sizeof kNode[0] - 1;
    int count = 0;
    for (size_t start = 0; start < length;) {
        size_t end = start;
        while (end < length && path[end] != L'\\')
            ++end;
        if (end - start == kNodeLength && TextStartsWithIgnoringCase(path + start, kNode))
            ++count;
        start = end + 1;
    }
    return count;
}

}  // namespace

HRESULT DeleteRegTree(HKEY parent, LPCWSTR subKey, REGSAM view)
{
    // Opening "" would open the parent itself, and the walk would then empty the parent.
    if (subKey == NULL || subKey[0] == L'\0')
        return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);

    // A registry link is opened as the link itself, which has no children: the walk never
    // reaches the tree it points to, which may lie anywhere in the registry. The key is opened
    // with the rights the walk uses alone: a key may grant these and refuse the rest.
    UniqueKey key;
    const LONG error = PlatformServices::RegOpenKeyExW(
        parent, subKey, REG_OPTION_OPEN_LINK, DELETE | KEY_ENUMERATE_SUB_KEYS | view, key.Put());
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(error);

    WCHAR child[kChildNameCapacity];
    for (;;) {
        DWORD capacity = kChildNameCapacity;
        FILETIME lastWriteTime;
        // Always index 0: every pass that succeeds removes the child it found. Any other result,
        // the end of the children or an error, ends the emptying; if children remain, the
        // deletion below fails and reports it.
        if (PlatformServices::RegEnumKeyExW(key.Get(), 0, child, &capacity, NULL, NULL, NULL,
                                            &lastWriteTime) != ERROR_SUCCESS)
            break;
        const HRESULT childStatus = DeleteRegTree(key.Get(), child, view);
        // A child that was listed but is not found (it vanished meanwhile) says nothing of this
        // key, which is there: stop emptying, as on an enumeration error, and let the deletion
        // below say whether the key could go. Passing the child's status up would report this
        // key, present, as absent.
        if (childStatus == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            break;
        if (FAILED(childStatus))
            return childStatus;
    }
    // The key is deleted through its own handle: deleting it by name would resolve the name
    // again and, for a link, delete the key it points to.
    const NTSTATUS deletion = PlatformServices::NtDeleteKey(key.Get());
    if (!NT_SUCCESS(deletion))
        return HRESULT_FROM_WIN32(PlatformServices::RtlNtStatusToDosError(deletion));
    return S_OK;
}

bool GetKernelName(HKEY key, WCHAR (&name)[kKernelNameCapacity])
{
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name, not terminated.
    struct {
        ULONG length;
        WCHAR name[kKernelNameCapacity];
    } information;
    ULONG size = 0;
    const ULONG kKeyNameInformation = 3;
    if (!NT_SUCCESS(PlatformServices::NtQueryKey(key, kKeyNameInformation, &information,
                                                 sizeof information, &size)))
        return false;
    const ULONG length = information.length / sizeof(WCHAR);
    if (length >= kKernelNameCapacity)
        return false;
    for (ULONG i = 0; i < length; ++i)
        name[i] = information.name[i];
    name[length] = L'\0';
    return true;
}

bool IsKeyAskedFor(HKEY key, LPCWSTR path, size_t length)
{
    WCHAR name[kKernelNameCapacity];
    return GetKernelName(key, name) &&
           CountWow64Nodes(name, TextLength(name)) <= CountWow64Nodes(path, length);
}
