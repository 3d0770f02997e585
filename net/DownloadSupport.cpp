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
    // At most about 30 posts a second: a fast download would otherwise flood the page with repaints.
    constexpr ULONGLONG kMinPostMs = 33;
    if (!lengthKnown_ || length_ == 0)
        return;
    fraction_ += static_cast<double>(bytes) / static_cast<double>(length_);
    if (fraction_ - reported_ > 0.01) {
        const ULONGLONG now = GetTickCount64();
        if (reportedAt_ != 0 && now - reportedAt_ < kMinPostMs)
            return;
        PostToWindow(window_, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(fraction_ * 100));
        reported_ = fraction_;
        reportedAt_ = now;
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
    written_ += size;
}

void DownloadTarget::Truncate() {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get()))
        ThrowSystemError<HttpError>(L"Failed to write file", GetLastError());
    written_ = 0;
}

void DownloadTarget::CheckLength(std::uint64_t length, const std::wstring& reopenFailure, bool withSystemError) const {
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

DownloadProgress DownloadTarget::Receive(HWND window, BodyResponse first, const ResponseOpener& reopen,
                                         const std::wstring& reopenFailure, bool withSystemError) {
    if (!first.length)
        PostToWindow(window, WM_DOWNLOAD_INDETERMINATE, 0);
    EnsureOpen();
    DownloadProgress progress(window, first.length.has_value(), first.length.value_or(0));
    const auto sink = [&](const char* bytes, DWORD read) {
        Write(bytes, read);
        progress.Add(read);
    };
    std::optional<std::uint64_t> total = first.length;
    std::wstring etag = first.etag, lastModified = first.lastModified;
    BodyResponse current = std::move(first);
    for (int resumes = 0;; ++resumes) {
        const std::uint64_t before = written_;
        std::optional<HttpError> broken;
        try {
            current.read(sink);
        } catch (const HttpError& e) {
            if (!IsBrokenConnection(e))
                throw;
            broken = e;
        }
        if (!broken && (!total || written_ >= *total))
            break;
        if (written_ == before || resumes == kMaxResumes) {
            if (broken)
                throw *broken;
            break;  // the length check below names what is missing
        }
        current = reopen(RangeHeaders(written_, etag, lastModified));
        if (current.status == 206 && RangeContinues(current.contentRange, written_, total)) {
            if (!total)
                total = written_ + current.length.value_or(0);
            continue;
        }
        if (current.status != 200 && current.status != 206)
            throw HttpError(L"Download failed: Server returned status code: " +
                            std::to_wstring(static_cast<int>(current.status)));
        // The server ignored the range, or sent some other part: the file starts over.
        Truncate();
        progress.Restart();
        if (current.status == 206) {
            if (resumes + 1 == kMaxResumes)
                throw HttpError(L"Download was incomplete: the server sent a part that does not continue the file.");
            ++resumes;
            current = reopen(L"");
            if (current.status != 200)
                throw HttpError(L"Download failed: Server returned status code: " +
                                std::to_wstring(static_cast<int>(current.status)));
        }
        total = current.length;
        etag = current.etag;
        lastModified = current.lastModified;
    }
    Close();
    if (total)
        CheckLength(*total, reopenFailure, withSystemError);
    return progress;
}

bool IsBrokenConnection(const HttpError& error) {
    constexpr DWORD kTimedOut = 12002;  // ERROR_WINHTTP_TIMEOUT, ERROR_INTERNET_TIMEOUT: a silence, not a break
    const bool reading = error.FailedStep() == HttpError::Step::QueryData || error.FailedStep() == HttpError::Step::ReadData;
    return reading && error.Code() != 0 && error.Code() != kTimedOut;
}

namespace {

// Header values from the server go back on the wire only when they cannot end the line or add one.
bool Sendable(const std::wstring& value) {
    if (value.empty() || value.size() > kValidatorChars)
        return false;
    for (wchar_t c : value)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

// Reads the decimal number at `text[at]` up to `end`; false for no digits or one too large.
bool ReadNumber(const std::wstring& text, size_t& at, std::uint64_t& value) {
    const size_t start = at;
    value = 0;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
        if (at - start >= 18)
            return false;
        value = value * 10 + static_cast<std::uint64_t>(text[at] - L'0');
        ++at;
    }
    return at > start;
}

}  // namespace

std::wstring RangeHeaders(std::uint64_t offset, const std::wstring& etag, const std::wstring& lastModified) {
    std::wstring headers = L"Range: bytes=" + std::to_wstring(offset) + L"-";
    // A weak tag never matches in If-Range, so it would always fetch the whole body again.
    if (Sendable(etag) && etag.compare(0, 2, L"W/") != 0)
        headers += L"\r\nIf-Range: " + etag;
    else if (Sendable(lastModified))
        headers += L"\r\nIf-Range: " + lastModified;
    return headers;
}

bool RangeContinues(const std::wstring& contentRange, std::uint64_t offset, std::optional<std::uint64_t> total) {
    const std::wstring unit = L"bytes ";
    if (contentRange.size() <= unit.size() || _wcsnicmp(contentRange.c_str(), unit.c_str(), unit.size()) != 0)
        return false;
    size_t at = unit.size();
    std::uint64_t first = 0, last = 0, size = 0;
    if (!ReadNumber(contentRange, at, first) || at >= contentRange.size() || contentRange[at++] != L'-' ||
        !ReadNumber(contentRange, at, last) || at >= contentRange.size() || contentRange[at++] != L'/' ||
        !ReadNumber(contentRange, at, size) || at != contentRange.size())
        return false;
    return first == offset && last + 1 == size && first <= last && (!total || size == *total) &&
           size <= 0xFFFFFFFFull;  // lengths are 32-bit on both transports
}
