// The ids of the program's resources and of the dialog's controls.
#pragma once

// Resource ids, shared by the resource script and the program.
#define IDI_APP         101
#define IDD_CONVERT     103
#define IDC_LIST        1001
#define IDC_FNAME       1002
#define IDC_PATH        1003

#ifndef IDC_STATIC
#define IDC_STATIC      (-1)
#endif
