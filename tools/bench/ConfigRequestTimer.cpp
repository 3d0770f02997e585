// ConfigRequestTimer <runs>: sends the wizard's configuration request (ApiManager, the same body and
// URL as the wizard) <runs> times in one process and prints the first time and the median of the
// others in milliseconds, with the answer's size and offer count.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "backend/ApiManager.h"
#include "config/ConfigurationManager.h"
#include "tests/support/PrivateFolders.h"
#include "tools/bench/BenchSupport.h"

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 6;
    const auto before = testing_support::PrivateFolders();  // the configuration makes one on first use
    ApiManager api(std::chrono::milliseconds(10));
    std::vector<double> times;
    size_t offers = 0, bytes = 0;
    for (int i = 0; i < runs; ++i) {
        const double start = bench::NowMs();
        try {
            auto answer = api.RequestConfiguration();
            times.push_back(bench::NowMs() - start);
            offers = answer->contains("o") ? (*answer)["o"].size() : 0;
            bytes = answer->dump().size();
        } catch (const std::exception& e) {
            fprintf(stderr, "configuration request failed: %s\n", e.what());
            testing_support::RemovePrivateFoldersSince(before);
            return 1;
        }
    }
    testing_support::RemovePrivateFoldersSince(before);
    const double first = times.front();
    times.erase(times.begin());
    wprintf(L"first %.1f median-after %.1f offers %zu bytes %zu\n", first, bench::Median(times), offers, bytes);
    return 0;
}
