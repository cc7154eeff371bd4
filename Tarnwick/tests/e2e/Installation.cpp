#include "Installation.h"

#include <algorithm>

namespace {

struct Registration {
    const wchar_t* classKey;
    const wchar_t* progIdKey;
    const wchar_t* typeLibKey;
};

const Registration kRegistrations[7] = {
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

void Add(std::vector<Item>& items, Kind kind, const std::wstring& path, Fate fate)
{
    items.push_back(Item{kind, path, fate});
}

}  // namespace

std::vector<Item> RegistrationKeys(std::initializer_list<int> rowsWithoutClassKey)
{
    std::vector<Item> items;
    for (int row = 1; row <= 7; ++row) {
        const Registration& registration = kRegistrations[row - 1];
        bool classKey = std::find(rowsWithoutClassKey.begin(), rowsWithoutClassKey.end(), row) ==
                        rowsWithoutClassKey.end();
        Fate fate = classKey ? Fate::Removed : Fate::Kept;
        if (classKey)
            Add(items, Kind::Key, registration.classKey, Fate::Removed);
        Add(items, Kind::Key, registration.progIdKey, fate);
        Add(items, Kind::Key, registration.typeLibKey, fate);
    }
    return items;
}

std::vector<Item> RegistryNearMisses()
{
    std::vector<Item> items;
    for (const wchar_t* path : {
             L"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AE}",    // last digit differs
             L"CLSID\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AF}",    // a type library's GUID
             L"CLSID\\{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}.1",  // characters after
             L"TypeLib\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}",  // a class's GUID
             L"TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DF}",
             L"Quillodeck.DocumentControl",  // characters missing
             L"Quillodeck.DocumentControl.3",
             L"Merrowind.DocumentControl.5.1",  // characters after
             L"Old.Fennoxel.DocumentControl.2",  // characters before
             L"Merrowind.LiteControl2",
         })
        Add(items, Kind::Key, path, Fate::Kept);
    return items;
}

std::vector<Item> DownloadedControlsEntries()
{
    const std::wstring folder = DownloadedControlsFolder() + L"\\";
    std::vector<Item> items;
    for (const wchar_t* name : {L"Fennoxel.ocx", L"MERROWIND.OCX", L"QuillOdeck.Ocx",
                                L"quillodeck.inf", L"FENNOXEL.inf"})
        Add(items, Kind::File, folder + name, Fate::Removed);
    for (const wchar_t* name : {L"CONFLICT.1", L"Old-ConFlict-Backup", L"Merrowind_conflic"})
        Add(items, Kind::Folder, folder + name, Fate::Removed);
    for (const wchar_t* name : {L"Fennoxel.ocx.bak", L"old_QUILLODECK.OCX", L"QUILLODECK.INFO",
                                L"MERROWIND.DLL", L"conflict-notes.txt", L"readme.txt"})
        Add(items, Kind::File, folder + name, Fate::Kept);
    Add(items, Kind::Folder, folder + L"OtherControl", Fate::Kept);
    return items;
}

std::vector<Item> SystemFolderEntries()
{
    const std::wstring folder = SystemFolder() + L"\\";
    std::vector<Item> items;
    for (const wchar_t* name : {L"FENNOXEL.OCX", L"merrowind.ocx"})
        Add(items, Kind::File, folder + name, Fate::Removed);
    Add(items, Kind::Folder, folder + L"QUILLODECK.OCX", Fate::Removed);
    for (const wchar_t* name : {L"QUILLODECK.INF", L"fennoxel.inf", L"MERROWIND.OCX.old"})
        Add(items, Kind::File, folder + name, Fate::Kept);
    Add(items, Kind::Folder, folder + L"CONFLICT.2", Fate::Kept);
    return items;
}

std::vector<Item> FullInstallation()
{
    std::vector<Item> items = RegistrationKeys();
    for (const std::vector<Item>& part :
         {RegistryNearMisses(), DownloadedControlsEntries(), SystemFolderEntries()})
        items.insert(items.end(), part.begin(), part.end());
    return items;
}
