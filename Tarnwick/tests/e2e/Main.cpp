// Drives Tarnwick.exe under Wine as a user would.
//   tarnwick_e2e suite TARNWICK.EXE PICTURE-FOLDER  runs every scenario; one line per check, then
//                                                   "N passed, M failed"; exit code 1 on failure
//   tarnwick_e2e demo TARNWICK.EXE PICTURE-FOLDER   installs the controls, runs Tarnwick, presses
//                                                   Uninstall, pictures every window
//   tarnwick_e2e demo TARNWICK.EXE                  the same, leaving the dialog to the user
#include <windows.h>

#include <string>

#include "Demo.h"
#include "Report.h"
#include "Scenarios.h"

int wmain(int argc, wchar_t** argv)
{
    OpenReport();
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"suite" && argc == 4)
        return RunScenarios(argv[2], argv[3]) == 0 ? 0 : 1;
    if (mode == L"demo" && (argc == 3 || argc == 4))
        return RunDemo(argv[2], argc == 4 ? argv[3] : L"");
    Note("usage: tarnwick_e2e suite|demo TARNWICK.EXE [PICTURE-FOLDER]");
    return 2;
}
