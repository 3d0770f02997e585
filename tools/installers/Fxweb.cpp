// The sample product: records each start's command line beside itself (fxweb-launches.txt) and shows
// a small window, or exits at once when FENNIX_SAMPLE_FXWEB_NO_WINDOW is set.
#include "tools/installers/SampleSupport.h"

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    std::wstring self = sample::ModuleFileName();
    std::wstring folder = self.substr(0, self.find_last_of(L'\\') + 1);
    sample::AppendLine(folder + L"fxweb-launches.txt", GetCommandLineW());
    if (!sample::Environment(L"FENNIX_SAMPLE_FXWEB_NO_WINDOW").empty())
        return 0;

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"FennixWebSample";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"FennixWebSample", L"Fennix Web", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                CW_USEDEFAULT, CW_USEDEFAULT, 360, 160, nullptr, nullptr, instance, nullptr);
    CreateWindowW(L"STATIC", L"Fennix Web is installed and running.", WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 40, 330,
                  24, window, nullptr, instance, nullptr);
    ShowWindow(window, show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
