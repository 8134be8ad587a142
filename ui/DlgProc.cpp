// The conversion dialog: reads the two fields, runs the conversion, announces success.
#include "DlgProc.h"

#include "ConvertXFile.h"
#include "Messages.h"
#include "resource.h"

namespace {

// The most bytes a field may hold: the conversion takes names and paths of
// up to 255, and a longer text cut there would name another file or path.
constexpr int FIELD_MAX = 255;

// Reads a field whole into text (FIELD_MAX + 3 bytes, so that a longer text
// shows as longer even where the copy stops short of a double-byte
// character), or shows why it can't be taken: it is empty, or too long.
bool GetField(HWND hDlg, int id, char* text, const char* empty, const char* tooLong)
{
    GetDlgItemTextA(hDlg, id, text, FIELD_MAX + 3);
    if (text[0] == '\0') {
        MessageBoxA(hDlg, empty, NULL, MB_OK);
        return false;
    }
    if (lstrlenA(text) > FIELD_MAX) {
        MessageBoxA(hDlg, tooLong, NULL, MB_OK);
        return false;
    }
    return true;
}

// Both fields must be filled, the file name first; the conversion reports
// its own failures, so only success is announced here.
void OnOk(HWND hDlg)
{
    char fname[FIELD_MAX + 3];
    char Path[FIELD_MAX + 3];

    if (!GetField(hDlg, IDC_FNAME, fname, MSG_NO_FNAME, MSG_FNAME_TOO_LONG) ||
        !GetField(hDlg, IDC_PATH, Path, MSG_NO_PATH, MSG_PATH_TOO_LONG))
        return;
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
