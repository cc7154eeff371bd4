// The lock that keeps administrators' removals from overlapping on the machine, across sessions: a
// startup script running as SYSTEM and a deployment tool's run can start at the same moment. No
// ordinary user can hold it up: it is a mutex that only Administrators and SYSTEM may open, in a
// private namespace that only Administrators may create (from Vista on). Where there are no private
// namespaces, it is the mutex Global\Tarnwick.Removal, which a user could create first; the bounded
// wait is the defence there. A run without administrator rights takes no lock: it cannot touch
// what belongs to the machine, and may overlap an administrator's run.
#pragma once

#include "../platform/UniqueHandles.h"
#include "RemovalReport.h"

// Whether the run has administrator rights: elevated, or SYSTEM.
bool HasAdministratorRights();

enum LockState
{
    kLockTaken,   // the run may go on: it holds the lock, needs none, or cannot have one
    kLockBusy,    // another run held the lock for the whole wait
    kLockClosed,  // the window that waited was closed meanwhile
};

class RemovalLock
{
public:
    RemovalLock() = default;
    RemovalLock(const RemovalLock&) = delete;
    RemovalLock& operator=(const RemovalLock&) = delete;
    // Releases the lock, if it is held, before the namespace that holds it is closed: another run
    // may have opened the namespace meanwhile and wait in it.
    ~RemovalLock();

    // Takes the lock, waiting up to ms for another run to release it, and tells observer (may be
    // NULL) when it has to wait. With a window, the wait dispatches the thread's messages, so that
    // the window keeps answering, and ends when the window is closed.
    LockState Take(DWORD ms, HWND window, RemovalObserver* observer);

private:
    // Opens the private namespace, creating it where no run has; false where none can be had.
    bool OpenNamespace(SECURITY_ATTRIBUTES* security);
    // Waits up to ms for the mutex; with a window, dispatches the thread's messages meanwhile.
    LockState Wait(DWORD ms, HWND window);

    UniqueNamespace m_namespace;
    UniqueObject m_mutex;
    bool m_held = false;
};
