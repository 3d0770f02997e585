// The configuration request: one JSON document about the setup and the machine, the backend's answer parsed.
#pragma once
#include <chrono>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "config/BuildConfig.h"
#include "win32/WindowsVersion.h"

class ApiManager {
public:
    static std::shared_ptr<ApiManager> GetInstance();

    // The pause between attempts is a parameter only so that tests need not wait the full time.
    explicit ApiManager(std::chrono::milliseconds retryPause = std::chrono::milliseconds(build::ScaledPause(5000)))
        : retryPause_(retryPause) {}

    // Blocking, three attempts; throws TrelvoException, the JSON library's errors or PostJson's failure.
    std::unique_ptr<nlohmann::json> RequestConfiguration();

    // The request body, compact with its members in byte order (a, i, l, o, plv, prv, s, u).
    static std::string BuildRequestBody();

private:
    std::chrono::milliseconds retryPause_;
};

// The short tag in the program's file name ("Setup_ab-1234.exe" carries "ab-1234"); "" when none.
std::wstring GetDownloadTag();
// The same rule applied to a given path.
std::wstring DownloadTagFromPath(const std::wstring& path);
