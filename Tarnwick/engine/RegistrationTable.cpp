// The seven registrations of the controls.
#include "RegistrationTable.h"

const ControlRegistration RegistrationTable[kRegistrationCount] = {
    {L"{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}", L"Merrowind.DocumentControl.5",
     L"TypeLib\\{A6C2FD00-3168-40d0-8CE5-32840CDCDA7A}"},
    {L"{F6357AD6-77E4-4ae7-81BF-D16433B66D8E}", L"Merrowind.TrialViewControl",
     L"TypeLib\\{F6357AB6-77E4-4ae7-81BF-D16433B66D8E}"},
    {L"{6E9587CD-0135-4008-AA92-12755DC977DE}", L"Merrowind.LiteControl",
     L"TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DE}"},
    {L"{6E95872D-0135-4008-AA92-12755DC977DE}", L"Merrowind.DocumentControl",
     L"TypeLib\\{6E95870D-0135-4008-AA92-12755DC977DE}"},
    {L"{F311309A-D49F-4144-8FFC-7EC090D7D3FD}", L"Merrowind.DocumentControlKX.8",
     L"TypeLib\\{F311307A-D49F-4144-8FFC-7EC090D7D3FD}"},
    {L"{3DFA2F4D-CD50-4e65-9D8D-8FE7C6A2D11F}", L"Fennoxel.DocumentControl.2",
     L"TypeLib\\{3DFA2F2D-CD50-4e65-9D8D-8FE7C6A2D11F}"},
    {L"{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", L"Quillodeck.DocumentControl.2",
     L"TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AF}"},
};
