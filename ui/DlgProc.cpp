// The conversion dialog: reads the two fields, runs the conversion, announces success; takes a dropped model.
#include "DlgProc.h"

#include <cstring>
#include <string>

#include <shellapi.h>

#include "ConvertXFile.h"
#include "Messages.h"
#include "TextWin32.h"
#include "resource.h"

namespace {

// The most bytes a field may hold: the conversion takes names and paths of
// up to 255, and a longer text cut there would name another file or path.
constexpr std::size_t FIELD_MAX = 255;

// Why a field's text can't be taken.
struct Refusals {
    const char* empty;
    const char* unwritable;  // the ANSI code page can't write it as it shows
    const char* tooLong;
};
constexpr Refusals FNAME_REFUSALS = {MSG_NO_FNAME, MSG_FNAME_UNWRITABLE, MSG_FNAME_TOO_LONG};
constexpr Refusals PATH_REFUSALS = {MSG_NO_PATH, MSG_PATH_UNWRITABLE, MSG_PATH_TOO_LONG};

// text as the conversion takes it: bytes of the ANSI code page that read
// back as the very text shown, at most FIELD_MAX, put into bytes with a NUL.
// Gives why it can't be taken, or nullptr.
const char* Take(const std::wstring& text, char (&bytes)[FIELD_MAX + 1], const Refusals& refusals)
{
    std::string ansi;
    if (text.empty())
        return refusals.empty;
    if (!ToAnsi(text, ansi))
        return refusals.unwritable;
    if (ansi.size() > FIELD_MAX)
        return refusals.tooLong;
    std::memcpy(bytes, ansi.c_str(), ansi.size() + 1);
    return nullptr;
}

// A field is read whole, as it shows, in UTF-16: its text in the ANSI code
// page may be another name.
bool GetField(HWND hDlg, int id, char (&bytes)[FIELD_MAX + 1], const Refusals& refusals)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(GetDlgItem(hDlg, id))) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetDlgItemTextW(hDlg, id, &text[0], static_cast<int>(text.size()))));
    if (const char* refusal = Take(text, bytes, refusals)) {
        ShowBox(hDlg, refusal, NULL);
        return false;
    }
    return true;
}

// Both fields must be filled, the file name first; the conversion reports
// its own failures, so only success is announced here.
void OnOk(HWND hDlg)
{
    char fname[FIELD_MAX + 1];
    char Path[FIELD_MAX + 1];

    if (!GetField(hDlg, IDC_FNAME, fname, FNAME_REFUSALS) || !GetField(hDlg, IDC_PATH, Path, PATH_REFUSALS))
        return;
    if (FAILED(ConvertXFile(fname, Path)))
        return;
    ShowBox(hDlg, MSG_DONE, CAPTION_DONE);
}

// One file dropped from Explorer puts its full name into the file-name
// field, as if typed: nothing converts before OK. A name the field could
// not take leaves the field as it was.
void OnDrop(HWND hDlg, HDROP hDrop)
{
    const char* refusal = MSG_ONE_FILE_ONLY;
    std::wstring name;
    if (DragQueryFileW(hDrop, 0xFFFFFFFF, NULL, 0) == 1) {
        name.resize(DragQueryFileW(hDrop, 0, NULL, 0) + 1);
        name.resize(DragQueryFileW(hDrop, 0, &name[0], static_cast<UINT>(name.size())));
        char fname[FIELD_MAX + 1];
        refusal = Take(name, fname, FNAME_REFUSALS);
    }
    DragFinish(hDrop);
    if (refusal)
        ShowBox(hDlg, refusal, NULL);
    else
        SetDlgItemTextW(hDlg, IDC_FNAME, name.c_str());
}

// A button on the taskbar, with the program's icon, so that the dialog can
// be brought back from behind Explorer, and a model dragged onto it.
void ShowOnTaskbar(HWND hDlg)
{
    SetWindowLongPtrW(hDlg, GWL_EXSTYLE, GetWindowLongPtrW(hDlg, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    const HINSTANCE hInst = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hDlg, GWLP_HINSTANCE));
    const struct {
        WPARAM which;
        int cx, cy;
    } icons[] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
    for (const auto& icon : icons) {
        HANDLE h = LoadImageW(hInst, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, GetSystemMetrics(icon.cx),
                              GetSystemMetrics(icon.cy), LR_SHARED);
        SendMessageW(hDlg, WM_SETICON, icon.which, reinterpret_cast<LPARAM>(h));
    }
}

}  // namespace

INT_PTR CALLBACK DlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        // Before the dialog first shows; the focus is left to the system.
        ShowOnTaskbar(hDlg);
        DragAcceptFiles(hDlg, TRUE);
        return FALSE;

    case WM_DROPFILES:
        OnDrop(hDlg, reinterpret_cast<HDROP>(wParam));
        return TRUE;

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
