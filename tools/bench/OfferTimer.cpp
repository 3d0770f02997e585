// OfferTimer <wizard.exe> <runs> [warm-up runs]: starts the wizard <runs> times (after one unmeasured
// warm-up run unless told otherwise),
// presses Next on the language page and Agree on the license page as soon as each shows, and prints
// per run and as medians the milliseconds from pressing Next to the license page and to the first
// product page. The wizard is stopped after each run.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/PrivateFolders.h"
#include "tools/bench/BenchSupport.h"

using namespace testing_support;

namespace {

bool Visible(HWND page, int id) { return GetDlgItem(page, id) && ControlVisible(page, id); }

// One run: false when a page did not come.
bool Run(const std::wstring& exe, double& toLicense, double& toProduct) {
    const auto before = testing_support::PrivateFolders();
    WizardProcess wizard;
    if (!wizard.Start(exe)) {
        fwprintf(stderr, L"cannot start %ls\n", exe.c_str());
        return false;
    }
    bool ok = false;
    HWND window = WaitForWindow(wizard.Id(), [](HWND hwnd) { return !IsMessageBox(hwnd); }, 30000);
    HWND language = window ? bench::WaitForPage(window, [](HWND p) { return Visible(p, IDC_NEXT_BUTTON); }, 30000)
                           : nullptr;
    if (language) {
        Sleep(300);  // let start-up work settle so that it does not count against the next page
        const double start = bench::NowMs();
        ClickButton(language, IDC_NEXT_BUTTON);
        HWND license = bench::WaitForPage(window, [](HWND p) { return Visible(p, IDC_AGREE_BUTTON); }, 60000);
        if (license) {
            toLicense = bench::NowMs() - start;
            ClickButton(license, IDC_AGREE_BUTTON);
            HWND product = bench::WaitForPage(window, [](HWND p) { return Visible(p, IDC_ACCEPT_BUTTON); }, 60000);
            toProduct = bench::NowMs() - start;
            ok = product != nullptr;
        }
    }
    if (!ok)
        fwprintf(stderr, L"the wizard did not reach the first product page\n");
    wizard.Terminate();
    testing_support::RemovePrivateFoldersSince(before);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: OfferTimer <wizard.exe> <runs> [warm-up runs]\n");
        return 2;
    }
    const int runs = _wtoi(argv[2]);
    // Warm-up: Wine loads the wizard's DLLs and fonts the first time.
    const int warmUps = argc > 3 ? _wtoi(argv[3]) : 1;
    std::vector<double> license, product;
    for (int i = 1 - warmUps; i <= runs; ++i) {
        double a = 0, b = 0;
        if (!Run(argv[1], a, b))
            return 1;
        if (i <= 0)
            continue;
        license.push_back(a);
        product.push_back(b);
        wprintf(L"run %d: %.1f ms to the license page, %.1f ms to the first product page\n", i, a, b);
        fflush(stdout);
    }
    wprintf(L"median %.1f %.1f\n", bench::Median(license), bench::Median(product));
    return 0;
}
