// The fallback file download; the transport itself is net/WinInetClient (its header clashes with WinHTTP's).
#include "app/base/Strings.h"
#include "app/base/SystemError.h"
#include "app/base/WizardMessages.h"
#include "net/DownloadManager.h"
#include "net/DownloadSupport.h"
#include "net/WinInetClient.h"

namespace {

void DownloadOverWinInet(DownloadManager& engine, const std::wstring& url, HWND window, const std::wstring& path,
                         DownloadResult& result) {
    DownloadTarget target(path);
    UniqueWinInet internet = OpenInternet();
    WinInetResponse response = OpenUrlFollowingRedirects(internet.get(), url);
    HINTERNET request = response.request.get();

    DWORD status = WinInetStatus(request);
    if (status != 200) {
        DWORD error = GetLastError();
        throw HttpError(L"Server returned status code: HTTP " + std::to_wstring(static_cast<int>(status)) + L" - " +
                        SystemErrorText(error));
    }

    DWORD length = 0;
    bool lengthKnown = WinInetContentLength(request, length);
    if (!lengthKnown)
        PostToWindow(window, WM_DOWNLOAD_INDETERMINATE, 0);
    target.EnsureOpen();

    DownloadProgress progress(window, lengthKnown, length);
    ReadWinInetBody(
        request,
        [&](const char* bytes, DWORD read) {
            target.Write(bytes, read);
            progress.Add(read);
        },
        &engine.cancelled);
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
        } catch (const HttpError& e) {
            result.second = L" [WININET] " + e.Text();
        } catch (const std::exception& e) {
            result.second = L" [WININET] " + AnsiToWide(e.what());
        }
        return result;
    } catch (...) {
        return DownloadResult{false, std::wstring()};
    }
}
