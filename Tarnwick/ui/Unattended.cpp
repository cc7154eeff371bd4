#include "Unattended.h"

#include "RunLog.h"
#include "Uninstall.h"

int RunUnattended(RemovalMode mode, LPCWSTR logPath, DWORD waitSeconds)
{
    // A box asking to insert a disk, or reporting a crash, would wait for no one.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    CRunLog log;
    if (logPath != NULL && !log.Open(logPath))
        return ERROR_INSTALL_LOG_FAILURE;

    // Written before the wait, so that a run killed while it waits leaves a trace.
    log.WriteStart(mode);
    const int exitCode = RunUnattendedRemoval(mode, waitSeconds, &log);
    if (exitCode == ERROR_INSTALL_ALREADY_RUNNING)
        log.WriteBusy(waitSeconds);
    log.WriteEnd(exitCode);
    return exitCode;
}
