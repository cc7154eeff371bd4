// The end-to-end scenarios: Tarnwick.exe started, used and closed as a user would, with the
// machine's registry and folders checked afterwards.
#pragma once

#include <string>

// Runs every scenario against the program at tarnwick, saving pictures of the dialog and of each
// kind of message box as BMP files in the folder pictures. Returns the number of failed checks.
int RunScenarios(const std::wstring& tarnwick, const std::wstring& pictures);
