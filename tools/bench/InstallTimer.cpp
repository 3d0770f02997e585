// InstallTimer <wizard.exe> [wizard arguments]: walks the wizard from its first page to the finish page
// as a user who accepts everything at once (the walk-through's steps, without pictures or pauses), and
// prints the milliseconds from process start to the window, to the download page and to the finish
// page, the time spent on the download page (from the user's last click to the finish page: the
// downloads and installers, which is what the plain downloads are set beside), and the wizard's peak
// memory read just before Finish is pressed. Exits 0 when Finish was reached.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "resources/resource.h"
#include "tools/bench/BenchSupport.h"
#include "win32/Handle.h"

using namespace testing_support;

namespace {

// The forward button tells the pages apart; the download page has none and moves on by itself.
int ForwardButton(HWND page) {
    for (int id : {IDC_FINISH_BUTTON, IDC_CLOSE_BUTTON, IDC_ACCEPT_BUTTON, IDC_AGREE_BUTTON, IDC_NEXT_BUTTON})
        if (ControlVisible(page, id))
            return id;
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fwprintf(stderr, L"usage: InstallTimer <wizard.exe> [wizard arguments]\n");
        return 2;
    }
    const std::wstring arguments = argc > 2 ? argv[2] : L"";
    const double start = bench::NowMs();
    WizardProcess wizard;
    if (!wizard.Start(argv[1], arguments)) {
        fwprintf(stderr, L"cannot start %ls\n", argv[1]);
        return 1;
    }
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, wizard.Id()));
    HWND window = WaitForWindow(wizard.Id(), [](HWND hwnd) { return !IsMessageBox(hwnd); }, 30000);
    if (!window) {
        fwprintf(stderr, L"the wizard window did not appear\n");
        return 1;
    }
    const double windowShown = bench::NowMs();

    HWND previous = nullptr;
    double downloadStart = 0;
    for (int number = 1; number <= 60; ++number) {
        HWND page = bench::WaitForPage(window, [&](HWND hwnd) { return hwnd != previous; }, 300000);
        if (!page) {
            fwprintf(stderr, L"no new page after page %d\n", number - 1);
            return 1;
        }
        // A page's controls may still be shown a moment after the page itself.
        int button = ForwardButton(page);
        for (int i = 0; button == 0 && i < 10; ++i) {
            Sleep(2);
            button = ForwardButton(page);
        }
        previous = page;
        if (button == 0) {
            // The loading page has no button either; the download page is the one with its title.
            if (downloadStart == 0 && ControlVisible(page, IDC_PROGRESS_TITLE))
                downloadStart = bench::NowMs();
            continue;
        }
        if (button == IDC_CLOSE_BUTTON) {
            fwprintf(stderr, L"the wizard showed its error page\n");
            ClickButton(page, button);
            wizard.WaitForExit(30000);
            return 1;
        }
        if (button == IDC_FINISH_BUTTON) {
            const double finish = bench::NowMs();
            PROCESS_MEMORY_COUNTERS counters{};
            counters.cb = sizeof counters;
            const bool memory = process && GetProcessMemoryInfo(process.get(), &counters, sizeof counters);
            wprintf(L"window %.1f\n", windowShown - start);
            wprintf(L"to-download-page %.1f\n", downloadStart > 0 ? downloadStart - start : 0.0);
            wprintf(L"total %.1f\n", finish - start);
            wprintf(L"download-page %.1f\n", downloadStart > 0 ? finish - downloadStart : 0.0);
            if (memory)
                wprintf(L"peak-working-set %zu\npeak-pagefile %zu\n", static_cast<size_t>(counters.PeakWorkingSetSize),
                        static_cast<size_t>(counters.PeakPagefileUsage));
            else
                wprintf(L"peak memory unavailable (error %lu)\n", GetLastError());
            fflush(stdout);
            ClickButton(page, button);
            DWORD code = 0;
            return wizard.WaitForExit(30000, &code) ? 0 : 1;
        }
        ClickButton(page, button);
    }
    return 1;
}
