#include "net/HttpClient.h"

#include <wincrypt.h>

#include <new>
#include <vector>

#include "net/DownloadSupport.h"
#include "net/NetLimits.h"
#include "net/Redirects.h"
#include "win32/Narrow.h"
#include "win32/SystemError.h"
#include "win32/WindowsVersion.h"

namespace {

// SSL 3.0 stays off: it is broken, and no server of ours needs it.
DWORD SecureProtocols() {
    DWORD flags = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1;
    if (IsWindowsVersionAtLeast(6, 1, 1))
        flags |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    return flags;
}

DWORD AccessType(ProxyRule rule) {
    DWORD major = 0, minor = 0;
    ReadWindowsMajorMinor(major, minor);  // unknown counts as old: the default proxy works everywhere
    return ProxyAccessType(rule, major, minor);
}

// Some WinHTTP versions pass the socket's own code up when a receive limit expires.
constexpr DWORD kSocketTimedOut = 10060;  // WSAETIMEDOUT

int AsInt(DWORD value) { return static_cast<int>(value); }

void CloseCertStore(HCERTSTORE store) noexcept { CertCloseStore(store, 0); }
using UniqueCertStore = UniqueHandle<NullHandleTraits<HCERTSTORE, CloseCertStore>>;

}  // namespace

DWORD ProxyAccessType(ProxyRule rule, DWORD major, DWORD minor) {
    const bool automaticKnown = major > 6 || (major == 6 && minor >= 3);
    if (rule == ProxyRule::Default || !automaticKnown)
        return WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    return WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY;
}

HttpTarget SplitUrl(const std::wstring& url, bool withQuery) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    if (!withQuery)
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    ThrowLastErrorIf<HttpError>(!WinHttpCrackUrl(url.c_str(), CheckedNarrow<DWORD>(url.size()), 0, &parts),
                                L"Failed to parse URL");
    if (!parts.lpszHostName || parts.dwHostNameLength == 0)
        throw HttpError(L"Failed to parse URL: no host in " + url);
    HttpTarget target;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.lpszUrlPath) {
        if (withQuery) {
            target.path = parts.lpszUrlPath;  // points into `url`, which ends with its terminator
        } else {
            target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
            // Some implementations leave the query in the path even when it is asked for apart.
            target.path = target.path.substr(0, target.path.find_first_of(L"?#"));
        }
    }
    return target;
}

UniqueWinHttp OpenHttpSession(const HttpOptions& options, const NetLimits& limits) {
    UniqueWinHttp session(WinHttpOpen(options.agent, AccessType(options.proxy), WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    ThrowLastErrorIf<HttpError>(!session, L"Failed to open HTTP session");
    DWORD protocols = SecureProtocols();
    ThrowLastErrorIf<HttpError>(
        !WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols),
        L"Failed to set secure protocols");
    ThrowLastErrorIf<HttpError>(!WinHttpSetTimeouts(session.get(), AsInt(limits.resolveMs),
                                                    AsInt(limits.connectMs), AsInt(limits.sendMs),
                                                    AsInt(limits.receiveMs)),
                                L"Failed to set time limits");
    return session;
}

void PrepareSecureRequests() noexcept {
    UniqueWinHttp session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    UniqueCertStore roots(CertOpenSystemStoreW(0, L"ROOT"));
}

HttpExchange::HttpExchange(const HttpTarget& target, const HttpOptions& options) {
    const NetLimits limits = CurrentNetLimits();
    receiveMs_ = limits.receiveMs;
    HINTERNET session = options.session;
    if (!session) {
        session_ = OpenHttpSession(options, limits);
        session = session_.get();
    }

    connection_.reset(WinHttpConnect(session, target.host.c_str(), target.port, 0));
    ThrowLastErrorIf<HttpError>(!connection_, L"Failed to connect");
    DWORD flags = options.requestFlags | (target.secure ? WINHTTP_FLAG_SECURE : 0);
    request_.reset(WinHttpOpenRequest(connection_.get(), options.method, target.path.c_str(), nullptr,
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    ThrowLastErrorIf<HttpError>(!request_, L"Failed to open request");
    // A shared session keeps the limits it was made with; this request takes today's.
    if (options.session)
        ThrowLastErrorIf<HttpError>(!WinHttpSetTimeouts(request_.get(), AsInt(limits.resolveMs),
                                                        AsInt(limits.connectMs), AsInt(limits.sendMs),
                                                        AsInt(limits.receiveMs)),
                                    L"Failed to set time limits");
    // The wait for the response has a limit of its own; without it this Wine's WinHTTP waits for good.
    DWORD responseMs = limits.receiveMs;
    ThrowLastErrorIf<HttpError>(!WinHttpSetOption(request_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                                                  sizeof responseMs),
                                L"Failed to set time limits");
    DWORD feature = WINHTTP_DISABLE_REDIRECTS;
    ThrowLastErrorIf<HttpError>(
        !WinHttpSetOption(request_.get(), WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature),
        L"Failed to turn off automatic redirects");
}

bool HttpExchange::AddHeader(const std::wstring& line) {
    return WinHttpAddRequestHeaders(request_.get(), line.c_str(), static_cast<DWORD>(-1L), WINHTTP_ADDREQ_FLAG_ADD);
}

void HttpExchange::Send(const char* body, DWORD length) {
    ThrowLastErrorIf<HttpError>(!WinHttpSendRequest(request_.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                                    const_cast<char*>(body), length, length, 0),
                                L"Failed to send request");
    if (!WinHttpReceiveResponse(request_.get(), nullptr)) {
        const DWORD code = GetLastError();
        ThrowSystemError<HttpError>(L"Failed to receive response",
                                    code == kSocketTimedOut ? ERROR_WINHTTP_TIMEOUT : code);
    }
    DWORD size = sizeof status_;
    if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status_, &size, WINHTTP_NO_HEADER_INDEX))
        status_ = 0;
}

bool HttpExchange::ContentLength(DWORD& length) const {
    DWORD size = sizeof length;
    return WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX);
}

std::wstring HttpExchange::Location() const {
    wchar_t location[kLocationBytes / sizeof(wchar_t)] = {};
    DWORD size = sizeof location;
    if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location, &size,
                             WINHTTP_NO_HEADER_INDEX))
        ThrowUnreadableLocation(GetLastError());
    return std::wstring(location, size / sizeof(wchar_t));
}

std::wstring HttpExchange::Header(DWORD query) const {
    wchar_t value[kValidatorChars + 1] = {};
    DWORD size = sizeof value;
    if (!WinHttpQueryHeaders(request_.get(), query, WINHTTP_HEADER_NAME_BY_INDEX, value, &size, WINHTTP_NO_HEADER_INDEX))
        return {};
    return std::wstring(value, size / sizeof(wchar_t));
}

void HttpExchange::ReadBody(const std::function<void(const char*, DWORD)>& sink, const std::atomic<bool>* cancelled) {
    std::vector<char> buffer;
    for (;;) {
        if (cancelled && *cancelled)
            throw HttpError(L"Download cancelled.");
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request_.get(), &available))
            ThrowReadFailure(L"Failed to query data", HttpError::Step::QueryData);
        if (available == 0)
            break;
        try {
            if (buffer.size() < static_cast<size_t>(available) + 1)
                buffer.resize(static_cast<size_t>(available) + 1);
        } catch (const std::bad_alloc&) {
            throw HttpError(L"Out of memory.", HttpError::Step::Memory);
        }
        DWORD read = 0;
        if (!WinHttpReadData(request_.get(), buffer.data(), available, &read))
            ThrowReadFailure(L"Failed to read data", HttpError::Step::ReadData);
        if (read == 0)
            break;
        sink(buffer.data(), read);
    }
}

void HttpExchange::ThrowReadFailure(const wchar_t* operation, HttpError::Step step) const {
    const DWORD code = GetLastError();
    if (code == ERROR_WINHTTP_TIMEOUT || code == kSocketTimedOut)
        throw HttpError(StalledText(operation, receiveMs_), step, ERROR_WINHTTP_TIMEOUT);
    throw HttpError(FailureText(operation, code), step, code);
}

void HttpExchange::ReadBodyInto(char* buffer, DWORD size, const std::function<void(const char*, DWORD)>& sink,
                                const std::atomic<bool>* cancelled) {
    // A slow body is still handed over a few times a second, so progress and the file keep moving.
    constexpr ULONGLONG kHandOverMs = 100;
    DWORD filled = 0;
    ULONGLONG handedOver = GetTickCount64();
    for (;;) {
        if (cancelled && *cancelled)
            throw HttpError(L"Download cancelled.");
        DWORD read = 0;
        if (!WinHttpReadData(request_.get(), buffer + filled, size - filled, &read)) {
            const DWORD code = GetLastError();
            if (filled > 0)
                sink(buffer, filled);  // kept on disk, so a resumed request can start after it
            SetLastError(code);
            ThrowReadFailure(L"Failed to read data", HttpError::Step::ReadData);
        }
        filled += read;
        if (read != 0 && filled < size && GetTickCount64() - handedOver < kHandOverMs)
            continue;
        if (filled > 0)
            sink(buffer, filled);
        if (read == 0)
            return;
        filled = 0;
        handedOver = GetTickCount64();
    }
}

std::unique_ptr<HttpExchange> OpenFollowingRedirects(std::wstring& url, int& redirects, const HttpOptions& options,
                                                     const std::wstring& headers) {
    for (;;) {
        auto exchange = std::make_unique<HttpExchange>(SplitUrl(url, true), options);
        if (!headers.empty())
            ThrowLastErrorIf<HttpError>(!exchange->AddHeader(headers), L"Failed to add request headers");
        exchange->Send();
        if (exchange->Status() < 300 || exchange->Status() > 399)
            return exchange;
        CountRedirect(redirects);
        url = RedirectUrl(url, exchange->Location());
    }
}
