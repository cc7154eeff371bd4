#include "TarnwickSession.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "Wait.h"

namespace {

const DWORD kMessageTimeoutMs = 2000;

struct TopLevelSearch {
    DWORD processId;
    HWND exclude;       // the main dialog, when looking for a box
    bool ownerless;     // looking for the main dialog
    HWND found;
};

BOOL CALLBACK ConsiderTopLevel(HWND window, LPARAM parameter)
{
    TopLevelSearch& search = *(TopLevelSearch*)parameter;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search.processId || window == search.exclude || !IsWindowVisible(window) ||
        ClassName(window) != L"#32770" ||
        (search.ownerless && GetWindow(window, GW_OWNER) != NULL))
        return TRUE;
    search.found = window;
    return FALSE;
}

HWND FindTopLevel(DWORD processId, HWND exclude, bool ownerless)
{
    TopLevelSearch search = {processId, exclude, ownerless, NULL};
    EnumWindows(ConsiderTopLevel, (LPARAM)&search);
    return search.found;
}

// Pixels as 0x00RRGGBB, row by row from the top.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> data;
};

// Draws into a fresh top-down 32-bit bitmap and returns its pixels.
template <typename Draw>
Pixels Paint(int width, int height, Draw draw)
{
    Pixels pixels;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (bitmap != NULL) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        if (draw(memory, screen)) {
            GdiFlush();
            pixels.width = width;
            pixels.height = height;
            const DWORD* source = (const DWORD*)bits;
            pixels.data.assign(source, source + width * height);
            for (DWORD& pixel : pixels.data)
                pixel &= 0x00FFFFFF;
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return pixels;
}

Pixels CaptureScreen(const RECT& area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    return Paint(width, height, [&](HDC memory, HDC screen) {
        return BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
    });
}

Pixels RenderIcon(HICON icon, int width, int height, COLORREF background)
{
    return Paint(width, height, [&](HDC memory, HDC) {
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = {0, 0, width, height};
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        return DrawIconEx(memory, 0, 0, icon, width, height, 0, NULL, DI_NORMAL) != FALSE;
    });
}

bool Near(DWORD a, DWORD b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        if (abs((int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF)) > 24)
            return false;
    }
    return true;
}

// Whether the screen shows the icon: nearly all of its opaque pixels (those that look the same
// drawn on black and on white) agree with the screen's.
bool Shows(const Pixels& shot, LPCWSTR iconId)
{
    HICON icon = LoadIconW(NULL, iconId);
    Pixels onBlack = RenderIcon(icon, shot.width, shot.height, RGB(0, 0, 0));
    Pixels onWhite = RenderIcon(icon, shot.width, shot.height, RGB(255, 255, 255));
    if (onBlack.data.size() != shot.data.size() || onWhite.data.size() != shot.data.size())
        return false;
    int opaque = 0, agreeing = 0;
    for (size_t i = 0; i < shot.data.size(); ++i) {
        if (onBlack.data[i] != onWhite.data[i])
            continue;
        ++opaque;
        if (Near(onBlack.data[i], shot.data[i]))
            ++agreeing;
    }
    return opaque > 0 && agreeing * 20 >= opaque * 19;
}

struct IconSearch {
    HWND found;
};

BOOL CALLBACK ConsiderIconControl(HWND child, LPARAM parameter)
{
    DWORD_PTR icon = 0;
    if (ClassName(child) == L"Static" && IsWindowVisible(child) &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                            &icon) &&
        icon != 0) {
        ((IconSearch*)parameter)->found = child;
        return FALSE;
    }
    return TRUE;
}

// The icon a box shows: its visible icon control holding an icon, told apart by its pixels once
// the box has painted it.
BoxIcon IconOf(HWND box)
{
    IconSearch search = {NULL};
    EnumChildWindows(box, ConsiderIconControl, (LPARAM)&search);
    if (search.found == NULL)
        return BoxIcon::None;
    BoxIcon icon = BoxIcon::Unknown;
    WaitFor(
        [&] {
            RECT area;
            GetWindowRect(search.found, &area);
            Pixels shot = CaptureScreen(area);
            if (Shows(shot, IDI_EXCLAMATION))
                icon = BoxIcon::Exclamation;
            else if (Shows(shot, IDI_INFORMATION))
                icon = BoxIcon::Information;
            return icon != BoxIcon::Unknown;
        },
        kMessageTimeoutMs);
    return icon;
}

struct ButtonCount {
    int buttons;
};

BOOL CALLBACK CountButton(HWND child, LPARAM parameter)
{
    LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
    if (ClassName(child) == L"Button" && IsWindowVisible(child) &&
        (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON))
        ((ButtonCount*)parameter)->buttons++;
    return TRUE;
}

}  // namespace

const char* IconName(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::None:
        return "none";
    case BoxIcon::Exclamation:
        return "exclamation";
    case BoxIcon::Information:
        return "information";
    case BoxIcon::Unknown:
        break;
    }
    return "unrecognised";
}

TarnwickSession::TarnwickSession(const std::wstring& exe) : process(), dialog(NULL)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process)) {
        process = PROCESS_INFORMATION();
        return;
    }
    WaitFor(
        [&] {
            dialog = FindTopLevel(process.dwProcessId, NULL, true);
            return dialog != NULL || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        },
        kStartTimeoutMs);
    if (dialog != NULL)
        WaitForInputIdle(process.hProcess, kTimeoutMs);
}

TarnwickSession::~TarnwickSession()
{
    if (process.hProcess == NULL)
        return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, kTimeoutMs);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void TarnwickSession::Click(int id) const
{
    PostMessageW(Control(id), BM_CLICK, 0, 0);
}

bool TarnwickSession::Type(WORD virtualKey) const
{
    SetForegroundWindow(dialog);
    if (!WaitFor([&] { return GetForegroundWindow() == dialog; }, kMessageTimeoutMs))
        return false;
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = virtualKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, keys, sizeof keys[0]) == 2;
}

void TarnwickSession::CloseFromCaption() const
{
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

HWND TarnwickSession::WaitForBox(DWORD timeout) const
{
    HWND box = NULL;
    WaitFor(
        [&] {
            box = FindTopLevel(process.dwProcessId, dialog, false);
            return box != NULL || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        },
        timeout);
    return box;
}

bool TarnwickSession::WaitForEnd(DWORD timeout) const
{
    return process.hProcess != NULL &&
           WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0;
}

bool TarnwickSession::DialogOpen() const
{
    DWORD_PTR result;
    return IsWindow(dialog) && IsWindowVisible(dialog) &&
           SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                               &result);
}

BoxView ReadBox(HWND box)
{
    BoxView view;
    view.caption = WindowText(box);
    view.text = WindowText(GetDlgItem(box, 0xFFFF));
    view.owner = GetWindow(box, GW_OWNER);
    view.icon = IconOf(box);
    ButtonCount count = {0};
    EnumChildWindows(box, CountButton, (LPARAM)&count);
    view.buttons = count.buttons;
    HWND ok = GetDlgItem(box, IDOK);
    view.okButton = ok != NULL && IsWindowVisible(ok);
    return view;
}

bool DismissBox(HWND box)
{
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitFor([&] { return !IsWindow(box); });
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = L"";
    DWORD_PTR length = 0;
    if (window == NULL ||
        !SendMessageTimeoutW(window, WM_GETTEXT, 512, (LPARAM)text, SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &length))
        return std::wstring();
    return std::wstring(text, length < 512 ? length : 511);
}

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

bool SavePicture(HWND window, const std::wstring& path)
{
    // Have the window paint itself now, and give the display a moment to show it.
    RedrawWindow(window, NULL, NULL,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(300);
    RECT area;
    GetWindowRect(window, &area);
    Pixels shot = CaptureScreen(area);
    if (shot.data.empty())
        return false;

    // A 24-bit BMP, rows from the bottom, each padded to four bytes.
    DWORD stride = (shot.width * 3 + 3) & ~3u;
    std::vector<BYTE> rows(stride * shot.height);
    for (int y = 0; y < shot.height; ++y) {
        BYTE* row = &rows[stride * (shot.height - 1 - y)];
        for (int x = 0; x < shot.width; ++x) {
            DWORD pixel = shot.data[y * shot.width + x];
            row[3 * x] = (BYTE)pixel;
            row[3 * x + 1] = (BYTE)(pixel >> 8);
            row[3 * x + 2] = (BYTE)(pixel >> 16);
        }
    }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = shot.width;
    info.biHeight = shot.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + (DWORD)rows.size();

    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == NULL)
        return false;
    bool written = fwrite(&header, sizeof header, 1, file) == 1 &&
                   fwrite(&info, sizeof info, 1, file) == 1 &&
                   fwrite(rows.data(), rows.size(), 1, file) == 1;
    return fclose(file) == 0 && written;
}
