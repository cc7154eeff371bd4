// tarnwick_e2e TARNWICK.EXE [single-byte | views]: drives Tarnwick.exe under Wine as a user and as
// a script would, in code page 936 or 1252 (single-byte), and prints "N passed, M failed" last.
// With views, it runs only the scenario of both registry views (in a 64-bit prefix).
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "WineMachine.h"

// From ntdll: enables a privilege (17 backup, 18 restore).
extern "C" NTSTATUS NTAPI RtlAdjustPrivilege(ULONG privilege, BOOLEAN enable, BOOLEAN thread,
                                             BOOLEAN* was);

typedef std::wstring Str;

const wchar_t kNotice[] = L"注意：卸载前请确保关闭所有浏览器窗口。";
const Str kDl = L"C:\\windows\\Downloaded Program Files";
const Str kSystem = L"C:\\windows\\system32";  // also a 32-bit program's, under WoW64
const Str kLog = L"C:\\tarnwick.log";
const Str kQuiet = L"/quiet /log " + kLog;
const wchar_t kLock[] = L"Global\\Tarnwick.Removal";  // Wine has no private namespaces
const DWORD kWaitMs = 10000;

// The seven registrations: class ID, type library ID's first group (then the class ID's), ProgID.
const wchar_t* const kRows[7][3] = {
    {L"{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}", L"A6C2FD00", L"Merrowind.DocumentControl.5"},
    {L"{F6357AD6-77E4-4ae7-81BF-D16433B66D8E}", L"F6357AB6", L"Merrowind.TrialViewControl"},
    {L"{6E9587CD-0135-4008-AA92-12755DC977DE}", L"6E9587AD", L"Merrowind.LiteControl"},
    {L"{6E95872D-0135-4008-AA92-12755DC977DE}", L"6E95870D", L"Merrowind.DocumentControl"},
    {L"{F311309A-D49F-4144-8FFC-7EC090D7D3FD}", L"F311307A", L"Merrowind.DocumentControlKX.8"},
    {L"{3DFA2F4D-CD50-4e65-9D8D-8FE7C6A2D11F}", L"3DFA2F2D", L"Fennoxel.DocumentControl.2"},
    {L"{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", L"B1918982", L"Quillodeck.DocumentControl.2"},
};
// Below either place; Wine's HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE's classes.
const Str kClasses = L"Software\\Classes\\";
const Str kRecords = L"Software\\Microsoft\\Code Store Database\\Distribution Units\\";
const Str kAddOns = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\";
// A kill bit is an administrator's decision that outlives the control.
const Str kKillBits = L"Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\";
const wchar_t kFlags[] = L"Compatibility Flags";
const Str kRow3 = kClasses + L"CLSID\\" + kRows[2][0];
const Str kRow7 = kClasses + L"CLSID\\" + kRows[6][0];
// Another control's class ID, one character off the first row's.
const Str kNearMiss = L"{A6C2FD20-3168-40d0-8CE5-32840CDCDA7B}";

// An entry of the machine, and whether Tarnwick removes it or it stays with its content.
enum Fate { Gone, Kept };
struct Item {
    Kind kind;
    Str path;
    Fate fate;
};

Str exe;
// How the log tags a key's registry view: on 64-bit Windows, " [64]" or " [32]".
Str view64;
// The kill bits' folder in each view, by path as a 64-bit program sees it, and how the log tags it.
std::vector<std::pair<Str, Str>> killBitFolders = {{kKillBits, L""}};
Str computer;
const wchar_t* scenario;
int passed, failed;

bool Check(bool ok, const Str& what, const Str& seen = L"")
{
    ++(ok ? passed : failed);
    const Str note = ok || seen.empty() ? L"" : L" (seen \"" + seen + L"\")";
    wprintf(L"%ls  %ls: %ls%ls\n", ok ? L"PASS" : L"FAIL", scenario, what.c_str(), note.c_str());
    fflush(stdout);
    return ok;
}

// A path on C:, quoted as the Unix shell sees it from C:\, the current folder.
Str UnixPath(Str path)
{
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return L"'" + path.substr(3) + L"'";
}

// The controls per machine and per user beside near misses, then extra; the controls' items with
// fate. With row3Stuck, row 3's user keys stay: extra gives its class key a key too long to list.
std::vector<Item> Installation(const std::vector<Item>& extra = {}, bool row3Stuck = false,
                               Fate fate = Gone)
{
    std::vector<Item> items = {{Directory, kDl, Kept}};
    auto add = [&](Kind kind, const Str& folder, Fate fate, const std::vector<Str>& names) {
        for (const Str& name : names)
            items.push_back({kind, folder + name, fate});
    };
    for (const auto& row : kRows) {
        const Str id = row[0];
        const Str typeLib = L"TypeLib\\{" + Str(row[1]) + id.substr(9);
        const Fate user = row3Stuck && id == kRows[2][0] ? Kept : fate;
        for (Kind place : {Key, UserKey})
            add(place, kClasses, place == Key ? fate : user, {L"CLSID\\" + id, row[2], typeLib});
        add(Key, kRecords, fate, {id});
        add(UserKey, L"", user,
            {kRecords + id, kAddOns + L"Settings\\" + id, kAddOns + L"Stats\\" + id});
    }
    for (Kind place : {Key, UserKey}) {
        add(place, kClasses, Kept, {L"CLSID\\" + kNearMiss, L"Merrowind.DocumentControl.50",
                                    L"TypeLib\\{A6C2FD00" + kNearMiss.substr(9)});
        add(place, kRecords, Kept, {kNearMiss, L"{5D3B1C2A-7E41-4F0B-9A6C-2E8D4B7F1A30}"});
    }
    add(UserKey, kAddOns, Kept, {L"Settings\\" + kNearMiss, L"Stats\\" + kNearMiss});
    add(Key, kKillBits, Kept, {kRows[6][0]});
    add(File, kDl + L"\\", fate, {L"MERROWIND.OCX", L"QuillOdeck.Ocx", L"quillodeck.inf"});
    add(Directory, kDl + L"\\", fate, {L"CONFLICT.1", L"xConflic"});
    add(File, kSystem + L"\\", fate, {L"FENNOXEL.OCX", L"merrowind.ocx"});
    items.insert(items.end(), extra.begin(), extra.end());
    return items;
}

// Seeds the items, has work drive Tarnwick, checks every item's fate, and removes what is left.
void Run(const wchar_t* name, const std::vector<Item>& items, const std::function<void()>& work)
{
    scenario = name;
    const bool seeded = std::all_of(items.begin(), items.end(), [](const Item& item) {
        return Add(item.kind, item.path);
    });
    if (Check(seeded, L"machine seeded"))
        work();
    Str files = L"rm -rf";
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        const bool kept = item->fate == Kept;
        Str content;
        if (kept && item->kind != File)
            content = item->kind == Directory ? kFolderContent : kKeyContent;
        const Str what = (kept ? L"kept " : L"removed ") + FullName(item->kind, item->path);
        Check(Present(item->kind, item->path + content) == kept, what);
        if (OnDisk(item->kind))
            files += L" " + UnixPath(item->path);
        else
            RegDeleteTreeW(Root(item->kind), item->path.c_str());
    }
    RunUnix(files + L" 2>/dev/null; true");  // rm cannot name what Wine shortened
}

// Waits up to ms for the process to end, ends it, and checks its exit code.
void CheckExit(const PROCESS_INFORMATION& process, DWORD ms, DWORD code, const Str& what)
{
    DWORD exitCode = STILL_ACTIVE;
    WaitForSingleObject(process.hProcess, ms);
    GetExitCodeProcess(process.hProcess, &exitCode);
    End(process);
    Check(exitCode == code, what + L": exit " + std::to_wstring(code), std::to_wstring(exitCode));
}

// Starts Tarnwick with line (on desktop, if given) and polls it until it ends: it may show no
// window, and must exit with code. Given the removal lock, owned by the caller, the run waits for
// it until it is released. Returns the run's id.
DWORD Unattended(const Str& line, DWORD code, HANDLE lock = 0, const wchar_t* desktop = 0)
{
    const PROCESS_INFORMATION run = Launch(exe, line, desktop);
    if (lock != 0) {
        Check(WaitForSingleObject(run.hProcess, 2000) == WAIT_TIMEOUT, L"waits for the lock");
        ReleaseMutex(lock);
    }
    bool shown = false;
    WaitFor([&] {
        DWORD process = 0;
        for (HWND window = GetTopWindow(0); window != 0; window = GetWindow(window, GW_HWNDNEXT)) {
            GetWindowThreadProcessId(window, &process);
            shown = shown || (process == run.dwProcessId && IsWindowVisible(window));
        }
        return WaitForSingleObject(run.hProcess, 0) != WAIT_TIMEOUT;
    }, 3 * kWaitMs);
    Check(!shown, line + L": no window while running");
    CheckExit(run, 0, code, line);
    return run.dwProcessId;
}

// The dialog on the items, centred on its screen's work area, with its texts; Enter on the focused
// Uninstall shows the notice, then outcome, each owned by the dialog, while Uninstall is disabled
// and a press starts no second run; then Uninstall is enabled again, with the focus (without an
// outcome, the dialog waits after the notice). It answers; Close ends it with exitCode.
void RunDialog(const wchar_t* name, const std::vector<Item>& items, const Str& outcome,
               DWORD exitCode, const std::function<void()>& atNotice = [] {})
{
    Run(name, items, [&] {
        const PROCESS_INFORMATION tarnwick = Launch(exe, L"");
        // A fresh prefix's first window can take 10 s.
        const HWND dlg = DialogWindow(tarnwick.dwThreadId, {}, 3 * kWaitMs);
        const HWND uninstall = GetDlgItem(dlg, IDOK);
        Check(dlg != 0 && WaitForInputIdle(tarnwick.hProcess, kWaitMs) == 0, L"dialog shows");
        Str texts = Text(dlg);
        for (HWND w = GetWindow(dlg, GW_CHILD); w != 0; w = GetWindow(w, GW_HWNDNEXT))
            texts += L"|" + Text(w);
        const Str expected = L"Quillodeck客户端控件卸载工具|卸载(&U)|关闭(&C)|";
        Check(texts == expected + kNotice, L"texts of the dialog and its controls in order", texts);
        MONITORINFO monitor = {sizeof monitor};
        GetMonitorInfoW(MonitorFromWindow(dlg, MONITOR_DEFAULTTONEAREST), &monitor);
        RECT window = {};
        GetWindowRect(dlg, &window);
        const int across = window.left + window.right - monitor.rcWork.left - monitor.rcWork.right;
        const int down = window.top + window.bottom - monitor.rcWork.top - monitor.rcWork.bottom;
        Check(abs(across) <= 4 && abs(down) <= 4, L"dialog centred on the work area");
        PostMessageW(dlg, WM_KEYDOWN, VK_RETURN, 0);
        for (const Str& text : {Str(kNotice), outcome}) {
            if (text.empty())
                continue;
            const HWND box = DialogWindow(tarnwick.dwThreadId, {dlg}, kWaitMs);
            const Str seen = Text(box) + L": " + Text(GetDlgItem(box, 0xFFFF));
            const bool owned = GetWindow(box, GW_OWNER) == dlg;
            Check(owned && seen == L"提示信息: " + text, L"dialog's box " + text, seen);
            Check(!IsWindowEnabled(uninstall), L"Uninstall disabled while a box shows");
            if (text == kNotice)
                atNotice();
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            WaitFor([&] { return !IsWindow(box); }, kWaitMs);
        }
        Check(SendMessageTimeoutW(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, 0) != 0,
              L"the dialog answers within a second");
        GUITHREADINFO info = {sizeof info};
        if (!outcome.empty()) {
            const bool ready = WaitFor([&] {
                return IsWindowEnabled(uninstall) &&
                       GetGUIThreadInfo(tarnwick.dwThreadId, &info) && info.hwndFocus == uninstall;
            }, kWaitMs);
            Check(ready, L"Uninstall enabled again, with the focus", L"on " + Text(info.hwndFocus));
        }
        PostMessageW(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
        CheckExit(tarnwick, kWaitMs, exitCode, L"program ends on Close");
    });
}

// Checks the log and deletes it: it starts with a header, ends with a quiet run's outcome on this
// computer, and has a line ending in each of lines.
void CheckLog(const Str& outcome, const std::vector<Str>& lines)
{
    Str log;
    FILE* file = _wfopen(kLog.c_str(), L"rt, ccs=UTF-8");
    wchar_t text[2048];
    while (file != 0 && fgetws(text, 2048, file) != 0)
        log += text;
    if (file != 0)
        fclose(file);
    // Each line begins with the time, 2026-12-07T01:25:58Z.
    Check(log.find(L"Z start version=1.0.0.1 mode=") == 19, L"log: header", log.substr(0, 80));
    const size_t last = log.rfind(L'\n', log.size() - 2) + 1;
    const Str end = L"Z end mode=quiet computer=" + computer + L" " + outcome;
    Check(log.find(end, last) == last + 19, L"log: end " + outcome, log.substr(last));
    for (const Str& line : lines)
        Check(log.find(line + L"\n") != Str::npos, L"log: " + line);
    DeleteFileW(kLog.c_str());
}

// The Compatibility Flags of the key at path below HKEY_LOCAL_MACHINE; 0 unless a REG_DWORD.
DWORD KillFlags(const Str& path)
{
    DWORD flags = 0;
    DWORD size = sizeof flags;
    RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), kFlags, RRF_RT_REG_DWORD, 0, &flags, &size);
    return flags;
}

void UnattendedSuite()
{
    // Unusable lines, refused logs (another file's second name, behind a folder link) and a run
    // that gives up waiting for the driver's lock remove nothing. /block then removes all, a
    // read-only file too, but a file held open without delete sharing: it is scheduled once in a
    // list longer than a value read at once. An interface of row 7's library (named in lower case)
    // goes, and so do installers' records of swept files (by a short path, by a name as long as a
    // key's). Each kill bit is set in each view beside the bits there were, and another control's
    // keeps its flags; runs without /block set none.
    const Str held = kDl + L"\\MERROWIND.OCX";
    const Str iid = kClasses + L"Interface\\{1B000007-0000-0000-0000-000000000000}";
    const wchar_t sharedDlls[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    const Str moduleUsage = L"Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\C:/";
    const wchar_t sessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const wchar_t pendingList[] = L"PendingFileRenameOperations";
    const Str longName = L"windows/Downloaded Program Files/CONFLICT.1/" + Str(200, L'x');
    const std::vector<Item> items = Installation({{Key, moduleUsage + longName, Gone},
                                                  {Key, iid, Gone},
                                                  {Key, kKillBits + kNearMiss, Kept},
                                                  {File, L"C:\\victim.txt", Kept},
                                                  {Directory, L"C:\\target", Kept},
                                                  {Directory, kDl + L"\\CONFLICTก", Gone}});
    Run(L"unattended runs", items, [&] {
        Str pending;  // other deletions, as updates waiting for a restart leave: 37,000 characters
        for (int i = 0; i < 350; ++i)
            pending += L"\\??\\C:\\temp\\" + std::to_wstring(i) + Str(94, L'x') + Str(2, L'\0');
        const HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, 0,
                                        OPEN_EXISTING, 0, 0);
        wchar_t shortPath[MAX_PATH] = L"";
        GetShortPathNameW((kDl + L"\\quillodeck.inf").c_str(), shortPath, MAX_PATH);
        const Str record = L"0 HKEY_LOCAL_MACHINE\\" + Str(sharedDlls) + L"\\" + shortPath + view64;
        Check(wcschr(shortPath, L'~') != 0 && SetValue(sharedDlls, shortPath, 1) &&
              SetValue(iid + L"\\TypeLib", 0, L"{b1918982-b3f5-45B1-ac66-70a71ba5f7af}") &&
              SetValue(killBitFolders.back().first + kRows[0][0], kFlags, 0x4) &&
              SetValue(kKillBits + kNearMiss, kFlags, 0x4) &&
              CreateHardLinkW(L"C:\\linked.log", L"C:\\victim.txt", 0) &&
              RunUnix(L"ln -s target logs && rm -rf $XDG_DATA_HOME/Trash") &&
              SetValue(sessionManager, pendingList, pending, REG_MULTI_SZ) &&
              SetFileAttributesW((kDl + L"\\quillodeck.inf").c_str(), FILE_ATTRIBUTE_READONLY),
              L"library, record, flags, links, no trash, pending list, read-only file", shortPath);
        // A misspelt option's usage box, closed unpressed.
        const PROCESS_INFORMATION usage = Launch(exe, L"/quite");
        PostMessageW(DialogWindow(usage.dwThreadId, {}, 3 * kWaitMs), WM_COMMAND, IDCANCEL, 0);
        CheckExit(usage, kWaitMs, 87, L"\"/quite\" closed unpressed");
        for (const wchar_t* line : {L"/quiet /log C:\\no\\such\\folder.log",
                                    L"/quiet /log C:\\windows", L"/check /log C:\\linked.log",
                                    L"/check /log C:\\logs\\evil.dll"})
            Unattended(line, 1622);
        Check(!Present(File, L"C:\\target\\evil.dll"), L"no log through the folder link");
        RunUnix(L"rm logs linked.log");
        Unattended(L"/check /log " + kLog, 1);
        const HANDLE lock = CreateMutexW(0, TRUE, kLock);
        const DWORD start = GetTickCount();
        const Str busy = std::to_wstring(Unattended(kQuiet + L" /wait 2", 1618));
        const DWORD waited = GetTickCount() - start;
        Check(waited >= 2000 && waited < 10000, L"gave up after 2 s", std::to_wstring(waited));
        const Str pid = std::to_wstring(Unattended(kQuiet + L" /block", 3010, lock));
        Check(RunUnix(L"! ls -A $XDG_DATA_HOME/Trash/files 2>/dev/null | grep -q ."),
              L"nothing in the trash");
        for (const auto& folder : killBitFolders) {
            for (const auto& row : kRows) {
                const bool row1 = &row == &kRows[0] && folder == killBitFolders.back();
                const DWORD flags = KillFlags(folder.first + row[0]);
                Check(flags == (row1 ? 0x404u : 0x400u), L"kill bit " + folder.first + row[0],
                      std::to_wstring(flags));
            }
        }
        Check(KillFlags(kKillBits + kNearMiss) == 0x4, L"another control's flags as they were");
        // Every bit is set in each view: only the held file is left.
        Unattended(L"/check /block", ERROR_SUCCESS_REBOOT_REQUIRED);
        const Str blocked = L"blocked 0 HKEY_LOCAL_MACHINE\\";
        std::vector<Str> lines = {L"present " + record, L"removed " + record,
                                  blocked + killBitFolders.back().first + kRows[0][0] +
                                      killBitFolders.back().second + L" 0x4->0x404",
                                  blocked + kKillBits + kRows[6][0] + view64 + L" none->0x400",
                                  L" blocked=" + std::to_wstring(7 * killBitFolders.size()) +
                                      L" kept=0 open=0 pid=" + pid,
                                  L"pending 32 " + held, L" waiting pid=" + busy,
                                  L" busy waited=2 pid=" + busy,
                                  L" end mode=quiet computer=" + computer +
                                      L" outcome=busy exit=1618 removed=0 pending=0 failed=0 "
                                      L"absent=0 present=0 link=0 unreadable=0 blocked=0 "
                                      L"kept=0 open=0 pid=" + busy};
        // The runs that follow have no /block: none may set this bit again.
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kKillBits + kRows[0][0]).c_str());
        Unattended(L"/quiet", ERROR_SUCCESS_REBOOT_REQUIRED);
        Str list(100000, L'\0');  // 37,000 characters and more
        DWORD size = list.size() * sizeof(wchar_t);
        RegGetValueW(HKEY_LOCAL_MACHINE, sessionManager, pendingList, RRF_RT_REG_MULTI_SZ, 0,
                     &list[0], &size);
        const Str entry = Str(1, L'\0') + L"\\??\\" + held + L'\0';  // then an empty target
        Check(list.find(entry) != Str::npos && list.find(entry) == list.rfind(entry),
              L"held file scheduled once for deletion at the next start");
        CloseHandle(file);
        CloseHandle(lock);
        const PROCESS_INFORMATION restart = Launch(L"C:\\windows\\system32\\wineboot.exe", L"-r");
        WaitForSingleObject(restart.hProcess, 3 * kWaitMs);
        End(restart);
        Unattended(L"/check", 0);
        Unattended(L"/qn /norestart /log " + kLog, 0);
        Check(!Present(Key, kKillBits + kRows[0][0]), L"no kill bit made without /block");
        Unattended(L"/check /block", 1);
        const bool kept = RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, sharedDlls, shortPath) == 0;
        Check(!kept, L"SharedDLLs value removed", shortPath);
        for (const Item& item : items) {
            if (item.fate == Gone && item.path != held)
                lines.push_back(L"removed 0 " + FullName(item.kind, item.path) +
                                (OnDisk(item.kind) ? L"" : view64));
        }
        CheckLog(L"outcome=clean exit=0", lines);
    });
    for (const auto& folder : killBitFolders)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, folder.first.c_str());  // the bits the runs set
    // Unix links, which Wine follows whatever is asked, and lists as plain files if to a file;
    // one inside a conflict folder, which stays with the folder: its deletion would follow it.
    const std::vector<Item> targets = {{UserKey, kRow3 + L"\\" + Str(256, L'0'), Kept},
                                       {File, kDl + L"\\notes.txt", Kept},
                                       {File, L"C:\\outside.ocx", Kept},
                                       {Directory, L"C:\\outside", Kept}};
    Run(L"a class key that cannot be emptied, and links", Installation(targets, true), [] {
        Check(RunUnix(L"(cd " + UnixPath(kDl) + L" && ln -s notes.txt FENNOXEL.INF && "
                      L"ln -s ../../outside.ocx FENNOXEL.OCX && ln -s ../../outside CONFLICT.7 && "
                      L"mkdir CONFLICT.2 && ln -s ../../../outside CONFLICT.2/outside)"),
              L"links made");
        Unattended(kQuiet, 2);
        std::vector<Str> lines = {L"failed 5 HKEY_CURRENT_USER\\" + kRow3 + view64};
        for (const wchar_t* name : {L"FENNOXEL.INF", L"FENNOXEL.OCX", L"CONFLICT.7", L"CONFLICT.2"})
            lines.push_back(L"link 0 " + kDl + L"\\" + name);
        CheckLog(L"outcome=class-key-stays exit=2", lines);
        RunUnix(L"rm -r " + UnixPath(kDl + L"\\CONFLICT.2"));
    });
}

// Users' profiles: their list, and hive files (the driver has the backup and restore privileges).
const Str kProfileList = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
const Str kAlice = L"S-1-5-21-1-1-1-1001";  // logged on: her hives are loaded below HKEY_USERS
const Str kBob = L"S-1-5-21-1-1-1-1002";    // on disk only
const Str kCarol = L"S-1-5-21-1-1-1-1003";  // her hive file is held open
const Str kDave = L"S-1-5-21-1-1-1-1004";   // his folder is missing
const Str kErin = L"S-1-5-21-1-1-1-1005";   // her NTUSER.DAT is no hive
const Str kFay = L"S-1-5-21-1-1-1-1006";    // logged on, in a 64-bit prefix

bool AddProfile(const Str& sid, const Str& folder)
{
    return SetValue(kProfileList + sid, L"ProfileImagePath", folder, REG_EXPAND_SZ);
}

// Row 7 registered in a profile: its keys in the classes hive sid_Classes, and the records and
// add-on state in the user's hive sid.
std::vector<Item> ProfileKeys(const Str& sid)
{
    const Str id = kRows[6][0];
    const Str classes = sid + L"_Classes\\";
    return {{UsersKey, classes + L"CLSID\\" + id, Gone},
            {UsersKey, classes + kRows[6][2], Gone},
            {UsersKey, classes + L"TypeLib\\{" + Str(kRows[6][1]) + id.substr(9), Gone},
            {UsersKey, sid + L"\\" + kRecords + id, Gone},
            {UsersKey, sid + L"\\" + kAddOns + L"Settings\\" + id, Gone},
            {UsersKey, sid + L"\\" + kAddOns + L"Stats\\" + id, Gone}};
}

// Writes a hive file holding the keys of items below root, and loads it as name unless it is "".
bool SaveHive(const Str& file, const std::vector<Item>& items, const Str& root, const Str& name)
{
    HKEY key;
    bool saved = RegCreateKeyW(HKEY_LOCAL_MACHINE, L"TarnwickHive", &key) == 0;
    for (const Item& item : items) {
        if (item.path.compare(0, root.size(), root) == 0)
            saved = Add(Key, L"TarnwickHive\\" + item.path.substr(root.size())) && saved;
    }
    saved = RegSaveKeyW(key, file.c_str(), 0) == 0 && saved;
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"TarnwickHive");
    return saved && (name.empty() || RegLoadKeyW(HKEY_USERS, name.c_str(), file.c_str()) == 0);
}

// Alice is logged on; Dave's profile has no folder left. A run removes Alice's registration and
// keeps her other keys; Dave's is no trace. A class key linked to nothing is a trace (a check reads
// the link). Alice's Ext\Settings links to the kill bits: nothing behind it goes, and it is no
// trace. Bob's profile is on disk only, Carol's hive file is held open, Erin's is no hive: the runs
// load Bob's (Wine forgets every change to a hive when it is unloaded), Erin's is no trace, and
// once Carol's file is closed, nothing stays.
void ProfilesSuite()
{
    const Str settings = kAlice + L"\\" + kAddOns + L"Settings";
    const Str bob = L"C:\\users\\bob";
    const Str carol = L"C:\\users\\carol";
    const std::vector<Item> keys = ProfileKeys(kBob);
    std::vector<Item> alice = ProfileKeys(kAlice);
    Check(SaveHive(L"C:\\alice.dat", {}, L"", kAlice) &&
          SaveHive(L"C:\\alice-classes.dat", {}, L"", kAlice + L"_Classes") &&
          AddProfile(kAlice, L"C:\\users\\alice") && AddProfile(kDave, L"C:\\users\\dave"),
          L"profiles made");
    alice.insert(alice.end(), {{Directory, L"C:\\users\\alice", Kept}, {Directory, bob, Kept},
                               {Directory, carol, Kept}, {Directory, L"C:\\users\\erin", Kept},
                               {UsersKey, kAlice + L"_Classes\\CLSID\\" + kNearMiss, Kept},
                               {UsersKey, kAlice + L"\\Software\\Other", Kept},
                               {Key, kKillBits + kRows[6][0], Kept}});
    Run(L"users' profiles, a class key linked to nothing", alice, [&] {
        Unattended(L"/check /log " + kLog, 1);
        Unattended(kQuiet, 0);
        Check(Add(RegLink, kClasses + L"CLSID\\" + kRows[0][0]), L"class key linked to nothing");
        Unattended(L"-CHECK", 1);
        Unattended(L"/q", 0);
        RegDeleteTreeW(HKEY_USERS, settings.c_str());
        Check(AddLink(HKEY_USERS, settings, kKillBits.substr(0, kKillBits.size() - 1)),
              L"Alice's link made");
        Unattended(kQuiet, 0);
        Unattended(L"/check", 0);
        Check(RunUnix(L"mkdir -p users/bob/AppData/Local/Microsoft/Windows") &&
              SaveHive(bob + L"\\NTUSER.DAT", keys, kBob + L"\\", L"") &&
              SaveHive(bob + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat", keys,
                       kBob + L"_Classes\\", L"") &&
              SaveHive(carol + L"\\NTUSER.DAT", {}, L"", L"") && AddProfile(kBob, bob) &&
              AddProfile(kCarol, carol) && RunUnix(L"echo garbage > users/erin/NTUSER.DAT") &&
              AddProfile(kErin, L"C:\\users\\erin"), L"profiles on disk made");
        const HANDLE held = CreateFileW((carol + L"\\NTUSER.DAT").c_str(), GENERIC_READ, 0, 0,
                                        OPEN_EXISTING, 0, 0);
        DWORD users = 0;
        RegQueryInfoKeyW(HKEY_USERS, 0, 0, 0, &users, 0, 0, 0, 0, 0, 0, 0);
        Unattended(L"/check /log " + kLog, 1);
        Unattended(kQuiet, 1);
        DWORD after = 0;
        RegQueryInfoKeyW(HKEY_USERS, 0, 0, 0, &after, 0, 0, 0, 0, 0, 0, 0);
        // Runs unload what they load; Wine leaves an empty key where it refused a load: Erin's.
        Check(after == users + 1, L"HKEY_USERS as it was", std::to_wstring(after));
        CloseHandle(held);
        Unattended(kQuiet, 0);
        std::vector<Str> lines = {L"profile " + kAlice + L" alice", L"absent 2 C:\\users\\dave",
                                  L"link 0 HKEY_USERS\\" + settings + view64,
                                  L"profile " + kBob + L" bob",
                                  L"failed 32 " + carol + L"\\NTUSER.DAT",
                                  L"unreadable 1017 C:\\users\\erin\\NTUSER.DAT",
                                  L"unloaded 0 HKEY_USERS\\Tarnwick." + kErin};
        // Bob's registration is found first, then removed (Alice's keys show hers went).
        for (const Item& item : keys) {
            for (const wchar_t* fate : {L"present 0 ", L"removed 0 "})
                lines.push_back(fate + FullName(item.kind, item.path) + view64);
        }
        CheckLog(L"outcome=clean exit=0", lines);
    });
    for (const Str& hive : {kAlice, kAlice + L"_Classes", L"Tarnwick." + kErin})
        RegUnLoadKeyW(HKEY_USERS, hive.c_str());
    for (const Str& sid : {kAlice, kBob, kCarol, kDave, kErin})
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kProfileList + sid).c_str());
}

// On 64-bit Windows: the controls in both registry views and both system folders go, and the log
// tags each key's view. Fay's classes hive, which the driver holds loaded, loses a registration in
// each view, each logged in its own (Wine gives a 32-bit program that does not ask for the 64-bit
// view the hive's Wow6432Node). /block sets every kill bit in each view.
void ViewsSuite()
{
    const Str id = kRows[0][0];
    const Str classes32 = kClasses + L"Wow6432Node\\CLSID\\";
    const Str records32 = L"Software\\Wow6432Node\\" + kRecords.substr(9);
    const Str sysWow = L"C:\\windows\\syswow64\\";
    const Str fay = kFay + L"_Classes";
    const std::vector<Item> fayKeys = {{UsersKey, fay + L"\\CLSID\\" + id, Gone},
                                       {UsersKey, fay + L"\\Wow6432Node\\CLSID\\" + id, Gone}};
    Check(SaveHive(L"C:\\fay-classes.dat", fayKeys, fay + L"\\", fay) &&
          AddProfile(kFay, L"C:\\users\\fay"), L"Fay's classes hive loaded");
    const std::vector<Item> items = Installation({{Key, classes32 + id, Gone},
                                                  {Key, records32 + id, Gone},
                                                  {File, sysWow + L"QUILLODECK.OCX", Gone},
                                                  {Directory, L"C:\\users\\fay", Kept},
                                                  fayKeys[0], fayKeys[1]});
    Run(L"both registry views and both system folders", items, [&] {
        Unattended(kQuiet + L" /block", 0);
        std::vector<Str> lines = {L"removed 0 " + kSystem + L"\\FENNOXEL.OCX",
                                  L"removed 0 " + sysWow + L"QUILLODECK.OCX",
                                  L"removed 0 " + FullName(UsersKey, fayKeys[0].path) + L" [64]",
                                  L"removed 0 " + FullName(UsersKey, fayKeys[1].path) + L" [32]"};
        // Both views' machine keys are named as the 64-bit view's, and tagged.
        for (const auto& folder : killBitFolders) {
            for (const Str& key : {kClasses + L"CLSID\\" + id, kRecords + id})
                lines.push_back(L"removed 0 HKEY_LOCAL_MACHINE\\" + key + folder.second);
            lines.push_back(L"blocked 0 HKEY_LOCAL_MACHINE\\" + folder.first + id + folder.second +
                            L" none->0x400");
        }
        Unattended(L"/check /block", 0);
        CheckLog(L"outcome=clean exit=0", lines);
    });
    for (const auto& folder : killBitFolders)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, folder.first.c_str());  // the bits the run set
    RegUnLoadKeyW(HKEY_USERS, fay.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kProfileList + kFay).c_str());
}

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_U8TEXT);
    SetCurrentDirectoryW(L"C:\\");
    if (argc < 2)
        return 2;
    exe = argv[1];
    computer = _wgetenv(L"COMPUTERNAME");
    if (GetSystemWow64DirectoryW(0, 0) != 0) {
        view64 = L" [64]";
        killBitFolders = {{kKillBits, view64},
                          {L"Software\\Wow6432Node\\" + kKillBits.substr(9), L" [32]"}};
    }
    const Str only = argc == 3 ? argv[2] : L"";
    const bool singleByte = only == L"single-byte";
    scenario = L"Wine";
    Check(GetACP() == (singleByte ? 1252u : 936u), L"code page " + std::to_wstring(GetACP()));
    BOOLEAN was;
    RtlAdjustPrivilege(17, TRUE, FALSE, &was);
    RtlAdjustPrivilege(18, TRUE, FALSE, &was);
    if (only == L"views") {
        ViewsSuite();
    } else if (singleByte) {
        // Best-fit mapping to a single-byte code page makes the full-width reverse solidus "\".
        RunDialog(L"single-byte code page", Installation({{Key, kRow7 + L"\\L＼Sub", Gone}}),
                  L"卸载成功！", 0);
    } else {
        // Code page 936 has no Thai letters. Wine accepts a key name of 256 characters. Wine's
        // shell reports the folder of 90 卸 deleted and leaves it.
        RunDialog(L"names outside the code page, the longest key name, a link, a folder left",
                  Installation({{Key, kRow7 + L"\\ก", Gone},
                                {Directory, kDl + L"\\CONFLICTก", Gone},
                                {File, kDl + L"\\CONFLICTS", Kept},
                                {Directory, kDl + L"\\CONFLICT" + Str(90, L'卸'), Kept},
                                {Key, kRow7 + L"\\" + Str(255, L'卸'), Gone},
                                {Key, kLinkTarget, Kept},
                                {RegLink, kRow7 + L"\\Link", Gone}}),
                  L"删除文件失败！", 1, [] { Unattended(L"/check", 1); });
        Check(RunUnix(L"ls $XDG_DATA_HOME/Trash/files | grep -qx MERROWIND.OCX"),
              L"the dialog's removed files in the trash");
        const HANDLE lock = CreateMutexW(0, TRUE, kLock);
        RunDialog(L"the dialog while another run holds the lock", Installation({}, false, Kept),
                  L"", ERROR_INSTALL_USEREXIT);
        CloseHandle(lock);
        // On a window station without WSF_VISIBLE, a line that would show a window exits 87.
        const HWINSTA station = CreateWindowStationW(L"TarnwickUnseen", 0, WINSTA_ALL_ACCESS, 0);
        scenario = L"no one sees a window";
        for (const wchar_t* line : {L"", L"/bogus", L"/qiuet"})
            Unattended(line, 87, 0, L"TarnwickUnseen\\Default");
        CloseWindowStation(station);
        UnattendedSuite();
        ProfilesSuite();
        if (!view64.empty())
            ViewsSuite();
    }
    wprintf(L"%d passed, %d failed\n", passed, failed);
    return failed != 0;
}
