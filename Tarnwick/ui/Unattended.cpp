#include "Unattended.h"

#include "RemovalLock.h"
#include "RunLog.h"

int RunUnattended(RemovalMode mode, LPCWSTR logPath)
{
    // A box asking to insert a disk, or reporting a crash, would wait for no one.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    CRunLog log;
    if (logPath != NULL && !log.Open(logPath))
        return ERROR_INVALID_PARAMETER;

    CRemovalLock lock;
    log.WriteStart(mode);
    const int exitCode = ExitCodeFor(mode, RemoveControls(mode, &log));
    log.WriteEnd(exitCode);
    return exitCode;
}
