#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "config/ConfigurationManager.h"
#include "config/ExpectedPayload.h"
#include "net/DownloadManager.h"
#include "net/HttpError.h"
#include "net/DownloadSupport.h"
#include "net/NetLimits.h"
#include "net/Redirects.h"
#include "tests/support/TestBackend.h"
#include "tests/support/WindowDriver.h"
#include "win32/CryptoHash.h"
#include "win32/SystemError.h"
#include "win32/WizardMessages.h"

using nlohmann::json;

namespace {

const std::wstring kOrigin = L"https://localhost";

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 256);
    return bytes;
}

bool HasHeader(const json& request, const char* name) {
    for (const auto& header : request["headers"])
        if (_stricmp(header[0].get<std::string>().c_str(), name) == 0)
            return true;
    return false;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class DownloadManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = TestBackend::ScratchFolder(L"downloads");
        auto config = ConfigurationManager::GetInstance();
        config->tempFolder = folder;
        config->downloadFolder = folder;
    }

    std::shared_ptr<DownloadManager> engine = std::make_shared<DownloadManager>();
    TestBackend backend;
    MessageSink sink;
    std::wstring folder;
};

struct FileCase {
    const char* name;
    json routes;
    const wchar_t* path;      // requested below the origin
    bool success;
    std::wstring text;        // the whole result text, or its beginning when `textIsPrefix`
    bool textIsPrefix;
    long long size;           // of the kept file, -1: no file kept
    bool indeterminate;       // one WM_DOWNLOAD_INDETERMINATE, no progress
    int winHttpRequests;      // requests before the fallback (-1: do not count)
};

}  // namespace

// The outcomes of one file download, WinHTTP attempt and WinINet fallback, against the backend's faults.
TEST_F(DownloadManagerTest, FileDownloadOutcomes) {
    const FileCase cases[] = {
        {"known length", json::array({{{"path", "/dl/known.bin"}, {"body_size", 300000}}}), L"/dl/known.bin", true,
         L"", false, 300000, false, 1},
        {"no Content-Length", json::array({{{"path", "/dl/nolen.bin"}, {"body_size", 5000}, {"fault", "no_length"}}}),
         L"/dl/nolen.bin", true, L"", false, 5000, true, 1},
        {"204 is a success over WinHTTP", json::array({{{"path", "/dl/empty.bin"}, {"status", 204}}}),
         L"/dl/empty.bin", true, L"", false, 0, true, 1},
        {"five redirects, absolute and relative",
         json::array({{{"path", "/dl/r5.bin"},
                       {"redirect", {{"to", "/dl/target.bin"}, {"hops", 5}, {"status", json::array({301, 302, 303, 307})},
                                     {"absolute", "alternate"}}}},
                      {{"path", "/dl/target.bin"}, {"body_size", 1000}}}),
         L"/dl/r5.bin", true, L"", false, 1000, false, 6},
        {"a sixth redirect fails both transports",
         json::array({{{"path", "/dl/r6.bin"}, {"redirect", {{"to", "/dl/target6.bin"}, {"hops", 6}, {"absolute", true}}}},
                      {{"path", "/dl/target6.bin"}, {"body_size", 1000}}}),
         L"/dl/r6.bin", false, L"[WINHTTP] Too many redirects. [WININET] Too many redirects.", false, -1, false, 6},
        {"a redirect to http is refused by both transports",
         json::array({{{"path", "/dl/down.bin"}, {"redirect", {{"to", "http://localhost/dl/plain.bin"}, {"hops", 2}}}},
                      {{"path", "/dl/plain.bin"}, {"body_size", 10}}}),
         L"/dl/down.bin", false,
         L"[WINHTTP] Redirect from https to http refused: http://localhost/dl/plain.bin"
         L" [WININET] Redirect from https to http refused: http://localhost/dl/plain.bin",
         false, -1, false, 2},
        {"WinHTTP gets 500, WinINet 200",
         json::array({{{"path", "/dl/second.bin"}, {"body_size", 2000}, {"statuses", json::array({500, 200})}}}),
         L"/dl/second.bin", true, L"[WINHTTP] Download failed: Server returned status code: 500", false, 2000, false, 1},
        {"a Location too long to read is not followed half-read",
         json::array({{{"path", "/dl/long.bin"}, {"redirect", {{"to", "/dl/" + std::string(150, 'x') + ".bin"}}}},
                      {{"path", "/dl/" + std::string(150, 'x') + ".bin"}, {"body_size", 10}}}),
         L"/dl/long.bin", true, L"[WINHTTP] Redirect location too long.", false, 10, false, 1},
        {"1000 announced, 999 sent",
         json::array({{{"path", "/dl/short.bin"}, {"body_size", 1000}, {"fault", "short"}}}), L"/dl/short.bin", false,
         L"[WINHTTP] Download was incomplete: content length: 1000, downloaded: 999"
         L" [WININET] Download was incomplete: content length: 1000, downloaded: 999",
         false, -1, false, 1 + kMaxResumes},
        {"404 with an HTML page on both transports",
         json::array({{{"path", "/dl/missing.bin"}, {"status", 404}, {"fault", "html"}}}), L"/dl/missing.bin", false,
         L"[WINHTTP] Download failed: Server returned status code: 404 [WININET] Server returned status code: HTTP 404 - ",
         true, -1, false, 1},
        {"a URL without a host is a failed attempt", json::array(), nullptr, false, L"[WINHTTP] Failed to parse URL",
         true, -1, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        backend.SetScenario({{"routes", c.routes}});
        size_t mark = backend.Mark();
        std::wstring url = c.path ? kOrigin + c.path : std::wstring(L"https:///nohost.bin");
        DWORD start = GetTickCount();
        DownloadResult result = engine->DownloadFile(url, sink.Window(), L"", folder);
        DWORD elapsed = GetTickCount() - start;
        auto messages = sink.Drain();

        EXPECT_EQ(result.first, c.success);
        if (c.textIsPrefix)
            EXPECT_EQ(result.second.substr(0, c.text.size()), c.text) << result.second.c_str();
        else
            EXPECT_EQ(result.second, c.text);
        std::wstring path = folder + L"\\" + FileNameFromUrl(url);
        if (c.size >= 0) {
            std::string bytes = TestBackend::ReadFileBytes(path);
            EXPECT_EQ(static_cast<long long>(bytes.size()), c.size);
            EXPECT_EQ(bytes, Pattern(bytes.size()));
            EXPECT_EQ(engine->lastDownloadedPath, path);
        } else {
            EXPECT_FALSE(Exists(path) && !FileNameFromUrl(url).empty()) << "a failed download leaves no file";
        }
        // The fallback runs only after a failed WinHTTP attempt, and only after its pause.
        bool fellBack = !result.second.empty();
        EXPECT_EQ(fellBack, elapsed >= 2000) << elapsed;

        auto requests = backend.Requests(mark);
        for (const auto& request : requests)
            EXPECT_TRUE(request["tls"].get<bool>()) << "fetched over plain HTTP: " << request["path"];
        if (c.winHttpRequests >= 0) {
            // The file download's WinHTTP session sends no User-Agent; WinINet sends an empty one.
            size_t winHttp = 0;
            while (winHttp < requests.size() && !HasHeader(requests[winHttp], "User-Agent"))
                ++winHttp;
            EXPECT_EQ(winHttp, static_cast<size_t>(c.winHttpRequests));
        }

        int indeterminate = 0, progress = 0, last = -1;
        bool neverFalls = true;
        for (const auto& [message, wParam] : messages) {
            if (message == WM_DOWNLOAD_INDETERMINATE)
                ++indeterminate;
            if (message == WM_DOWNLOAD_PROGRESS) {
                ++progress;
                neverFalls = neverFalls && static_cast<int>(wParam) >= last;
                last = static_cast<int>(wParam);
            }
        }
        if (c.success && c.indeterminate) {
            EXPECT_EQ(indeterminate, 1);
            EXPECT_EQ(progress, 0);
        } else if (c.success && c.size > 0) {
            EXPECT_EQ(indeterminate, 0);
            EXPECT_EQ(last, 100) << "a known length ends on 100";
            EXPECT_TRUE(neverFalls);
            EXPECT_LE(progress, 101);
        }
    }
}

// A body whose connection breaks is finished by Range requests to the address that answered, at most three per
// transport; whatever the server answers them, the file ends byte-exact or the download fails.
TEST_F(DownloadManagerTest, BrokenBodyIsResumed) {
    // An installer file, served by the backend with its ETag and Last-Modified.
    std::string payload(700000, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>((i * 7919 + i / 251) & 0xff);
    {
        UniqueFile file(CreateFileW((backend.dir + L"\\resume.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(file && WriteFile(file.get(), payload.data(), static_cast<DWORD>(payload.size()), &written, nullptr));
    }
    const std::string generated = Pattern(50000);
    struct Request {
        std::string range;  // "" for none
        int status;         // what the backend answered
    };
    struct Case {
        const char* name;
        json route;
        std::vector<Request> requests;  // every request of the download, both transports
        bool success;
    };
    const std::string files = std::getenv("FENNIX_BACKEND_DIR");
    const Case cases[] = {
        {"cut once after 300000 bytes: one resumed request",
         {{"path", "/f/resume.exe"}, {"cut_after", 300000}},
         {{"", 200}, {"bytes=300000-", 206}},
         true},
        {"a server that ignores the range: the file starts over",
         {{"path", "/f/resume.exe"}, {"cut_after", 300000}, {"ranges", false}},
         {{"", 200}, {"bytes=300000-", 200}},
         true},
        {"a 206 that does not continue the file: a plain request starts it over",
         {{"path", "/f/plain.bin"},
          {"body_size", 50000},
          {"sequence",
           {{{"cut_after", 20000}},
            {{"status", 206}, {"headers", {{"Content-Range", "bytes 0-49999/50000"}}}},
            json::object()}}},
         {{"", 200}, {"bytes=20000-", 206}, {"", 200}},
         true},
        {"every answer cut: three resumes per transport, then failure",
         {{"path", "/f/resume.exe"}, {"cut_after", 100000}, {"cut_times", 100}},
         {{"", 200}, {"bytes=100000-", 206}, {"bytes=200000-", 206}, {"bytes=300000-", 206},
          {"", 200}, {"bytes=100000-", 206}, {"bytes=200000-", 206}, {"bytes=300000-", 206}},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        backend.SetScenario({{"files", files}, {"routes", {c.route}}});
        size_t mark = backend.Mark();
        const std::string url = c.route["path"];
        const std::string& expected = url == "/f/resume.exe" ? payload : generated;
        DownloadResult result = engine->DownloadFile(kOrigin + std::wstring(url.begin(), url.end()), sink.Window(),
                                                     L"", folder);
        sink.Drain();
        EXPECT_EQ(result.first, c.success) << result.second.c_str();

        auto requests = backend.Requests(mark);
        ASSERT_EQ(requests.size(), c.requests.size());
        for (size_t i = 0; i < requests.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(HeaderValue(requests[i], "Range"), c.requests[i].range);
            EXPECT_EQ(requests[i]["status"].get<int>(), c.requests[i].status);
            EXPECT_EQ(requests[i]["path"].get<std::string>(), url);
            // A resumed request names the version it continues (when the file came with a validator), so a
            // changed file is sent whole.
            const bool validated =
                !c.requests[i].range.empty() && url == "/f/resume.exe" && c.route.value("ranges", true);
            EXPECT_EQ(!HeaderValue(requests[i], "If-Range").empty(), validated);
        }

        const std::wstring path = folder + L"\\" + FileNameFromUrl(std::wstring(url.begin(), url.end()));
        if (!c.success) {
            EXPECT_FALSE(Exists(path));
            continue;
        }
        EXPECT_TRUE(result.second.empty()) << "no fallback: " << result.second.c_str();
        EXPECT_TRUE(TestBackend::ReadFileBytes(path) == expected) << "the file is byte-exact";
        ExpectedPayload digest;
        digest.sha256 = Sha256Hex(expected);
        digest.size = expected.size();
        UniqueFile held;
        EXPECT_EQ(VerifyDownloadedFile(path, digest, held), L"");
    }
}

TEST_F(DownloadManagerTest, QueryStringIsNotPartOfTheFileName) {
    backend.SetScenario({{"routes", {{{"path", "/f/setup.exe?id=7&x=y"}, {"body_size", 64}}}}});
    DownloadResult result = engine->DownloadFile(kOrigin + L"/f/setup.exe?id=7&x=y", sink.Window(), L"", folder);
    EXPECT_TRUE(result.first) << result.second.c_str();
    EXPECT_EQ(engine->lastDownloadedPath, folder + L"\\setup.exe");
    EXPECT_EQ(TestBackend::ReadFileBytes(folder + L"\\setup.exe").size(), 64u);
}

TEST(DownloadPath, FileNameFromUrl) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"https://h/f/setup.exe", L"setup.exe"},
        {L"https://h/f/setup.exe?id=7", L"setup.exe"},
        {L"https://h/f/setup.exe#top", L"setup.exe"},
        {L"https://h/f/a%20b.exe", L"a%20b.exe"},
        {L"https://h/f/", L""},
        {L"no-slash-at-all", L""},
        {L"https://h/f/..", L""},
        {L"https://h/f/a.exe:stream", L"a.exe_stream"},
        {L"https://h/f/..\\..\\evil.exe", L".._.._evil.exe"},
    };
    for (const auto& [url, name] : cases)
        EXPECT_EQ(FileNameFromUrl(url), name) << url.c_str();
}

// The explicit name wins; a missing folder tells the user and fails on both transports.
TEST_F(DownloadManagerTest, TargetFolderAndName) {
    backend.SetScenario({{"routes", {{{"path", "/dl/named"}, {"body_size", 10}}}}});
    DownloadResult named = engine->DownloadFile(kOrigin + L"/dl/named", sink.Window(), L"chosen.exe", folder);
    EXPECT_TRUE(named.first);
    EXPECT_EQ(engine->lastDownloadedPath, folder + L"\\chosen.exe");

    std::atomic<int> boxes{0};
    std::atomic<bool> done{false};
    std::thread closer([&] {
        // The engine's "Invalid path" box blocks its thread until someone presses OK.
        while (!done) {
            HWND box = testing_support::WaitForWindow(
                GetCurrentProcessId(),
                [](HWND w) { return testing_support::MessageBoxText(w) == L"Invalid path"; }, 200);
            if (box) {
                ++boxes;
                testing_support::ClickButton(box, IDOK);
                while (IsWindow(box))
                    Sleep(20);
            }
        }
    });
    DownloadResult missing = engine->DownloadFile(kOrigin + L"/dl/named", sink.Window(), L"", folder + L"\\does-not-exist");
    done = true;
    closer.join();
    EXPECT_FALSE(missing.first);
    EXPECT_EQ(boxes.load(), 1) << "the path is made once for both transports";
    EXPECT_EQ(missing.second.substr(0, 43), L"[WINHTTP] Failed to open file for writing: ");
    EXPECT_NE(missing.second.find(L" [WININET] Failed to open file for writing: "), std::wstring::npos);
}

// Cancelling stops the WinHTTP read loop, and no fallback starts the file over.
TEST_F(DownloadManagerTest, CancelStopsWithoutFallback) {
    backend.SetScenario(
        {{"routes",
          {{{"path", "/dl/slow.bin"}, {"body_size", 400000}, {"fault", "slow"}, {"chunk_bytes", 8192}, {"interval", 0.05}}}}});
    size_t mark = backend.Mark();
    HWND window = sink.Window();
    auto task = std::async(std::launch::async, [&] { return engine->DownloadFile(kOrigin + L"/dl/slow.bin", window, L"", folder); });
    // Wait for the first progress message, then cancel as the wizard does.
    DWORD start = GetTickCount();
    bool progressed = false;
    while (!progressed && GetTickCount() - start < 10000) {
        MSG msg;
        progressed = PeekMessageW(&msg, window, WM_DOWNLOAD_PROGRESS, WM_DOWNLOAD_PROGRESS, PM_REMOVE);
        Sleep(10);
    }
    ASSERT_TRUE(progressed);
    engine->cancelled = true;
    DWORD cancelledAt = GetTickCount();
    DownloadResult result = task.get();
    EXPECT_FALSE(result.first);
    EXPECT_EQ(result.second, L"[WINHTTP] Download cancelled.");
    EXPECT_LT(GetTickCount() - cancelledAt, 1500u);
    EXPECT_EQ(backend.Requests(mark).size(), 1u);
    EXPECT_FALSE(Exists(folder + L"\\slow.bin"));
}

TEST_F(DownloadManagerTest, MemoryDownloads) {
    backend.SetScenario({{"routes",
                          {{{"path", "/m/retry.bin"}, {"body_size", 3000}, {"statuses", {500, 200}}},
                           {{"path", "/m/moved"}, {"redirect", {{"to", "/m/retry2.bin"}, {"hops", 2}}}},
                           {{"path", "/m/retry2.bin"}, {"body_size", 70000}},
                           {{"path", "/m/gone"}, {"status", 404}}}}});
    size_t mark = backend.Mark();
    DownloadBuffer data = engine->DownloadToMemory(kOrigin + L"/m/retry.bin");
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), Pattern(3000)) << "the second attempt's body only";
    auto requests = backend.Requests(mark);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(HeaderValue(requests[0], "User-Agent"), "A WinHTTP Example Program/1.0");

    data = engine->DownloadToMemory(kOrigin + L"/m/moved");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size(), 70000u);

    mark = backend.Mark();
    data = engine->DownloadToMemory(kOrigin + L"/m/gone");
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->empty());
    EXPECT_EQ(backend.Requests(mark).size(), 2u) << "two attempts";
}

TEST_F(DownloadManagerTest, AsyncMemoryDownloadCallsBackOnItsOwnThread) {
    backend.SetScenario({{"routes", {{{"path", "/m/img.bin"}, {"body_size", 500}}}}});
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "after cancel" : "normal");
        engine->cancelled = cancel;
        std::promise<std::pair<DWORD, long long>> called;
        engine->DownloadToMemoryAsync(kOrigin + L"/m/img.bin", [&called](DownloadBuffer data) {
            called.set_value({GetCurrentThreadId(), data ? static_cast<long long>(data->size()) : -1});
        });
        auto future = called.get_future();
        ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        auto [thread, size] = future.get();
        EXPECT_NE(thread, GetCurrentThreadId());
        EXPECT_EQ(size, cancel ? -1 : 500) << "no buffer at all once cancelled";
    }
}

// A server that accepts and then stays silent ends each transport at its time limit, before or inside the body.
TEST_F(DownloadManagerTest, SilentServerEndsEveryTransferAtItsLimit) {
    ScopedNetLimits limits({2000, 2000, 2000, 2000});
    const std::wstring stalled = L": nothing arrived for 2 seconds.";
    struct Case {
        const char* name;
        json route;
        std::wstring winHttp, winInet;  // the beginning of each transport's text
    };
    const Case cases[] = {
        {"no answer at all", {{"path", "/dl/hang.bin"}, {"fault", "hang"}, {"hang_seconds", 20}},
         L"[WINHTTP] Failed to receive response: 12002 - ", L" [WININET] Failed to open URL:: 12002 - "},
        {"the body stops after 300 of 1000 bytes",
         {{"path", "/dl/hang.bin"}, {"body_size", 1000}, {"fault", "hang"}, {"send_bytes", 300}, {"hang_seconds", 20}},
         L"[WINHTTP] Failed to read data" + stalled, L" [WININET] Failed to read data" + stalled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        backend.SetScenario({{"routes", {c.route}}});
        size_t mark = backend.Mark();
        // Each transport gives up at its limit (2 s), long before the server would (20 s): two transports
        // and the pause between them end well inside the server's wait.
        const ULONGLONG start = GetTickCount64();
        DownloadResult result = engine->DownloadFile(kOrigin + L"/dl/hang.bin", sink.Window(), L"", folder);
        EXPECT_LT(GetTickCount64() - start, 15000u) << "the limits, not the server, ended the attempts";
        EXPECT_FALSE(result.first);
        size_t split = result.second.find(L" [WININET] ");
        ASSERT_NE(split, std::wstring::npos) << result.second.c_str();
        EXPECT_EQ(result.second.substr(0, c.winHttp.size()), c.winHttp) << result.second.c_str();
        EXPECT_EQ(result.second.substr(split, c.winInet.size()), c.winInet) << result.second.c_str();
        EXPECT_EQ(backend.Requests(mark).size(), 2u) << "one request per transport";

        mark = backend.Mark();
        DownloadBuffer data = engine->DownloadToMemory(kOrigin + L"/dl/hang.bin");
        ASSERT_TRUE(data);
        EXPECT_TRUE(data->empty());
        EXPECT_EQ(backend.Requests(mark).size(), 2u) << "two attempts";
    }
}

// Images follow the same rule: a redirect to http gives no image and fetches nothing unencrypted.
TEST_F(DownloadManagerTest, MemoryDownloadRefusesRedirectToHttp) {
    backend.SetScenario({{"routes",
                          {{{"path", "/m/down.png"}, {"redirect", {{"to", "http://localhost/m/plain.png"}}}},
                           {{"path", "/m/plain.png"}, {"body_size", 10}}}}});
    size_t mark = backend.Mark();
    DownloadBuffer data = engine->DownloadToMemory(kOrigin + L"/m/down.png");
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->empty());
    auto requests = backend.Requests(mark);
    EXPECT_EQ(requests.size(), 2u) << "two attempts, each refusing the same hop";
    for (const auto& request : requests)
        EXPECT_TRUE(request["tls"].get<bool>());
}

// The fallback leaves nothing in WinINet's cache: installers are not kept where other programs can read them.
TEST_F(DownloadManagerTest, FallbackWritesNothingToTheCache) {
    backend.SetScenario({{"routes", {{{"path", "/dl/uncached.bin"}, {"body_size", 2000}, {"statuses", {500, 200}}}}}});
    const std::wstring url = kOrigin + L"/dl/uncached.bin";
    DownloadResult result = engine->DownloadFile(url, sink.Window(), L"", folder);
    ASSERT_TRUE(result.first) << result.second.c_str();
    ASSERT_EQ(result.second.substr(0, 10), L"[WINHTTP] ") << "the file came over the fallback";
    DWORD size = 0;
    EXPECT_FALSE(GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Redirects, WhereARedirectLeads) {
    struct Case {
        const wchar_t* current;
        const wchar_t* location;
        const wchar_t* next;  // nullptr: refused with `refusal`
        const wchar_t* refusal;
    };
    const Case cases[] = {
        {L"https://h/a/b.exe", L"c.exe", L"https://h/a/c.exe", nullptr},
        {L"https://h/a/b.exe", L"/c.exe?x=1", L"https://h/c.exe?x=1", nullptr},
        {L"https://h/a", L"https://other:8443/z", L"https://other:8443/z", nullptr},
        {L"http://h/a", L"https://h/b", L"https://h/b", nullptr},
        {L"http://h/a", L"http://h/b", L"http://h/b", nullptr},
        {L"https://h/a", L"http://h/b", nullptr, L"Redirect from https to http refused: http://h/b"},
        {L"HTTPS://h/a", L"HTTP://h/b", nullptr, L"Redirect from https to http refused: HTTP://h/b"},
        {L"https://h/a", L"//elsewhere/b", L"https://elsewhere/b", nullptr},
        {L"https://h/a", L"ftp://h/b", nullptr, L"Invalid redirect location."},
        {L"https://h/a", L"file:///C:/windows/win.ini", nullptr, L"Invalid redirect location."},
        {L"https://h/a", L"", nullptr, L"Invalid redirect location."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.current << " -> " << c.location);
        try {
            std::wstring next = RedirectUrl(c.current, c.location);
            EXPECT_TRUE(c.next) << "followed to " << next;
            if (c.next) {
                EXPECT_EQ(next, c.next);
            }
        } catch (const HttpError& e) {
            EXPECT_FALSE(c.next) << "refused: " << e.Text();
            if (!c.next) {
                EXPECT_EQ(e.Text(), c.refusal);
            }
        }
    }
    int redirects = 0;
    for (int i = 0; i < kMaxRedirects; ++i)
        CountRedirect(redirects);
    EXPECT_THROW(CountRedirect(redirects), HttpError) << "the sixth";
}

// One line per failure site: the operation, the code read at once, and the system's text for it.
TEST(SystemError, ThrowLastErrorIfNamesTheOperation) {
    wchar_t oracle[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), oracle, 512, nullptr);
    ASSERT_NE(oracle[0], L'\0');
    EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), oracle);

    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_NO_THROW(ThrowLastErrorIf<HttpError>(false, L"Failed to open the file"));
    SetLastError(ERROR_ACCESS_DENIED);
    try {
        ThrowLastErrorIf<HttpError>(true, L"Failed to open the file");
        ADD_FAILURE() << "nothing thrown";
    } catch (const HttpError& e) {
        EXPECT_EQ(e.Text(), std::wstring(L"Failed to open the file: 5 - ") + oracle);
    }
    EXPECT_EQ(FailureText(L"Failed to connect", 0x80004005), L"Failed to connect: -2147467259 - " +
                                                                  SystemErrorText(0x80004005))
        << "codes print as signed numbers";
}
