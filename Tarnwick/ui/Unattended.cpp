#include "Unattended.h"

#include "RunLog.h"
#include "Uninstall.h"
#include "UserHives.h"

int RunUnattended(RemovalMode mode, LPCWSTR logPath, DWORD waitSeconds, bool block)
{
    // A box asking to insert a disk, or reporting a crash, would wait for no one.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    CRunLog log;
    if (logPath != NULL && !log.Open(logPath))
        return ERROR_INSTALL_LOG_FAILURE;

    // Written before the wait, so that a run killed while it waits leaves a trace.
    const RemovalScope scope = UnattendedScope();
    log.WriteStart(mode, scope, block, scope == kAllProfiles ? CountProfiles() : 0);
    const int exitCode = RunUnattendedRemoval(mode, scope, waitSeconds, block, &log);
    if (exitCode == ERROR_INSTALL_ALREADY_RUNNING)
        log.WriteBusy(waitSeconds);
    log.WriteEnd(exitCode);
    return exitCode;
}
