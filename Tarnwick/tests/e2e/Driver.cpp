// tarnwick_e2e TARNWICK.EXE [single-byte]: drives Tarnwick.exe under Wine as a user would, on keys
// and files that it seeds, checks and removes, and prints "N passed, M failed" last. Its code page,
// which Tarnwick inherits, is 936, or a single-byte one for the scenario that "single-byte" runs.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "WineMachine.h"

typedef std::wstring Str;

const wchar_t kCaption[] = L"提示信息";
const wchar_t kNotice[] = L"注意：卸载前请确保关闭所有浏览器窗口。";
const wchar_t kSuccess[] = L"卸载成功！";
const wchar_t kFailure[] = L"删除文件失败！";
const Str kDl = L"C:\\windows\\Downloaded Program Files";
const DWORD kWaitMs = 10000;

// The seven registrations: class, ProgID and type-library keys.
enum Column { ClassKey, ProgIdKey, TypeLibKey };
const wchar_t* const kRows[7][3] = {
    {L"CLSID\\{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}", L"Merrowind.DocumentControl.5",
     L"TypeLib\\{A6C2FD00-3168-40d0-8CE5-32840CDCDA7A}"},
    {L"CLSID\\{F6357AD6-77E4-4ae7-81BF-D16433B66D8E}", L"Merrowind.TrialViewControl",
     L"TypeLib\\{F6357AB6-77E4-4ae7-81BF-D16433B66D8E}"},
    {L"CLSID\\{6E9587CD-0135-4008-AA92-12755DC977DE}", L"Merrowind.LiteControl",
     L"TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DE}"},
    {L"CLSID\\{6E95872D-0135-4008-AA92-12755DC977DE}", L"Merrowind.DocumentControl",
     L"TypeLib\\{6E95870D-0135-4008-AA92-12755DC977DE}"},
    {L"CLSID\\{F311309A-D49F-4144-8FFC-7EC090D7D3FD}", L"Merrowind.DocumentControlKX.8",
     L"TypeLib\\{F311307A-D49F-4144-8FFC-7EC090D7D3FD}"},
    {L"CLSID\\{3DFA2F4D-CD50-4e65-9D8D-8FE7C6A2D11F}", L"Fennoxel.DocumentControl.2",
     L"TypeLib\\{3DFA2F2D-CD50-4e65-9D8D-8FE7C6A2D11F}"},
    {L"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", L"Quillodeck.DocumentControl.2",
     L"TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AF}"},
};
const Str kRow3 = kRows[2][ClassKey];
const Str kRow7 = kRows[6][ClassKey];

// Key (below HKEY_CLASSES_ROOT, under Wine the per-machine place) and UserKey (HKEY_CURRENT_USER)
// hold a value and a nested subkey; RegLink links to the key target; File is empty; Folder holds
// a file in a subfolder; Link is a Unix symbolic link to target.
enum Kind { Key, UserKey, RegLink, File, Folder, Link };
enum Fate { Gone, Intact, There };  // There: present, whatever became of what it held
struct Item {
    Kind kind;
    Str path;
    Fate fate;
    Str target;
};

Str sys, exe;
const wchar_t* scenario;
int passed, failed;
STARTUPINFOW startup = {sizeof startup};
PROCESS_INFORMATION pi;
HWND dlg;

bool Check(bool ok, const Str& what, const Str& seen = L"")
{
    if (ok)
        ++passed;
    else
        ++failed;
    const Str note = ok || seen.empty() ? L"" : L" (seen \"" + seen + L"\")";
    wprintf(L"%ls  %ls: %ls%ls\n", ok ? L"PASS" : L"FAIL", scenario, what.c_str(), note.c_str());
    fflush(stdout);
    return ok;
}

bool OnDisk(Kind kind)
{
    return kind == File || kind == Folder || kind == Link;
}

HKEY Root(Kind kind)
{
    return kind == UserKey ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
}

// A path on C:, quoted as the Unix shell sees it from C:\, the current folder.
Str UnixPath(Str path)
{
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return L"'" + path.substr(3) + L"'";
}

bool Seed(const Item& item)
{
    const Str& path = item.path;
    HKEY key;
    if (item.kind == Link)
        return RunUnix(L"ln -s " + item.target + L" " + UnixPath(path));
    if (item.kind == RegLink) {
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, 0, REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS, 0, &key, 0) != 0)
            return false;
        const BYTE* target = reinterpret_cast<const BYTE*>(item.target.data());
        const LONG error = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, target,
                                          item.target.size() * sizeof(wchar_t));
        RegCloseKey(key);
        return error == 0;
    }
    if (item.kind == Folder)
        return AddFolder(path);
    if (item.kind == File)
        return AddFile(path);
    return AddKey(Root(item.kind), path);
}

bool Present(const Item& item)
{
    if (OnDisk(item.kind))
        return FilePresent(item.path);
    return KeyPresent(Root(item.kind), item.path, item.kind == RegLink ? REG_OPTION_OPEN_LINK : 0);
}

// Removes the items, last first (a registry link before the key that holds it), not following
// links.
void Clean(const std::vector<Item>& items)
{
    Str files = L"rm -rf";
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        HKEY key;
        if (OnDisk(item->kind)) {
            files += L" " + UnixPath(item->path);
        } else if (item->kind != RegLink) {
            RegDeleteTreeW(Root(item->kind), item->path.c_str());
        } else if (RegOpenKeyExW(HKEY_CLASSES_ROOT, item->path.c_str(), REG_OPTION_OPEN_LINK,
                                 KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteKeyW(key, L"");
            RegCloseKey(key);
        }
    }
    RunUnix(files + L" 2>/dev/null; true");  // rm cannot name what Wine shortened
}

// The downloaded-controls folder and the registrations' keys, all removed but row keptRow's (its
// class key stays, its other keys intact); then extra.
std::vector<Item> Base(const std::vector<Item>& extra = {}, int keptRow = 0)
{
    std::vector<Item> items = {{Folder, kDl, Intact}};
    for (int row = 1; row <= 7; ++row) {
        for (int column = ClassKey; column <= TypeLibKey; ++column) {
            const Fate kept = column == ClassKey ? There : Intact;
            items.push_back({Key, kRows[row - 1][column], row == keptRow ? kept : Gone});
        }
    }
    items.insert(items.end(), extra.begin(), extra.end());
    return items;
}

// The controls installed, beside near misses that must stay.
std::vector<Item> Installation()
{
    std::vector<Item> items = Base();
    auto add = [&](Kind kind, const Str& folder, Fate fate, std::vector<const wchar_t*> names) {
        for (const wchar_t* name : names)
            items.push_back({kind, folder + name, fate});
    };
    add(Key, L"", Intact, {L"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",
                           L"Quillodeck.DocumentControl.20",
                           L"TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DF}"});
    const Str dl = kDl + L"\\";
    const Str system = sys + L"\\";
    add(File, dl, Gone, {L"Fennoxel.ocx", L"MERROWIND.OCX", L"QuillOdeck.Ocx", L"quillodeck.inf",
                         L"FENNOXEL.inf"});
    add(Folder, dl, Gone, {L"CONFLICT.1", L"xConflic"});
    add(File, dl, Intact, {L"CONFLICT.2", L"QUILLODECK.OCX.bak", L"aFENNOXEL.INF"});
    add(File, system, Gone, {L"FENNOXEL.OCX", L"merrowind.ocx"});
    add(Folder, system, Gone, {L"QUILLODECK.OCX"});
    add(File, system, Intact, {L"QUILLODECK.INF", L"fennoxel.inf"});
    add(Folder, system, Intact, {L"CONFLICT.3"});
    return items;
}

Str Text(HWND window)
{
    wchar_t text[MAX_PATH] = L"";
    GetWindowTextW(window, text, MAX_PATH);
    return text;
}

// "caption: text" of a box, and whether the dialog owns it.
Str Seen(HWND box)
{
    if (box == 0)
        return L"no box";
    Str seen = Text(box) + L": " + Text(GetDlgItem(box, 0xFFFF));
    if (GetWindow(box, GW_OWNER) != dlg)
        seen += L", not owned by the dialog";
    return seen;
}

// One run of the procedure: the notice, then outcome ("": no box within 3 s), each box owned by
// the dialog. Uninstall is disabled while the notice shows, when a press (pressAgain) starts no
// second run; afterwards it is enabled, with the focus, and the dialog stays open.
void Expect(const Str& outcome, bool pressAgain = false)
{
    const HWND uninstall = GetDlgItem(dlg, IDOK);
    for (const Str& text : {Str(kNotice), outcome}) {
        const HWND box = DialogWindow(pi.dwThreadId, {dlg}, text.empty() ? 3000 : kWaitMs);
        const Str seen = Seen(box);
        if (text == kNotice)
            Check(!IsWindowEnabled(uninstall), L"Uninstall disabled while the notice shows");
        if (text == kNotice && pressAgain) {
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            const HWND second = DialogWindow(pi.dwThreadId, {dlg, box}, 2000);
            Check(second == 0, L"no second run on a second press", Seen(second));
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(box); }, kWaitMs);
        const bool shown = text.empty() ? box == 0 : seen == kCaption + (L": " + text);
        if (!Check(shown, text.empty() ? L"no further box" : L"box " + text, seen))
            return;
    }
    Check(IsWindowVisible(dlg), L"dialog stays open");
    GUITHREADINFO thread = {sizeof thread};
    const bool ready = WaitFor([&] {
        return IsWindowEnabled(uninstall) && GetGUIThreadInfo(pi.dwThreadId, &thread) &&
               thread.hwndFocus == uninstall;
    }, kWaitMs);
    Check(ready, L"Uninstall enabled again, with the focus", L"focus on " + Text(thread.hwndFocus));
}

// Presses Uninstall, expecting outcome, then Close.
std::function<void()> Press(const Str& outcome)
{
    return [=] {
        PostMessageW(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
        Expect(outcome);
        PostMessageW(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
        Check(WaitForSingleObject(pi.hProcess, kWaitMs) == WAIT_OBJECT_0, L"program ends on Close");
    };
}

// Posts keys to the dialog; a box would keep the program from ending.
std::function<void()> Keys(const std::vector<WORD>& keys)
{
    return [=] {
        for (WORD key : keys)
            PostMessageW(dlg, WM_KEYDOWN, key, 0);
        const bool ended = WaitForSingleObject(pi.hProcess, kWaitMs) == WAIT_OBJECT_0;
        Check(ended, L"program ends without a box");
    };
}

// Starts Tarnwick; a fresh prefix's first window can take 10 s.
bool Start()
{
    Str line = L"\"" + exe + L"\"";
    pi = {};
    dlg = 0;
    if (!CreateProcessW(exe.c_str(), &line[0], 0, 0, 0, 0, 0, 0, &startup, &pi))
        return false;
    dlg = DialogWindow(pi.dwThreadId, {}, 30000);
    return dlg != 0 && WaitForInputIdle(pi.hProcess, kWaitMs) == 0;
}

// Seeds the items, holds held open without delete sharing (it must stay), starts Tarnwick (without
// the dialog, work starts it), works it, checks that every item is gone, or there, or there with
// what it held, and cleans up.
void Run(const wchar_t* name, const std::vector<Item>& items, const std::function<void()>& work,
         const Str& held = L"", bool dialog = true)
{
    scenario = name;
    pi = {};
    const bool seeded = std::all_of(items.begin(), items.end(), Seed);
    const HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    0, OPEN_EXISTING, 0, 0);
    const bool holding = held.empty() || file != INVALID_HANDLE_VALUE;
    if (Check(seeded && holding, L"machine seeded") && (!dialog || Check(Start(), L"dialog shows")))
        work();
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, kWaitMs);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(file);
    for (const Item& item : items) {
        const Fate fate = item.path == held ? Intact : item.fate;
        Str inner;  // what an intact item holds
        if (fate == Intact && item.kind == Folder)
            inner = kFolderContent;
        else if (fate == Intact && !OnDisk(item.kind))
            inner = kKeyContent;
        const Str what = (fate == Gone ? L"removed " : L"kept ") + item.path;
        Check(Present({item.kind, item.path + inner}) == (fate != Gone), what);
    }
    Clean(items);
}

void CheckTexts()
{
    Str texts = Text(dlg) + L"|";
    for (HWND w = GetWindow(dlg, GW_CHILD); w != 0; w = GetWindow(w, GW_HWNDNEXT))
        texts += Text(w) + L"|";
    Check(texts == L"Quillodeck客户端控件卸载工具|卸载(&U)|关闭(&C)|" + Str(kNotice) + L"|",
          L"texts of the dialog and of its controls in order", texts);
}

// The dialog's middle lies within 2 pixels of the middle of its monitor's work area.
void CheckCentred()
{
    MONITORINFO monitor = {sizeof monitor};
    GetMonitorInfoW(MonitorFromWindow(dlg, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    RECT window = {};
    GetWindowRect(dlg, &window);
    const int across = window.left + window.right - work.left - work.right;
    const int down = window.top + window.bottom - work.top - work.bottom;
    const Str seen = std::to_wstring(window.left) + L", " + std::to_wstring(window.top);
    Check(abs(across) <= 4 && abs(down) <= 4, L"dialog centred on the work area", seen);
}

// ---- unattended runs

const Str kLog = L"C:\\tarnwick.log";
const Str kQuiet = L"/quiet /log " + kLog;
const Str kClasses = L"Software\\Classes\\";
const Str kRecords = L"Software\\Microsoft\\Code Store Database\\Distribution Units\\";

// One run of Tarnwick with a command line, and the exit code it must end with.
struct Call {
    Str args;
    DWORD code;
};

// The log's lines, without their CR LF.
std::vector<Str> LogLines()
{
    const HANDLE file = CreateFileW(kLog.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                                    0, 0);
    std::string bytes(1 << 20, '\0');
    DWORD size = 0;
    ReadFile(file, &bytes[0], bytes.size(), &size, 0);
    CloseHandle(file);
    Str text(size, L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, &text[0], size));
    std::vector<Str> lines;
    for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != Str::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// Whether a process shows a window.
bool ShowsWindow(DWORD process)
{
    std::pair<DWORD, bool> seen = {process, false};
    EnumWindows([](HWND window, LPARAM seen) {
        auto& [process, shown] = *reinterpret_cast<std::pair<DWORD, bool>*>(seen);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        shown = shown || (owner == process && IsWindowVisible(window));
        return TRUE;
    }, reinterpret_cast<LPARAM>(&seen));
    return seen.second;
}

// Starts a run per call, all at once, and polls them until they end: none may show a window, and
// each must exit with its code. Given the removal lock, owned by the caller, the runs must wait
// for it, and get it once it is released.
void Together(const std::vector<Call>& calls, HANDLE lock = 0)
{
    std::vector<PROCESS_INFORMATION> runs(calls.size());
    std::vector<HANDLE> processes;
    for (size_t i = 0; i < calls.size(); ++i) {
        Str line = L"\"" + exe + L"\" " + calls[i].args;
        CreateProcessW(exe.c_str(), &line[0], 0, 0, 0, 0, 0, 0, &startup, &runs[i]);
        processes.push_back(runs[i].hProcess);
    }
    if (lock != 0) {
        const DWORD waited = WaitForMultipleObjects(processes.size(), &processes[0], 0, 2000);
        Check(waited == WAIT_TIMEOUT && LogLines().empty(), L"runs wait for the lock");
        ReleaseMutex(lock);
    }
    for (size_t i = 0; i < calls.size(); ++i) {
        bool shown = false;
        WaitFor([&] {
            shown = shown || ShowsWindow(runs[i].dwProcessId);
            return WaitForSingleObject(runs[i].hProcess, 0) != WAIT_TIMEOUT;
        }, 3 * kWaitMs);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(runs[i].hProcess, &code);
        TerminateProcess(runs[i].hProcess, 1);
        CloseHandle(runs[i].hProcess);
        CloseHandle(runs[i].hThread);
        const Str expected = L": exit " + std::to_wstring(calls[i].code) + L", no window";
        const Str seen = std::to_wstring(code) + (shown ? L", a window" : L"");
        Check(!shown && code == calls[i].code, calls[i].args + expected, seen);
    }
}

// Checks the log and deletes it: runs start and end lines, in that order, with no other run's
// lines between them; the last ends with outcome; lines are among the others.
void CheckLog(int runs, const Str& outcome, const std::vector<Str>& lines = {})
{
    const std::vector<Str> log = LogLines();
    Str marks;
    Str expected;
    for (const Str& line : log) {
        // After the time, 2026-12-07T01:25:58Z.
        if (line.find(L"Z start version=1.0.0.1 mode=quiet computer=") == 19)
            marks += L"S";
        if (line.find(L"Z end ") == 19)
            marks += L"E";
    }
    for (int i = 0; i < runs; ++i)
        expected += L"SE";
    Check(marks == expected, L"log: runs one after the other", marks);
    const Str last = log.empty() ? L"" : log.back();
    Check(last.find(L"Z end " + outcome) == 19, L"log: end " + outcome, last);
    for (const Str& line : lines)
        Check(std::find(log.begin(), log.end(), line) != log.end(), L"log: " + line);
    DeleteFileW(kLog.c_str());
}

// Every item, left as it was.
std::vector<Item> Untouched(std::vector<Item> items)
{
    for (Item& item : items)
        item.fate = Intact;
    return items;
}

// The log's line for an item removed; a Key is below HKEY_LOCAL_MACHINE\Software\Classes.
Str Removed(const Item& item)
{
    const Str root = item.kind == Key ? L"HKEY_LOCAL_MACHINE\\" + kClasses : L"";
    return L"removed 0 " + root + item.path;
}

void UnattendedSuite()
{
    Run(L"M. /check, /quiet, /check on everything installed", Installation(), [] {
        Together({{L"/check", 1}});
        Together({{kQuiet, 0}});
        Together({{L"/check", 0}});
        std::vector<Str> removed;
        for (const Item& item : Installation()) {
            if (item.fate == Gone)
                removed.push_back(Removed(item));
        }
        CheckLog(1, L"outcome=clean exit=0", removed);
    }, L"", false);
    const Str held = kDl + L"\\MERROWIND.OCX";
    Run(L"N. /quiet, a file in use", Installation(), [=] {
        Together({{kQuiet, 1}});
        CheckLog(1, L"outcome=traces-stay exit=1", {L"failed 32 " + held});
    }, held, false);
    // The user's registration of row 3 keeps its ProgID and the browser's record of it.
    const Str classKey3 = kClasses + kRows[2][ClassKey];
    const std::vector<Item> stuck = {{UserKey, classKey3 + L"\\" + Str(256, L'卸'), There},
                                     {UserKey, kClasses + kRows[2][ProgIdKey], Intact},
                                     {UserKey, kRecords + kRow3.substr(6), Intact}};
    Run(L"O. /quiet, a class key that cannot be emptied", Base(stuck), [=] {
        Together({{kQuiet, 2}});
        const Str failure = L"failed 5 HKEY_CURRENT_USER\\" + classKey3;
        CheckLog(1, L"outcome=class-key-stays exit=2", {failure});
    }, L"", false);
    // A log that is a second name of another file is refused: no run may write to that file.
    std::vector<Item> untouched = Untouched(Installation());
    untouched.push_back({File, L"C:\\victim.txt", Intact});
    Run(L"P. command lines that cannot be used", untouched, [] {
        Check(CreateHardLinkW(L"C:\\linked.log", L"C:\\victim.txt", 0), L"hard link made");
        Together({{L"/quiet /bogus", 87}, {L"-Q -check", 87}, {L"/check /log", 87},
                  {L"/quiet /log C:\\no\\such\\folder.log", 87}, {L"/quiet /log C:\\windows", 87},
                  {L"/check /log C:\\linked.log", 87}});
        const HANDLE victim = CreateFileW(L"C:\\victim.txt", GENERIC_READ, 0, 0, OPEN_EXISTING,
                                          0, 0);
        Check(GetFileSize(victim, 0) == 0, L"the linked file stays empty");
        CloseHandle(victim);
        DeleteFileW(L"C:\\linked.log");
    }, L"", false);
    Run(L"Q. two quiet runs at once, after another run", Installation(), [] {
        const HANDLE lock = CreateMutexW(0, TRUE, L"Global\\Tarnwick.Removal");
        Together({{kQuiet, 0}, {kQuiet, 0}}, lock);
        CloseHandle(lock);
        CheckLog(2, L"outcome=clean exit=0");
    }, L"", false);
    // A class ID one character off the first row's is another control's.
    const Str row1 = Str(kRows[0][ClassKey]).substr(6);
    const Str nearMiss = L"{A6C2FD20-3168-40d0-8CE5-32840CDCDA7B}";
    const std::vector<Item> records = {{UserKey, kRecords + row1, Gone},
                                       {UserKey, kRecords + nearMiss, Intact}};
    Run(L"R. a record left behind", records, [] {
        Together({{L"-CHECK", 1}});
        Together({{L"/q", 0}});
        Together({{L"/check", 0}});
    }, L"", false);
}

void Suite(bool singleByte)
{
    // Best-fit mapping to a single-byte code page turns the full-width reverse solidus into "\\".
    if (singleByte) {
        Run(L"L. single-byte code page", Base({{Key, kRow7 + L"\\L＼Sub", Gone}}), [] {
            CheckTexts();
            Press(kSuccess)();
        });
        return;
    }
    // Keys go through the dialog's own keyboard handling, which starts from the focused button.
    Run(L"A. everything installed; texts, place, Enter at start, Uninstall", Installation(), [] {
        CheckTexts();
        CheckCentred();
        PostMessageW(dlg, WM_KEYDOWN, VK_RETURN, 0);
        Expect(kSuccess, true);
        Press(kSuccess)();
    });
    Run(L"B. no downloaded-controls folder", {}, Press(kFailure));
    Run(L"C. file in use, downloaded", Installation(), Press(kFailure), kDl + L"\\MERROWIND.OCX");
    Run(L"C. file in use, system folder", Installation(), Press(kSuccess),
        sys + L"\\merrowind.ocx");
    Run(L"D. Escape at start", {}, Keys({VK_ESCAPE}));
    Run(L"D. Tab then Enter at start", {}, Keys({VK_TAB, VK_RETURN}));
    // Wine acts on the target of any link and lists a Unix link to a file as a plain file: links
    // stay, as failures.
    Run(L"E. links", Base({{File, kDl + L"\\notes.txt", Intact},
                           {File, L"C:\\outside.ocx", Intact},
                           {Folder, L"C:\\outside", Intact},
                           {Link, kDl + L"\\QUILLODECK.OCX", There, L"notes.txt"},
                           {Link, kDl + L"\\FENNOXEL.OCX", There, L"../../outside.ocx"},
                           {Link, kDl + L"\\CONFLICT.7", There, L"../../outside"}}),
        Press(kFailure));
    // Wine's HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes.
    Run(L"F. registry link", Base({{Key, L"TarnwickOutside", Intact},
                                   {RegLink, kRow7 + L"\\Link", Gone,
                                    L"\\Registry\\Machine\\Software\\Classes\\TarnwickOutside"}}),
        Press(kSuccess));
    // Wine accepts a key name of 256 characters, one more than the longest legal name.
    Run(L"G. row 3 stuck", Base({{Key, kRow3 + L"\\" + Str(256, L'卸'), There}}, 3), Press(L""));
    Run(L"H. longest key name", Base({{Key, kRow7 + L"\\" + Str(255, L'卸'), Gone}}),
        Press(kSuccess));
    // Wine's shell reports this folder deleted and leaves it.
    Run(L"I. shell leaves a folder", Base({{Folder, kDl + L"\\CONFLICT" + Str(90, L'卸'), Intact}}),
        Press(kFailure));
    // Code page 936 has no Thai letters.
    Run(L"J. names outside the code page", Base({{Key, kRow7 + L"\\ก", Gone},
                                                 {Folder, kDl + L"\\CONFLICTก", Gone},
                                                 {File, kDl + L"\\CONFLICTS", Intact}}),
        Press(kSuccess));
    const Str classes = L"Software\\Classes\\";
    Run(L"K. row 7 per user as well", Base({{UserKey, classes + kRows[6][ClassKey], Gone},
                                            {UserKey, classes + kRows[6][ProgIdKey], Gone},
                                            {UserKey, classes + kRows[6][TypeLibKey], Gone}}),
        Press(kSuccess));
    UnattendedSuite();
}

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_U8TEXT);
    wchar_t system[MAX_PATH];
    sys.assign(system, GetSystemDirectoryW(system, MAX_PATH));
    SetCurrentDirectoryW(L"C:\\");
    const bool singleByte = argc == 3 && Str(argv[2]) == L"single-byte";
    if (argc != 2 && !singleByte) {
        wprintf(L"usage: tarnwick_e2e TARNWICK.EXE [single-byte]\n");
        return 2;
    }
    exe = argv[1];
    CPINFO codePage = {};
    GetCPInfo(CP_ACP, &codePage);
    scenario = L"Wine";
    Check((codePage.MaxCharSize == 1) == singleByte, L"code page " + std::to_wstring(GetACP()));
    Suite(singleByte);
    wprintf(L"%d passed, %d failed\n", passed, failed);
    return failed != 0;
}
