// Pieces both download transports share: the progress rule and the target file.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "win32/Handle.h"

// Posts the throttled percentages: only changes of more than one point, nothing while the length is unknown.
class DownloadProgress {
public:
    DownloadProgress(HWND window, bool lengthKnown, std::uint32_t length)
        : window_(window), lengthKnown_(lengthKnown), length_(length) {}
    void Add(std::uint64_t bytes);
    void Finish();  // the closing 100, when a length above zero was announced

private:
    HWND window_;
    bool lengthKnown_;
    std::uint32_t length_;
    double fraction_ = 0;
    double reported_ = 0;
};

void PostToWindow(HWND window, UINT message, WPARAM wParam);

// A transport's body loop: it hands every chunk to the sink.
using BodySink = std::function<void(const char*, DWORD)>;
using BodyReader = std::function<void(const BodySink&)>;

// The output file of a download, opened before the request and checked only once the server answered.
class DownloadTarget {
public:
    explicit DownloadTarget(const std::wstring& path);
    void EnsureOpen() const;  // throws HttpError "Failed to open file for writing: …"
    void Write(const void* data, DWORD size);
    void Close() { file_.reset(); }
    // The finished file's size against the announced length; `reopenFailure` is the transport's own text.
    void CheckLength(std::uint32_t length, const std::wstring& reopenFailure, bool withSystemError) const;
    // The body into the file: an indeterminate bar when no length came, every chunk written and counted,
    // the file closed and checked against the announced length. The caller posts the closing 100.
    DownloadProgress Receive(HWND window, bool lengthKnown, std::uint32_t length, const BodyReader& readBody,
                             const std::wstring& reopenFailure, bool withSystemError);
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    UniqueFile file_;
    DWORD openError_ = 0;
};
