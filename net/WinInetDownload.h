// The fallback transport's file download, apart from DownloadManager: WinINet's header clashes with
// WinHTTP's, so no file includes both.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

// Downloads `url` into `path` with the same progress messages as the WinHTTP transport; stops when
// `cancelled` is set. Throws HttpError.
void DownloadOverWinInet(const std::wstring& url, HWND window, const std::wstring& path,
                         const std::atomic<bool>& cancelled);
