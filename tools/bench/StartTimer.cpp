// StartTimer <runs> <exe> <baseline exe> [<more exe>...]: starts the programs in turn, <runs> rounds after
// one warm-up round, and prints each round and the medians in milliseconds from process creation to the
// program's first visible top-level window. Each program is stopped once its window shows.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/WindowDriver.h"

namespace {

constexpr ULONGLONG kWindowTimeoutMs = 30000;

struct VisibleSearch {
    DWORD processId;
    bool found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<VisibleSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->processId && IsWindowVisible(hwnd)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds to the first visible window, or a negative number when none showed. The window list is
// polled every millisecond or two: the driver's 50 ms wait would round away the figure measured here.
// Each program gets `temp` as its TMP and TEMP: a stopped wizard leaves its private folder behind.
double TimeToWindow(const std::wstring& exe, const std::wstring& temp) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    testing_support::WizardProcess process;
    QueryPerformanceCounter(&start);
    if (!process.StartWithTempFolder(exe, temp))
        return -1;
    const ULONGLONG deadline = GetTickCount64() + kWindowTimeoutMs;
    VisibleSearch search{process.Id(), false};
    while (true) {
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
        if (search.found || GetTickCount64() > deadline)
            break;
        Sleep(1);
    }
    QueryPerformanceCounter(&end);
    process.Terminate();
    if (!search.found)
        return -1;
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fwprintf(stderr, L"usage: StartTimer <runs> <exe> <baseline exe> [<more exe>...]\n");
        return 2;
    }
    const int runs = _wtoi(argv[1]);
    const std::vector<std::wstring> programs(argv + 2, argv + argc);
    const std::filesystem::path temp =
        std::filesystem::temp_directory_path() / (L"start-timer-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(temp);
    std::vector<std::vector<double>> times(programs.size());
    for (int run = 0; run <= runs; ++run) {
        std::vector<double> round;
        for (const std::wstring& program : programs) {
            round.push_back(TimeToWindow(program, temp.wstring()));
            if (round.back() < 0) {
                fwprintf(stderr, L"no window from %ls\n", program.c_str());
                std::error_code ignored;
                std::filesystem::remove_all(temp, ignored);
                return 1;
            }
        }
        if (run == 0)
            continue;  // the warm-up round: Wine maps its DLLs for the first time
        wprintf(L"round %d", run);
        for (std::size_t i = 0; i < programs.size(); ++i) {
            wprintf(L" %.1f", round[i]);
            times[i].push_back(round[i]);
        }
        wprintf(L"\n");
    }
    std::error_code ignored;
    std::filesystem::remove_all(temp, ignored);
    wprintf(L"median");
    for (const std::vector<double>& program : times)
        wprintf(L" %.1f", Median(program));
    wprintf(L"\n");
    return 0;
}
