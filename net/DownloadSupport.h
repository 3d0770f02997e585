// Pieces both download transports share: the progress rule and the target file.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/HttpError.h"
#include "win32/Handle.h"

// Posts the throttled percentages: only changes of more than one point, nothing while the length is unknown.
class DownloadProgress {
public:
    DownloadProgress(HWND window, bool lengthKnown, std::uint32_t length)
        : window_(window), lengthKnown_(lengthKnown), length_(length) {}
    void Add(std::uint64_t bytes);
    void Finish();  // the closing 100, when a length above zero was announced
    // The file starts over: counting begins again, but the bar does not move back; it waits until the
    // new count passes what it shows.
    void Restart() { fraction_ = 0; }

private:
    HWND window_;
    bool lengthKnown_;
    std::uint32_t length_;
    double fraction_ = 0;
    double reported_ = 0;
    ULONGLONG reportedAt_ = 0;
};

// The longest ETag, Last-Modified or Content-Range value either transport reads; a longer one counts as absent.
constexpr DWORD kValidatorChars = 256;
// Requests for the rest of a body after its connection broke, per download.
constexpr int kMaxResumes = 3;

void PostToWindow(HWND window, UINT message, WPARAM wParam);

// A transport's body loop: it hands every chunk to the sink.
using BodySink = std::function<void(const char*, DWORD)>;
using BodyReader = std::function<void(const BodySink&)>;

// What a download needs of one response; `read` reads its body into the sink.
struct BodyResponse {
    DWORD status = 0;
    std::optional<std::uint32_t> length;  // Content-Length
    std::wstring etag, lastModified, contentRange;
    std::function<void(const BodySink&)> read;
};
// Sends the download's request again with extra header lines ("" for none) and returns its response.
using ResponseOpener = std::function<BodyResponse(const std::wstring& headers)>;

// Whether a body read failed because the connection broke (not a silence, a cancel or a disk error).
bool IsBrokenConnection(const HttpError& error);
// "Range: bytes=N-", with If-Range naming the ETag, else the Last-Modified date, when the first response had
// one that can go back on the wire unchanged.
std::wstring RangeHeaders(std::uint64_t offset, const std::wstring& etag, const std::wstring& lastModified);
// Whether a Content-Range value ("bytes A-B/T") is the rest of the body from `offset`: A == offset,
// B == T - 1, and T the announced total when there was one.
bool RangeContinues(const std::wstring& contentRange, std::uint64_t offset, std::optional<std::uint64_t> total);

// The output file of a download, opened before the request and checked only once the server answered.
class DownloadTarget {
public:
    explicit DownloadTarget(const std::wstring& path);
    void EnsureOpen() const;  // throws HttpError "Failed to open file for writing: …"
    void Write(const void* data, DWORD size);
    void Truncate();  // back to an empty file, for a download that starts over
    void Close() { file_.reset(); }
    // The finished file's size against the announced length; `reopenFailure` is the transport's own text.
    void CheckLength(std::uint64_t length, const std::wstring& reopenFailure, bool withSystemError) const;
    // The body of `first` (a success the caller accepted) into the file: an indeterminate bar when no length
    // came, every chunk written and counted. When the connection breaks after bytes arrived, or the body
    // ends short of its length, the rest is asked for through `reopen` with a Range request, at most
    // kMaxResumes times; a 200 or a 206 that is not the rest starts the file over. Then the file is closed
    // and checked against the length. The caller posts the closing 100.
    DownloadProgress Receive(HWND window, BodyResponse first, const ResponseOpener& reopen,
                             const std::wstring& reopenFailure, bool withSystemError);
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    UniqueFile file_;
    DWORD openError_ = 0;
    std::uint64_t written_ = 0;
};
