// The program's WinHTTP requests: file and image downloads and JSON posts share session setup, protocols,
// proxy choice, time limits, the redirect rule and the body loop from here.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "net/HttpError.h"
#include "net/WinHttpHandle.h"

struct HttpTarget {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
    bool secure = false;
};

// Splits an absolute URL; the path runs to the end of the URL unless `withQuery` is false.
// Throws HttpError when the URL has no host.
HttpTarget SplitUrl(const std::wstring& url, bool withQuery);

enum class ProxyRule {
    ByWindowsVersion,  // automatic proxy discovery where WinHTTP has it (Windows 8.1 on), else the default proxy
    Default,           // the default proxy everywhere
};

// The WinHTTP access type for a rule on Windows major.minor: WinHTTP before 8.1 (6.3) refuses the
// automatic type.
DWORD ProxyAccessType(ProxyRule rule, DWORD major, DWORD minor);

struct HttpOptions {
    const wchar_t* method = L"GET";
    const wchar_t* agent = nullptr;
    ProxyRule proxy = ProxyRule::ByWindowsVersion;
    DWORD requestFlags = 0;  // WINHTTP_FLAG_SECURE is added for https targets
    // A session from OpenHttpSession that the request shares (not owned); null: one of its own.
    HINTERNET session = nullptr;
};

struct NetLimits;
// A session as every request gets one (agent, proxy, protocols, time limits). Requests that share it
// reuse its kept-alive connections. Throws HttpError.
UniqueWinHttp OpenHttpSession(const HttpOptions& options, const NetLimits& limits);

// Loads WinHTTP and opens the trust store, the work the first HTTPS request would otherwise do on its
// way (Wine reads the host's whole root store then: about 140 ms). Sends nothing. For a worker thread
// while the user reads the first page.
void PrepareSecureRequests() noexcept;

// One request, on a session of its own unless the options name a shared one. Automatic redirects are off:
// only OpenFollowingRedirects follows them.
class HttpExchange {
public:
    HttpExchange(const HttpTarget& target, const HttpOptions& options);

    // "Name: value"; false (with the error in GetLastError) when WinHTTP refuses it.
    bool AddHeader(const std::wstring& line);
    // Sends the request with `length` bytes of body and waits for the response headers.
    void Send(const char* body = nullptr, DWORD length = 0);

    DWORD Status() const { return status_; }  // 0 when it could not be read
    bool ContentLength(DWORD& length) const;
    std::wstring Location() const;
    // A response header by its WINHTTP_QUERY_ number; "" when it is missing or longer than a validator may be.
    std::wstring Header(DWORD query) const;

    // Hands each chunk to `sink` as the server makes it available, until the body ends. A body that
    // stays silent for the receive limit fails with a text that says so. `cancelled` may be null.
    void ReadBody(const std::function<void(const char*, DWORD)>& sink, const std::atomic<bool>* cancelled);
    // The file download's loop: reads straight into `buffer` and hands it to `sink` only when it is full or
    // the body ends (or breaks: what arrived before is handed over first), so the disk sees few large writes.
    // Failures are those of ReadBody.
    void ReadBodyInto(char* buffer, DWORD size, const std::function<void(const char*, DWORD)>& sink,
                      const std::atomic<bool>* cancelled);

private:
    [[noreturn]] void ThrowReadFailure(const wchar_t* operation, HttpError::Step step) const;

    UniqueWinHttp session_;
    UniqueWinHttp connection_;
    UniqueWinHttp request_;
    DWORD status_ = 0;
    DWORD receiveMs_ = 0;
};

// The read buffer of a file download, allocated once per download.
constexpr DWORD kFileChunkBytes = 256 * 1024;

// GETs `url`, following redirects by the shared rule until a response that is no redirect arrives.
// `url` and `redirects` carry over between calls, so a retry starts where the chain stopped.
// `headers` ("Name: value" lines joined by CRLF, or "") go with every request of the chain.
std::unique_ptr<HttpExchange> OpenFollowingRedirects(std::wstring& url, int& redirects, const HttpOptions& options,
                                                     const std::wstring& headers = {});
