// What the benchmark drivers share: a clock, medians and a page wait that polls often enough for timing.
#pragma once
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/WizardDriver.h"

namespace bench {

inline double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The driver's wait polls every 50 ms by default; 2 ms keeps the measuring error small.
inline HWND WaitForPage(HWND wizard, const std::function<bool(HWND)>& match, DWORD milliseconds) {
    return testing_support::WaitForPage(wizard, match, milliseconds, 2);
}

}  // namespace bench
