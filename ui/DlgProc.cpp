#include "DlgProc.h"

#include "ConvertXFile.h"
#include "Messages.h"
#include "resource.h"

namespace {

// Both fields must be filled; the conversion reports its own failures, so
// only success is announced here.
void OnOk(HWND hDlg)
{
    char fname[256];
    char Path[256];

    GetDlgItemTextA(hDlg, IDC_FNAME, fname, sizeof fname);
    if (fname[0] == '\0') {
        MessageBoxA(hDlg, MSG_NO_FNAME, NULL, MB_OK);
        return;
    }
    GetDlgItemTextA(hDlg, IDC_PATH, Path, sizeof Path);
    if (Path[0] == '\0') {
        MessageBoxA(hDlg, MSG_NO_PATH, NULL, MB_OK);
        return;
    }
    if (FAILED(ConvertXFile(fname, Path)))
        return;
    MessageBoxA(hDlg, MSG_DONE, CAPTION_DONE, MB_OK);
}

}  // namespace

INT_PTR CALLBACK DlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        return FALSE;

    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOk(hDlg);
            return TRUE;
        case IDCANCEL:
            // Cancel and Esc leave the dialog open: only closing it ends it.
            return TRUE;
        }
        return TRUE;

    case WM_CLOSE:
        // The dialog is the whole program: closing it ends both.
        EndDialog(hDlg, 0);
        PostQuitMessage(0);
        return FALSE;
    }
    return FALSE;
}
