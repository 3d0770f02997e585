#include "install/InstallerRunner.h"

#include <cstring>
#include <cwchar>
#include <exception>
#include <utility>
#include <vector>

#include "install/RunningInstallers.h"
#include "install/ZipExtractor.h"
#include "win32/Handle.h"
#include "win32/RunLog.h"
#include "win32/SecureFolder.h"
#include "win32/Strings.h"
#include "win32/SystemError.h"

namespace {

constexpr DWORD kAbandonCheckMs = 100;
constexpr unsigned char kZipSignature[] = {0x50, 0x4B, 0x03, 0x04};
constexpr unsigned char kSevenZipSignature[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};

template <size_t N>
bool StartsWith(const unsigned char* bytes, DWORD count, const unsigned char (&signature)[N]) {
    return count >= N && std::memcmp(bytes, signature, N) == 0;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

bool HasExeExtension(const wchar_t* name) {
    size_t length = std::wcslen(name);
    return length >= 4 && CompareStringOrdinal(name + length - 4, 4, L".exe", 4, TRUE) == CSTR_EQUAL;
}

std::wstring ExitCodeText(DWORD exitCode) { return L"exit code = " + std::to_wstring(exitCode); }

}  // namespace

ArchiveKind DetectArchiveType(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ArchiveKind::Ordinary;
    unsigned char bytes[6] = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes, sizeof bytes, &read, nullptr) || read == 0)
        return ArchiveKind::Ordinary;
    if (StartsWith(bytes, read, kZipSignature))
        return ArchiveKind::Zip;
    if (StartsWith(bytes, read, kSevenZipSignature))
        return ArchiveKind::SevenZip;
    return ArchiveKind::Ordinary;
}

Preparation PrepareInstaller(const std::wstring& downloadedPath) {
    switch (DetectArchiveType(downloadedPath)) {
    case ArchiveKind::Ordinary:
        return {downloadedPath, {}};
    case ArchiveKind::SevenZip:
        return {{}, L"7z archives cannot be started"};
    case ArchiveKind::Zip:
        break;
    }
    const size_t slash = downloadedPath.find_last_of(L'\\');
    const std::wstring base = slash == std::wstring::npos ? std::wstring() : downloadedPath.substr(0, slash);
    const std::wstring folder = MakeExtractionFolder(downloadedPath, base);
    if (base.empty() || folder == base)
        return {{}, L"no folder to extract the archive into"};
    std::wstring reason;
    const ULONGLONG started = GetTickCount64();
    const bool extracted = ExtractZip(downloadedPath, folder, reason);
    LogLine(L"archive " + downloadedPath + (extracted ? L": extracted in " : L": not extracted after ") +
            std::to_wstring(GetTickCount64() - started) + L" ms");
    if (!extracted)
        return {{}, reason.empty() ? L"the archive could not be extracted" : reason};
    const std::wstring executable = FindFirstExecutable(folder);
    if (executable.empty())
        return {{}, L"no executable at the top level of the archive"};
    return {JoinPath(folder, executable), {}};
}

std::wstring MakeExtractionFolder(const std::wstring& archivePath, const std::wstring& tempFolder) {
    size_t slash = archivePath.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return tempFolder;
    std::wstring name = archivePath.substr(slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    std::wstring folder = tempFolder + L"\\" + name;
    return CreateAdminOnlyFolder(folder) ? folder : tempFolder;
}

std::wstring FindFirstExecutable(const std::wstring& folder) {
    // The full path, never a shortened one: a cut path would search some other folder.
    std::wstring pattern = folder + L"\\*.exe";
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(pattern.c_str(), &data));
    if (!find)
        return {};
    do {
        // The pattern also matches through short names ("setup.exe1" as "SETUP~1.EXE").
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && HasExeExtension(data.cFileName))
            return data.cFileName;
    } while (FindNextFileW(find.get(), &data));
    return {};
}

std::wstring BuildProductArguments(const std::array<bool, 3>& options, const std::array<bool, 5>& configurations) {
    auto d = [](bool flag) { return flag ? L"1" : L"0"; };
    std::wstring arguments = L"/S /FORCEINSTALL ";
    arguments += d(configurations[2]);
    arguments += d(configurations[3]);
    arguments += d(configurations[0]);
    arguments += L"00";
    arguments += d(configurations[1]);
    arguments += L"0101";
    arguments += d(configurations[4]);
    arguments += d(configurations[2]);
    arguments += d(options[1]);
    arguments += d(options[2]);
    arguments += d(options[0]);
    arguments += L"0";
    return arguments;
}

RunResult RunProcess(const std::wstring& installerPath, const std::wstring& arguments, bool wait, UniqueFile held,
                     const std::atomic<bool>* abandon) {
    std::wstring commandLine = L"\"" + installerPath + L"\" " + arguments;
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    // The installer's own folder, never wherever the wizard was started from.
    const size_t slash = installerPath.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : installerPath.substr(0, slash);

    RunResult result;
    result.installer = installerPath;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const BOOL created = CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &info);
    const DWORD error = GetLastError();
    held.reset();  // the image is mapped now (or never will be): nobody can change what runs
    if (!created) {
        result.text = L"Error launching executable: " + SystemErrorText(error);
        LogLine(L"installer not started: " + commandLine + L": " + result.text);
        return result;
    }
    LogLine(L"installer started" + std::wstring(wait ? L" and waited for: " : L": ") + commandLine);
    result.started = true;
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    if (wait) {
        // Let go when the wizard is closed: the installer goes on by itself.
        while (WaitForSingleObject(process.get(), kAbandonCheckMs) == WAIT_TIMEOUT)
            if (abandon && *abandon) {
                result.text = L"no longer waited for";
                LogLine(L"installer " + installerPath + L": no longer waited for, it goes on by itself");
                RememberRunningInstaller(std::move(process), folder);
                return result;
            }
        DWORD exitCode = RunResult::kNotWaited;
        if (GetExitCodeProcess(process.get(), &exitCode))
            result.exitCode = exitCode;
        LogLine(L"installer " + installerPath + L": exit code " + std::to_wstring(exitCode));
    } else {
        RememberRunningInstaller(std::move(process), folder);
    }
    if (result.exitCode != 0)
        result.text = ExitCodeText(result.exitCode);
    return result;
}

std::shared_future<Preparation> PrepareInstallerAsync(const std::wstring& downloadedPath) {
    return std::async(std::launch::async, [downloadedPath] {
        // The task's boundary: a failure is a reason, like any other that leaves nothing to start.
        try {
            return PrepareInstaller(downloadedPath);
        } catch (const std::exception& error) {
            return Preparation{{}, L"Error launching executable: " + AnsiToWide(error.what())};
        }
    }).share();
}

std::future<RunResult> StartInstallerAsync(const std::wstring& downloadedPath, const std::wstring& arguments,
                                           bool wait, UniqueFile held, const std::atomic<bool>* abandon,
                                           std::function<void()> done) {
    // Deferred: prepared on the installer's own task when it asks for the result.
    return StartInstallerAsync(
        std::async(std::launch::deferred, [downloadedPath] { return PrepareInstaller(downloadedPath); }).share(),
        arguments, wait, std::move(held), abandon, std::move(done));
}

std::future<RunResult> StartInstallerAsync(std::shared_future<Preparation> prepared, const std::wstring& arguments,
                                           bool wait, UniqueFile held, const std::atomic<bool>* abandon,
                                           std::function<void()> done) {
    auto heldShared = std::make_shared<UniqueFile>(std::move(held));
    return std::async(std::launch::async, [prepared, arguments, wait, heldShared, abandon, done]() {
        struct CallAtEnd {
            const std::function<void()>& call;
            ~CallAtEnd() {
                if (call)
                    call();
            }
        } atEnd{done};
        // The task's boundary: nothing but a result reaches the page that polls it.
        RunResult result;
        try {
            const Preparation preparation = prepared.get();
            if (preparation.installer.empty()) {
                result.text = preparation.failure;
                return result;
            }
            return RunProcess(preparation.installer, arguments, wait, std::move(*heldShared), abandon);
        } catch (const std::exception& error) {
            result.text = L"Error launching executable: " + AnsiToWide(error.what());
            return result;
        }
    });
}
