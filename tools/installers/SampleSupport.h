// What the sample installers share: their switches, their exit code and the log a test reads.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "win32/Handle.h"

namespace sample {

inline std::vector<std::wstring> Arguments() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
    std::vector<std::wstring> arguments;
    for (int i = 1; argv && i < count; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

inline bool HasSwitch(const std::vector<std::wstring>& arguments, const wchar_t* name) {
    for (const auto& argument : arguments)
        if (CompareStringOrdinal(argument.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

inline std::wstring Environment(const wchar_t* name) {
    wchar_t value[512];
    DWORD length = GetEnvironmentVariableW(name, value, 512);
    return length > 0 && length < 512 ? std::wstring(value, length) : std::wstring();
}

// "/NAME=value" from the command line, else the environment variable, else the fallback.
inline unsigned long NumberSetting(const std::vector<std::wstring>& arguments, const std::wstring& name,
                                   const wchar_t* variable, unsigned long fallback) {
    std::wstring prefix = L"/" + name + L"=";
    for (const auto& argument : arguments)
        if (argument.size() > prefix.size() &&
            CompareStringOrdinal(argument.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                 static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL)
            return std::wcstoul(argument.c_str() + prefix.size(), nullptr, 10);
    std::wstring value = Environment(variable);
    return value.empty() ? fallback : std::wcstoul(value.c_str(), nullptr, 10);
}

inline std::string ToUtf8(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string result(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                            nullptr);
    return result;
}

// Appends one UTF-8 line. Several installers may write at once: a named mutex keeps one writer at a
// time, and the whole line goes in one WriteFile, so a reader sees complete lines or a cut last one.
inline void AppendLine(const std::wstring& path, const std::wstring& line) {
    UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\fennix-sample-log"));
    const bool locked = mutex && WaitForSingleObject(mutex.get(), 10000) != WAIT_TIMEOUT;
    {
        UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            std::string bytes = ToUtf8(line) + "\n";
            DWORD written = 0;
            WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
    }
    if (locked)
        ReleaseMutex(mutex.get());
}

inline std::wstring ModuleFileName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

inline std::wstring FileNameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// FENNIX_SAMPLE_LOG, else fennix-installer-log.txt in the temporary folder.
inline std::wstring LogPath() {
    std::wstring path = Environment(L"FENNIX_SAMPLE_LOG");
    if (!path.empty())
        return path;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"fennix-installer-log.txt";
}

// "<program file name><TAB><the command line exactly as received>"; with FENNIX_SAMPLE_CWD_LOG also
// "<program file name><TAB><current directory>" into that file.
inline void LogCommandLine() {
    const std::wstring program = FileNameOf(ModuleFileName());
    AppendLine(LogPath(), program + L"\t" + GetCommandLineW());
    const std::wstring cwdLog = Environment(L"FENNIX_SAMPLE_CWD_LOG");
    wchar_t folder[MAX_PATH] = {};
    if (!cwdLog.empty() && GetCurrentDirectoryW(MAX_PATH, folder) > 0)
        AppendLine(cwdLog, program + L"\t" + folder);
}

}  // namespace sample
