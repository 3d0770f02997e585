#include "net/DownloadManager.h"

#include <shlwapi.h>

#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "config/BuildConfig.h"
#include "config/ConfigurationManager.h"
#include "net/DownloadSupport.h"
#include "net/HttpClient.h"
#include "net/NetLimits.h"
#include "net/WinInetDownload.h"
#include "win32/Strings.h"
#include "win32/WizardMessages.h"

namespace {

const DWORD kFallbackPauseMs = build::ScaledPause(2000);
constexpr wchar_t kImageAgent[] = L"A WinHTTP Example Program/1.0";

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

std::wstring DownloadManager::MakeDownloadPath(const std::wstring& nameOrUrl, bool isUrl, const std::wstring& folder) {
    if (folder.empty() || !PathIsDirectoryW(folder.c_str())) {
        MessageBoxW(nullptr, L"Invalid path", ConfigurationManager::GetInstance()->productTitle.c_str(), MB_OK);
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
                                             const std::wstring& folder) {
    try {
        DownloadResult result{false, std::wstring()};
        std::wstring path;
        try {
            path = MakeDownloadPath(fileName.empty() ? url : fileName, fileName.empty(), folder);
            // The target is always made new (DownloadTarget); a link of that name goes, not its target.
            if (!path.empty())
                DeleteFileW(path.c_str());
            DownloadFileWinHttp(url, window, path, result);
        } catch (const HttpError& e) {
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
                if (!path.empty())
                    DeleteFileW(path.c_str());  // what the first attempt wrote
                DownloadResult fallback = DownloadFileWinInet(url, window, path);
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

DownloadResult DownloadManager::DownloadFileWinInet(const std::wstring& url, HWND window, const std::wstring& path) {
    DownloadResult result{false, std::wstring()};
    try {
        DownloadOverWinInet(url, window, path, cancelled);
        lastDownloadedPath = path;
        result.first = true;
    } catch (const HttpError& e) {
        result.second = L" [WININET] " + e.Text();
    } catch (const std::exception& e) {
        result.second = L" [WININET] " + AnsiToWide(e.what());
    }
    return result;
}

void DownloadManager::DownloadFileWinHttp(const std::wstring& url, HWND window, const std::wstring& path,
                                          DownloadResult& result) {
    DownloadTarget target(path);
    std::wstring current = url;  // a resumed request goes where the redirects led, under the same rule
    int redirects = 0;
    std::vector<char> buffer(kFileChunkBytes);
    auto open = [&](const std::wstring& headers) {
        if (cancelled)
            throw HttpError(L"Download cancelled.");
        std::shared_ptr<HttpExchange> exchange = OpenFollowingRedirects(current, redirects, HttpOptions{}, headers);
        BodyResponse response;
        response.status = exchange->Status();
        DWORD length = 0;
        if (exchange->ContentLength(length))
            response.length = length;
        response.etag = exchange->Header(WINHTTP_QUERY_ETAG);
        response.lastModified = exchange->Header(WINHTTP_QUERY_LAST_MODIFIED);
        response.contentRange = exchange->Header(WINHTTP_QUERY_CONTENT_RANGE);
        response.read = [this, exchange, &buffer](const BodySink& sink) {
            exchange->ReadBodyInto(buffer.data(), static_cast<DWORD>(buffer.size()), sink, &cancelled);
        };
        return response;
    };
    BodyResponse first = open(L"");
    if (first.status < 200 || first.status > 299)
        throw HttpError(StatusFailure(first.status));
    DownloadProgress progress =
        target.Receive(window, std::move(first), open, L"Failed to open downloaded file.", false);
    lastDownloadedPath = path;
    progress.Finish();
    result.first = true;
}

namespace {

// At most this many image requests at once, over as many kept-alive connections.
constexpr int kMaxImageConnections = 6;

HttpOptions ImageOptions() {
    HttpOptions options;
    options.agent = kImageAgent;
    options.proxy = ProxyRule::Default;
    options.requestFlags = WINHTTP_FLAG_BYPASS_PROXY_CACHE;
    return options;
}

// The one session all image downloads share, so that their connections (and TLS handshakes) are reused.
// Made on first use, again after a failed attempt; never closed: a worker may still use it at exit.
HINTERNET ImageSession() {
    static std::mutex mutex;
    static HINTERNET session = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    if (!session) {
        UniqueWinHttp made = OpenHttpSession(ImageOptions(), CurrentNetLimits());
        DWORD connections = kMaxImageConnections;
        WinHttpSetOption(made.get(), WINHTTP_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
        WinHttpSetOption(made.get(), WINHTTP_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections, sizeof connections);
        session = made.release();
    }
    return session;
}

}  // namespace

void DownloadManager::DownloadToMemoryOnce(std::wstring& url, int& redirects, std::vector<unsigned char>& data) {
    HttpOptions options = ImageOptions();
    options.session = ImageSession();
    auto exchange = OpenFollowingRedirects(url, redirects, options);
    if (exchange->Status() < 200 || exchange->Status() > 399)
        throw HttpError(StatusFailure(exchange->Status()));
    exchange->ReadBody(
        [&](const char* bytes, DWORD read) {
            data.insert(data.end(), reinterpret_cast<const unsigned char*>(bytes),
                        reinterpret_cast<const unsigned char*>(bytes) + read);
        },
        &cancelled);
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

namespace {

// At most six image downloads at once, one per connection of the image session, on workers that end
// when nothing is left to do.
class ImageWorkers {
public:
    static constexpr int kMaxWorkers = kMaxImageConnections;

    void Post(std::function<void()> job) {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
        if (workers_ < kMaxWorkers) {
            std::thread([this] { Serve(); }).detach();
            ++workers_;
        }
    }

private:
    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!jobs_.empty()) {
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();  // never throws: the job catches its own failures
            job = nullptr;
            lock.lock();
        }
        --workers_;
    }

    std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    int workers_ = 0;
};

// Never destroyed: a worker may still run when the process ends.
ImageWorkers& TheImageWorkers() {
    static ImageWorkers* workers = new ImageWorkers;
    return *workers;
}

}  // namespace

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
        TheImageWorkers().Post([record] {
            try {
                DownloadBuffer data = record->engine->DownloadToMemory(record->url);
                if (record->engine->cancelled)
                    data.reset();
                if (record->callback)
                    record->callback(std::move(data));
            } catch (...) {
                // The callback's own failure must not end the process.
            }
        });
    } catch (...) {
        // No worker: the caller still learns that no image is coming.
        if (record && record->callback) {
            try {
                record->callback(nullptr);
            } catch (...) {
            }
        }
    }
}
