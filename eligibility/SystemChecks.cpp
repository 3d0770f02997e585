#include "eligibility/SystemChecks.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>

#include "win32/DeviceNames.h"
#include "win32/Handle.h"
#include "win32/KnownFolder.h"
#include "win32/ProgramView.h"
#include "win32/Strings.h"

bool EnoughDiskSpace(uint64_t freeBytes, uint64_t minDiskMb) { return (freeBytes >> 20) >= minDiskMb; }

bool EnoughCpu(uint32_t mhz, uint64_t minCpuMhz) {
    return (minCpuMhz >> 32) == 0 && mhz >= static_cast<uint32_t>(minCpuMhz);
}

RuleResult MachineFacts::CheckDiskSpace(uint64_t minDiskMb) {
    if (minDiskMb == 0)
        return std::nullopt;
    if (!freeDiskMb) {
        ++reads_.disk;
        const std::wstring root = KnownFolderPath(FOLDERID_Desktop).substr(0, 3);
        ULARGE_INTEGER available{};
        if (!GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr))
            return "DISK SPACE CHECK FAILED " + std::to_string(GetLastError());
        freeDiskMb = available.QuadPart >> 20;
    }
    if (*freeDiskMb >= minDiskMb)
        return std::nullopt;
    return "NOT ENOUGH DISK SPACE";
}

RuleResult MachineFacts::CheckRam(uint64_t minRamMb) {
    if (minRamMb == 0)
        return std::nullopt;
    if (!totalRamMb) {
        ++reads_.ram;
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof status;
        if (!GlobalMemoryStatusEx(&status))
            return "RAM CHECK FAILED " + std::to_string(GetLastError());
        totalRamMb = status.ullTotalPhys >> 20;
    }
    if (*totalRamMb >= minRamMb)
        return std::nullopt;
    return "NOT ENOUGH RAM";
}

RuleResult MachineFacts::CheckCpu(uint64_t minCpuMhz) {
    if (minCpuMhz == 0)
        return std::nullopt;
    if (!cpuMhz) {
        ++reads_.cpu;
        UniqueRegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                          KEY_READ | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS)
            return "CPU CHECK FAILED: Couldn't open registry";
        DWORD mhz = 0;
        DWORD size = sizeof mhz;
        if (RegQueryValueExA(key.get(), "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&mhz), &size) !=
            ERROR_SUCCESS)
            return "CPU CHECK FAILED: Couldn't read value";
        cpuMhz = mhz;
    }
    if (EnoughCpu(*cpuMhz, minCpuMhz))
        return std::nullopt;
    return "NOT ENOUGH CPU";
}

RuleResult MachineFacts::CheckRunningProcesses(const std::vector<std::string>& blockingProcesses) {
    if (blockingProcesses.empty())
        return std::nullopt;
    if (!processNames) {
        ++reads_.processes;
        processNames.emplace();
        UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (snapshot) {
            PROCESSENTRY32W entry{};
            entry.dwSize = sizeof entry;
            for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
                 more = Process32NextW(snapshot.get(), &entry))
                processNames->emplace_back(entry.szExeFile);
        }
    }
    for (const auto& narrow : blockingProcesses) {
        const std::wstring entry = Utf8ToWide(narrow);
        for (const auto& name : *processNames)
            if (ProcessNameMatches(entry, name))
                return "APPLICATION RUNNING";
    }
    return std::nullopt;
}

bool ProcessNameMatches(const std::wstring& entry, const std::wstring& processName) {
    const auto dots = [](const std::wstring& text) { return std::count(text.begin(), text.end(), L'.'); };
    std::wstring name = processName;
    if (dots(name) > dots(entry))
        name.erase(name.rfind(L'.'));
    return name == entry;
}

RuleResult CheckOsVersion(int minOsCode, const WindowsVersionTest& isWindowsVersionAtLeast) {
    if (minOsCode < 1)
        return std::nullopt;
    struct Minimum {
        int code;
        WORD major;
        WORD minor;
    };
    static const Minimum minimums[] = {{61, 6, 1}, {62, 6, 2}, {63, 6, 3}, {100, 10, 0}};
    for (const auto& minimum : minimums)
        if (minimum.code == minOsCode && isWindowsVersionAtLeast(minimum.major, minimum.minor, 0))
            return std::nullopt;
    return "UNSUPPORTED OS VERSION";
}

std::vector<int32_t> ParseVersion(const std::wstring& text) {
    std::vector<int32_t> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'.', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start) {
            const std::wstring token = text.substr(start, end - start);
            parts.push_back(static_cast<int32_t>(std::wcstol(token.c_str(), nullptr, 10)));
        }
        start = end + 1;
    }
    return parts;
}

RuleResult CheckSetupVersion(const std::string& minSetupVersion, const std::string& setupVersion) {
    const std::wstring required = Utf8ToWide(minSetupVersion);
    if (required.empty())
        return std::nullopt;
    const std::vector<int32_t> need = ParseVersion(required);
    const std::vector<int32_t> own = ParseVersion(Utf8ToWide(setupVersion));
    for (size_t i = 0; i < std::max(need.size(), own.size()); ++i) {
        const int32_t a = i < own.size() ? own[i] : 0;
        const int32_t b = i < need.size() ? need[i] : 0;
        if (a < b)
            return "UNSUPPORTED PLATFORM VERSION";
        if (a > b)
            return std::nullopt;
    }
    return std::nullopt;
}

bool MayProbePath(const std::wstring& path) {
    const auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
    if (path.size() < 3 || !isLetter(path[0]) || path[1] != L':' || !isSeparator(path[2]))
        return false;
    // "C:\dir\nul.txt" opens the device in any folder, and no folder can have such a name: a part with
    // one is refused wherever it stands.
    size_t start = 3;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        if (IsDeviceName(path.substr(start, end - start)))
            return false;
        start = end + 1;
    }
    return true;
}

bool PathExists(const std::wstring& path) {
    return MayProbePath(path) && PathFileExistsW(ProgramFileSystemPath(path).c_str()) != FALSE;
}

bool AnyPathExists(const std::vector<std::wstring>& paths) {
    return std::any_of(paths.begin(), paths.end(), PathExists);
}
