// StartTimer <exe> <runs>: starts the program <runs> times and prints the median time in milliseconds
// from process creation to its first visible top-level window. The program is stopped after each run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/WindowDriver.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: StartTimer <exe> <runs>\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    const int runs = _wtoi(argv[2]);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        testing_support::WizardProcess process;
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        if (!process.Start(exe)) {
            fwprintf(stderr, L"cannot start %ls\n", exe.c_str());
            return 1;
        }
        HWND window = testing_support::WaitForWindow(process.Id(), [](HWND) { return true; }, 30000);
        QueryPerformanceCounter(&end);
        if (!window) {
            fwprintf(stderr, L"no window from %ls\n", exe.c_str());
            return 1;
        }
        times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
        process.Terminate();
    }
    std::sort(times.begin(), times.end());
    wprintf(L"%.1f\n", times[times.size() / 2]);
    return 0;
}
