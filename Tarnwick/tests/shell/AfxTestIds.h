// Resource and command ids of the class-library layer's test program.
#pragma once

#define IDD_TEST 200
#define IDI_TEST 201
#define IDC_FIRST 1001
#define IDC_SECOND 1002
#define IDC_SHARED 1003
#define IDC_UNMAPPED 1004
#define ID_TEST_COMMAND 0x8010      // handled by the derived dialog
#define ID_TEST_APP_COMMAND 0x8020  // handled by the application only
