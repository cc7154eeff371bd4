// tarnwick_demo TARNWICK.EXE [PICTURE-FOLDER]: installs the controls that Tarnwick removes (their
// seven registrations per machine and per user, the browser's records of them, their files in
// both folders, conflict folders) beside unrelated keys and files, and starts Tarnwick.exe. Given
// a picture folder (a Unix path), it presses Uninstall and dismisses the boxes itself, printing
// their texts and saving pictures of the dialog, the notice and the outcome there; otherwise the
// dialog is the user's. Either way it lists what was removed and what stayed.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "RegistrationTable.h"
#include "WineMachine.h"

namespace {

typedef std::wstring Str;

const Str kDownloaded = L"C:\\windows\\Downloaded Program Files";
const DWORD kWaitMs = 30000;  // a fresh prefix's first window can take 10 s

struct Entry {
    Kind kind;
    Str path;
};

PROCESS_INFORMATION tarnwick;

// The controls' registrations in both places with the browser's records of them and, per user,
// their add-on state; their files and conflict folders; beside unrelated ones with similar names
// and a kill bit, which stay.
std::vector<Entry> Installation(const Str& system)
{
    const Str classes = L"Software\\Classes\\";
    const Str records = L"Software\\Microsoft\\Code Store Database\\Distribution Units\\";
    const Str addOns = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\";
    std::vector<Entry> entries;
    for (const ControlRegistration& row : RegistrationTable) {
        for (Kind place : {Key, UserKey}) {
            entries.push_back({place, classes + L"CLSID\\" + row.classId});
            entries.push_back({place, classes + row.progIdKey});
            entries.push_back({place, classes + row.typeLibKey});
            entries.push_back({place, records + row.classId});
        }
        entries.push_back({UserKey, addOns + L"Settings\\" + row.classId});
        entries.push_back({UserKey, addOns + L"Stats\\" + row.classId});
    }
    auto add = [&](Kind kind, const Str& folder, std::vector<const wchar_t*> names) {
        for (const wchar_t* name : names)
            entries.push_back({kind, folder + name});
    };
    add(Key, classes, {L"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",
                       L"Quillodeck.DocumentControl.20",
                       L"TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DF}"});
    add(UserKey, records, {L"{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}"});
    add(Key, L"Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\",
        {L"{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}"});
    entries.push_back({Directory, kDownloaded});
    add(File, kDownloaded + L"\\", {L"Fennoxel.ocx", L"MERROWIND.OCX", L"QuillOdeck.Ocx",
                                    L"quillodeck.inf", L"FENNOXEL.inf", L"CONFLICT.2",
                                    L"QUILLODECK.OCX.bak", L"aFENNOXEL.INF"});
    add(Directory, kDownloaded + L"\\", {L"CONFLICT.1", L"xConflic"});
    add(File, system + L"\\", {L"FENNOXEL.OCX", L"merrowind.ocx", L"QUILLODECK.INF",
                               L"fennoxel.inf"});
    add(Directory, system + L"\\", {L"QUILLODECK.OCX", L"CONFLICT.3"});
    return entries;
}

// Saves what the display shows as folder/name.png, once the window in front has painted.
void Picture(const Str& folder, const wchar_t* name)
{
    Sleep(300);
    RunUnix(L"import -window root '" + folder + L"/" + name + L".png'");
}

// Pictures the dialog, presses Uninstall, pictures and prints the notice and the outcome as it
// dismisses them, and closes the dialog (should it not close, Tarnwick is ended afterwards).
void Demonstrate(const Str& folder)
{
    const HWND dialog = DialogWindow(tarnwick.dwThreadId, {}, kWaitMs);
    WaitForInputIdle(tarnwick.hProcess, kWaitMs);
    Picture(folder, L"dialog");
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    for (const wchar_t* name : {L"notice", L"outcome"}) {
        const HWND box = DialogWindow(tarnwick.dwThreadId, {dialog}, kWaitMs);
        Picture(folder, name);
        wprintf(L"%ls: %ls\n", name, Text(GetDlgItem(box, 0xFFFF)).c_str());
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
        if (Present(entry.kind, entry.path) == present)
            wprintf(L"  %ls\n", FullName(entry.kind, entry.path).c_str());
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
        if (!Add(entry.kind, entry.path)) {
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
