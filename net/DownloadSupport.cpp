#include "net/DownloadSupport.h"

#include "net/HttpError.h"
#include "win32/SystemError.h"
#include "win32/WizardMessages.h"

void PostToWindow(HWND window, UINT message, WPARAM wParam) {
    // A null window would turn the post into a thread message for whichever thread downloads.
    if (window)
        PostMessageW(window, message, wParam, 0);
}

void DownloadProgress::Add(std::uint64_t bytes) {
    if (!lengthKnown_ || length_ == 0)
        return;
    fraction_ += static_cast<double>(bytes) / static_cast<double>(length_);
    if (fraction_ - reported_ > 0.01) {
        PostToWindow(window_, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(fraction_ * 100));
        reported_ = fraction_;
    }
}

void DownloadProgress::Finish() {
    if (lengthKnown_ && length_ > 0)
        PostToWindow(window_, WM_DOWNLOAD_PROGRESS, 100);
}

DownloadTarget::DownloadTarget(const std::wstring& path) : path_(path) {
    // Always a new file, written by nobody else and never through a link planted under its name.
    file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file_)
        openError_ = GetLastError();  // reported only once the server has answered
}

void DownloadTarget::EnsureOpen() const {
    if (!file_)
        ThrowSystemError<HttpError>(L"Failed to open file for writing", openError_);
}

void DownloadTarget::Write(const void* data, DWORD size) {
    DWORD written = 0;
    if (size != 0 && (!WriteFile(file_.get(), data, size, &written, nullptr) || written != size))
        ThrowSystemError<HttpError>(L"Failed to write file", GetLastError());
}

void DownloadTarget::CheckLength(std::uint32_t length, const std::wstring& reopenFailure, bool withSystemError) const {
    UniqueFile file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        if (withSystemError)
            ThrowSystemError<HttpError>(reopenFailure.c_str(), GetLastError());
        throw HttpError(reopenFailure);
    }
    if (static_cast<unsigned long long>(size.QuadPart) != length)
        throw HttpError(L"Download was incomplete: content length: " + std::to_wstring(length) +
                            L", downloaded: " + std::to_wstring(size.QuadPart));
}

DownloadProgress DownloadTarget::Receive(HWND window, bool lengthKnown, std::uint32_t length, const BodyReader& readBody,
                                         const std::wstring& reopenFailure, bool withSystemError) {
    if (!lengthKnown)
        PostToWindow(window, WM_DOWNLOAD_INDETERMINATE, 0);
    EnsureOpen();
    DownloadProgress progress(window, lengthKnown, length);
    readBody([&](const char* bytes, DWORD read) {
        Write(bytes, read);
        progress.Add(read);
    });
    Close();
    if (lengthKnown)
        CheckLength(length, reopenFailure, withSystemError);
    return progress;
}
