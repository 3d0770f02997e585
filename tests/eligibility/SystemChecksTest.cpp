#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "eligibility/SystemChecks.h"
#include "net/DownloadManager.h"
#include "tests/eligibility/RegistryScratch.h"
#include "win32/Handle.h"

namespace {

std::wstring TempPath() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

std::wstring HelperPath() {
    std::string path = FENNIX_SLEEP_HELPER;
    std::wstring wide(path.begin(), path.end());
    if (!wide.empty() && wide[0] == L'/')
        wide = L"Z:" + wide;
    for (auto& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

// A copy of the sleeping helper running under a chosen file name, ended by its handle.
class RunningProcess {
public:
    RunningProcess(const std::wstring& folder, const std::wstring& name) : path_(folder + L"\\" + name) {
        EXPECT_TRUE(CopyFileW(HelperPath().c_str(), path_.c_str(), FALSE)) << GetLastError();
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring commandLine = L"\"" + path_ + L"\"";
        EXPECT_TRUE(CreateProcessW(path_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &info))
            << GetLastError();
        process_.reset(info.hProcess);
        UniqueKernelHandle thread(info.hThread);
    }
    ~RunningProcess() {
        if (process_) {
            TerminateProcess(process_.get(), 0);
            WaitForSingleObject(process_.get(), 10000);
        }
        DeleteFileW(path_.c_str());
    }

private:
    std::wstring path_;
    UniqueKernelHandle process_;
};

}  // namespace

TEST(ParseVersion, Tokens) {
    using V = std::vector<int32_t>;
    EXPECT_EQ(ParseVersion(L"2.7.0.318"), (V{2, 7, 0, 318}));
    EXPECT_EQ(ParseVersion(L"2..7."), (V{2, 7}));
    EXPECT_EQ(ParseVersion(L".3"), (V{3}));
    EXPECT_EQ(ParseVersion(L"10b.x.4"), (V{10, 0, 4}));
    EXPECT_EQ(ParseVersion(L""), V{});
}

TEST(CheckSetupVersion, AgainstOwnVersion) {
    const std::string own = "2.7.0.318";
    struct Case {
        const char* required;
        bool blocks;
    };
    const Case cases[] = {{"2.7", false},      {"2.8", true},  {"2.7.0.319", true}, {"2.7.0.318", false},
                          {"2.7.0.318.1", true}, {"", false}, {"abc", false},      {"3", true},
                          {"1.99", false},     {"2.6.9.999", false}};
    for (const auto& c : cases)
        EXPECT_EQ(CheckSetupVersion(c.required, own),
                  c.blocks ? RuleResult("UNSUPPORTED PLATFORM VERSION") : std::nullopt)
            << c.required;
}

TEST(CheckOsVersion, CodesAgainstAWindowsVersion) {
    // Windows 8.1: 6.3.
    const WindowsVersionTest windows81 = [](WORD major, WORD minor, WORD) {
        return major < 6 || (major == 6 && minor <= 3);
    };
    const RuleResult blocked("UNSUPPORTED OS VERSION");
    EXPECT_EQ(CheckOsVersion(100, windows81), blocked);
    EXPECT_EQ(CheckOsVersion(63, windows81), std::nullopt);
    EXPECT_EQ(CheckOsVersion(61, windows81), std::nullopt);
    EXPECT_EQ(CheckOsVersion(64, windows81), blocked);
    EXPECT_EQ(CheckOsVersion(64, [](WORD, WORD, WORD) { return true; }), blocked);
    EXPECT_EQ(CheckOsVersion(0, [](WORD, WORD, WORD) { return false; }), std::nullopt);
    EXPECT_EQ(CheckOsVersion(-5, [](WORD, WORD, WORD) { return false; }), std::nullopt);

    // The prefixes report Windows 7 SP1 unless configured otherwise; at least 7 either way.
    EXPECT_EQ(CheckOsVersion(61, IsWindowsVersionAtLeast), std::nullopt);
}

TEST(MachineFacts, DiskSpaceInWholeMebibytes) {
    const uint64_t mib = 1048576;
    EXPECT_FALSE(EnoughDiskSpace(2500 * mib - mib / 10, 2500));
    EXPECT_TRUE(EnoughDiskSpace(2500 * mib, 2500));
    EXPECT_TRUE(EnoughDiskSpace(0, 0));

    MachineFacts facts;
    EXPECT_EQ(facts.CheckDiskSpace(0), std::nullopt);
    EXPECT_EQ(facts.Reads().disk, 0);
    EXPECT_EQ(facts.CheckDiskSpace(1), std::nullopt);
    EXPECT_EQ(facts.CheckDiskSpace(UINT64_MAX >> 20), RuleResult("NOT ENOUGH DISK SPACE"));
    EXPECT_EQ(facts.Reads().disk, 1);
}

TEST(MachineFacts, MemoryBoundaryAndOneRead) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    const uint64_t total = status.ullTotalPhys >> 20;

    MachineFacts facts;
    EXPECT_EQ(facts.CheckRam(total), std::nullopt);
    EXPECT_EQ(facts.CheckRam(total + 1), RuleResult("NOT ENOUGH RAM"));
    EXPECT_EQ(facts.CheckRam(0), std::nullopt);
    EXPECT_EQ(facts.Reads().ram, 1);
}

TEST(MachineFacts, ProcessorClockBoundary) {
    DWORD mhz = 0;
    DWORD size = sizeof mhz;
    UniqueRegKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                            KEY_READ | KEY_WOW64_64KEY, key.put()),
              ERROR_SUCCESS);
    ASSERT_EQ(RegQueryValueExA(key.get(), "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&mhz), &size),
              ERROR_SUCCESS);

    MachineFacts facts;
    EXPECT_EQ(facts.CheckCpu(mhz), std::nullopt);
    EXPECT_EQ(facts.CheckCpu(uint64_t{mhz} + 1), RuleResult("NOT ENOUGH CPU"));
    EXPECT_EQ(facts.CheckCpu(uint64_t{1} << 32), RuleResult("NOT ENOUGH CPU"));
    EXPECT_EQ(facts.Reads().cpu, 1);
    EXPECT_FALSE(EnoughCpu(0xFFFFFFFFu, (uint64_t{1} << 32) + 1)) << "upper bits are not dropped";
}

TEST(AnyPathExists, FilesAndFolders) {
    const std::wstring folder = TempPath() + scratch::UniqueName(L"paths");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\file.txt";
    std::ofstream(file.c_str()).put('x');

    EXPECT_TRUE(AnyPathExists({folder + L"\\missing", file}));
    EXPECT_TRUE(AnyPathExists({folder}));
    EXPECT_FALSE(AnyPathExists({folder + L"\\missing", L"{commonpf64}\\x\\y.exe"}));
    EXPECT_FALSE(AnyPathExists({}));

    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(AnyPathExists, OnlyAbsolutePathsOnADriveAreProbed) {
    struct Case {
        const wchar_t* path;
        bool probed;
    };
    const Case cases[] = {
        {L"C:\\windows", true},
        {L"c:/windows/system32/", true},
        {L"Z:\\", true},
        {L"C:\\Program Files\\Nullsoft\\null.exe", true},
        {L"C:\\dir\\com10\\console.txt", true},
        {L"\\\\server\\share\\setup.exe", false},
        {L"//server/share/setup.exe", false},
        {L"\\/server/share/setup.exe", false},
        {L"/\\server\\share\\setup.exe", false},
        {L"\\\\?\\C:\\windows", false},
        {L"\\\\?\\UNC\\server\\share\\setup.exe", false},
        {L"//?/C:/windows", false},
        {L"\\\\.\\C:\\windows", false},
        {L"\\\\.\\pipe\\name", false},
        {L"\\??\\C:\\windows", false},
        {L"\\windows", false},
        {L"/windows", false},
        {L"windows\\system32", false},
        {L"C:windows", false},
        {L"C:", false},
        {L"{commonpf}\\Vendor\\app.exe", false},
        {L"", false},
        {L"C:\\dir\\nul", false},
        {L"C:\\dir\\NUL.txt", false},
        {L"C:/com1/setup.exe", false},
        {L"C:\\dir\\Aux .log", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MayProbePath(c.path), c.probed) << testing::PrintToString(std::wstring(c.path));
}

// These name an existing file or device through a route the rules never take: were they probed, they
// would be found.
TEST(AnyPathExists, NetworkDeviceAndRelativePathsCountAsMissing) {
    const std::wstring folder = TempPath() + scratch::UniqueName(L"routes");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\file.txt";
    std::ofstream(file.c_str()).put('x');
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));

    ASSERT_TRUE(AnyPathExists({file}));
    for (const std::wstring& path : {L"\\\\?\\" + file, L"\\\\.\\" + file, L"\\??\\" + file, file.substr(2),
                                     std::wstring(L"file.txt"), std::wstring(L"C:file.txt"), folder + L"\\nul",
                                     folder + L"\\con.txt"})
        EXPECT_FALSE(AnyPathExists({path})) << testing::PrintToString(path);

    SetCurrentDirectoryW(previous);
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(ProcessNameMatches, OnlyTheLastExtensionIsIgnored) {
    struct Case {
        const wchar_t* entry;
        const wchar_t* process;
        bool matches;
    };
    const Case cases[] = {
        {L"chrome", L"chrome.exe", true},        {L"chrome.exe", L"chrome.exe", true},
        {L"Chrome.exe", L"chrome.exe", false},   {L"chrome", L"Chrome.exe", false},
        {L"foo", L"foo.bar.exe", false},         {L"foo.bar", L"foo.bar.exe", true},
        {L"setup", L"setup.tmp.exe", false},     {L"setup", L"setup.exe", true},
        {L"chrome.exe", L"chrome", false},       {L"a.b.c", L"a.b.c", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProcessNameMatches(c.entry, c.process), c.matches)
            << std::string(c.entry, c.entry + wcslen(c.entry)) << " / "
            << std::string(c.process, c.process + wcslen(c.process));
}

TEST(MachineFacts, RunningProcessesByName) {
    const std::wstring folder = TempPath() + scratch::UniqueName(L"procs");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    {
        // Names unique to this run, so nothing else on the machine can match.
        const std::string stem = "fnx" + std::to_string(GetCurrentProcessId());
        const std::wstring wideStem(stem.begin(), stem.end());
        RunningProcess plain(folder, wideStem + L"chrome.exe");
        RunningProcess dotted(folder, wideStem + L"foo.bar.exe");

        struct Case {
            std::string entry;
            bool blocks;
        };
        const Case cases[] = {
            {stem + "chrome", true},       {stem + "chrome.exe", true}, {stem + "Chrome.exe", false},
            {stem + "foo", false},         {stem + "foo.bar", true},    {stem + "foo.bar.exe", true},
            {stem + "absent.exe", false},
        };
        MachineFacts facts;
        for (const auto& c : cases)
            EXPECT_EQ(facts.CheckRunningProcesses({c.entry}), c.blocks ? RuleResult("APPLICATION RUNNING") : std::nullopt)
                << c.entry;
        EXPECT_EQ(facts.CheckRunningProcesses({stem + "absent", stem + "chrome"}), RuleResult("APPLICATION RUNNING"));
        EXPECT_EQ(facts.Reads().processes, 1);
    }
    RemoveDirectoryW(folder.c_str());
}
