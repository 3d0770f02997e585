#include "backend/ApiManager.h"

#include <windows.h>

#include <mutex>
#include <thread>

#include "config/ConfigurationManager.h"
#include "events/PostJson.h"
#include "events/TrelvoException.h"
#include "win32/RunLog.h"
#include "win32/Strings.h"
#include "win32/WindowsVersion.h"

namespace {

constexpr int kAttempts = 3;

}  // namespace

std::shared_ptr<ApiManager> ApiManager::GetInstance() {
    static std::once_flag once;
    static std::shared_ptr<ApiManager> instance;
    std::call_once(once, [] { instance = std::make_shared<ApiManager>(); });
    return instance;
}

std::string ApiManager::BuildRequestBody() {
    auto config = ConfigurationManager::GetInstance();
    nlohmann::json body = {
        {"u", WideToUtf8(GetDownloadTag())},
        {"s", WideToUtf8(config->installerId)},
        {"prv", "0.1"},
        {"plv", config->setupVersion},
        {"o", GetOsVersionString()},
        {"l", WideToUtf8(config->localeName.substr(0, 2))},
        {"i", WideToUtf8(config->productId)},
        {"a", WideToUtf8(config->brandName)},
    };
    return body.dump();
}

std::unique_ptr<nlohmann::json> ApiManager::RequestConfiguration() {
    auto config = ConfigurationManager::GetInstance();
    if (config->configUrl.empty())
        throw TrelvoException("No configuration URL");

    std::string body = BuildRequestBody();
    std::string response;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        response.clear();
        unsigned long status = 0;
        bool answered = false;
        try {
            answered = PostJson(config->configUrl, body, {}, response, status);
        } catch (const std::exception& e) {
            LogLine(std::string("configuration request: ") + e.what());
            throw;
        }
        LogLine("configuration request: status " + std::to_string(status) + ", " + std::to_string(response.size()) +
                " bytes");
        if (answered && status >= 200 && status <= 299)
            break;
        std::this_thread::sleep_for(retryPause_);
    }

    // Blank means only the classic locale's white space (no std::locale: it would bring the library's
    // whole locale machinery into the program).
    if (response.find_first_not_of(" \t\n\v\f\r") == std::string::npos)
        throw TrelvoException("Empty configuration response");

    nlohmann::json parsed = nlohmann::json::parse(response, nullptr, true, false);
    if (parsed.is_discarded())
        throw TrelvoException("Configuration response discarded");
    return std::make_unique<nlohmann::json>(std::move(parsed));
}

std::wstring DownloadTagFromPath(const std::wstring& path) {
    size_t underscore = path.rfind(L'_');
    if (underscore == std::wstring::npos)
        return {};
    std::wstring tag = path.substr(underscore + 1);
    size_t dot = tag.rfind(L'.');
    if (dot != std::wstring::npos)
        tag.resize(dot);
    if (tag.size() == 7 && tag.find(L'-') != std::wstring::npos)
        return tag;
    return {};
}

std::wstring GetDownloadTag() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return DownloadTagFromPath(path);
}
