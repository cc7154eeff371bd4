#include "RemovalLock.h"

#include <sddl.h>

namespace {

const WCHAR kMutexName[] = L"Global\\Tarnwick.Removal";
// Everyone may wait for the mutex and release it, whichever user's run created it.
const WCHAR kMutexSecurity[] = L"D:(A;;0x00100001;;;WD)";  // SYNCHRONIZE | MUTEX_MODIFY_STATE

HANDLE OpenRemovalMutex()
{
    SECURITY_ATTRIBUTES security = {sizeof security, NULL, FALSE};
    // Without the descriptor, the mutex gets the default one: only this user may open it.
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kMutexSecurity, SDDL_REVISION_1,
                                                          &security.lpSecurityDescriptor, NULL);
    HANDLE mutex = ::CreateMutexW(&security, FALSE, kMutexName);
    ::LocalFree(security.lpSecurityDescriptor);
    // Another run made it, and its descriptor grants no more than waiting and releasing.
    if (mutex == NULL && ::GetLastError() == ERROR_ACCESS_DENIED)
        mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kMutexName);
    return mutex;
}

}  // namespace

CRemovalLock::CRemovalLock() : m_hMutex(OpenRemovalMutex())
{
    // WAIT_ABANDONED: the run that held it died; this one owns it now and goes on.
    if (m_hMutex != NULL && ::WaitForSingleObject(m_hMutex, INFINITE) == WAIT_FAILED) {
        ::CloseHandle(m_hMutex);
        m_hMutex = NULL;
    }
}

CRemovalLock::~CRemovalLock()
{
    if (m_hMutex != NULL) {
        ::ReleaseMutex(m_hMutex);
        ::CloseHandle(m_hMutex);
    }
}
