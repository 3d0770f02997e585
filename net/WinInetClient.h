// The fallback transport over WinINet, with the same time limits and redirect rule as HttpClient.
// Kept apart from HttpClient.h because the two SDK headers clash.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "net/HttpError.h"
#include "net/WinInetHandle.h"

// An internet handle with the preconfigured proxy and the process's time limits.
UniqueWinInet OpenInternet();

// A sent request with its response headers; the connection handle outlives the request.
struct WinInetResponse {
    UniqueWinInet connection;
    UniqueWinInet request;
};

// GETs `url` with nothing read from or written to the cache, following redirects by the shared rule
// (WinINet's own following is off) until a response that is no redirect arrives. `headers` ("Name: value"
// lines joined by CRLF, or "") go with every request; `url` ends as the address that answered.
WinInetResponse OpenUrlFollowingRedirects(HINTERNET internet, std::wstring& url, const std::wstring& headers = {});

// The response status; throws when it cannot be read.
DWORD WinInetStatus(HINTERNET request);
bool WinInetContentLength(HINTERNET request, DWORD& length);
// A response header by its HTTP_QUERY_ number; "" when it is missing or longer than a validator may be.
std::wstring WinInetHeader(HINTERNET request, DWORD query);

// Reads the body in chunks of at most 4096 bytes until it ends. A failed read ends the body like its end,
// except a silence of the receive limit, which fails with a text that says so.
// `cancelled` may be null.
void ReadWinInetBody(HINTERNET request, const std::function<void(const char*, DWORD)>& sink,
                     const std::atomic<bool>* cancelled);
