// The fallback file download; the transport itself is net/WinInetClient (its header clashes with WinHTTP's).
#include "net/WinInetDownload.h"

#include <memory>

#include "net/DownloadSupport.h"
#include "net/WinInetClient.h"
#include "win32/SystemError.h"

void DownloadOverWinInet(const std::wstring& url, HWND window, const std::wstring& path,
                         const std::atomic<bool>& cancelled) {
    DownloadTarget target(path);
    UniqueWinInet internet = OpenInternet();
    std::wstring current = url;
    auto open = [&](const std::wstring& headers) {
        if (cancelled)
            throw HttpError(L"Download cancelled.");
        // Each request of this transport has its own redirect count: WinINet once counted them itself.
        auto response = std::make_shared<WinInetResponse>(OpenUrlFollowingRedirects(internet.get(), current, headers));
        HINTERNET request = response->request.get();
        BodyResponse body;
        body.status = WinInetStatus(request);
        const DWORD statusError = GetLastError();  // the failure text of a refused status names it
        DWORD length = 0;
        if (WinInetContentLength(request, length))
            body.length = length;
        body.etag = WinInetHeader(request, HTTP_QUERY_ETAG);
        body.lastModified = WinInetHeader(request, HTTP_QUERY_LAST_MODIFIED);
        body.contentRange = WinInetHeader(request, HTTP_QUERY_CONTENT_RANGE);
        body.read = [response, &cancelled](const BodySink& sink) {
            ReadWinInetBody(response->request.get(), sink, &cancelled);
        };
        SetLastError(statusError);
        return body;
    };
    BodyResponse first = open(L"");
    if (first.status != 200) {
        DWORD error = GetLastError();
        throw HttpError(L"Server returned status code: HTTP " + std::to_wstring(static_cast<int>(first.status)) + L" - " +
                        SystemErrorText(error));
    }
    DownloadProgress progress = target.Receive(window, std::move(first), open, L"Failed to open downloaded file", true);
    progress.Finish();
}
