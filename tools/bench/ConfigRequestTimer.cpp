// ConfigRequestTimer <runs> [images]: sends the wizard's configuration request (ApiManager, the same body
// and URL as the wizard) <runs> times in one process and prints the first time and the median of the
// others in milliseconds, with the answer's size and offer count. With "images" it sends the request once
// and then fetches and decodes every offer's picture that the answer names, as the wizard's engine does
// (six workers over one session, WIC into GDI+ bitmaps), and prints the time to the last picture: what
// the wizard must do before its first page after the loading page, without checks or pages.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "backend/ApiManager.h"
#include "config/ConfigurationManager.h"
#include "net/DownloadManager.h"
#include "pagebase/ImageResource.h"
#include "win32/Strings.h"
#include "tests/support/PrivateFolders.h"
#include "tools/bench/BenchSupport.h"

namespace {

// The answer's pictures fetched and decoded at once; returns how many decoded.
int FetchImages(const nlohmann::json& answer) {
    std::vector<std::wstring> urls;
    for (const auto& offer : answer.value("o", nlohmann::json::array()))
        urls.push_back(ConfigurationManager::GetInstance()->imageBaseUrl +
                       Utf8ToWide(offer.at("ps").at("i").get<std::string>()));
    std::mutex mutex;
    std::condition_variable done;
    std::size_t pending = urls.size();
    std::atomic<int> decoded{0};
    for (const auto& url : urls)
        DownloadManager::GetInstance()->DownloadToMemoryAsync(url, [&](DownloadBuffer data) {
            if (data && DecodeImage(data->data(), data->size()))
                ++decoded;
            std::lock_guard<std::mutex> lock(mutex);
            if (--pending == 0)
                done.notify_one();
        });
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return pending == 0; });
    return decoded;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 6;
    if (argc > 2 && std::wstring(argv[2]) == L"images") {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
        const auto before = testing_support::PrivateFolders();
        ApiManager api(std::chrono::milliseconds(10));
        int decoded = -1;
        const double start = bench::NowMs();
        double elapsed = 0;
        try {
            decoded = FetchImages(*api.RequestConfiguration());
            elapsed = bench::NowMs() - start;
        } catch (const std::exception& e) {
            fprintf(stderr, "configuration request failed: %s\n", e.what());
        }
        testing_support::RemovePrivateFoldersSince(before);
        Gdiplus::GdiplusShutdown(token);
        if (decoded < 0)
            return 1;
        wprintf(L"with-images %.1f decoded %d\n", elapsed, decoded);
        return 0;
    }
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
