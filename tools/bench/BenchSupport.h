// What the benchmark drivers share: a clock, medians, a page wait that polls often enough for timing,
// and removal of the wizard's private temporary folders when a run is cut short.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/base/Handle.h"
#include "tests/e2e/WizardDriver.h"

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

// The driver's own wait polls every 50 ms; 2 ms keeps the measuring error small.
inline HWND WaitForPage(HWND wizard, const std::function<bool(HWND)>& match, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        HWND page = testing_support::VisiblePage(wizard);
        if (page && match(page))
            return page;
        Sleep(2);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

// The wizard's private folders in %TEMP% (ISV*.tmp), which a terminated wizard leaves behind.
inline std::set<std::wstring> PrivateFolders() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::set<std::wstring> folders;
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW((std::wstring(temp) + L"ISV*.tmp").c_str(), &found));
    if (!search)
        return folders;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.insert(std::wstring(temp) + found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return folders;
}

inline void RemoveNewFolders(const std::set<std::wstring>& before) {
    for (const auto& folder : PrivateFolders()) {
        if (before.count(folder))
            continue;
        std::wstring from = folder + L'\0';  // SHFileOperation takes a double-terminated list
        SHFILEOPSTRUCTW operation{};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_NO_UI;
        SHFileOperationW(&operation);
    }
}

}  // namespace bench
