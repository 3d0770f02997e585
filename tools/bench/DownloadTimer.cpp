// DownloadTimer [--bare] <url>...: downloads each URL into %TEMP%, one after the other as the wizard does,
// and prints each one's size and milliseconds, then the sum, then the process's peak memory. Without
// --bare the wizard's DownloadManager downloads; with it a bare WinHTTP loop (one session and request,
// WinHttpReadData into a buffer of the engine's chunk size, WriteFile) does, as the baseline. Files are
// deleted afterwards. The peak figures are those of this process, so run one program per measurement.
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "config/ConfigurationManager.h"
#include "net/DownloadManager.h"
#include "net/HttpClient.h"
#include "net/WinHttpHandle.h"
#include "tests/support/PrivateFolders.h"
#include "tools/bench/BenchSupport.h"
#include "win32/Handle.h"

namespace {

// The platform's loop with nothing around it: no redirects, limits, progress or checks.
bool BareDownload(const std::wstring& url, const std::wstring& path) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts))
        return false;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    UniqueWinHttp session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    UniqueWinHttp connection(session ? WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0) : nullptr);
    UniqueWinHttp request(connection ? WinHttpOpenRequest(connection.get(), L"GET", parts.lpszUrlPath, nullptr,
                                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                          parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                                     : nullptr);
    if (!request || !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return false;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::vector<char> buffer(kFileChunkBytes);
    DWORD read = 0, written = 0;
    while (WinHttpReadData(request.get(), buffer.data(), kFileChunkBytes, &read) && read > 0)
        if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr))
            return false;
    return true;
}

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool bare = argc > 1 && wcscmp(argv[1], L"--bare") == 0;
    const auto before = testing_support::PrivateFolders();  // the configuration makes one on first use
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    auto config = ConfigurationManager::GetInstance();
    config->tempFolder = temp;
    config->downloadFolder = temp;

    double total = 0;
    for (int i = bare ? 2 : 1; i < argc; ++i) {
        const std::wstring name = L"bench-download-" + std::to_wstring(i) + L".bin";
        std::wstring path = std::wstring(temp) + name;
        std::wstring failure;
        const double start = bench::NowMs();
        if (bare) {
            if (!BareDownload(argv[i], path))
                failure = L"bare loop failed";
        } else {
            auto engine = std::make_shared<DownloadManager>();
            DownloadResult result = engine->DownloadFile(argv[i], nullptr, name, temp);
            path = engine->lastDownloadedPath.empty() ? path : engine->lastDownloadedPath;
            if (!result.first)
                failure = result.second;
        }
        const double ms = bench::NowMs() - start;
        const unsigned long long size = FileSize(path);
        DeleteFileW(path.c_str());
        if (!failure.empty()) {
            fwprintf(stderr, L"download of %ls failed: %ls\n", argv[i], failure.c_str());
            testing_support::RemovePrivateFoldersSince(before);
            return 1;
        }
        total += ms;
        wprintf(L"file %ls %llu %.1f\n", argv[i], size, ms);
    }
    testing_support::RemovePrivateFoldersSince(before);
    wprintf(L"sum %.1f\n", total);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        wprintf(L"peak-working-set %zu\npeak-pagefile %zu\n", static_cast<size_t>(counters.PeakWorkingSetSize),
                static_cast<size_t>(counters.PeakPagefileUsage));
    return 0;
}
