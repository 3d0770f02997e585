// The fallback transport of DownloadManager: WinINet follows redirects and reads in fixed chunks.
#include <vector>

#include "app/base/Strings.h"
#include "app/base/WizardMessages.h"
#include "net/DownloadManager.h"
#include "net/DownloadSupport.h"
#include "net/WinInetHandle.h"

namespace {

constexpr DWORD kChunkBytes = 4096;

void DownloadOverWinInet(DownloadManager& engine, const std::wstring& url, HWND window, const std::wstring& path,
                         DownloadResult& result) {
    DownloadTarget target(path);
    UniqueWinInet internet(InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet)
        ThrowSystemError(L"Failed to initialize WinINet:", GetLastError());
    UniqueWinInet request(InternetOpenUrlW(internet.get(), url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    if (!request)
        ThrowSystemError(L"Failed to open URL:", GetLastError());

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        ThrowSystemError(L"Failed to query HTTP status code", GetLastError());
    if (status != 200) {
        DWORD error = GetLastError();
        throw DownloadError(L"Server returned status code: HTTP " + std::to_wstring(static_cast<int>(status)) + L" - " +
                            GetSystemErrorText(error));
    }

    DWORD length = 0;
    size = sizeof length;
    bool lengthKnown =
        HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr);
    if (!lengthKnown)
        PostToWindow(window, WM_DOWNLOAD_INDETERMINATE, 0);
    target.EnsureOpen();

    DownloadProgress progress(window, lengthKnown, length);
    std::vector<char> buffer(kChunkBytes);
    for (;;) {
        // Unlike WinHTTP, WinINet has no way to stop a transfer early, so the flag is checked per chunk here too.
        if (engine.cancelled)
            throw DownloadError(L"Download cancelled.");
        DWORD read = 0;
        if (!InternetReadFile(request.get(), buffer.data(), kChunkBytes, &read) || read == 0)
            break;
        target.Write(buffer.data(), read);
        progress.Add(read);
    }
    target.Close();
    if (lengthKnown)
        target.CheckLength(length, L"Failed to open downloaded file", true);

    engine.lastDownloadedPath = path;
    progress.Finish();
    result.first = true;
}

}  // namespace

DownloadResult DownloadManager::DownloadFileWinInet(const std::wstring& url, HWND window, const std::wstring& fileName,
                                                    bool useTempFolder) {
    try {
        DownloadResult result{false, std::wstring()};
        try {
            std::wstring path = MakeDownloadPath(fileName.empty() ? url : fileName, fileName.empty(), useTempFolder);
            DownloadOverWinInet(*this, url, window, path, result);
        } catch (const DownloadError& e) {
            result.second = L" [WININET] " + e.Text();
        } catch (const std::exception& e) {
            result.second = L" [WININET] " + AnsiToWide(e.what());
        }
        return result;
    } catch (...) {
        return DownloadResult{false, std::wstring()};
    }
}
