// Resource ids of Tarnwick.exe, shared by the resource script and the code.
#pragma once

#define IDD_TARNWICK_DIALOG 102
#define IDR_MAINFRAME 128
