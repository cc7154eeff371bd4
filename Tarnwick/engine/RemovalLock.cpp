// The lock that keeps administrators' removals from overlapping.
#include "RemovalLock.h"

namespace {

// BUILTIN\Administrators (S-1-5-32-544) as Windows lays out a SID: the revision, the number of
// subauthorities, the authority (5, NT) in six bytes, then each subauthority in four bytes, the
// low byte first. Windows reads it and never writes to it.
BYTE kAdministrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};

// Full access for Administrators and SYSTEM, and for no one else.
const WCHAR kAdministratorsOnly[] = L"D:P(A;;GA;;;BA)(A;;GA;;;SY)";
const WCHAR kNamespace[] = L"Tarnwick";
const WCHAR kNamespacedMutex[] = L"Tarnwick\\Removal";
const WCHAR kGlobalMutex[] = L"Global\\Tarnwick.Removal";
// The namespace vanishes when the last run that has it open closes it, which another run may do
// between this run's failed creation and its opening.
const int kNamespaceAttempts = 3;

// Dispatches the thread's waiting messages, the dialog's through IsDialogMessageW as its own loop
// does. Returns false once the dialog has been closed: ending a dialog hides it at once, and it is
// destroyed when the handler that waits has returned.
bool DispatchMessages(HWND dialog)
{
    MSG message;
    while (PlatformServices::PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        if (!PlatformServices::IsDialogMessageW(dialog, &message))
            PlatformServices::DispatchMessageW(&message);
    }
    return PlatformServices::IsWindowVisible(dialog);
}

}  // namespace

bool HasAdministratorRights()
{
    BOOL member = FALSE;
    return PlatformServices::CheckTokenMembership(NULL, kAdministrators, &member) && member;
}

RemovalLock::~RemovalLock()
{
    if (m_held)
        PlatformServices::ReleaseMutex(m_mutex.Get());
}

LockState RemovalLock::Take(DWORD ms, HWND window, RemovalObserver* observer)
{
    if (!HasAdministratorRights())
        return kLockTaken;
    UniqueLocal descriptor;
    PlatformServices::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        kAdministratorsOnly, SDDL_REVISION_1, descriptor.Put(), NULL);
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor.Get(), FALSE};
    const LPCWSTR name = OpenNamespace(&security) ? kNamespacedMutex : kGlobalMutex;
    m_mutex.Reset(PlatformServices::CreateMutexW(&security, FALSE, name));
    // A mutex of that name that refuses this run (a user's, made first) is no reason to leave the
    // machine as it is: the run goes on without the lock.
    if (!m_mutex.IsValid())
        return kLockTaken;

    LockState state = Wait(0, NULL);
    if (state == kLockBusy) {
        if (observer != NULL)
            observer->OnWaiting();
        state = Wait(ms, window);
    }
    return state;
}

bool RemovalLock::OpenNamespace(SECURITY_ATTRIBUTES* security)
{
    // Only a process with the Administrators group in its token may create a namespace with this
    // boundary; the namespace's descriptor keeps everyone else from opening it.
    UniqueBoundary boundary(PlatformServices::CreateBoundaryDescriptorW(kNamespace, 0));
    if (!boundary.IsValid() ||
        !PlatformServices::AddSIDToBoundaryDescriptor(boundary.AddressOf(), kAdministrators))
        return false;
    for (int attempt = 0; attempt < kNamespaceAttempts; ++attempt) {
        m_namespace.Reset(
            PlatformServices::CreatePrivateNamespaceW(security, boundary.Get(), kNamespace));
        if (m_namespace.IsValid())
            return true;
        if (PlatformServices::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        m_namespace.Reset(PlatformServices::OpenPrivateNamespaceW(boundary.Get(), kNamespace));
        if (m_namespace.IsValid())
            return true;
    }
    return false;
}

LockState RemovalLock::Wait(DWORD ms, HWND window)
{
    const HANDLE mutex = m_mutex.Get();
    const DWORD start = PlatformServices::GetTickCount();
    for (;;) {
        const DWORD elapsed = PlatformServices::GetTickCount() - start;
        const DWORD left = elapsed < ms ? ms - elapsed : 0;
        // Messages may end the wait early while time is left; the last look takes none.
        const DWORD wakeMask = window != NULL && left != 0 ? QS_ALLINPUT : 0;
        const DWORD result =
            PlatformServices::MsgWaitForMultipleObjects(1, &mutex, FALSE, left, wakeMask);
        if (result == WAIT_TIMEOUT)
            return kLockBusy;
        if (result != WAIT_OBJECT_0 + 1) {
            // Abandoned: the run that held it died, and this one holds it now. A wait that fails
            // is no reason to leave the machine as it is: the run goes on without the lock.
            m_held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0;
            return kLockTaken;
        }
        if (!DispatchMessages(window))
            return kLockClosed;
    }
}
