// Rules over the machine itself: free disk space, memory, processor clock, Windows version, the setup
// program's version, files and running processes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "eligibility/RuleResult.h"

// Machine facts read once per checker; a failed read is not kept, so the next offer tries again. The
// process list is one snapshot for the checker's life, taken by the first rule that needs it.
class MachineFacts {
public:
    RuleResult CheckDiskSpace(uint64_t minDiskMb);
    RuleResult CheckRam(uint64_t minRamMb);
    RuleResult CheckCpu(uint64_t minCpuMhz);
    // Entries are narrow names in the thread's ANSI code page.
    RuleResult CheckRunningProcesses(const std::vector<std::string>& blockingProcesses);

    // How often each fact was asked of the system: shows that the caches work.
    struct ReadCounts {
        int disk = 0;
        int ram = 0;
        int cpu = 0;
        int processes = 0;
    };
    const ReadCounts& Reads() const { return reads_; }

private:
    std::optional<uint64_t> freeDiskMb;
    std::optional<uint64_t> totalRamMb;
    std::optional<uint32_t> cpuMhz;
    std::optional<std::vector<std::wstring>> processNames;
    ReadCounts reads_;
};

// Free bytes for the user against the requirement, compared in whole MiB (truncated).
bool EnoughDiskSpace(uint64_t freeBytes, uint64_t minDiskMb);
// A requirement of 2^32 MHz or more never passes.
bool EnoughCpu(uint32_t mhz, uint64_t minCpuMhz);

// The version test of the download engine: (major, minor, service-pack major) -> at least that version.
using WindowsVersionTest = std::function<bool(WORD, WORD, WORD)>;
// Codes 61, 62, 63 and 100 name Windows 7, 8, 8.1 and 10; any other positive code blocks.
RuleResult CheckOsVersion(int minOsCode, const WindowsVersionTest& isWindowsVersionAtLeast);

// Both versions are narrow dotted numbers (ANSI code page); an empty requirement passes.
RuleResult CheckSetupVersion(const std::string& minSetupVersion, const std::string& setupVersion);
// "2.7..318" gives 2, 7, 318: empty pieces are skipped and a piece without leading digits is 0.
std::vector<int32_t> ParseVersion(const std::wstring& text);

// Whether the rules may look for this path on the file system: only an absolute path on a drive letter
// ("C:\..." or "C:/...") with no Windows device name in it. Network paths ("\\server\...",
// "//server/...", "\/server"), the device namespaces ("\\?\", "\\.\", "\??\") and relative paths, which
// the current folder could turn into network paths, are never probed: the elevated wizard must not
// open a network connection or a device because a configuration named one.
bool MayProbePath(const std::wstring& path);

// True when a path that may be probed exists as a file or folder; any other path does not exist, and
// no file-system call is made for it.
bool PathExists(const std::wstring& path);

// True at the first path that PathExists finds.
bool AnyPathExists(const std::vector<std::wstring>& paths);

// A running executable name P against a rule entry A: when P has more dots than A, its last extension
// is ignored; the comparison is case-sensitive.
bool ProcessNameMatches(const std::wstring& entry, const std::wstring& processName);
