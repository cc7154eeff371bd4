#include "Demo.h"

#include <vector>

#include "Installation.h"
#include "Machine.h"
#include "Report.h"
#include "TarnwickSession.h"

namespace {

std::string Shown(const Item& item)
{
    return item.kind == Kind::Key ? "HKEY_CLASSES_ROOT\\" + Utf8(item.path) : Utf8(item.path);
}

// Drives the dialog as a user would: Uninstall, every box read, pictured and dismissed, Close.
bool Drive(const TarnwickSession& session, const std::wstring& pictures)
{
    SavePicture(session.Dialog(), pictures + L"\\dialog.bmp");
    Note("Pressing Uninstall.");
    session.Click(IDOK);
    int number = 0;
    for (HWND box = session.WaitForBox(); box != NULL; box = session.WaitForBox(2000)) {
        std::wstring name = L"message-" + std::to_wstring(++number);
        Note("Message box: " + Utf8(WindowText(GetDlgItem(box, 0xFFFF))));
        SavePicture(box, pictures + L"\\" + name + L".bmp");
        if (!DismissBox(box))
            return false;
    }
    Note("Pressing Close.");
    session.Click(IDCANCEL);
    return session.WaitForEnd();
}

}  // namespace

int RunDemo(const std::wstring& tarnwick, const std::wstring& pictures)
{
    const std::vector<Item> items = FullInstallation();
    Clear(items);
    if (!SetDownloadedControlsFolder(true))
        return 1;
    for (const Item& item : items) {
        if (!Seed(item)) {
            Note("Could not create " + Shown(item));
            return 1;
        }
    }
    Note("Installed: the seven registrations, the controls' files in both folders, conflict "
         "folders, and unrelated keys and files beside them (" +
         std::to_string(items.size()) + " items).");

    TarnwickSession session(tarnwick);
    if (session.Dialog() == NULL) {
        Note("Tarnwick's dialog did not appear.");
        return 1;
    }
    if (pictures.empty()) {
        Note("Tarnwick is open: press Uninstall, then Close.");
        session.WaitForEnd(INFINITE);
    } else if (!Drive(session, pictures)) {
        Note("Tarnwick did not end as expected.");
        return 1;
    }

    for (bool removed : {true, false}) {
        Note(removed ? "Removed:" : "Stayed:");
        for (const Item& item : items) {
            if (Present(item) != removed)
                Note("  " + Shown(item));
        }
    }
    return 0;
}
