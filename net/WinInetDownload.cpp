// The fallback file download; the transport itself is net/WinInetClient (its header clashes with WinHTTP's).
#include "net/WinInetDownload.h"

#include "net/DownloadSupport.h"
#include "net/WinInetClient.h"
#include "win32/SystemError.h"

void DownloadOverWinInet(const std::wstring& url, HWND window, const std::wstring& path,
                         const std::atomic<bool>& cancelled) {
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
    const bool lengthKnown = WinInetContentLength(request, length);
    DownloadProgress progress = target.Receive(
        window, lengthKnown, length, [&](const BodySink& sink) { ReadWinInetBody(request, sink, &cancelled); },
        L"Failed to open downloaded file", true);
    progress.Finish();
}
