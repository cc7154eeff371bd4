// What the program does and what it exits with. The command line: none for the dialog, or an
// unattended run that removes (/quiet, /q, and the installers' /qn, /s, /silent) or only looks
// (/check), optionally setting the controls' kill bits (/block), appending to a log (/log FILE)
// and waiting for another run for a while (/wait SECONDS); /? for the usage. /norestart is
// accepted and changes nothing: the tool never restarts the machine. Options start with '/' or
// '-', in any case. Where no one can see windows, and the dialog's exit code. Plain code, so that
// native builds test it too.
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
    bool block;           // the run sets (a check looks up) the controls' kill bits
};

// Reads the arguments as CommandLineToArgvW gives them, the program's own path first. Where no one
// sees the program's windows (seen false), it shows none: a window there waits for ever.
CommandLine ParseCommandLine(int argc, const LPCWSTR* argv, bool seen);

// Whether anyone can see the program's windows: not on a window station without WSF_VISIBLE (a
// service's, a task's that runs whether or not anyone is logged on), nor in session 0 from Vista
// on, whose station reports itself visible while no one sits at its screen. What cannot be told
// is given as seen: the dialog is what a person who starts the program expects.
bool WindowsAreSeen(bool visibleStation, bool vistaOrLater, DWORD session);

// The dialog's exit code, for a deployment that runs it without /quiet: that of its last press of
// Uninstall that removed or found the lock busy (lastPress, as RunUninstall gives it), 1602 (the
// user cancelled) where none did, and 1 where the dialog could not be shown at all.
int DialogExitCode(bool shown, int lastPress);

// The usage, in Chinese and English, and the caption of its box. The usage is kept in UTF-8, where
// its English half takes half the room it would take in UTF-16.
extern const char kUsage[];
extern const WCHAR kUsageCaption[];
// UTF-16 units that hold the usage, with its terminator.
const int kUsageCapacity = 2560;
