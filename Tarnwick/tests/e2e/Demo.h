// The run command's part under Wine: a machine with the controls installed, Tarnwick started on
// it, and afterwards a list of what was removed and what stayed.
#pragma once

#include <string>

// Prepares the machine and starts the program. With a picture folder, presses Uninstall itself,
// saves pictures of the dialog and of each message box there as BMP files, dismisses the boxes
// and closes the dialog; without one, leaves the dialog to the user and waits until it closes.
// Returns non-zero when the machine could not be prepared or the program did not run.
int RunDemo(const std::wstring& tarnwick, const std::wstring& pictures);
