#pragma once

#include "afxwin.h"

// The application: runs the main dialog and ends when it closes.
class CTarnwickApp : public CWinApp {
public:
    CTarnwickApp();

    virtual BOOL InitInstance();

    DECLARE_MESSAGE_MAP()
};

extern CTarnwickApp theApp;
