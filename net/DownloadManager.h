// The process's one HTTP(S) downloader: files with progress and a WinINet fallback, images into memory.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "win32/WindowsVersion.h"

// Success flag and error text; on success the text may still hold the failed WinHTTP attempt's error.
using DownloadResult = std::pair<bool, std::wstring>;
using DownloadBuffer = std::unique_ptr<std::vector<unsigned char>>;

class DownloadManager : public std::enable_shared_from_this<DownloadManager> {
public:
    static std::shared_ptr<DownloadManager> GetInstance();

    // GetInstance makes the process's engine; tests make their own (held by a shared pointer).
    DownloadManager() = default;
    DownloadManager(const DownloadManager&) = delete;
    DownloadManager& operator=(const DownloadManager&) = delete;

    // Blocking; progress is posted to `window` (WM_DOWNLOAD_PROGRESS, WM_DOWNLOAD_INDETERMINATE). The file
    // goes into `folder` under `fileName` ("" takes the URL's last segment), replacing a file of that name.
    DownloadResult DownloadFile(const std::wstring& url, HWND window, const std::wstring& fileName,
                                const std::wstring& folder);
    // WinHTTP only, two attempts; an empty buffer when both fail.
    DownloadBuffer DownloadToMemory(const std::wstring& url);
    // Runs DownloadToMemory on one of at most six workers and calls back there; no buffer once cancelled.
    // Image requests share one kept-alive session.
    void DownloadToMemoryAsync(const std::wstring& url, std::function<void(DownloadBuffer)> callback);

    // The target path in the folder; "" (after telling the user) when the folder is missing.
    static std::wstring MakeDownloadPath(const std::wstring& nameOrUrl, bool isUrl, const std::wstring& folder);

    std::atomic<bool> cancelled{false};  // set once by the wizard when the user closes it
    std::wstring lastDownloadedPath;

private:
    DownloadResult DownloadFileWinInet(const std::wstring& url, HWND window, const std::wstring& path);
    void DownloadFileWinHttp(const std::wstring& url, HWND window, const std::wstring& path, DownloadResult& result);
    void DownloadToMemoryOnce(std::wstring& url, int& redirects, std::vector<unsigned char>& data);
};

// The last path segment of a URL, without query or fragment, made safe as a single file name.
std::wstring FileNameFromUrl(const std::wstring& url);
