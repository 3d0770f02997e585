#include "events/PostJson.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "events/TrelvoException.h"
#include "net/HttpClient.h"
#include "net/Redirects.h"
#include "win32/Narrow.h"
#include "win32/Strings.h"
#include "win32/WindowsVersion.h"

namespace {

constexpr INTERNET_PORT kPort = 443;

void PrintLine(const char* format, unsigned long value) {
    std::printf(format, value);
    std::printf("\n");
    std::fflush(stdout);
}

// A body that stops early still leaves a response: the failure only ends the reading, in these words.
void PrintBodyFailure(const HttpError& failure) {
    switch (failure.FailedStep()) {
    case HttpError::Step::QueryData:
        PrintLine("Error %lu in WinHttpQueryDataAvailable.", failure.Code());
        break;
    case HttpError::Step::ReadData:
        PrintLine("Error %lu in WinHttpReadData.", failure.Code());
        break;
    case HttpError::Step::Memory:
    case HttpError::Step::Other:
        std::printf("Out of memory\n");
        std::fflush(stdout);
        break;
    }
}

std::unique_ptr<HttpExchange> SendPost(const std::wstring& url, const std::string& body, const HttpHeaders& headers) {
    HttpTarget target = SplitUrl(url, false);
    target.port = kPort;
    target.secure = true;
    HttpOptions options;
    options.method = L"POST";
    auto exchange = std::make_unique<HttpExchange>(target, options);

    HttpHeaders all = headers;
    all.emplace_back(L"Expect", L"100-continue");
    all.emplace_back(L"Content-Type", L"application/json");
    for (const auto& header : all)
        if (!exchange->AddHeader(header.first + L": " + header.second))
            PrintLine("WinHttpAddRequestHeaders error: %lu", GetLastError());

    exchange->Send(body.c_str(), CheckedNarrow<DWORD>(std::strlen(body.c_str())));
    return exchange;
}

}  // namespace

bool PostJson(const std::wstring& url, const std::string& body, const HttpHeaders& headers, std::string& response,
              unsigned long& status) {
    if (IsWindowsVersionAtLeast(6, 1, 0) && !IsWindowsVersionAtLeast(6, 1, 1))
        throw TrelvoException("Windows 7 without Service Pack 1 cannot post");

    std::unique_ptr<HttpExchange> exchange;
    try {
        // A redirect is followed as downloads follow it (https only, at most five), the post sent again;
        // a 3xx never reaches the caller as an answer.
        std::wstring current = url;
        int redirects = 0;
        for (;;) {
            exchange = SendPost(current, body, headers);
            if (exchange->Status() < 300 || exchange->Status() > 399)
                break;
            CountRedirect(redirects);
            current = RedirectUrl(current, exchange->Location());
        }
    } catch (const HttpError& e) {
        throw TrelvoException(WideToAnsi(e.Text()));
    }
    status = exchange->Status();

    try {
        exchange->ReadBody(
            [&response](const char* bytes, DWORD read) { response.append(bytes, std::find(bytes, bytes + read, '\0')); },
            nullptr);
    } catch (const HttpError& e) {
        PrintBodyFailure(e);
    }
    return true;
}
