#pragma once

#include "afxwin.h"
#include "CommandLine.h"

// The application: runs the main dialog and ends when it closes, or runs as its command line asks.
class CTarnwickApp : public CWinApp {
public:
    CTarnwickApp();

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    DECLARE_MESSAGE_MAP()

private:
    // Does what the line asks for; returns the exit code.
    int RunCommandLine(const CommandLine& line);

    int m_nExitCode = 0;
};

extern CTarnwickApp theApp;
