// DownloadTimer <url>...: downloads each URL with the wizard's DownloadManager into %TEMP%, one after
// the other as the wizard does, and prints each one's size and milliseconds, then the sum. Files are
// deleted afterwards.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "config/ConfigurationManager.h"
#include "net/DownloadManager.h"
#include "tests/support/PrivateFolders.h"
#include "tools/bench/BenchSupport.h"

int wmain(int argc, wchar_t** argv) {
    const auto before = testing_support::PrivateFolders();  // the configuration makes one on first use
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    auto config = ConfigurationManager::GetInstance();
    config->tempFolder = temp;
    config->downloadFolder = temp;

    double total = 0;
    for (int i = 1; i < argc; ++i) {
        auto engine = std::make_shared<DownloadManager>();
        const std::wstring name = L"bench-download-" + std::to_wstring(i) + L".bin";
        const double start = bench::NowMs();
        DownloadResult result = engine->DownloadFile(argv[i], nullptr, name, temp);
        const double ms = bench::NowMs() - start;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(engine->lastDownloadedPath.c_str(), GetFileExInfoStandard, &data);
        const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        DeleteFileW(engine->lastDownloadedPath.c_str());
        if (!result.first) {
            fwprintf(stderr, L"download of %ls failed: %ls\n", argv[i], result.second.c_str());
            testing_support::RemovePrivateFoldersSince(before);
            return 1;
        }
        total += ms;
        wprintf(L"file %ls %llu %.1f\n", argv[i], size, ms);
    }
    testing_support::RemovePrivateFoldersSince(before);
    wprintf(L"sum %.1f\n", total);
    return 0;
}
