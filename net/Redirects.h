// The redirect rule both transports follow: at most five per call, never from https down to http.
#pragma once
#include <windows.h>

#include <string>

constexpr int kMaxRedirects = 5;
// Location is read into 260 bytes; a longer one is refused rather than followed half-read.
constexpr DWORD kLocationBytes = 260;
// The fallback transport's bound: the longest URL Windows handles.
constexpr size_t kMaxLocationChars = 2084;

// Counts one more redirect; the sixth throws HttpError, before its Location is even read.
void CountRedirect(int& redirects);
// The absolute URL `location` points to from `current`.
// Throws HttpError for a downgrade to http and for a location that is no http(s) URL.
std::wstring RedirectUrl(const std::wstring& current, const std::wstring& location);

// The failure text for a Location that could not be read (`code` from the query).
[[noreturn]] void ThrowUnreadableLocation(DWORD code);
