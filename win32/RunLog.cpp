#include "win32/RunLog.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "win32/Handle.h"
#include "win32/Strings.h"

namespace {

// Lines logged before the file is open (start-up) wait here, up to a bound.
constexpr size_t kMaxEarlyLines = 64;
constexpr char kStopped[] = "log stopped: it reached its size limit\r\n";

struct Log {
    std::mutex mutex;
    UniqueFile file;
    std::wstring path;
    std::vector<std::string> early;
    std::vector<std::string> secrets;
    unsigned long written = 0;
    bool full = false;
};

Log& TheLog() {
    static Log* log = new Log;  // never destroyed: report and installer threads may log until the end
    return *log;
}

std::string Timestamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

void Hide(std::string& line, const std::vector<std::string>& secrets) {
    for (const auto& secret : secrets)
        for (size_t at = line.find(secret); at != std::string::npos; at = line.find(secret, at))
            line.replace(at, secret.size(), "[hidden]");
}

// Caller holds the lock.
void Write(Log& log, std::string line) {
    if (log.full)
        return;
    Hide(line, log.secrets);
    DWORD done = 0;
    if (log.written + line.size() + sizeof kStopped > kMaxRunLogBytes) {
        log.full = true;
        WriteFile(log.file.get(), kStopped, sizeof kStopped - 1, &done, nullptr);
        return;
    }
    if (WriteFile(log.file.get(), line.data(), static_cast<DWORD>(line.size()), &done, nullptr))
        log.written += done;
}

std::wstring ProgramName() {
    wchar_t module[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring name(module, length < MAX_PATH ? length : 0);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    return name.empty() ? L"setup" : name;
}

// A new file: in a folder the user can write, a name made in advance may be a planted link.
UniqueFile CreateNewLog(const std::wstring& folder, std::wstring& path) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    base += ProgramName() + L"-" + stamp;
    for (int n = 0; n < 10; ++n) {
        path = base + (n ? L"-" + std::to_wstring(n) : std::wstring()) + L".log";
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return UniqueFile();
}

}  // namespace

void OpenRunLog(const std::wstring& path, const std::wstring& folder) {
    try {
        Log& log = TheLog();
        std::lock_guard<std::mutex> lock(log.mutex);
        if (log.file)
            return;
        std::wstring chosen = path;
        if (path.empty())
            log.file = CreateNewLog(folder, chosen);
        else
            log.file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!log.file)
            return;
        log.path = chosen;
        for (const auto& line : log.early)
            Write(log, line);
        log.early.clear();
    } catch (...) {
        // no log, no harm
    }
}

void HideInRunLog(const std::string& secret) {
    if (secret.empty())
        return;
    try {
        Log& log = TheLog();
        std::lock_guard<std::mutex> lock(log.mutex);
        log.secrets.push_back(secret);
    } catch (...) {
    }
}

void LogLine(const std::string& utf8) {
    try {
        Log& log = TheLog();
        std::string line = Timestamp() + utf8;
        line += "\r\n";
        std::lock_guard<std::mutex> lock(log.mutex);
        if (log.file)
            Write(log, line);
        else if (log.early.size() < kMaxEarlyLines)
            log.early.push_back(std::move(line));
    } catch (...) {
    }
}

void LogLine(const std::wstring& text) {
    try {
        LogLine(WideToUtf8(text));
    } catch (...) {
    }
}

std::wstring RunLogPath() {
    try {
        Log& log = TheLog();
        std::lock_guard<std::mutex> lock(log.mutex);
        return log.file ? log.path : std::wstring();
    } catch (...) {
        return {};
    }
}
