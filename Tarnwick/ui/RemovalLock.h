#pragma once

#include <windows.h>

// Keeps removals from overlapping on the machine, across sessions and users: a startup script
// running as SYSTEM and a logon script can start at the same moment. Constructing it waits until
// no other run holds the lock; destroying it lets the next one go on.
class CRemovalLock {
public:
    CRemovalLock();
    CRemovalLock(const CRemovalLock&) = delete;
    CRemovalLock& operator=(const CRemovalLock&) = delete;
    ~CRemovalLock();

private:
    HANDLE m_hMutex;  // NULL: the lock could not be had, and the run goes on without it
};
