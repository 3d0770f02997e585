// Between a downloaded file and a running installer: archive recognition, zip preparation, the command
// line, the process start and its outcome.
#pragma once
#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <future>
#include <string>

#include "win32/Handle.h"

// What the runner learned about an installer process.
struct RunResult {
    static constexpr DWORD kNotWaited = 0xFFFFFFFF;  // not waited for, or not started

    bool started = false;
    std::wstring installer;  // the file started, or meant to be
    DWORD exitCode = kNotWaited;
    std::wstring text;  // "" for 0, "exit code = %u", or why nothing started
};

// An installer that exits with 3010 or 1641 has installed and wants (or began) a restart.
constexpr bool InstalledButRestartNeeded(DWORD exitCode) { return exitCode == 3010 || exitCode == 1641; }

enum class ArchiveKind : int { Ordinary = 0, Zip = 1, SevenZip = 2 };

// Looks at the file's first bytes only; a file that cannot be read is ArchiveKind::Ordinary.
ArchiveKind DetectArchiveType(const std::wstring& path);

// The file to start for a downloaded file, or why there is none: a zip is extracted into a new folder
// beside it and its first executable at the top level is started; a 7z archive cannot be started; any
// other file is started as it is.
struct Preparation {
    std::wstring installer;
    std::wstring failure;  // "" when there is an installer
};
Preparation PrepareInstaller(const std::wstring& downloadedPath);

// tempFolder + "\" + the archive's file name up to its last dot, made new for administrators only;
// tempFolder when it cannot be made, also when anything of that name is already there.
std::wstring MakeExtractionFolder(const std::wstring& archivePath, const std::wstring& tempFolder);

// Plain file name of the first "*.exe" file (not folder) at the folder's top level, in the file
// system's order; "" when there is none.
std::wstring FindFirstExecutable(const std::wstring& folder);

// The product's arguments when the classic option and configuration pages were shown.
std::wstring BuildProductArguments(const std::array<bool, 3>& options, const std::array<bool, 5>& configurations);

// Starts "\"path\" arguments" in the installer's own folder and, with `wait`, waits for it without a
// time limit until `abandon` is set; `held` is closed right after the start. Never throws for a start
// failure: that is reported in the result.
RunResult RunProcess(const std::wstring& installerPath, const std::wstring& arguments, bool wait,
                     UniqueFile held = UniqueFile(), const std::atomic<bool>* abandon = nullptr);

// PrepareInstaller and RunProcess on a task of their own. `held` (the verified download, open without
// write sharing) is closed once the process has started or failed to. Destroying or replacing the
// returned future waits for that task, which for an unwaited installer lasts only until the start.
// `done`, when given, is called on the task as its last step, with the result about to be ready.
std::future<RunResult> StartInstallerAsync(const std::wstring& downloadedPath, const std::wstring& arguments,
                                           bool wait, UniqueFile held = UniqueFile(),
                                           const std::atomic<bool>* abandon = nullptr,
                                           std::function<void()> done = {});

// PrepareInstaller on a task of its own, so that a zip is extracted while the next file downloads;
// the result is shared by whoever starts the installer.
std::shared_future<Preparation> PrepareInstallerAsync(const std::wstring& downloadedPath);

// As above, with the preparation already under way: the task waits for it, then starts the installer.
std::future<RunResult> StartInstallerAsync(std::shared_future<Preparation> prepared, const std::wstring& arguments,
                                           bool wait, UniqueFile held = UniqueFile(),
                                           const std::atomic<bool>* abandon = nullptr,
                                           std::function<void()> done = {});

