// Identifiers that the class-library layer defines for applications and their resource scripts.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)  // controls that are never addressed by id
#endif

#define ID_HELP 0xE146  // the application's help command
