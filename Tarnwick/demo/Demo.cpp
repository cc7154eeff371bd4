// tarnwick_demo TARNWICK.EXE [PICTURE-FOLDER]: installs the controls that Tarnwick removes (their
// seven registrations, their files in both folders, conflict folders) beside unrelated keys and
// files, and starts Tarnwick.exe. Given a picture folder (a Unix path), it presses Uninstall and
// dismisses the boxes itself, saving pictures of the dialog, the notice and the outcome there;
// otherwise the dialog is the user's. Either way it lists what was removed and what stayed.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "RegistrationTable.h"
#include "WineMachine.h"

namespace {

typedef std::wstring Str;

const Str kDownloaded = L"C:\\windows\\Downloaded Program Files";
const DWORD kWaitMs = 30000;  // a fresh prefix's first window can take 10 s

enum Kind { Key, File, Folder };

struct Entry {
    Kind kind;
    Str path;
};

PROCESS_INFORMATION tarnwick;

// The controls' keys, files and conflict folders, beside unrelated ones with similar names.
std::vector<Entry> Installation(const Str& system)
{
    std::vector<Entry> entries;
    for (const ControlRegistration& row : RegistrationTable) {
        entries.push_back({Key, Str(L"CLSID\\") + row.classId});
        entries.push_back({Key, row.progIdKey});
        entries.push_back({Key, row.typeLibKey});
    }
    auto add = [&](Kind kind, const Str& folder, std::vector<const wchar_t*> names) {
        for (const wchar_t* name : names)
            entries.push_back({kind, folder + name});
    };
    add(Key, L"", {L"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",
                   L"Quillodeck.DocumentControl.20",
                   L"TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DF}"});
    entries.push_back({Folder, kDownloaded});
    add(File, kDownloaded + L"\\", {L"Fennoxel.ocx", L"MERROWIND.OCX", L"QuillOdeck.Ocx",
                                    L"quillodeck.inf", L"FENNOXEL.inf", L"CONFLICT.2",
                                    L"QUILLODECK.OCX.bak", L"aFENNOXEL.INF"});
    add(Folder, kDownloaded + L"\\", {L"CONFLICT.1", L"xConflic"});
    add(File, system + L"\\", {L"FENNOXEL.OCX", L"merrowind.ocx", L"QUILLODECK.INF",
                               L"fennoxel.inf"});
    add(Folder, system + L"\\", {L"QUILLODECK.OCX", L"CONFLICT.3"});
    return entries;
}

bool Install(const Entry& entry)
{
    if (entry.kind == Key)
        return AddKey(HKEY_CLASSES_ROOT, entry.path);
    if (entry.kind == Folder)
        return AddFolder(entry.path);
    return AddFile(entry.path);
}

bool Present(const Entry& entry)
{
    if (entry.kind == Key)
        return KeyPresent(HKEY_CLASSES_ROOT, entry.path, 0);
    return FilePresent(entry.path);
}

// Saves what the display shows as folder/name.png, once the window in front has painted.
void Picture(const Str& folder, const wchar_t* name)
{
    Sleep(300);
    RunUnix(L"import -window root '" + folder + L"/" + name + L".png'");
}

// Pictures the dialog, presses Uninstall, pictures the notice and the outcome as it dismisses
// them, and closes the dialog (should it not close, Tarnwick is ended afterwards).
void Demonstrate(const Str& folder)
{
    const HWND dialog = DialogWindow(tarnwick.dwThreadId, {}, kWaitMs);
    WaitForInputIdle(tarnwick.hProcess, kWaitMs);
    Picture(folder, L"dialog");
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    for (const wchar_t* name : {L"notice", L"outcome"}) {
        const HWND box = DialogWindow(tarnwick.dwThreadId, {dialog}, kWaitMs);
        Picture(folder, name);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(box); }, kWaitMs);
    }
    PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    WaitForSingleObject(tarnwick.hProcess, kWaitMs);
}

void List(const wchar_t* heading, const std::vector<Entry>& entries, bool present)
{
    wprintf(L"%ls\n", heading);
    for (const Entry& entry : entries) {
        if (Present(entry) == present)
            wprintf(L"  %ls\n", entry.path.c_str());
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_U8TEXT);
    if (argc != 2 && argc != 3) {
        wprintf(L"usage: tarnwick_demo TARNWICK.EXE [PICTURE-FOLDER]\n");
        return 2;
    }
    SetCurrentDirectoryW(L"C:\\");
    wchar_t system[MAX_PATH];
    const std::vector<Entry> entries =
        Installation(Str(system, GetSystemDirectoryW(system, MAX_PATH)));
    for (const Entry& entry : entries) {
        if (!Install(entry)) {
            wprintf(L"cannot install %ls\n", entry.path.c_str());
            return 1;
        }
    }
    tarnwick = Launch(argv[1], L"");
    if (tarnwick.hProcess == 0) {
        wprintf(L"cannot start %ls\n", argv[1]);
        return 1;
    }
    if (argc == 3)
        Demonstrate(argv[2]);
    else
        WaitForSingleObject(tarnwick.hProcess, INFINITE);
    End(tarnwick);
    List(L"Removed:", entries, false);
    List(L"Stayed:", entries, true);
    return 0;
}
