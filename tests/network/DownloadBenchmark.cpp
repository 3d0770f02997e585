// Throughput of DownloadFile against a bare WinHTTP read loop, with the program's peak memory.
// Prints figures and asserts nothing. Run by tests/network/run-benchmark.sh.
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <cstdio>
#include <memory>
#include <string>

#include "config/ConfigurationManager.h"
#include "net/DownloadManager.h"
#include "net/WinHttpHandle.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

size_t PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// The platform's best case: one session, one request, a 1 MiB buffer, bytes dropped.
unsigned long long BareLoop(const wchar_t* host, const wchar_t* path) {
    UniqueWinHttp session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    UniqueWinHttp connection(session ? WinHttpConnect(session.get(), host, 443, 0) : nullptr);
    UniqueWinHttp request(connection ? WinHttpOpenRequest(connection.get(), L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                                          WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE)
                                     : nullptr);
    if (!request || !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return 0;
    auto buffer = std::make_unique<char[]>(1 << 20);
    unsigned long long total = 0;
    DWORD read = 0;
    while (WinHttpReadData(request.get(), buffer.get(), 1 << 20, &read) && read > 0)
        total += read;
    return total;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const wchar_t* path = argc > 1 ? argv[1] : L"/bench.bin";
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    auto config = ConfigurationManager::GetInstance();
    config->tempFolder = temp;
    config->downloadFolder = temp;

    size_t before = PeakWorkingSet();
    auto engine = std::make_shared<DownloadManager>();
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    DownloadResult result = engine->DownloadFile(std::wstring(L"https://localhost") + path, nullptr, L"bench.bin", temp);
    QueryPerformanceCounter(&end);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(engine->lastDownloadedPath.c_str(), GetFileExInfoStandard, &data);
    unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    double engineSeconds = Seconds(start, end);
    size_t peak = PeakWorkingSet();
    DeleteFileW(engine->lastDownloadedPath.c_str());

    QueryPerformanceCounter(&start);
    unsigned long long bare = BareLoop(L"localhost", path);
    QueryPerformanceCounter(&end);
    double bareSeconds = Seconds(start, end);

    double engineRate = size / engineSeconds / 1e6;
    double bareRate = bare / bareSeconds / 1e6;
    std::printf("DownloadFile: %s, %llu bytes in %.2f s = %.1f MB/s\n", result.first ? "ok" : "FAILED", size,
                engineSeconds, engineRate);
    std::printf("bare WinHTTP loop (1 MiB buffer): %llu bytes in %.2f s = %.1f MB/s\n", bare, bareSeconds, bareRate);
    std::printf("DownloadFile / bare loop: %.2f\n", bareRate > 0 ? engineRate / bareRate : 0.0);
    std::printf("peak working set: %.1f MiB before, %.1f MiB after DownloadFile\n", before / 1048576.0,
                peak / 1048576.0);
    std::printf("engine-rate %.3f\n", engineRate);
    return 0;
}
