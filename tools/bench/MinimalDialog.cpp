// The baseline: the smallest modal dialog program, started and timed like the wizard.
#include <windows.h>

static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hwnd, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, Proc, 0);
    return 0;
}
