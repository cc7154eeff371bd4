// Tarnwick.exe as a user meets it: started, its dialog found, its buttons and keys pressed, its
// message boxes read and dismissed, its end awaited. Every wait is bounded.
#pragma once

#include <windows.h>

#include <string>

#include "Wait.h"

// Which icon a message box shows, told apart by its pixels: Windows keeps icon handles to their
// own process, so they cannot be compared across processes.
enum class BoxIcon { None, Exclamation, Information, Unknown };

const char* IconName(BoxIcon icon);

struct BoxView {
    std::wstring caption;
    std::wstring text;
    HWND owner = NULL;
    BoxIcon icon = BoxIcon::None;
    int buttons = 0;        // visible push buttons
    bool okButton = false;  // one of them is IDOK
};

class TarnwickSession {
public:
    // Starts the program and waits for its dialog.
    explicit TarnwickSession(const std::wstring& exe);
    // Ends the program if it still runs.
    ~TarnwickSession();
    TarnwickSession(const TarnwickSession&) = delete;
    TarnwickSession& operator=(const TarnwickSession&) = delete;

    HWND Dialog() const { return dialog; }  // NULL when no dialog appeared in time
    DWORD ThreadId() const { return process.dwThreadId; }
    HWND Control(int id) const { return GetDlgItem(dialog, id); }

    // Clicks a button of the dialog.
    void Click(int id) const;
    // Brings the dialog to the foreground and types a key. Returns false when it could not.
    bool Type(WORD virtualKey) const;
    // Clicks the caption's close box.
    void CloseFromCaption() const;

    // A message box of the program (a dialog window other than the main one), once it shows; NULL
    // when none shows in time or the program ends first.
    HWND WaitForBox(DWORD timeout = kTimeoutMs) const;
    // Waits for the program to end; false when it still runs after timeout.
    bool WaitForEnd(DWORD timeout = kTimeoutMs) const;
    // Whether the dialog is still there and answers messages.
    bool DialogOpen() const;

private:
    PROCESS_INFORMATION process;
    HWND dialog;
};

BoxView ReadBox(HWND box);

// Presses the box's OK button and waits until the box is gone.
bool DismissBox(HWND box);

// The text of a window of any process (SendMessage with a bounded wait).
std::wstring WindowText(HWND window);

std::wstring ClassName(HWND window);

// Saves what the screen shows of a window as a BMP file.
bool SavePicture(HWND window, const std::wstring& path);
