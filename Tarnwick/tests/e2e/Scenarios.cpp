#include "Scenarios.h"

#include <functional>
#include <set>
#include <vector>

#include "Installation.h"
#include "Machine.h"
#include "Report.h"
#include "TarnwickSession.h"

namespace {

const wchar_t kTitle[] = L"Quillodeck客户端控件卸载工具";
const wchar_t kCaption[] = L"提示信息";
const wchar_t kNotice[] = L"注意：卸载前请确保关闭所有浏览器窗口。";

struct Outcome {
    const wchar_t* text;
    BoxIcon icon;
    const wchar_t* picture;
};

const Outcome kSuccess = {L"卸载成功！", BoxIcon::Information, L"success"};
const Outcome kFileFailure = {L"删除文件失败！", BoxIcon::None, L"file-failure"};

std::wstring tarnwick;
std::wstring pictureFolder;
std::set<std::wstring> savedPictures;

std::string Quoted(const std::wstring& text)
{
    return "\"" + Utf8(text) + "\"";
}

// The first of each kind of picture is kept.
void SavePictureOnce(HWND window, const std::wstring& name)
{
    if (!savedPictures.insert(name).second)
        return;
    if (!SavePicture(window, pictureFolder + L"\\" + name + L".bmp"))
        Note("could not save the picture " + Utf8(name));
}

// Puts the items on the machine, with or without the downloaded-controls folder, after clearing
// whatever an earlier scenario may have left.
bool Prepare(const std::vector<Item>& items, bool downloadedControlsFolder)
{
    Clear(items);
    if (!Check(SetDownloadedControlsFolder(false) &&
                   (!downloadedControlsFolder || SetDownloadedControlsFolder(true)),
               std::string("downloaded-controls folder ") +
                   (downloadedControlsFolder ? "made empty" : "absent")))
        return false;
    std::string failed;
    for (const Item& item : items) {
        if (!Seed(item))
            failed += " " + Utf8(item.path);
    }
    return Check(failed.empty(), "machine prepared", "could not create" + failed);
}

// Checks a box that is showing, saves its picture and presses OK.
bool CheckBox(const TarnwickSession& session, HWND box, const std::string& role,
              const wchar_t* text, BoxIcon icon, const wchar_t* picture)
{
    BoxView view = ReadBox(box);
    Check(view.caption == kCaption, role + " box caption " + Quoted(kCaption),
          "got " + Quoted(view.caption));
    Check(view.text == text, role + " box text " + Quoted(text), "got " + Quoted(view.text));
    Check(view.owner == session.Dialog(), role + " box owned by the dialog");
    Check(view.icon == icon, role + " box icon: " + IconName(icon),
          std::string("got ") + IconName(view.icon));
    Check(view.buttons == 1 && view.okButton, role + " box has only an OK button",
          "got " + std::to_string(view.buttons) + " buttons");
    SavePictureOnce(box, picture);
    return Check(DismissBox(box), role + " box closes on OK");
}

bool ExpectBox(const TarnwickSession& session, const std::string& role, const wchar_t* text,
               BoxIcon icon, const wchar_t* picture)
{
    HWND box = session.WaitForBox();
    return Check(box != NULL, role + " box shows") &&
           CheckBox(session, box, role, text, icon, picture);
}

bool ExpectNotice(const TarnwickSession& session)
{
    return ExpectBox(session, "notice", kNotice, BoxIcon::Exclamation, L"notice");
}

// What one press of Uninstall shows: the notice, then the outcome, and the dialog stays open.
void ExpectProcedure(const TarnwickSession& session, const Outcome& outcome)
{
    if (ExpectNotice(session) &&
        ExpectBox(session, "outcome", outcome.text, outcome.icon, outcome.picture))
        Check(session.DialogOpen(), "dialog stays open after the outcome");
}

void CloseWithButton(const TarnwickSession& session)
{
    session.Click(IDCANCEL);
    Check(session.WaitForEnd(), "program ends on Close");
}

std::string Sample(const std::set<std::wstring>& names)
{
    std::string sample;
    int shown = 0;
    for (const std::wstring& name : names) {
        if (++shown > 6) {
            sample += " ...";
            break;
        }
        sample += " " + Utf8(name);
    }
    return sample;
}

// Checks that every item met its fate and that nothing else was removed or added since before.
void ExpectFates(const std::vector<Item>& items, const std::set<std::wstring>& before)
{
    for (const Item& item : items) {
        if (item.fate == Fate::Removed)
            Check(!Present(item), "removed " + Utf8(item.path));
        else if (item.fate == Fate::Kept)
            Check(Intact(item), "kept intact " + Utf8(item.path));
    }
    std::set<std::wstring> after = TakeListing(), allowed;
    for (const Item& item : items) {
        if (item.fate != Fate::Kept)
            allowed.insert(item.path);
    }
    std::set<std::wstring> removed, added;
    for (const std::wstring& name : before) {
        if (!after.count(name) && !allowed.count(name))
            removed.insert(name);
    }
    for (const std::wstring& name : after) {
        if (!before.count(name) && !allowed.count(name))
            added.insert(name);
    }
    Check(removed.empty() && added.empty(), "nothing else removed or added",
          "removed:" + Sample(removed) + "; added:" + Sample(added));
}

std::vector<Item> AllKept(std::vector<Item> items)
{
    for (Item& item : items)
        item.fate = Fate::Kept;
    return items;
}

std::vector<Item> Join(std::initializer_list<std::vector<Item>> parts)
{
    std::vector<Item> items;
    for (const std::vector<Item>& part : parts)
        items.insert(items.end(), part.begin(), part.end());
    return items;
}

INT_PTR CALLBACK LeaveToDefault(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// Converts a rectangle in dialog units (left, top, width, height) to pixels as Windows does for
// a dialog with Tarnwick's font: a hidden dialog of our own with the same font answers.
RECT ToPixels(int x, int y, int width, int height)
{
    std::vector<WORD> words = {1, 0xFFFF, 0, 0, 0, 0};  // version, signature, help id, ex-style
    DWORD style = DS_SETFONT | DS_FIXEDSYS | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    // Style; no controls; x, y, width, height; no menu, the standard class, no title.
    words.insert(words.end(), {LOWORD(style), HIWORD(style), 0, 0, 0, 155, 69, 0, 0, 0});
    words.insert(words.end(), {9, 0, MAKEWORD(0, 1)});  // points, weight; italic, character set
    for (const wchar_t* c = L"MS Shell Dlg"; ; ++c) {
        words.push_back(*c);
        if (*c == L'\0')
            break;
    }
    RECT rect = {x, y, width, height};
    HWND probe = CreateDialogIndirectParamW(GetModuleHandleW(NULL),
                                            (LPCDLGTEMPLATEW)words.data(), NULL, LeaveToDefault, 0);
    if (probe == NULL || !MapDialogRect(probe, &rect))
        rect = RECT{-1, -1, -1, -1};
    if (probe != NULL)
        DestroyWindow(probe);
    return rect;
}

std::string Describe(const RECT& rect)
{
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
           std::to_string(rect.right) + "x" + std::to_string(rect.bottom);
}

// A control's place in the dialog's client area, as left, top, width, height in pixels.
RECT PlaceOf(HWND control, HWND dialog)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(NULL, dialog, (POINT*)&rect, 2);
    return RECT{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

void DialogAsShown()
{
    Scenario("dialog as shown");
    Prepare({}, true);
    TarnwickSession session(tarnwick);
    HWND dialog = session.Dialog();
    if (!Check(dialog != NULL, "dialog shows"))
        return;
    Check(ClassName(dialog) == L"#32770", "a standard dialog window");
    Check(WindowText(dialog) == kTitle, "caption " + Quoted(kTitle),
          "got " + Quoted(WindowText(dialog)));
    LONG style = GetWindowLongW(dialog, GWL_STYLE);
    Check((style & (WS_CAPTION | WS_SYSMENU)) == (WS_CAPTION | WS_SYSMENU),
          "caption with a close box");
    Check((style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) == 0, "no minimize or maximize box");
    Check((style & WS_THICKFRAME) == 0, "not resizable");
    Check((GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0,
          "a window of its own on the taskbar");

    RECT client;
    GetClientRect(dialog, &client);
    RECT size = ToPixels(0, 0, 155, 69);
    Check(client.right == size.right && client.bottom == size.bottom,
          "client area 155 x 69 dialog units (" + std::to_string(size.right) + " x " +
              std::to_string(size.bottom) + " pixels)",
          "got " + std::to_string(client.right) + " x " + std::to_string(client.bottom));

    struct Control {
        int id;
        const wchar_t* className;
        const wchar_t* text;
        LONG typeMask;
        LONG type;
        bool tabStop;
        RECT units;  // left, top, width, height
    };
    const Control controls[] = {
        {IDOK, L"Button", L"卸载(&U)", BS_TYPEMASK, BS_DEFPUSHBUTTON, true, {26, 46, 50, 16}},
        {IDCANCEL, L"Button", L"关闭(&C)", BS_TYPEMASK, BS_PUSHBUTTON, true, {91, 46, 50, 16}},
        {-1, L"Static", kNotice, SS_TYPEMASK, SS_CENTER, false, {7, 14, 140, 8}},
    };
    HWND child = GetWindow(dialog, GW_CHILD);
    int position = 0;
    for (const Control& expected : controls) {
        std::string name = "control " + std::to_string(++position) + " ";
        if (!Check(child != NULL, name + "present"))
            break;
        LONG childStyle = GetWindowLongW(child, GWL_STYLE);
        Check((WORD)GetDlgCtrlID(child) == (WORD)expected.id,
              name + "id " + std::to_string(expected.id),
              "got " + std::to_string(GetDlgCtrlID(child)));
        Check(ClassName(child) == expected.className, name + "class " + Utf8(expected.className),
              "got " + Utf8(ClassName(child)));
        Check(WindowText(child) == expected.text, name + "text " + Quoted(expected.text),
              "got " + Quoted(WindowText(child)));
        Check((childStyle & expected.typeMask) == expected.type,
              name + "style type " + std::to_string(expected.type),
              "got " + std::to_string(childStyle & expected.typeMask));
        Check(((childStyle & WS_TABSTOP) != 0) == expected.tabStop,
              name + (expected.tabStop ? "takes" : "does not take") + " the focus with Tab");
        RECT place = ToPixels(expected.units.left, expected.units.top, expected.units.right,
                              expected.units.bottom);
        Check(SameRect(PlaceOf(child, dialog), place),
              name + "at " + Describe(expected.units) + " dialog units",
              "got " + Describe(PlaceOf(child, dialog)) + " pixels, expected " +
                  Describe(place));
        child = GetWindow(child, GW_HWNDNEXT);
    }
    Check(child == NULL, "no further controls");

    DWORD_PTR defaultId = 0;
    SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 2000, &defaultId);
    Check(defaultId == MAKELONG(IDOK, DC_HASDEFID), "Uninstall is the default button");
    DWORD_PTR uninstallCode = 0, closeCode = 0;
    SendMessageTimeoutW(session.Control(IDOK), WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, 2000,
                        &uninstallCode);
    SendMessageTimeoutW(session.Control(IDCANCEL), WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, 2000,
                        &closeCode);
    Check((uninstallCode & DLGC_DEFPUSHBUTTON) != 0 && (closeCode & DLGC_UNDEFPUSHBUTTON) != 0,
          "Uninstall drawn as the default push button, Close as a plain one");
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    Check(GetGUIThreadInfo(session.ThreadId(), &thread) &&
              thread.hwndFocus == session.Control(IDOK),
          "Uninstall has the focus at start");

    SavePictureOnce(dialog, L"dialog");
    CloseWithButton(session);
}

void Outcomes()
{
    struct Case {
        const char* name;
        bool downloadedControlsFolder;
        const Outcome& outcome;
    };
    const Case cases[] = {
        {"outcomes: nothing installed", true, kSuccess},
        {"outcomes: downloaded-controls folder absent", false, kFileFailure},
    };
    for (const Case& test : cases) {
        Scenario(test.name);
        Prepare({}, test.downloadedControlsFolder);
        std::set<std::wstring> before = TakeListing();
        TarnwickSession session(tarnwick);
        if (!Check(session.Dialog() != NULL, "dialog shows"))
            continue;
        session.Click(IDOK);
        ExpectProcedure(session, test.outcome);
        CloseWithButton(session);
        ExpectFates({}, before);
    }
}

// Seeds the items, presses Uninstall, expects the outcome, closes, and checks every item's fate.
void RunRemoval(const std::vector<Item>& items, bool downloadedControlsFolder,
                const Outcome& outcome)
{
    if (Prepare(items, downloadedControlsFolder)) {
        std::set<std::wstring> before = TakeListing();
        TarnwickSession session(tarnwick);
        if (Check(session.Dialog() != NULL, "dialog shows")) {
            session.Click(IDOK);
            ExpectProcedure(session, outcome);
            CloseWithButton(session);
            ExpectFates(items, before);
        }
    }
    Clear(items);
}

void EverythingInstalled()
{
    Scenario("everything installed");
    RunRemoval(FullInstallation(), true, kSuccess);
}

void RowsLeftAlone()
{
    Scenario("rows 3 and 7 without class keys, folder present");
    RunRemoval(Join({RegistrationKeys({3, 7}), DownloadedControlsEntries()}), true, kSuccess);
    Scenario("rows 3 and 7 without class keys, folder absent");
    RunRemoval(RegistrationKeys({3, 7}), false, kFileFailure);
}

void FilesInUse()
{
    struct Case {
        const char* name;
        std::wstring folder;
        const Outcome& outcome;
    };
    const Case cases[] = {
        {"file in use in the downloaded-controls folder", DownloadedControlsFolder(),
         kFileFailure},
        {"file in use in the system folder", SystemFolder(), kSuccess},
    };
    for (const Case& test : cases) {
        Scenario(test.name);
        std::vector<Item> items = FullInstallation();
        if (!Prepare(items, true))
            continue;
        // Hold the matching file that the folder lists first, so that the others come after it.
        Item* held = NULL;
        for (const std::wstring& name : ListFolder(test.folder)) {
            for (Item& item : items) {
                if (held == NULL && item.kind == Kind::File && item.fate == Fate::Removed &&
                    item.path == test.folder + L"\\" + name)
                    held = &item;
            }
        }
        if (!Check(held != NULL, "a matching file to hold open"))
            continue;
        held->fate = Fate::Kept;
        {
            HeldOpen file(held->path);
            if (Check(file.IsOpen(), "held open without delete sharing: " + Utf8(held->path))) {
                std::set<std::wstring> before = TakeListing();
                TarnwickSession session(tarnwick);
                if (Check(session.Dialog() != NULL, "dialog shows")) {
                    session.Click(IDOK);
                    ExpectProcedure(session, test.outcome);
                    CloseWithButton(session);
                    ExpectFates(items, before);
                }
            }
        }
        Clear(items);
    }
}

void Links()
{
    Scenario("links pointing outside");
    const std::wstring downloaded = DownloadedControlsFolder() + L"\\";
    const std::wstring system = SystemFolder() + L"\\";
    const std::vector<Item> items = {
        {Kind::FileLink, downloaded + L"QUILLODECK.OCX", Fate::Either},
        {Kind::FolderLink, downloaded + L"Merrowind.ocx", Fate::Either},
        {Kind::FolderLink, downloaded + L"CONFLICT.link", Fate::Either},
        {Kind::EmptyFolderLink, downloaded + L"conflict.empty", Fate::Either},
        {Kind::File, downloaded + L"FENNOXEL.INF", Fate::Removed},
        {Kind::FileLink, system + L"FENNOXEL.OCX", Fate::Either},
        {Kind::FolderLink, system + L"QUILLODECK.OCX", Fate::Either},
    };
    if (Prepare(items, true)) {
        std::set<std::wstring> before = TakeListing();
        TarnwickSession session(tarnwick);
        if (Check(session.Dialog() != NULL, "dialog shows")) {
            session.Click(IDOK);
            if (ExpectNotice(session)) {
                HWND box = session.WaitForBox();
                if (Check(box != NULL, "outcome box shows")) {
                    // The procedure has ended when the outcome shows: it must tell the truth
                    // about the links in the downloaded-controls folder.
                    std::string left;
                    for (const Item& item : items) {
                        if (item.fate == Fate::Either && item.path.compare(0, downloaded.size(),
                                                                           downloaded) == 0 &&
                            Present(item))
                            left += " " + Utf8(item.path);
                    }
                    Note("links left in the downloaded-controls folder:" +
                         (left.empty() ? std::string(" none") : left));
                    const Outcome& outcome = left.empty() ? kSuccess : kFileFailure;
                    CheckBox(session, box, "outcome", outcome.text, outcome.icon,
                             outcome.picture);
                }
            }
            CloseWithButton(session);
            for (const Item& item : items) {
                if (item.fate == Fate::Either)
                    Check(Intact(item), "target of " + Utf8(item.path) + " survives whole");
            }
            ExpectFates(items, before);
        }
    }
    Clear(items);
}

void KeysAndButtons()
{
    const std::vector<Item> items = FullInstallation();

    Scenario("Uninstall pressed twice");
    if (Prepare(items, true)) {
        std::set<std::wstring> before = TakeListing();
        TarnwickSession session(tarnwick);
        if (Check(session.Dialog() != NULL, "dialog shows")) {
            session.Click(IDOK);
            ExpectProcedure(session, kSuccess);
            session.Click(IDOK);
            ExpectProcedure(session, kSuccess);
            CloseWithButton(session);
            ExpectFates(items, before);
        }
    }

    Scenario("Enter at start");
    if (Prepare(items, true)) {
        std::set<std::wstring> before = TakeListing();
        TarnwickSession session(tarnwick);
        if (Check(session.Dialog() != NULL, "dialog shows") &&
            Check(session.Type(VK_RETURN), "Enter typed into the dialog")) {
            ExpectProcedure(session, kSuccess);
            CloseWithButton(session);
            ExpectFates(items, before);
        }
    }

    struct Case {
        const char* name;
        std::function<bool(const TarnwickSession&)> close;
    };
    const Case cases[] = {
        {"Escape", [](const TarnwickSession& s) { return s.Type(VK_ESCAPE); }},
        {"Close button", [](const TarnwickSession& s) { return s.Click(IDCANCEL), true; }},
        {"caption close box", [](const TarnwickSession& s) { return s.CloseFromCaption(), true; }},
        {"Tab then Enter",
         [](const TarnwickSession& s) { return s.Type(VK_TAB) && s.Type(VK_RETURN); }},
    };
    for (const Case& test : cases) {
        Scenario(std::string(test.name) + " at start");
        if (!Prepare(items, true))
            continue;
        std::set<std::wstring> before = TakeListing();
        TarnwickSession session(tarnwick);
        if (!Check(session.Dialog() != NULL, "dialog shows") ||
            !Check(test.close(session), "pressed"))
            continue;
        HWND box = session.WaitForBox();
        Check(box == NULL, "no box shows", "got " + Quoted(WindowText(GetDlgItem(box, 0xFFFF))));
        while (box != NULL && DismissBox(box))
            box = session.WaitForBox(1000);
        Check(session.WaitForEnd(), "program ends");
        ExpectFates(AllKept(items), before);
    }
    Clear(items);
}

}  // namespace

int RunScenarios(const std::wstring& program, const std::wstring& pictures)
{
    tarnwick = program;
    pictureFolder = pictures;
    DialogAsShown();
    Outcomes();
    EverythingInstalled();
    RowsLeftAlone();
    FilesInUse();
    Links();
    KeysAndButtons();
    SetDownloadedControlsFolder(false);
    return CloseReport();
}
