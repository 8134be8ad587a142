// The conversion dialog's procedure.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The conversion dialog IDD_CONVERT: asks for the X file and the path, and
// converts on each OK until it is closed.
INT_PTR CALLBACK DlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
