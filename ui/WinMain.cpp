// The shell: a hidden main window that owns the conversion dialog, which
// runs while the window is being created.
#include "DlgProc.h"
#include "Messages.h"
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
        // A dialog that can't be made would leave nothing on screen and no
        // way to end: fail the creation instead, and WinMain ends.
        if (DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_CONVERT), hWnd, DlgProc, 0) == -1)
            return -1;
        return 0;

    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;

    case WM_KEYDOWN:
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    wc.hIconSm = LoadIconA(NULL, IDI_WINLOGO);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = NULL;
    wc.lpszClassName = "Window";
    if (!RegisterClassExA(&wc))
        return 0;

    // Never shown: it only owns the dialog, which runs inside this call.
    HWND hWnd = CreateWindowExA(0, "Window", CAPTION_MAIN, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                                480, NULL, NULL, hInstance, NULL);
    if (!hWnd)
        return 0;

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
