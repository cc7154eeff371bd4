// The command line: none for the dialog, or an unattended run that removes (/quiet, /q, and the
// installers' /qn, /s, /silent) or only looks (/check), optionally appending to a log (/log FILE)
// and waiting for another run for a while (/wait SECONDS); /? for the usage. /norestart is
// accepted and changes nothing: the tool never restarts the machine. Options start with '/' or
// '-', in any case. Plain code over the arguments, so that native builds test it too.
#pragma once

#include "../engine/Removal.h"

struct CommandLine {
    enum Request {
        kDialog,      // the dialog
        kUsage,       // the usage box, then exitCode
        kUnattended,  // a run in mode, logged to logPath unless it is NULL
        kNothing,     // no window at all, only exitCode
    };

    Request request;
    int exitCode;         // of kUsage and kNothing: 0, or 87 for a line that cannot be used
    RemovalMode mode;
    LPCWSTR logPath;      // points into the arguments
    DWORD waitSeconds;    // how long a run waits for another run to end
};

// Reads the arguments as CommandLineToArgvW gives them, the program's own path first. Where no one
// sees the program's windows (seen false), it shows none: a window there waits for ever.
CommandLine ParseCommandLine(int argc, const LPCWSTR* argv, bool seen);

// The usage, in Chinese and English, and the caption of its box. The usage is kept in UTF-8, where
// its English half takes half the room it would take in UTF-16.
extern const char kUsage[];
extern const WCHAR kUsageCaption[];
// UTF-16 units that hold the usage, with its terminator.
const int kUsageCapacity = 2048;
