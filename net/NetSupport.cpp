// The small pieces of the network layer that both transports share.
#include <windows.h>
#include <shlwapi.h>

#include <mutex>

#include "config/BuildConfig.h"
#include "net/HttpError.h"
#include "net/NetLimits.h"
#include "net/Redirects.h"
#include "win32/Narrow.h"
#include "win32/Strings.h"
#include "win32/SystemError.h"

namespace {

NetLimits BuildLimits() {
    NetLimits built;
    for (DWORD* limit : {&built.resolveMs, &built.connectMs, &built.sendMs, &built.receiveMs})
        *limit = build::ScaledPause(*limit);
    return built;
}

std::mutex limitsMutex;
NetLimits limits = BuildLimits();

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    size_t length = wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

}  // namespace

HttpError::HttpError(const std::wstring& text, Step step, DWORD code)
    : std::runtime_error(WideToAnsi(text)), text_(text), step_(step), code_(code) {}

NetLimits CurrentNetLimits() {
    std::lock_guard<std::mutex> lock(limitsMutex);
    return limits;
}

std::wstring StalledText(const wchar_t* operation, DWORD receiveMs) {
    return std::wstring(operation) + L": nothing arrived for " + std::to_wstring(receiveMs / 1000) + L" seconds.";
}

ScopedNetLimits::ScopedNetLimits(const NetLimits& replacement) {
    std::lock_guard<std::mutex> lock(limitsMutex);
    previous_ = limits;
    limits = replacement;
}

ScopedNetLimits::~ScopedNetLimits() {
    std::lock_guard<std::mutex> lock(limitsMutex);
    limits = previous_;
}

void CountRedirect(int& redirects) {
    if (++redirects > kMaxRedirects)
        throw HttpError(L"Too many redirects.");
}

std::wstring RedirectUrl(const std::wstring& current, const std::wstring& location) {
    std::wstring target = location;
    if (!StartsWithNoCase(target, L"http://") && !StartsWithNoCase(target, L"https://")) {
        std::wstring combined(kMaxLocationChars, L'\0');
        DWORD length = CheckedNarrow<DWORD>(combined.size());
        if (target.empty() || FAILED(UrlCombineW(current.c_str(), target.c_str(), combined.data(), &length, 0)))
            throw HttpError(L"Invalid redirect location.");
        combined.resize(wcslen(combined.c_str()));
        target = combined;
    }
    // A relative location keeps the current scheme; anything else that is not http(s) is refused.
    if (!StartsWithNoCase(target, L"http://") && !StartsWithNoCase(target, L"https://"))
        throw HttpError(L"Invalid redirect location.");
    if (StartsWithNoCase(current, L"https://") && StartsWithNoCase(target, L"http://"))
        throw HttpError(L"Redirect from https to http refused: " + target);
    return target;
}

void ThrowUnreadableLocation(DWORD code) {
    if (code == ERROR_INSUFFICIENT_BUFFER)
        throw HttpError(L"Redirect location too long.");
    ThrowSystemError<HttpError>(L"Failed to read redirect location", code);
}
