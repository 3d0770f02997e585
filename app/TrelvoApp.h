// The application object: prepares the platform and runs the wizard window as the program's main loop.
#pragma once
#include <windows.h>

class CTrelvoApp {
public:
    CTrelvoApp();
    ~CTrelvoApp();  // shuts GDI+ down, after the wizard window is gone
    CTrelvoApp(const CTrelvoApp&) = delete;
    CTrelvoApp& operator=(const CTrelvoApp&) = delete;

    // Runs the whole wizard; always false, as there is no message loop of the application's own.
    bool InitInstance();

private:
    // The log first, so that it sees the whole run; the machine id never appears in it.
    void StartRunLog();

    ULONG_PTR gdiplusToken_ = 0;
    bool gdiplusStarted_ = false;
};
