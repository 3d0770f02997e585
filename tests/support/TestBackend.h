// The local backend as the tests see it: write a scenario, read the request log back.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class TestBackend {
public:
    TestBackend();

    // Replaces the scenario; every route gets a fresh tag so its status sequence starts over.
    void SetScenario(nlohmann::json scenario);
    // Number of requests logged so far; pass it to Requests to see only what came after.
    size_t Mark() const;
    std::vector<nlohmann::json> Requests(size_t mark) const;
    // Polls until at least `count` requests arrived after `mark` (or the time is up).
    std::vector<nlohmann::json> WaitForRequests(size_t mark, size_t count, DWORD milliseconds) const;

    // A folder of the test's own, made empty.
    static std::wstring ScratchFolder(const std::wstring& name);
    static std::string ReadFileBytes(const std::wstring& path);

    std::wstring dir;
    std::string filesDir;  // the demo images, as a Unix path for the scenario
};

// Value of a logged request's header, "" when it is missing.
std::string HeaderValue(const nlohmann::json& request, const std::string& name);
std::vector<std::string> HeaderNames(const nlohmann::json& request);

// Creates a message-only window and collects the download messages posted to it.
class MessageSink {
public:
    MessageSink();
    ~MessageSink();
    HWND Window() const { return window_; }
    // The (message, wParam) pairs waiting in the queue, in order.
    std::vector<std::pair<UINT, WPARAM>> Drain();

private:
    HWND window_ = nullptr;
};
