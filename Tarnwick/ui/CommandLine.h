// The command line: none for the dialog, or an unattended run that removes (/quiet, /q) or only
// looks (/check), optionally appending to a log (/log FILE); /? for the usage. Options start with
// '/' or '-', in any case. Plain code over the arguments, so that native builds test it too.
#pragma once

#include "../engine/Removal.h"

struct CommandLine {
    enum Request {
        kDialog,      // no options
        kUsage,       // /? alone
        kUnusable,    // a line that cannot be used: the usage, and exit code 87
        kUnattended,  // /quiet or /check: a run in mode, logged to logPath unless it is NULL
        kRefused,     // a line that cannot be used, with /quiet or /check on it: exit code 87 only
    };

    Request request;
    RemovalMode mode;
    LPCWSTR logPath;  // points into the arguments
};

// Reads the arguments as CommandLineToArgvW gives them, the program's own path first.
CommandLine ParseCommandLine(int argc, const LPCWSTR* argv);

// The usage, in Chinese and English, and the caption of its box.
extern const WCHAR kUsage[];
extern const WCHAR kUsageCaption[];
