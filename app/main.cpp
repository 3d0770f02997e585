#include <windows.h>

#include "app/TrelvoApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CTrelvoApp app;
    app.InitInstance();
    return 0;
}
