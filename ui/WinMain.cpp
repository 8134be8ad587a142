// The shell: a hidden main window that owns the conversion dialog, which
// runs while the window is being created.
#include "DlgProc.h"

#include <commctrl.h>

#include "Messages.h"
#include "TextWin32.h"
#include "resource.h"

namespace {

void SetClientSize(HWND hWnd, int width, int height)
{
    RECT rcWnd;
    RECT rcCli;
    GetWindowRect(hWnd, &rcWnd);
    GetClientRect(hWnd, &rcCli);
    MoveWindow(hWnd, rcWnd.left, rcWnd.top,
               (rcWnd.right - rcWnd.left) - (rcCli.right - rcCli.left) + width,
               (rcWnd.bottom - rcWnd.top) - (rcCli.bottom - rcCli.top) + height, TRUE);
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        SetClientSize(hWnd, 640, 480);
        // Made by the wide call, so that its labels stay UTF-16 and its
        // fields show what is typed or pasted, whatever the code page. A
        // dialog that can't be made would leave nothing on screen and no
        // way to end: fail the creation instead, and WinMain ends.
        if (DialogBoxParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_CONVERT), hWnd, DlgProc, 0) == -1)
            return -1;
        return 0;

    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;

    case WM_KEYDOWN:
        return 0;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    // The themed controls of the manifest's Common Controls 6.
    const INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconW(NULL, IDI_APPLICATION);
    wc.hIconSm = LoadIconW(NULL, IDI_WINLOGO);
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = NULL;
    wc.lpszClassName = L"Window";
    if (!RegisterClassExW(&wc))
        return 0;

    // Never shown: it only owns the dialog, which runs inside this call.
    HWND hWnd = CreateWindowExW(0, L"Window", Shown(CAPTION_MAIN).c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 640, 480, NULL, NULL, hInstance, NULL);
    if (!hWnd)
        return 0;

    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
