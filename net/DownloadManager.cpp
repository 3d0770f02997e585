#include "net/DownloadManager.h"

#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <new>
#include <thread>

#include "app/base/Strings.h"
#include "app/base/WizardMessages.h"
#include "config/ConfigurationManager.h"
#include "net/DownloadSupport.h"
#include "net/WinHttpHandle.h"

namespace {

constexpr int kMaxRedirects = 5;
constexpr DWORD kFallbackPauseMs = 2000;
constexpr wchar_t kImageAgent[] = L"A WinHTTP Example Program/1.0";
// Location is read into 260 bytes; a longer one is refused rather than followed half-read.
constexpr DWORD kLocationBytes = 260;
constexpr size_t kMaxUrlLength = 2084;

bool IsWindows7() { return IsWindowsVersionAtLeast(6, 1, 0) && !IsWindowsVersionAtLeast(6, 2, 0); }

// SSL 3.0 stays off: it is broken, and no server of ours needs it.
DWORD SecureProtocols() {
    DWORD flags = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1;
    if (IsWindowsVersionAtLeast(6, 1, 1))
        flags |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    return flags;
}

struct UrlParts {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;  // from after host and port to the end: the query goes along
    bool secure = false;
};

UrlParts SplitUrl(const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        ThrowSystemError(L"Failed to parse URL", GetLastError());
    if (!parts.lpszHostName || parts.dwHostNameLength == 0)
        throw DownloadError(L"Failed to parse URL: no host in " + url);
    UrlParts result;
    result.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    result.port = parts.nPort;
    result.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.lpszUrlPath)
        result.path = parts.lpszUrlPath;  // points into `url`, which ends with its terminator
    return result;
}

// One request on its own session, as far as the received response.
struct Exchange {
    UniqueWinHttp session;
    UniqueWinHttp connection;
    UniqueWinHttp request;
    DWORD status = 0;

    Exchange(const std::wstring& url, const wchar_t* agent, DWORD accessType, DWORD extraFlags) {
        session.reset(WinHttpOpen(agent, accessType, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (!session)
            ThrowSystemError(L"Failed to open HTTP session", GetLastError());
        DWORD protocols = SecureProtocols();
        if (!WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols))
            ThrowSystemError(L"Failed to set secure protocols", GetLastError());
        UrlParts parts = SplitUrl(url);
        connection.reset(WinHttpConnect(session.get(), parts.host.c_str(), parts.port, 0));
        if (!connection)
            ThrowSystemError(L"Failed to connect", GetLastError());
        DWORD flags = extraFlags | (parts.secure ? WINHTTP_FLAG_SECURE : 0);
        request.reset(WinHttpOpenRequest(connection.get(), L"GET", parts.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!request)
            ThrowSystemError(L"Failed to open request", GetLastError());
        // The engine counts and follows redirects itself, so the library must hand them over.
        DWORD feature = WINHTTP_DISABLE_REDIRECTS;
        if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature))
            ThrowSystemError(L"Failed to turn off automatic redirects", GetLastError());
        if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
            ThrowSystemError(L"Failed to send request", GetLastError());
        if (!WinHttpReceiveResponse(request.get(), nullptr))
            ThrowSystemError(L"Failed to receive response", GetLastError());
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
            status = 0;
    }
};

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    size_t length = wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

// The URL a redirect response points to; a relative Location is resolved against the current URL.
std::wstring RedirectTarget(HINTERNET request, const std::wstring& current) {
    wchar_t location[kLocationBytes / sizeof(wchar_t)] = {};
    DWORD size = sizeof location;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        DWORD error = GetLastError();
        if (error == ERROR_INSUFFICIENT_BUFFER)
            throw DownloadError(L"Redirect location too long.");
        ThrowSystemError(L"Failed to read redirect location", error);
    }
    std::wstring target(location, size / sizeof(wchar_t));
    if (StartsWithNoCase(target, L"http://") || StartsWithNoCase(target, L"https://"))
        return target;
    std::wstring combined(kMaxUrlLength, L'\0');
    DWORD length = static_cast<DWORD>(combined.size());
    if (target.empty() || FAILED(UrlCombineW(current.c_str(), target.c_str(), combined.data(), &length, 0)))
        throw DownloadError(L"Invalid redirect location.");
    combined.resize(wcslen(combined.c_str()));
    return combined;
}

// Follows redirects (at most five per call, counted across attempts) until a final response arrives.
std::unique_ptr<Exchange> OpenFollowingRedirects(std::wstring& url, int& redirects, const wchar_t* agent,
                                                 DWORD accessType, DWORD extraFlags) {
    for (;;) {
        auto exchange = std::make_unique<Exchange>(url, agent, accessType, extraFlags);
        if (exchange->status < 300 || exchange->status > 399)
            return exchange;
        if (++redirects > kMaxRedirects)
            throw DownloadError(L"Too many redirects.");
        url = RedirectTarget(exchange->request.get(), url);
    }
}

std::wstring StatusFailure(DWORD status) {
    return L"Download failed: Server returned status code: " + std::to_wstring(static_cast<int>(status));
}

// Characters that would leave the folder, name a stream or a device, or cannot be in a file name.
std::wstring SafeFileName(std::wstring name) {
    for (auto& c : name)
        if (c < 0x20 || wcschr(L"\\/:*?\"<>|", c))
            c = L'_';
    if (name.find_first_not_of(L". ") == std::wstring::npos)
        name.clear();
    return name;
}

// Reads the response body chunk by chunk as the server makes it available, handing each to `sink`.
void ReadBody(HINTERNET request, const std::atomic<bool>& cancelled,
              const std::function<void(const char*, DWORD)>& sink) {
    std::vector<char> buffer;
    for (;;) {
        if (cancelled)
            throw DownloadError(L"Download cancelled.");
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available))
            ThrowSystemError(L"Failed to query data", GetLastError());
        if (available == 0)
            break;
        try {
            if (buffer.size() < static_cast<size_t>(available) + 1)
                buffer.resize(static_cast<size_t>(available) + 1);
        } catch (const std::bad_alloc&) {
            throw DownloadError(L"Out of memory.");
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.data(), available, &read))
            ThrowSystemError(L"Failed to read data", GetLastError());
        if (read == 0)
            break;
        sink(buffer.data(), read);
    }
}

}  // namespace

std::shared_ptr<DownloadManager> DownloadManager::GetInstance() {
    static std::once_flag once;
    static std::shared_ptr<DownloadManager> instance;
    std::call_once(once, [] { instance = std::make_shared<DownloadManager>(); });
    return instance;
}

std::wstring FileNameFromUrl(const std::wstring& url) {
    std::wstring address = url.substr(0, url.find_first_of(L"?#"));
    size_t slash = address.rfind(L'/');
    if (slash == std::wstring::npos)
        return {};
    return SafeFileName(address.substr(slash + 1));
}

std::wstring DownloadManager::MakeDownloadPath(const std::wstring& nameOrUrl, bool isUrl, bool useTempFolder) {
    auto config = ConfigurationManager::GetInstance();
    const std::wstring& folder = useTempFolder ? config->tempFolder : config->downloadFolder;
    if (folder.empty() || !PathIsDirectoryW(folder.c_str())) {
        MessageBoxW(nullptr, L"Invalid path", config->productTitle.c_str(), MB_OK);
        return {};
    }
    std::wstring name = isUrl ? FileNameFromUrl(nameOrUrl) : SafeFileName(nameOrUrl);
    wchar_t path[MAX_PATH] = {};
    if (folder.size() >= MAX_PATH)
        return {};
    wcscpy(path, folder.c_str());
    if (!PathAppendW(path, name.c_str()))
        return {};
    return path;
}

DownloadResult DownloadManager::DownloadFile(const std::wstring& url, HWND window, const std::wstring& fileName,
                                             bool useTempFolder) {
    try {
        DownloadResult result{false, std::wstring()};
        std::wstring path;
        try {
            path = MakeDownloadPath(fileName.empty() ? url : fileName, fileName.empty(), useTempFolder);
            DownloadFileWinHttp(url, window, path, result);
        } catch (const DownloadError& e) {
            result.second = L"[WINHTTP] " + e.Text();
        } catch (const std::exception& e) {
            result.second = L"[WINHTTP] " + AnsiToWide(e.what());
        }
        if (result.first)
            return result;

        // A download the user cancelled is not started again over the other transport.
        if (!cancelled) {
            Sleep(kFallbackPauseMs);
            if (!cancelled) {
                DownloadResult fallback = DownloadFileWinInet(url, window, fileName, useTempFolder);
                if (fallback.first) {
                    result.first = true;
                    return result;
                }
                result.second += fallback.second;
            }
        }
        if (!path.empty())
            DeleteFileW(path.c_str());
        return result;
    } catch (...) {
        return DownloadResult{false, std::wstring()};  // out of memory while building the text itself
    }
}

void DownloadManager::DownloadFileWinHttp(const std::wstring& url, HWND window, const std::wstring& path,
                                          DownloadResult& result) {
    DownloadTarget target(path);
    std::wstring current = url;
    int redirects = 0;
    DWORD accessType = IsWindows7() ? WINHTTP_ACCESS_TYPE_DEFAULT_PROXY : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY;
    auto exchange = OpenFollowingRedirects(current, redirects, nullptr, accessType, 0);
    if (exchange->status < 200 || exchange->status > 299)
        throw DownloadError(StatusFailure(exchange->status));
    HINTERNET request = exchange->request.get();

    DWORD length = 0;
    DWORD size = sizeof length;
    bool lengthKnown = WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                           WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX);
    if (!lengthKnown)
        PostToWindow(window, WM_DOWNLOAD_INDETERMINATE, 0);
    target.EnsureOpen();

    DownloadProgress progress(window, lengthKnown, length);
    ReadBody(request, cancelled, [&](const char* bytes, DWORD read) {
        target.Write(bytes, read);
        progress.Add(read);
    });
    target.Close();
    if (lengthKnown)
        target.CheckLength(length, L"Failed to open downloaded file.", false);

    lastDownloadedPath = path;
    progress.Finish();
    result.first = true;
}

void DownloadManager::DownloadToMemoryOnce(std::wstring& url, int& redirects, std::vector<unsigned char>& data) {
    auto exchange = OpenFollowingRedirects(url, redirects, kImageAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                           WINHTTP_FLAG_BYPASS_PROXY_CACHE);
    if (exchange->status < 200 || exchange->status > 399)
        throw DownloadError(StatusFailure(exchange->status));
    HINTERNET request = exchange->request.get();
    ReadBody(request, cancelled, [&](const char* bytes, DWORD read) {
        data.insert(data.end(), reinterpret_cast<const unsigned char*>(bytes),
                    reinterpret_cast<const unsigned char*>(bytes) + read);
    });
}

DownloadBuffer DownloadManager::DownloadToMemory(const std::wstring& url) {
    try {
        auto data = std::make_unique<std::vector<unsigned char>>();
        std::wstring current = url;  // a redirect's target is kept for the second attempt
        int redirects = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                DownloadToMemoryOnce(current, redirects, *data);
                return data;
            } catch (const std::exception&) {
                data->clear();
            }
        }
        return data;
    } catch (...) {
        return nullptr;  // not even an empty buffer could be made
    }
}

void DownloadManager::DownloadToMemoryAsync(const std::wstring& url, std::function<void(DownloadBuffer)> callback) {
    struct Record {
        std::shared_ptr<DownloadManager> engine;
        std::wstring url;
        std::function<void(DownloadBuffer)> callback;
    };
    std::shared_ptr<Record> record;
    try {
        record = std::make_shared<Record>(Record{weak_from_this().lock(), url, std::move(callback)});
        if (!record->engine)
            throw std::logic_error("the engine must be held by a shared pointer");
        std::thread([record] {
            try {
                DownloadBuffer data = record->engine->DownloadToMemory(record->url);
                if (record->engine->cancelled)
                    data.reset();
                if (record->callback)
                    record->callback(std::move(data));
            } catch (...) {
                // The callback's own failure must not end the process.
            }
        }).detach();
    } catch (...) {
        // No thread: the caller still learns that no image is coming.
        if (record && record->callback) {
            try {
                record->callback(nullptr);
            } catch (...) {
            }
        }
    }
}

std::wstring GetSystemErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    UniqueLocal owner(text);
    return length && text ? std::wstring(text, length) : std::wstring();
}

bool IsWindowsVersionAtLeast(WORD major, WORD minor, WORD servicePackMajor) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = servicePackMajor;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}
