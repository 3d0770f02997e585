// Between a downloaded file and a running installer: archive recognition, zip preparation, the command
// line, the process start and its outcome.
#pragma once
#include <windows.h>

#include <array>
#include <future>
#include <string>

// What the runner learned about an installer process.
struct RunResult {
    static constexpr DWORD kNotWaited = 0xFFFFFFFF;  // not waited for, or not started

    DWORD exitCode = kNotWaited;
    std::wstring text;  // "" for 0, "exit code = %u", or "Error launching executable: %s"
};

enum class ArchiveKind : int { Ordinary = 0, Zip = 1, SevenZip = 2 };

// Looks at the file's first bytes only; a file that cannot be read is ArchiveKind::Ordinary.
ArchiveKind DetectArchiveType(const std::wstring& path);

// The file to run for a downloaded file: for a zip, the first executable at the top level of its
// extraction folder; the downloaded file itself in every other case.
std::wstring PrepareInstaller(const std::wstring& downloadedPath, ArchiveKind kind, const std::wstring& tempFolder);

// tempFolder + "\" + the archive's file name up to its last dot, created if need be; tempFolder when it
// cannot be created.
std::wstring MakeExtractionFolder(const std::wstring& archivePath, const std::wstring& tempFolder);

// Extracts the whole archive (top level and subfolders) into an existing folder through the shell's
// zip folders, or through our own reader where the shell cannot open the archive. Fails without
// writing anything for an archive with an entry that would land outside the folder.
bool ExtractZip(const std::wstring& archivePath, const std::wstring& destination);

// Plain file name of the first "*.exe" file (not folder) at the folder's top level, in the file
// system's order; "" when there is none.
std::wstring FindFirstExecutable(const std::wstring& folder);

// The product's arguments when the classic option and configuration pages were shown.
std::wstring BuildProductArguments(const std::array<bool, 3>& options, const std::array<bool, 5>& configurations);

// Starts "\"path\" arguments" and, with `wait`, waits for it without a time limit. Never throws for a
// start failure: that is reported in the result.
RunResult RunProcess(const std::wstring& installerPath, const std::wstring& arguments, bool wait);

// RunProcess on a task of its own. Destroying or replacing the returned future waits for that task,
// which for an unwaited installer lasts only as long as the process start.
std::future<RunResult> RunProcessAsync(const std::wstring& installerPath, const std::wstring& arguments, bool wait);

