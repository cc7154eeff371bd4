#include "RegistrationTable.h"

const ControlRegistration RegistrationTable[kRegistrationCount] = {
    {"CLSID\\{A6C2FD20-3168-40d0-8CE5-32840CDCDA7A}", "Merrowind.DocumentControl.5",
     "TypeLib\\{A6C2FD00-3168-40d0-8CE5-32840CDCDA7A}"},
    {"CLSID\\{F6357AD6-77E4-4ae7-81BF-D16433B66D8E}", "Merrowind.TrialViewControl",
     "TypeLib\\{F6357AB6-77E4-4ae7-81BF-D16433B66D8E}"},
    {"CLSID\\{6E9587CD-0135-4008-AA92-12755DC977DE}", "Merrowind.LiteControl",
     "TypeLib\\{6E9587AD-0135-4008-AA92-12755DC977DE}"},
    {"CLSID\\{6E95872D-0135-4008-AA92-12755DC977DE}", "Merrowind.DocumentControl",
     "TypeLib\\{6E95870D-0135-4008-AA92-12755DC977DE}"},
    {"CLSID\\{F311309A-D49F-4144-8FFC-7EC090D7D3FD}", "Merrowind.DocumentControlKX.8",
     "TypeLib\\{F311307A-D49F-4144-8FFC-7EC090D7D3FD}"},
    {"CLSID\\{3DFA2F4D-CD50-4e65-9D8D-8FE7C6A2D11F}", "Fennoxel.DocumentControl.2",
     "TypeLib\\{3DFA2F2D-CD50-4e65-9D8D-8FE7C6A2D11F}"},
    {"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", "Quillodeck.DocumentControl.2",
     "TypeLib\\{B1918982-B3F5-45b1-AC66-70A71BA5F7AF}"},
};
