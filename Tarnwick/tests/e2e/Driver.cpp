// tarnwick_e2e suite|demo TARNWICK.EXE [PICTURE-FOLDER]: drives Tarnwick.exe under Wine as a user would, on keys
// and files that it seeds, checks and removes, and prints "N passed, M failed" last.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

typedef std::wstring Str;

const wchar_t kCaption[] = L"提示信息", kNotice[] = L"注意：卸载前请确保关闭所有浏览器窗口。";
const wchar_t kSuccess[] = L"卸载成功！", kFailure[] = L"删除文件失败！";
const Str kDl = L"C:\\windows\\Downloaded Program Files";
const Str kNested = L"\\InprocServer32\\Nested", kInner = L"\\inner\\QUILLODECK.OCX";
const DWORD kWaitMs = 10000;

// The seven registrations: class, ProgID and type-library keys.
const wchar_t* const kRows[7][3] = {
    {L"CLSID\\{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}", L"Merrowind.DocumentControl.5", L"TypeLib\\{A6C2FD00-3168-40d0-8CE5-32840CDCDA7A}"},
    {L"CLSID\\{F6357AD6-77E4-4ae7-81BF-D16433B66D8E}", L"Merrowind.TrialViewControl", L"TypeLib\\{F6357AB6-77E4-4ae7-81BF-D16433B66D8E}"},
    {L"CLSID\\{6E9587CD-0135-4008-AA92-12755DC977DE}", L"Merrowind.LiteControl", L"TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DE}"},
    {L"CLSID\\{6E95872D-0135-4008-AA92-12755DC977DE}", L"Merrowind.DocumentControl", L"TypeLib\\{6E95870D-0135-4008-AA92-12755DC977DE}"},
    {L"CLSID\\{F311309A-D49F-4144-8FFC-7EC090D7D3FD}", L"Merrowind.DocumentControlKX.8", L"TypeLib\\{F311307A-D49F-4144-8FFC-7EC090D7D3FD}"},
    {L"CLSID\\{3DFA2F4D-CD50-4e65-9D8D-8FE7C6A2D11F}", L"Fennoxel.DocumentControl.2", L"TypeLib\\{3DFA2F2D-CD50-4e65-9D8D-8FE7C6A2D11F}"},
    {L"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", L"Quillodeck.DocumentControl.2", L"TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AF}"},
};

// Key (below HKEY_CLASSES_ROOT) and MachineKey (below HKEY_LOCAL_MACHINE) hold a value and a nested subkey; RegLink
// links to the key target; File is empty; Folder holds a file in a subfolder; Link is a Unix symbolic link to target.
enum Kind { Key, MachineKey, RegLink, File, Folder, Link };
enum Fate { Gone, Intact, There };  // There: present, whatever became of what it held
struct Item { Kind kind; Str path; Fate fate; Str target; };

Str sys, exe, pictures;
const wchar_t* scenario;
int passed, failed;
STARTUPINFOW startup = {sizeof startup};
PROCESS_INFORMATION pi;
HWND dlg;

bool Check(bool ok, const Str& what, const Str& seen = L"") {
    ++(ok ? passed : failed);
    wprintf(L"%ls  %ls: %ls%ls\n", ok ? L"PASS" : L"FAIL", scenario, what.c_str(),
            (ok || seen.empty() ? L"" : L" (seen \"" + seen + L"\")").c_str());
    return fflush(stdout), ok;
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms = kWaitMs) {
    for (DWORD start = GetTickCount(); !condition(); Sleep(20))
        if (GetTickCount() - start > ms)
            return false;
    return true;
}

// A path on C:, quoted as the Unix shell sees it from C:\, the current folder.
Str UnixPath(Str path) {
    for (wchar_t& c : path)
        c = c == L'\\' ? L'/' : c;
    return L"'" + path.substr(3) + L"'";
}

// Runs a Unix shell script. Wine starts it in the current folder, without a handle to wait on:
// on success the script makes a marker folder, which is awaited.
bool Unix(const Str& script) {
    Str line = L"/bin/sh -c \"" + script + L" && mkdir tarnwick-e2e-done\"";
    PROCESS_INFORMATION unused = {};
    return CreateProcessW(0, &line[0], 0, 0, 0, 0, 0, 0, &startup, &unused) &&
           WaitFor([] { return RemoveDirectoryW(L"C:\\tarnwick-e2e-done") != 0; });
}

HKEY Root(const Item& item) { return item.kind == MachineKey ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT; }

bool Seed(const Item& item) {
    const wchar_t* path = item.path.c_str();
    HANDLE file;
    HKEY key;
    switch (item.kind) {
    case File:
        file = CreateFileW(path, GENERIC_WRITE, 0, 0, CREATE_NEW, 0, 0);
        return file != INVALID_HANDLE_VALUE && CloseHandle(file);
    case Folder:
        return CreateDirectoryW(path, 0) && CreateDirectoryW((item.path + L"\\inner").c_str(), 0) &&
               Seed({File, item.path + kInner});
    case Link:
        return Unix(L"ln -s " + item.target + L" " + UnixPath(item.path));
    case RegLink:
        return !RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, 0, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, 0, &key, 0) &&
               !RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE*)item.target.data(),
                               item.target.size() * 2) &&
               !RegCloseKey(key);
    default:
        return !RegSetKeyValueW(Root(item), (item.path + kNested).c_str(), 0, REG_SZ, L"", 2) &&
               !RegSetKeyValueW(Root(item), path, 0, REG_SZ, path, item.path.size() * 2 + 2);
    }
}

bool Present(const Item& item) {
    HKEY key;
    return item.kind >= File ? GetFileAttributesW(item.path.c_str()) != INVALID_FILE_ATTRIBUTES
           : !RegOpenKeyExW(Root(item), item.path.c_str(), item.kind == RegLink ? REG_OPTION_OPEN_LINK : 0,
                            KEY_READ, &key) && !RegCloseKey(key);
}

// Removes the items, last first (a registry link before the key that holds it), without following links.
void Clean(const std::vector<Item>& items) {
    Str files = L"rm -rf";
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        HKEY key;
        if (item->kind >= File)
            files += L" " + UnixPath(item->path);
        else if (item->kind != RegLink)
            RegDeleteTreeW(Root(*item), item->path.c_str());
        else if (!RegOpenKeyExW(HKEY_CLASSES_ROOT, item->path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key))
            RegDeleteKeyW(key, L""), RegCloseKey(key);
    }
    Unix(files + L" 2>/dev/null; true");  // rm cannot name what Wine shortened
}

// The downloaded-controls folder and the registrations' keys, all removed but row keptRow's (its class key stays, its
// other keys intact); then extra.
std::vector<Item> Base(const std::vector<Item>& extra = {}, int keptRow = 0) {
    std::vector<Item> items = {{Folder, kDl, Intact}};
    for (int row = 1; row <= 7; ++row)
        for (const wchar_t* key : kRows[row - 1])
            items.push_back({Key, key, row != keptRow ? Gone : key == kRows[row - 1][0] ? There : Intact});
    items.insert(items.end(), extra.begin(), extra.end());
    return items;
}

// The controls installed, beside near misses that must stay.
std::vector<Item> Installation() {
    std::vector<Item> items = Base();
    auto add = [&](Kind kind, const Str& folder, Fate fate, std::vector<const wchar_t*> names) {
        for (const wchar_t* name : names)
            items.push_back({kind, folder + name, fate});
    };
    add(Key, L"", Intact, {L"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",
        L"Quillodeck.DocumentControl.20", L"TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DF}"});
    const Str dl = kDl + L"\\", system = sys + L"\\";
    add(File, dl, Gone, {L"Fennoxel.ocx", L"MERROWIND.OCX", L"QuillOdeck.Ocx", L"quillodeck.inf", L"FENNOXEL.inf"});
    add(Folder, dl, Gone, {L"CONFLICT.1", L"xConflic"});
    add(File, dl, Intact, {L"CONFLICT.2", L"QUILLODECK.OCX.bak", L"aFENNOXEL.INF"});
    add(File, system, Gone, {L"FENNOXEL.OCX", L"merrowind.ocx"});
    add(Folder, system, Gone, {L"QUILLODECK.OCX"});
    add(File, system, Intact, {L"QUILLODECK.INF", L"fennoxel.inf"});
    add(Folder, system, Intact, {L"CONFLICT.3"});
    return items;
}

Str Text(HWND window) {
    wchar_t text[MAX_PATH] = L"";
    return GetWindowTextW(window, text, MAX_PATH), text;
}

// A dialog window of Tarnwick's other than other, once one shows; 0 when none does within ms.
HWND Window(HWND other, DWORD ms) {
    HWND w = 0;
    WaitFor([&] {
        do
            w = FindWindowExW(0, w, L"#32770", 0);
        while (w && (w == other || !IsWindowVisible(w) || GetWindowThreadProcessId(w, 0) != pi.dwThreadId));
        return w != 0;
    }, ms);
    return w;
}

// Saves what the display shows, the window in front, as a PNG file in the picture folder (a Unix path).
void Picture(const Str& name) {
    Sleep(300);  // for the window to paint
    Unix(L"import -window root '" + pictures + L"/" + name + L".png'");
}

// One run of the procedure: the notice, then outcome ("": no box within 3 s), each box owned by the dialog and pictured
// when asked; the dialog stays open.
void Expect(const Str& outcome) {
    for (const Str& text : {Str(kNotice), outcome}) {
        HWND box = Window(dlg, text.empty() ? 3000 : kWaitMs);
        Str seen = !box ? L"no box" : Text(box) + L": " + Text(GetDlgItem(box, 0xFFFF)) +
                   (GetWindow(box, GW_OWNER) == dlg ? L"" : L", not owned by the dialog");
        if (box && !pictures.empty())
            Picture(text == kNotice ? L"notice" : L"outcome");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(box); });
        if (!Check(text.empty() ? !box : seen == kCaption + (L": " + text),
                   text.empty() ? L"no further box" : L"box " + text, seen))
            return;
    }
    Check(IsWindowVisible(dlg), L"dialog stays open");
}

void Click(int id) { PostMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
bool Ended() { return WaitForSingleObject(pi.hProcess, kWaitMs) == WAIT_OBJECT_0; }

// Presses Uninstall, expecting outcome, then Close.
std::function<void()> Press(const Str& outcome) {
    return [=] {
        Click(IDOK);
        Expect(outcome);
        Click(IDCANCEL);
        Check(Ended(), L"program ends on Close");
    };
}

// Seeds the items, holds held open without delete sharing (it must stay), starts Tarnwick (a fresh prefix's first
// window can take 10 s), works it, checks every item and cleans up.
void Run(const wchar_t* name, const std::vector<Item>& items, const std::function<void()>& work, Str held = L"") {
    scenario = name;
    bool seeded = std::all_of(items.begin(), items.end(), Seed);
    HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    Str line = L"\"" + exe + L"\"";
    if (Check(seeded && (held.empty() || file != INVALID_HANDLE_VALUE), L"machine seeded") &&
        Check(CreateProcessW(exe.c_str(), &line[0], 0, 0, 0, 0, 0, 0, &startup, &pi) &&
                  (dlg = Window(0, 30000)) && !WaitForInputIdle(pi.hProcess, kWaitMs), L"dialog shows"))
        work();
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, kWaitMs);
    CloseHandle(pi.hProcess), CloseHandle(pi.hThread), CloseHandle(file);
    for (const Item& item : items) {
        Fate fate = item.path == held ? Intact : item.fate;
        Str inner = fate != Intact ? L"" : item.kind == Folder ? kInner : item.kind < File ? kNested : L"";
        Check(Present({item.kind, item.path + inner}) == (fate != Gone), (fate ? L"kept " : L"removed ") + item.path);
    }
    Clean(items);
}

// For run.sh: with pictures, pictures the dialog and presses Uninstall; without, leaves the dialog to the user.
void Demo() {
    if (pictures.empty())
        return (void)WaitForSingleObject(pi.hProcess, INFINITE);
    Picture(L"dialog");
    Press(kSuccess)();
}

void Suite() {
    const Str row3 = kRows[2][0], row7 = kRows[6][0];
    // Keys go through the dialog's own keyboard handling, which starts from the focused button.
    Run(L"A. everything installed; texts, Enter at start, Uninstall", Installation(), [] {
        Str texts;
        for (HWND w = dlg; w; w = GetWindow(w, w == dlg ? GW_CHILD : GW_HWNDNEXT))
            texts += Text(w) + L"|";
        Check(texts == L"Quillodeck客户端控件卸载工具|卸载(&U)|关闭(&C)|" + Str(kNotice) + L"|",
              L"texts of the dialog and of its controls in order", texts);
        PostMessageW(dlg, WM_KEYDOWN, VK_RETURN, 0);
        Expect(kSuccess);
        Press(kSuccess)();
    });
    Run(L"B. no downloaded-controls folder", {}, Press(kFailure));
    Run(L"C. file in use, downloaded", Installation(), Press(kFailure), kDl + L"\\MERROWIND.OCX");
    Run(L"C. file in use, system folder", Installation(), Press(kSuccess), sys + L"\\merrowind.ocx");
    // A box would keep the program from ending.
    for (std::vector<WORD> keys : {std::vector<WORD>{VK_ESCAPE}, {VK_TAB, VK_RETURN}})
        Run(keys.size() == 1 ? L"D. Escape at start" : L"D. Tab then Enter at start", {}, [&] {
            for (WORD key : keys)
                PostMessageW(dlg, WM_KEYDOWN, key, 0);
            Check(Ended(), L"program ends without a box");
        });
    // Wine acts on the target of any link and lists a Unix link to a file as a plain file: links stay, as failures.
    Run(L"E. links", Base({{File, kDl + L"\\notes.txt", Intact}, {File, L"C:\\outside.ocx", Intact},
        {Folder, L"C:\\outside", Intact}, {Link, kDl + L"\\QUILLODECK.OCX", There, L"notes.txt"},
        {Link, kDl + L"\\FENNOXEL.OCX", There, L"../../outside.ocx"},
        {Link, kDl + L"\\CONFLICT.7", There, L"../../outside"}}), Press(kFailure));
    Run(L"F. registry link", Base({{MachineKey, L"Software\\TarnwickOutside", Intact},
        {RegLink, row7 + L"\\Link", Gone, L"\\Registry\\Machine\\Software\\TarnwickOutside"}}), Press(kSuccess));
    // Wine accepts a key name of 256 characters, one more than the longest legal name.
    Run(L"G. row 3 stuck", Base({{Key, row3 + L"\\" + Str(256, L'卸'), There}}, 3), Press(L""));
    Run(L"H. longest key name", Base({{Key, row7 + L"\\" + Str(255, L'卸'), Gone}}), Press(kSuccess));
    // Wine's shell reports this folder deleted and leaves it.
    Run(L"I. shell leaves a folder", Base({{Folder, kDl + L"\\CONFLICT" + Str(90, L'卸'), Intact}}), Press(kFailure));
}

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_U8TEXT);
    wchar_t system[MAX_PATH];
    sys.assign(system, GetSystemDirectoryW(system, MAX_PATH));
    SetCurrentDirectoryW(L"C:\\");
    Str mode = argc > 2 ? argv[1] : L"";
    if (mode != L"suite" && mode != L"demo")
        return wprintf(L"usage: tarnwick_e2e suite|demo TARNWICK.EXE [PICTURE-FOLDER]\n"), 2;
    exe = argv[2], pictures = argc > 3 ? argv[3] : L"";
    mode == L"suite" ? Suite() : Run(L"demo", Installation(), Demo);
    wprintf(L"%d passed, %d failed\n", passed, failed);
    return failed != 0;
}
