#include "net/WinInetClient.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "net/DownloadSupport.h"
#include "net/NetLimits.h"
#include "net/Redirects.h"
#include "win32/Narrow.h"
#include "win32/SystemError.h"

namespace {

constexpr DWORD kChunkBytes = 4096;
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                             INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr wchar_t kOpenFailure[] = L"Failed to open URL:";

// Some WinINet versions report an expired receive limit as a dropped connection: a call that failed so
// after waiting out the whole limit timed out.
DWORD TimeoutAware(DWORD code, ULONGLONG startTick, DWORD limitMs) {
    const bool waitedOut = GetTickCount64() - startTick + 100 >= limitMs;
    return code == ERROR_INTERNET_CONNECTION_ABORTED && waitedOut ? ERROR_INTERNET_TIMEOUT : code;
}

void SetLimit(HINTERNET internet, DWORD option, DWORD milliseconds) {
    ThrowLastErrorIf<HttpError>(!InternetSetOptionW(internet, option, &milliseconds, sizeof milliseconds),
                                L"Failed to set time limits");
}

// The limits again on the connection and on the request: some WinINet versions ignore the send and
// receive limits of the internet handle.
void SetTransferLimits(HINTERNET handle) {
    const NetLimits limits = CurrentNetLimits();
    SetLimit(handle, INTERNET_OPTION_SEND_TIMEOUT, limits.sendMs);
    SetLimit(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receiveMs);
}

// HttpSendRequest with a deadline of our own: some WinINet versions wait for a silent TLS handshake
// without any limit. The call runs on a thread of its own; at the deadline the caller goes on with a
// time-out and leaves the request's handles to that thread, which closes them once the call returns
// (closing the internet handle ends the call where WinINet allows it).
bool SendWithDeadline(WinInetResponse& response, const std::wstring& headers, DWORD deadlineMs, DWORD& error) {
    struct Call {
        UniqueWinInet connection;
        UniqueWinInet request;
        std::wstring headers;
        UniqueKernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        BOOL sent = FALSE;
        DWORD error = 0;
    };
    auto call = std::make_shared<Call>();
    ThrowLastErrorIf<HttpError>(!call->done, kOpenFailure);
    call->headers = headers;
    const HINTERNET request = response.request.get();
    std::thread([call, request] {
        call->sent = HttpSendRequestW(request, call->headers.empty() ? nullptr : call->headers.c_str(),
                                      call->headers.empty() ? 0 : static_cast<DWORD>(-1L), nullptr, 0);
        call->error = GetLastError();
        SetEvent(call->done.get());
    }).detach();
    if (WaitForSingleObject(call->done.get(), deadlineMs) == WAIT_OBJECT_0) {
        error = call->error;
        return call->sent != FALSE;
    }
    // The thread may still be inside the call: the handles become its to close.
    call->request = std::move(response.request);
    call->connection = std::move(response.connection);
    error = ERROR_INTERNET_TIMEOUT;
    return false;
}

// Connect, open and send one request by hand: InternetOpenUrl would send before the limits could be set.
WinInetResponse SendGet(HINTERNET internet, const std::wstring& url, const std::wstring& headers) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    ThrowLastErrorIf<HttpError>(!InternetCrackUrlW(url.c_str(), CheckedNarrow<DWORD>(url.size()), 0, &parts),
                                kOpenFailure);
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if ((!secure && parts.nScheme != INTERNET_SCHEME_HTTP) || !parts.lpszHostName || parts.dwHostNameLength == 0)
        throw HttpError(std::wstring(kOpenFailure) + L": no http(s) host in " + url);
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path = parts.lpszUrlPath ? std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) : std::wstring();
    if (parts.lpszExtraInfo)
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    path = path.substr(0, path.find(L'#'));  // a fragment never goes on the wire
    if (path.empty())
        path = L"/";

    WinInetResponse response;
    response.connection.reset(
        InternetConnectW(internet, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    ThrowLastErrorIf<HttpError>(!response.connection, kOpenFailure);
    SetTransferLimits(response.connection.get());
    response.request.reset(HttpOpenRequestW(response.connection.get(), L"GET", path.c_str(), nullptr, nullptr,
                                            nullptr, kOpenFlags | (secure ? INTERNET_FLAG_SECURE : 0), 0));
    ThrowLastErrorIf<HttpError>(!response.request, kOpenFailure);
    SetTransferLimits(response.request.get());
    const ULONGLONG start = GetTickCount64();
    const NetLimits limits = CurrentNetLimits();
    DWORD error = 0;
    if (!SendWithDeadline(response, headers, limits.connectMs + limits.receiveMs, error))
        ThrowSystemError<HttpError>(kOpenFailure, TimeoutAware(error, start, limits.receiveMs));
    return response;
}

// WinINet, which once followed redirects by itself, takes a Location of any URL length; the 260-byte
// limit is the WinHTTP transport's.
std::wstring Location(HINTERNET request) {
    std::wstring location(kMaxLocationChars + 1, L'\0');
    DWORD size = CheckedNarrow<DWORD>(location.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr))
        ThrowUnreadableLocation(GetLastError());
    location.resize(std::min<size_t>(size / sizeof(wchar_t), kMaxLocationChars));
    return location;
}

}  // namespace

UniqueWinInet OpenInternet() {
    UniqueWinInet internet(InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    ThrowLastErrorIf<HttpError>(!internet, L"Failed to initialize WinINet:");
    const NetLimits limits = CurrentNetLimits();
    SetLimit(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectMs);
    SetLimit(internet.get(), INTERNET_OPTION_SEND_TIMEOUT, limits.sendMs);
    SetLimit(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receiveMs);
    return internet;
}

WinInetResponse OpenUrlFollowingRedirects(HINTERNET internet, std::wstring& url, const std::wstring& headers) {
    int redirects = 0;
    for (;;) {
        WinInetResponse response = SendGet(internet, url, headers);
        DWORD status = WinInetStatus(response.request.get());
        if (status < 300 || status > 399)
            return response;
        CountRedirect(redirects);
        url = RedirectUrl(url, Location(response.request.get()));
    }
}

DWORD WinInetStatus(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    ThrowLastErrorIf<HttpError>(
        !HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr),
        L"Failed to query HTTP status code");
    return status;
}

bool WinInetContentLength(HINTERNET request, DWORD& length) {
    DWORD size = sizeof length;
    return HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr);
}

std::wstring WinInetHeader(HINTERNET request, DWORD query) {
    wchar_t value[kValidatorChars + 1] = {};
    DWORD size = sizeof value;
    if (!HttpQueryInfoW(request, query, value, &size, nullptr))
        return {};
    return std::wstring(value, size / sizeof(wchar_t));
}

void ReadWinInetBody(HINTERNET request, const std::function<void(const char*, DWORD)>& sink,
                     const std::atomic<bool>* cancelled) {
    const DWORD receiveMs = CurrentNetLimits().receiveMs;
    std::vector<char> buffer(kChunkBytes);
    for (;;) {
        // WinINet has no way to stop a transfer early, so the flag is checked per chunk.
        if (cancelled && *cancelled)
            throw HttpError(L"Download cancelled.");
        DWORD read = 0;
        const ULONGLONG start = GetTickCount64();
        if (!InternetReadFile(request, buffer.data(), kChunkBytes, &read)) {
            if (TimeoutAware(GetLastError(), start, receiveMs) == ERROR_INTERNET_TIMEOUT)
                throw HttpError(StalledText(L"Failed to read data", receiveMs));
            break;
        }
        if (read == 0)
            break;
        sink(buffer.data(), read);
    }
}
