// tarnwick_e2e TARNWICK.EXE [single-byte | views]: drives Tarnwick.exe under Wine as a user and as
// a script would, in code page 936 or 1252 (single-byte), and prints "N passed, M failed" last.
// With views, it runs only the scenario of both registry views (in a 64-bit prefix).
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "WineMachine.h"

// Deletes the key that the handle names; user mode reaches it through ntdll.
extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

typedef std::wstring Str;

const wchar_t kCaption[] = L"提示信息";
const wchar_t kNotice[] = L"注意：卸载前请确保关闭所有浏览器窗口。";
const wchar_t kSuccess[] = L"卸载成功！";
const wchar_t kFailure[] = L"删除文件失败！";
const Str kDl = L"C:\\windows\\Downloaded Program Files";
const Str kSystem = L"C:\\windows\\system32";  // also a 32-bit program's, under WoW64
const Str kLog = L"C:\\tarnwick.log";
const Str kQuiet = L"/quiet /log " + kLog;
const wchar_t kLock[] = L"Global\\Tarnwick.Removal";  // Wine has no private namespaces
const DWORD kWaitMs = 10000;

// The seven registrations: class ID, the type library ID's first group (the rest is the class
// ID's), ProgID.
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

// Whether the item is there, and, if it is kept, with what it holds.
bool Present(const Item& item)
{
    Str inner;
    if (item.fate == Kept && item.kind == Directory)
        inner = kFolderContent;
    if (item.fate == Kept && !OnDisk(item.kind))
        inner = kKeyContent;
    return Present(item.kind, item.path + inner);
}

// The controls per machine and per user beside near misses, then extra; the controls' items with
// fate. With row3Stuck, the user's class key of row 3 holds a key too long to list, sorted first:
// it stays with the row's keys.
std::vector<Item> Installation(const std::vector<Item>& extra = {}, bool row3Stuck = false,
                               Fate fate = Gone)
{
    std::vector<Item> items = {{Directory, kDl, Kept}};
    for (const auto& row : kRows) {
        const Str id = row[0];
        const Str typeLib = L"TypeLib\\{" + Str(row[1]) + id.substr(9);
        for (Kind place : {Key, UserKey}) {
            std::vector<Str> keys = {kClasses + L"CLSID\\" + id, kClasses + row[2],
                                     kClasses + typeLib, kRecords + id};
            if (place == UserKey) {
                keys.push_back(kAddOns + L"Settings\\" + id);
                keys.push_back(kAddOns + L"Stats\\" + id);
            }
            const bool stuck = row3Stuck && place == UserKey && id == kRows[2][0];
            for (const Str& key : keys)
                items.push_back({place, key, stuck ? Kept : fate});
        }
    }
    if (row3Stuck)
        items.push_back({UserKey, kRow3 + L"\\" + Str(256, L'0'), Kept});
    auto add = [&](Kind kind, const Str& folder, Fate fate, const std::vector<Str>& names) {
        for (const Str& name : names)
            items.push_back({kind, folder + name, fate});
    };
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
        const Str what = (item->fate == Kept ? L"kept " : L"removed ") + item->path;
        const Str place = item->kind == UserKey ? L" per user" : L"";
        Check(Present(*item) == (item->fate == Kept), what + place);
        if (OnDisk(item->kind))
            files += L" " + UnixPath(item->path);
        else
            RegDeleteTreeW(Root(item->kind), item->path.c_str());
    }
    RunUnix(files + L" 2>/dev/null; true");  // rm cannot name what Wine shortened
}

bool ShowsWindow(const PROCESS_INFORMATION& run)
{
    for (HWND window = FindWindowExW(0, 0, 0, 0); window != 0;
         window = FindWindowExW(0, window, 0, 0)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == run.dwProcessId && IsWindowVisible(window))
            return true;
    }
    return false;
}

// Starts a run per command line, all at once (on desktop, if given), and polls them until they
// end: none may show a window, and each must exit with code. Given the removal lock, owned by the
// caller, the runs must wait for it, and get it once it is released. Returns the last run's id.
DWORD Together(const std::vector<Str>& lines, DWORD code, HANDLE lock = 0,
               const wchar_t* desktop = 0)
{
    std::vector<PROCESS_INFORMATION> runs;
    std::vector<HANDLE> processes;
    for (const Str& line : lines) {
        runs.push_back(Launch(exe, line, desktop));
        processes.push_back(runs.back().hProcess);
    }
    if (lock != 0) {
        const DWORD waited = WaitForMultipleObjects(processes.size(), &processes[0], 0, 2000);
        Check(waited == WAIT_TIMEOUT, L"runs wait for the lock");
        ReleaseMutex(lock);
    }
    bool shown = false;
    WaitFor([&] {
        shown = shown || std::any_of(runs.begin(), runs.end(), ShowsWindow);
        return WaitForMultipleObjects(processes.size(), &processes[0], 1, 0) == WAIT_OBJECT_0;
    }, 3 * kWaitMs);
    Check(!shown, L"no window while running");
    for (size_t i = 0; i < runs.size(); ++i) {
        DWORD exitCode = STILL_ACTIVE;
        GetExitCodeProcess(runs[i].hProcess, &exitCode);
        End(runs[i]);
        const Str expected = L": exit " + std::to_wstring(code);
        Check(exitCode == code, lines[i] + expected, std::to_wstring(exitCode));
    }
    return runs.back().dwProcessId;
}

// The dialog's texts, and its place: centred on its monitor's work area.
void CheckLook(HWND dlg)
{
    Str texts = Text(dlg);
    for (HWND w = GetWindow(dlg, GW_CHILD); w != 0; w = GetWindow(w, GW_HWNDNEXT))
        texts += L"|" + Text(w);
    const Str expected = L"Quillodeck客户端控件卸载工具|卸载(&U)|关闭(&C)|";
    Check(texts == expected + kNotice, L"texts of the dialog and of its controls in order", texts);
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

// The dialog on the items: its look; Enter on the focused Uninstall shows the notice, then outcome,
// each owned by the dialog, while Uninstall is disabled and a press starts no second run; then
// Uninstall is enabled again with the focus, and Close ends the program. atNotice runs while the
// notice shows. Without an outcome, the dialog waits for another run after the notice, and answers
// meanwhile; Close ends the wait too. The program exits with exitCode.
void RunDialog(const wchar_t* name, const std::vector<Item>& items, const Str& outcome,
               DWORD exitCode, const std::function<void()>& atNotice = [] {})
{
    Run(name, items, [&] {
        const PROCESS_INFORMATION tarnwick = Launch(exe, L"");
        // A fresh prefix's first window can take 10 s.
        const HWND dlg = DialogWindow(tarnwick.dwThreadId, {}, 3 * kWaitMs);
        const HWND uninstall = GetDlgItem(dlg, IDOK);
        Check(dlg != 0 && WaitForInputIdle(tarnwick.hProcess, kWaitMs) == 0, L"dialog shows");
        CheckLook(dlg);
        PostMessageW(dlg, WM_KEYDOWN, VK_RETURN, 0);
        for (const Str& text : {Str(kNotice), outcome}) {
            if (text.empty())
                continue;
            const HWND box = DialogWindow(tarnwick.dwThreadId, {dlg}, kWaitMs);
            const Str seen = Text(box) + L": " + Text(GetDlgItem(box, 0xFFFF));
            const bool owned = GetWindow(box, GW_OWNER) == dlg;
            Check(!IsWindowEnabled(uninstall), L"Uninstall disabled while a box shows");
            if (text == kNotice)
                atNotice();
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            WaitFor([&] { return !IsWindow(box); }, kWaitMs);
            Check(owned && seen == kCaption + (L": " + text), L"dialog's box " + text, seen);
        }
        GUITHREADINFO info = {sizeof info};
        DWORD_PTR result;
        if (outcome.empty()) {
            const LRESULT answered =
                SendMessageTimeoutW(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result);
            Check(answered != 0, L"the waiting dialog answers within a second");
        } else {
            const bool ready = WaitFor([&] {
                return IsWindowEnabled(uninstall) &&
                       GetGUIThreadInfo(tarnwick.dwThreadId, &info) && info.hwndFocus == uninstall;
            }, kWaitMs);
            Check(ready, L"Uninstall enabled again, with the focus", L"on " + Text(info.hwndFocus));
        }
        PostMessageW(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(tarnwick.hProcess, kWaitMs);
        GetExitCodeProcess(tarnwick.hProcess, &code);
        Check(code == exitCode, L"program ends on Close, exit " + std::to_wstring(exitCode),
              std::to_wstring(code));
        End(tarnwick);
    });
}

// Starts Tarnwick with args, closes the first box or dialog it shows (IDCANCEL), and returns its
// exit code.
DWORD ExitAfterClosing(const Str& args)
{
    const PROCESS_INFORMATION tarnwick = Launch(exe, args);
    const HWND window = DialogWindow(tarnwick.dwThreadId, {}, 3 * kWaitMs);
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    DWORD exitCode = STILL_ACTIVE;
    WaitForSingleObject(tarnwick.hProcess, kWaitMs);
    GetExitCodeProcess(tarnwick.hProcess, &exitCode);
    End(tarnwick);
    return exitCode;
}

// Checks the log and deletes it: it starts with a header, ends with a quiet run's outcome on this
// computer, and holds lines, each the end of a line of the log (the run's own lines begin with the
// time).
void CheckLog(const Str& outcome, const std::vector<Str>& lines)
{
    std::vector<Str> log;
    FILE* file = _wfopen(kLog.c_str(), L"rt, ccs=UTF-8");
    wchar_t text[2048];
    while (file != 0 && fgetws(text, 2048, file) != 0)
        log.push_back(Str(text, wcscspn(text, L"\n")));
    if (file != 0)
        fclose(file);
    const Str first = log.empty() ? L"" : log.front();
    const Str last = log.empty() ? L"" : log.back();
    // After the time, 2026-12-07T01:25:58Z.
    const Str header = L"Z start version=1.0.0.1 mode=";
    Check(first.find(header) == 19, L"log: header", first);
    const Str end = L"Z end mode=quiet computer=" + computer + L" " + outcome;
    Check(last.find(end) == 19, L"log: end " + outcome, last);
    for (const Str& line : lines) {
        const bool found = std::any_of(log.begin(), log.end(), [&](const Str& seen) {
            return seen.size() >= line.size() && seen.compare(seen.size() - line.size(),
                                                              line.size(), line) == 0;
        });
        Check(found, L"log: " + line);
    }
    DeleteFileW(kLog.c_str());
}

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingList[] = L"PendingFileRenameOperations";

// How often path is scheduled for deletion at the next start: PendingFileRenameOperations holds
// "\??\path" (then an empty target).
int Scheduled(const Str& path)
{
    DWORD size = 0;
    RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingList, RRF_RT_REG_MULTI_SZ, 0, 0,
                 &size);
    std::vector<wchar_t> list(size / 2 + 1);
    RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingList, RRF_RT_REG_MULTI_SZ, 0,
                 list.data(), &size);
    int count = 0;
    for (const wchar_t* entry = list.data(); entry < list.data() + size / 2;
         entry += wcslen(entry) + 1)
        count += lstrcmpiW(entry, (L"\\??\\" + path).c_str()) == 0;
    return count;
}

// Fills the list with 37,000 characters of other deletions, as updates waiting for a restart do.
bool FillPendingList()
{
    Str list;
    for (int i = 0; i < 350; ++i) {
        list += L"\\??\\C:\\windows\\temp\\update" + std::to_wstring(i) + Str(80, L'x');
        list += Str(2, L'\0');
    }
    const DWORD size = (list.size() + 1) * sizeof(wchar_t);
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingList, REG_MULTI_SZ,
                           list.c_str(), size) == 0;
}

// The interfaces of the rows' type libraries (in any case of the letters) go with them; one of
// another library, one character off row 1's, stays. So do the installers' records of files
// that the sweeps select, whether or not the file is still there, by a short (8.3) path too, or
// by a name as long as a key's may be; another file's records stay.
void RecordsScenario()
{
    const Str interfaces = kClasses + L"Interface\\{1B00000";
    const Str sharedDlls = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    const Str moduleUsage = L"Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\C:/";
    // The last of each stays.
    const Str libraries[] = {L"{A6C2FD00" + Str(kRows[0][0]).substr(9),
                             L"{b1918982-b3f5-45B1-ac66-70a71ba5f7af}",
                             L"{A6C2FD00" + kNearMiss.substr(9)};
    Str files[] = {kSystem + L"\\FENNOXEL.OCX",
                   L"C:\\WINDOWS\\DOWNLOADED PROGRAM FILES\\FENNOXEL.INF", L"short path",
                   kSystem + L"\\OTHER.OCX"};
    const Str longName = L"windows/Downloaded Program Files/CONFLICT.1/" + Str(200, L'x');
    std::vector<Item> extra = {{Key, moduleUsage + L"windows/system32/FENNOXEL.OCX", Gone},
                               {Key, moduleUsage + L"windows/system32/FENNOXEL.OCX.1", Kept},
                               {Key, moduleUsage + longName, Gone}};
    for (int i = 0; i < 3; ++i) {
        const Str iid = interfaces + std::to_wstring(i) + L"-0000-0000-0000-000000000000}";
        extra.push_back({Key, iid, i < 2 ? Gone : Kept});
    }
    Run(L"interfaces and shared files", Installation(extra), [&] {
        wchar_t shortPath[MAX_PATH] = L"";
        GetShortPathNameW((kDl + L"\\quillodeck.inf").c_str(), shortPath, MAX_PATH);
        files[2] = shortPath;
        const DWORD count = 1;
        bool seeded = files[2].find(L'~') != Str::npos;
        for (int i = 0; i < 3; ++i) {
            const Str typeLib = extra[3 + i].path + L"\\TypeLib";
            const DWORD size = (libraries[i].size() + 1) * sizeof(wchar_t);
            seeded = RegSetKeyValueW(HKEY_LOCAL_MACHINE, typeLib.c_str(), 0, REG_SZ,
                                     libraries[i].c_str(), size) == 0 && seeded;
        }
        for (const Str& file : files) {
            seeded = RegSetKeyValueW(HKEY_LOCAL_MACHINE, sharedDlls.c_str(), file.c_str(),
                                     REG_DWORD, &count, sizeof count) == 0 && seeded;
        }
        Check(seeded, L"interfaces and records made, one by a short path: " + files[2]);
        Together({L"/check /log " + kLog}, 1);
        Together({kQuiet}, 0);
        Together({L"/check"}, 0);
        const Str record = L"0 HKEY_LOCAL_MACHINE\\" + sharedDlls + L"\\";
        std::vector<Str> lines = {L"present " + record + files[2] + view64};
        for (const Str& file : files) {
            const bool kept = RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, sharedDlls.c_str(),
                                                 file.c_str()) == 0;
            Check(kept == (&file == &files[3]), L"SharedDLLs value " + file);
            lines.push_back(L"removed " + record + file + view64);
        }
        lines.pop_back();
        for (const Item& item : extra) {
            if (item.fate == Gone)
                lines.push_back(L"removed 0 " + FullName(item.kind, item.path) + view64);
        }
        CheckLog(L"outcome=clean exit=0", lines);
    });
}

// The kill bits' folder in each view, by path as a 64-bit program sees it (on 64-bit Windows the
// 32-bit view's below Wow6432Node), and how the log tags it.
std::vector<std::pair<Str, Str>> KillBitFolders()
{
    if (view64.empty())
        return {{kKillBits, L""}};
    return {{kKillBits, L" [64]"},
            {L"Software\\Wow6432Node\\" + kKillBits.substr(9), L" [32]"}};
}

// The Compatibility Flags of id's key in folder (0 where the key has no REG_DWORD of that name),
// and how many values the key holds.
DWORD KillFlags(const Str& folder, const Str& id, DWORD* values = 0)
{
    const Str path = folder + id;
    DWORD flags = 0;
    DWORD size = sizeof flags;
    RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"Compatibility Flags", RRF_RT_REG_DWORD, 0,
                 &flags, &size);
    HKEY key = 0;
    if (values != 0 && RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == 0) {
        RegQueryInfoKeyW(key, 0, 0, 0, 0, 0, 0, values, 0, 0, 0, 0);
        RegCloseKey(key);
    }
    return flags;
}

bool SetKillFlags(const Str& folder, const Str& id, DWORD flags)
{
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, (folder + id).c_str(), L"Compatibility Flags",
                           REG_DWORD, &flags, sizeof flags) == 0;
}

// Deletes the kill bits that a run with /block made, but row 7's in the 64-bit view, which
// Installation() makes and Run() checks.
void DeleteKillBits()
{
    for (const auto& folder : KillBitFolders()) {
        for (const auto& row : kRows) {
            const Str path = folder.first + row[0];
            if (path != kKillBits + kRows[6][0])
                RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
        }
    }
}

// A removal keeps the kill bits as they were. With /block it then sets each control's in each
// view: 0x400, beside the bits there were (row 1's 0x4 in the last view); another control's key
// keeps its flags and its other value. A check with /block finds a bit that is not set a trace.
void KillBitsScenario()
{
    const auto folders = KillBitFolders();
    const Str row7 = kRows[6][0];
    Run(L"kill bits left as they were", Installation(), [&] {
        Check(SetKillFlags(kKillBits, row7, 0x4), L"row 7's kill bit 0x4");
        Together({L"/quiet"}, 0);
        DWORD values = 0;
        Check(KillFlags(kKillBits, row7, &values) == 0x4 && values == 2,
              L"row 7's flags as they were");
        Check(!Present(Key, kKillBits + kRows[0][0]), L"no kill bit made");
        Together({L"/check /block"}, 1);
    });
    const Str other = kKillBits + kNearMiss;
    Run(L"kill bits set with /block", Installation({{Key, other, Kept}}), [&] {
        Check(SetKillFlags(kKillBits, kNearMiss, 0x4) &&
              SetKillFlags(folders.back().first, kRows[0][0], 0x4),
              L"another control's flags and row 1's 0x4");
        const Str pid = std::to_wstring(Together({kQuiet + L" /block"}, 0));
        std::vector<Str> lines;
        for (const auto& folder : folders) {
            for (const auto& row : kRows) {
                const bool row1 = &row == &kRows[0] && folder == folders.back();
                const DWORD flags = KillFlags(folder.first, row[0]);
                const DWORD expected = row1 ? 0x404 : 0x400;
                Check(flags == expected, L"kill bit " + folder.first + row[0] + folder.second,
                      std::to_wstring(flags));
                lines.push_back(L"blocked 0 HKEY_LOCAL_MACHINE\\" + folder.first + row[0] +
                                folder.second + (row1 ? L" 0x4->0x404" : L" none->0x400"));
            }
        }
        DWORD values = 0;
        Check(KillFlags(kKillBits, kNearMiss, &values) == 0x4 && values == 2,
              L"another control's flags untouched");
        Together({L"/check /block"}, 0);
        DeleteKillBits();
        const Str count = std::to_wstring(lines.size());
        lines.push_back(L" blocked=" + count + L" kept=0 open=0 pid=" + pid);
        CheckLog(L"outcome=clean exit=0", lines);
    });
}

void UnattendedSuite()
{
    // Lines that cannot be used and logs that are refused (another file's second name, behind a
    // folder link) remove nothing; nor does a run that gives up waiting for the driver's lock.
    // Then everything goes, a read-only file too, but a file held open without delete sharing,
    // which is scheduled once in a list longer than a value read at once.
    const Str held = kDl + L"\\MERROWIND.OCX";
    const std::vector<Item> items = Installation({{File, L"C:\\victim.txt", Kept},
                                                  {Directory, L"C:\\target", Kept},
                                                  {Directory, kDl + L"\\CONFLICTก", Gone}});
    Run(L"unattended runs", items, [&] {
        Check(CreateHardLinkW(L"C:\\linked.log", L"C:\\victim.txt", 0) &&
              RunUnix(L"ln -s target logs"), L"links made");
        const DWORD usage = ExitAfterClosing(L"/quite");
        Check(usage == 87, L"/quite: usage box, then exit 87", std::to_wstring(usage));
        const DWORD closed = ExitAfterClosing(L"");
        Check(closed == 1602, L"dialog closed unpressed: exit 1602", std::to_wstring(closed));
        Together({L"/quiet /bogus"}, 87);
        Together({L"/quiet /log C:\\no\\such\\folder.log", L"/quiet /log C:\\windows",
                  L"/check /log C:\\linked.log", L"/check /log C:\\logs\\evil.dll"}, 1622);
        Check(!Present(File, L"C:\\target\\evil.dll"), L"no log through the folder link");
        RunUnix(L"rm logs linked.log");
        Together({L"/check"}, 1);
        const HANDLE lock = CreateMutexW(0, TRUE, kLock);
        const DWORD start = GetTickCount();
        const Str busy = std::to_wstring(Together({kQuiet + L" /wait 2"}, 1618));
        const DWORD waited = GetTickCount() - start;
        Check(waited >= 2000 && waited < 10000, L"gave up after 2 s", std::to_wstring(waited));
        const bool intact = std::all_of(items.begin(), items.end(), [](const Item& item) {
            return item.fate == Kept || Present(item);
        });
        Check(intact, L"nothing removed while another run holds the lock");
        const HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, 0,
                                        OPEN_EXISTING, 0, 0);
        Check(RunUnix(L"rm -rf $XDG_DATA_HOME/Trash") && FillPendingList() &&
              SetFileAttributesW((kDl + L"\\quillodeck.inf").c_str(), FILE_ATTRIBUTE_READONLY),
              L"trash emptied, updates pending, a file read-only");
        Together({kQuiet}, ERROR_SUCCESS_REBOOT_REQUIRED, lock);
        Check(RunUnix(L"! ls -A $XDG_DATA_HOME/Trash/files 2>/dev/null | grep -q ."),
              L"nothing in the trash");
        Together({L"/check"}, ERROR_SUCCESS_REBOOT_REQUIRED);

        Together({L"/q"}, ERROR_SUCCESS_REBOOT_REQUIRED);
        const int scheduled = Scheduled(held);
        Check(scheduled == 1, L"held file scheduled once for deletion at the next start",
              std::to_wstring(scheduled));
        CloseHandle(file);
        CloseHandle(lock);
        const PROCESS_INFORMATION restart = Launch(L"C:\\windows\\system32\\wineboot.exe", L"-r");
        WaitForSingleObject(restart.hProcess, 3 * kWaitMs);
        End(restart);
        Check(!Present(File, held), L"held file gone after a restart");
        Together({L"/check"}, 0);
        Together({L"/qn /norestart /log " + kLog}, 0);
        std::vector<Str> lines = {L"pending 32 " + held, L" waiting pid=" + busy,
                                  L" busy waited=2 pid=" + busy,
                                  L" end mode=quiet computer=" + computer +
                                      L" outcome=busy exit=1618 removed=0 pending=0 failed=0 "
                                      L"absent=0 present=0 link=0 unreadable=0 blocked=0 "
                                      L"kept=0 open=0 pid=" + busy};
        // All but the held file, which went at the restart.
        for (const Item& item : items) {
            if (item.fate == Gone && item.path != held)
                lines.push_back(L"removed 0 " + FullName(item.kind, item.path) +
                                (OnDisk(item.kind) ? L"" : view64));
        }
        CheckLog(L"outcome=clean exit=0", lines);
    });
    // Unix links, which Wine follows whatever is asked, and lists as plain files if to a file;
    // one inside a conflict folder, which stays with the folder: its deletion would follow it.
    const std::vector<Item> targets = {{File, kDl + L"\\notes.txt", Kept},
                                       {File, L"C:\\outside.ocx", Kept},
                                       {Directory, L"C:\\outside", Kept}};
    Run(L"a class key that cannot be emptied, and links", Installation(targets, true), [] {
        Check(RunUnix(L"(cd " + UnixPath(kDl) + L" && ln -s notes.txt FENNOXEL.INF && "
                      L"ln -s ../../outside.ocx FENNOXEL.OCX && ln -s ../../outside CONFLICT.7 && "
                      L"mkdir CONFLICT.2 && ln -s ../../../outside CONFLICT.2/outside)"),
              L"links made");
        Together({kQuiet}, 2);
        CheckLog(L"outcome=class-key-stays exit=2",
                 {L"failed 5 HKEY_CURRENT_USER\\" + kRow3 + view64,
                  L"link 0 " + kDl + L"\\FENNOXEL.INF",
                  L"link 0 " + kDl + L"\\FENNOXEL.OCX", L"link 0 " + kDl + L"\\CONFLICT.7",
                  L"link 0 " + kDl + L"\\CONFLICT.2"});
        RunUnix(L"rm -r " + UnixPath(kDl + L"\\CONFLICT.2"));
    });
    // A class key that is a link to a key that does not exist is there: a check reads the link.
    // So is a browser's record left behind.
    Run(L"a class key linked to nothing, a record left behind",
        {{RegLink, kClasses + L"CLSID\\" + kRows[0][0], Gone},
         {UserKey, kRecords + kNearMiss, Kept}}, [] {
        Together({L"-CHECK"}, 1);
        Together({L"/q"}, 0);
        Check(Add(UserKey, kRecords + kRows[0][0]), L"record left behind");
        Together({L"/check"}, 1);
        Together({L"/q"}, 0);
        Together({L"/check"}, 0);
    });
    RecordsScenario();
    KillBitsScenario();
}

// Users' profiles: their list, and hive files made with the backup and restore privileges, which
// the driver enables at its start.
const Str kProfileList = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
const Str kAlice = L"S-1-5-21-1-1-1-1001";  // logged on: her hives are loaded below HKEY_USERS
const Str kBob = L"S-1-5-21-1-1-1-1002";    // on disk only
const Str kCarol = L"S-1-5-21-1-1-1-1003";  // her hive file is held open
const Str kDave = L"S-1-5-21-1-1-1-1004";   // his folder is missing
const Str kErin = L"S-1-5-21-1-1-1-1005";   // her NTUSER.DAT is no hive
const Str kFay = L"S-1-5-21-1-1-1-1006";    // logged on, in a 64-bit prefix

void EnableHivePrivileges()
{
    HANDLE token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
    for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES privileges = {1};
        LookupPrivilegeValueW(0, name, &privileges.Privileges[0].Luid);
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, 0, 0);
    }
    CloseHandle(token);
}

bool AddProfile(const Str& sid, const Str& folder)
{
    const DWORD size = (folder.size() + 1) * sizeof(wchar_t);
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kProfileList + sid).c_str(), L"ProfileImagePath",
                           REG_EXPAND_SZ, folder.c_str(), size) == 0;
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
    const Str scratch = L"TarnwickHive";
    HKEY key;
    bool saved = RegCreateKeyExW(HKEY_LOCAL_MACHINE, scratch.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0,
                                 &key, 0) == 0;
    for (const Item& item : items) {
        if (item.path.compare(0, root.size(), root) == 0)
            saved = Add(Key, scratch + L"\\" + item.path.substr(root.size())) && saved;
    }
    saved = RegSaveKeyW(key, file.c_str(), 0) == 0 && saved;
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, scratch.c_str());
    return saved && (name.empty() || RegLoadKeyW(HKEY_USERS, name.c_str(), file.c_str()) == 0);
}

// How many hives HKEY_USERS holds.
DWORD Users()
{
    DWORD count = 0;
    RegQueryInfoKeyW(HKEY_USERS, 0, 0, 0, &count, 0, 0, 0, 0, 0, 0, 0);
    return count;
}

// Makes the key at path below root (deleted first) a registry link to the machine's kill bits.
bool LinkToKillBits(HKEY root, const Str& path)
{
    const Str killBits = L"\\Registry\\Machine\\" + kKillBits.substr(0, kKillBits.size() - 1);
    RegDeleteTreeW(root, path.c_str());
    HKEY link = 0;
    const bool made =
        RegCreateKeyExW(root, path.c_str(), 0, 0, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, 0,
                        &link, 0) == 0 &&
        RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE*)killBits.data(),
                       killBits.size() * sizeof(wchar_t)) == 0;
    RegCloseKey(link);
    return made;
}

// Deletes the link at path below root, never what it points to.
void DeleteLink(HKEY root, const Str& path)
{
    HKEY link = 0;
    RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link);
    NtDeleteKey(link);
    RegCloseKey(link);
}

void ProfilesSuite()
{
    // Alice is logged on; Dave's profile has no folder left. A run removes Alice's registration,
    // keeps her other keys, and finds no trace in Dave's profile. Then Alice, and the account
    // that runs Tarnwick, make their Ext\Settings a link to the machine's kill bits: nothing
    // behind it goes, and a link on the way to a browser's record is no trace.
    const Str settings = kAlice + L"\\" + kAddOns + L"Settings";
    const Str ownSettings = kAddOns + L"Settings";
    std::vector<Item> alice = ProfileKeys(kAlice);
    Check(SaveHive(L"C:\\alice.dat", {}, L"", kAlice) &&
          SaveHive(L"C:\\alice-classes.dat", {}, L"", kAlice + L"_Classes") &&
          AddProfile(kAlice, L"C:\\users\\alice") && AddProfile(kDave, L"C:\\users\\dave"),
          L"profiles made");
    alice.push_back({Directory, L"C:\\users\\alice", Kept});
    alice.push_back({UsersKey, kAlice + L"_Classes\\CLSID\\" + kNearMiss, Kept});
    alice.push_back({UsersKey, kAlice + L"\\Software\\Other", Kept});
    alice.push_back({Key, kKillBits + kRows[6][0], Kept});
    Run(L"a logged-on user's profile, and one whose folder is missing", alice, [&] {
        Together({L"/check"}, 1);
        Together({kQuiet}, 0);
        Together({L"/check"}, 0);
        Check(LinkToKillBits(HKEY_USERS, settings) &&
              LinkToKillBits(HKEY_CURRENT_USER, ownSettings), L"users' links made");
        Together({kQuiet}, 0);
        DeleteLink(HKEY_CURRENT_USER, ownSettings);
        std::vector<Str> lines = {L"profile " + kAlice + L" alice", L"absent 2 C:\\users\\dave",
                                  L"link 0 HKEY_USERS\\" + settings + view64,
                                  L"link 0 HKEY_CURRENT_USER\\" + ownSettings + view64};
        for (const Item& item : alice) {
            if (item.fate == Gone)
                lines.push_back(L"removed 0 " + FullName(item.kind, item.path) + view64);
        }
        CheckLog(L"outcome=clean exit=0", lines);
    });
    // Bob's profile is on disk only, Carol's hive file is held open, and Erin's is no hive. The
    // run loads Bob's hives (Wine forgets every change to a hive when it is unloaded); Erin's is
    // no trace. Once Carol's file is closed, nothing stays.
    const Str bob = L"C:\\users\\bob";
    const Str carol = L"C:\\users\\carol";
    const Str erinFile = L"C:\\users\\erin\\NTUSER.DAT";
    const Str bobClasses = bob + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
    Run(L"a profile on disk only, one whose hive is held open, one that is no hive",
        {{Directory, bob, Kept}, {Directory, carol, Kept}, {Directory, L"C:\\users\\erin", Kept}},
        [&] {
        const std::vector<Item> keys = ProfileKeys(kBob);
        Check(RunUnix(L"mkdir -p users/bob/AppData/Local/Microsoft/Windows") &&
              SaveHive(bob + L"\\NTUSER.DAT", keys, kBob + L"\\", L"") &&
              SaveHive(bobClasses, keys, kBob + L"_Classes\\", L"") &&
              SaveHive(carol + L"\\NTUSER.DAT", {}, L"", L"") && AddProfile(kBob, bob) &&
              AddProfile(kCarol, carol) && RunUnix(L"echo garbage > users/erin/NTUSER.DAT") &&
              AddProfile(kErin, L"C:\\users\\erin"), L"profiles on disk made");
        const HANDLE held = CreateFileW((carol + L"\\NTUSER.DAT").c_str(), GENERIC_READ, 0, 0,
                                        OPEN_EXISTING, 0, 0);
        const DWORD users = Users();
        Together({L"/check /log " + kLog}, 1);
        Together({kQuiet}, 1);
        // Wine leaves an empty key below HKEY_USERS where it refused a load: Erin's.
        Check(Users() == users + 1, L"HKEY_USERS as it was", std::to_wstring(Users()));
        CloseHandle(held);
        Together({kQuiet}, 0);
        const bool loaded = RegLoadKeyW(HKEY_USERS, L"Bob", (bob + L"\\NTUSER.DAT").c_str()) == 0 &&
                            RegLoadKeyW(HKEY_USERS, L"Bob_Classes", bobClasses.c_str()) == 0;
        Check(loaded && RegUnLoadKeyW(HKEY_USERS, L"Bob") == 0 &&
              RegUnLoadKeyW(HKEY_USERS, L"Bob_Classes") == 0, L"both hive files load again");
        std::vector<Str> lines = {L"profile " + kBob + L" bob",
                                  L"failed 32 " + carol + L"\\NTUSER.DAT",
                                  L"unreadable 1017 " + erinFile,
                                  L"unloaded 0 HKEY_USERS\\Tarnwick." + kErin};
        for (const Item& item : keys) {
            lines.push_back(L"present 0 " + FullName(item.kind, item.path) + view64);
            lines.push_back(L"removed 0 " + FullName(item.kind, item.path) + view64);
        }
        CheckLog(L"outcome=clean exit=0", lines);
    });
    for (const Str& hive : {kAlice, kAlice + L"_Classes", L"Tarnwick." + kErin})
        RegUnLoadKeyW(HKEY_USERS, hive.c_str());
    for (const Str& sid : {kAlice, kBob, kCarol, kDave, kErin})
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kProfileList + sid).c_str());
}

// On 64-bit Windows: the controls in both registry views and both system folders, beside near
// misses in each; the run's log tags each key with its view. Fay is logged on: the driver holds
// her classes hive loaded, with a registration in each view, each removed and named in its own
// (Wine gives a 32-bit program that does not ask for the 64-bit view the hive's Wow6432Node).
// With /block, row 1's kill bit is set in each view too.
void ViewsSuite()
{
    const Str id = kRows[0][0];
    const Str classes32 = kClasses + L"Wow6432Node\\CLSID\\";
    const Str records32 = L"Software\\Wow6432Node\\Microsoft\\Code Store Database\\"
                          L"Distribution Units\\";
    const Str sysWow = L"C:\\windows\\syswow64\\";
    const Str fay = kFay + L"_Classes";
    const std::vector<Item> fayKeys = {{UsersKey, fay + L"\\CLSID\\" + id, Gone},
                                       {UsersKey, fay + L"\\Wow6432Node\\CLSID\\" + id, Gone}};
    Check(SaveHive(L"C:\\fay-classes.dat", fayKeys, fay + L"\\", fay) &&
          AddProfile(kFay, L"C:\\users\\fay"), L"Fay's classes hive loaded");
    const std::vector<Item> items = Installation({{Key, classes32 + id, Gone},
                                                  {Key, classes32 + kNearMiss, Kept},
                                                  {Key, records32 + id, Gone},
                                                  {File, sysWow + L"QUILLODECK.OCX", Gone},
                                                  {File, sysWow + L"QUILLODECK.OCX.bak", Kept},
                                                  {File, kSystem + L"\\FENNOXEL.OCX.bak", Kept},
                                                  {Directory, L"C:\\users\\fay", Kept},
                                                  fayKeys[0], fayKeys[1]});
    Run(L"both registry views and both system folders", items, [&] {
        Together({kQuiet + L" /block"}, 0);
        const Str machine = L"removed 0 HKEY_LOCAL_MACHINE\\";
        std::vector<Str> lines = {machine + kClasses + L"CLSID\\" + id + L" [64]",
                                  machine + kClasses + L"CLSID\\" + id + L" [32]",
                                  machine + kRecords + id + L" [64]",
                                  machine + kRecords + id + L" [32]",
                                  L"removed 0 " + kSystem + L"\\FENNOXEL.OCX",
                                  L"removed 0 " + sysWow + L"QUILLODECK.OCX",
                                  L"removed 0 " + FullName(UsersKey, fayKeys[0].path) + L" [64]",
                                  L"removed 0 " + FullName(UsersKey, fayKeys[1].path) + L" [32]"};
        for (const auto& folder : KillBitFolders()) {
            lines.push_back(L"blocked 0 HKEY_LOCAL_MACHINE\\" + folder.first + id + folder.second +
                            L" none->0x400");
            Check(KillFlags(folder.first, id) == 0x400, L"kill bit" + folder.second);
        }
        CheckLog(L"outcome=clean exit=0", lines);
        DeleteKillBits();
    });
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
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &size);
    computer = name;
    BOOL wow64 = FALSE;
    if (sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64))
        view64 = L" [64]";
    const Str only = argc == 3 ? argv[2] : L"";
    const bool singleByte = only == L"single-byte";
    CPINFO codePage = {};
    GetCPInfo(CP_ACP, &codePage);
    scenario = L"Wine";
    Check((codePage.MaxCharSize == 1) == singleByte, L"code page " + std::to_wstring(GetACP()));
    if (only == L"views") {
        EnableHivePrivileges();
        ViewsSuite();
    } else if (singleByte) {
        // Best-fit mapping to a single-byte code page makes the full-width reverse solidus "\".
        RunDialog(L"single-byte code page", Installation({{Key, kRow7 + L"\\L＼Sub", Gone}}),
                  kSuccess, 0);
    } else {
        // Code page 936 has no Thai letters. Wine accepts a key name of 256 characters.
        RunDialog(L"names outside the code page, the longest key name, a registry link",
                  Installation({{Key, kRow7 + L"\\ก", Gone},
                                {Directory, kDl + L"\\CONFLICTก", Gone},
                                {File, kDl + L"\\CONFLICTS", Kept},
                                {Key, kRow7 + L"\\" + Str(255, L'卸'), Gone},
                                {Key, kLinkTarget, Kept},
                                {RegLink, kRow7 + L"\\Link", Gone}}),
                  kSuccess, 0, [] { Together({L"/check"}, 1); });
        Check(RunUnix(L"ls $XDG_DATA_HOME/Trash/files | grep -qx MERROWIND.OCX"),
              L"the dialog's removed files in the trash");
        // Wine's shell reports this folder deleted and leaves it.
        const Str left = kDl + L"\\CONFLICT" + Str(90, L'卸');
        RunDialog(L"shell leaves a folder", Installation({{Directory, left, Kept}}), kFailure, 1);
        const HANDLE lock = CreateMutexW(0, TRUE, kLock);
        RunDialog(L"the dialog while another run holds the lock", Installation({}, false, Kept),
                  L"", ERROR_INSTALL_USEREXIT);
        CloseHandle(lock);
        // On a window station without WSF_VISIBLE, a line that would show a window exits 87.
        const HWINSTA station = CreateWindowStationW(L"TarnwickUnseen", 0, WINSTA_ALL_ACCESS, 0);
        scenario = L"no one sees a window";
        Together({L"", L"/bogus", L"/qiuet"}, 87, 0, L"TarnwickUnseen\\Default");
        CloseWindowStation(station);
        UnattendedSuite();
        EnableHivePrivileges();
        ProfilesSuite();
        if (!view64.empty())
            ViewsSuite();
    }
    wprintf(L"%d passed, %d failed\n", passed, failed);
    return failed != 0;
}
