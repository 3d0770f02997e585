// The installer runner against real files, real zips and real child processes (the sample installers).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "install/InstallerRunner.h"
#include "install/ZipExtractor.h"
#include "win32/Handle.h"
#include "tests/installer/InstallerTestSupport.h"

using namespace installer_test;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace {

std::wstring SystemMessage(DWORD error) {
    wchar_t buffer[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 512, nullptr);
    return buffer;
}

// Each test gets its own scratch folder, and the sample installers log into it.
class RunnerTest : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::wstring log = scratch / L"installers.log";
    ScopedEnvironment logVariable{L"FENNIX_SAMPLE_LOG", log};
    std::string offerBytes = ReadBytes(SampleInstaller(L"offer1-setup.exe"));
};

TEST(DetectArchiveTypeTest, SignaturesCountOnlyWhenWhollyRead) {
    ScratchFolder scratch;
    struct Case {
        const wchar_t* name;
        std::string bytes;
        ArchiveKind expected;
    } cases[] = {
        {L"zip", std::string("PK\x03\x04\x14\x00\x00\x00", 8), ArchiveKind::Zip},
        {L"zip-header-only", std::string("PK\x03\x04", 4), ArchiveKind::Zip},
        {L"zip-cut", std::string("PK\x03", 3), ArchiveKind::Ordinary},
        {L"spanned-zip", std::string("PK\x07\x08PK\x03\x04", 8), ArchiveKind::Ordinary},
        {L"7z", std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8), ArchiveKind::SevenZip},
        {L"7z-cut", std::string("7z\xBC\xAF\x27", 5), ArchiveKind::Ordinary},
        {L"exe", std::string("MZ\x90\x00\x03\x00\x00\x00", 8), ArchiveKind::Ordinary},
        {L"empty", std::string(), ArchiveKind::Ordinary},
    };
    for (const auto& c : cases) {
        std::wstring path = scratch / c.name;
        WriteBytes(path, c.bytes);
        EXPECT_EQ(DetectArchiveType(path), c.expected) << c.name;
    }
    EXPECT_EQ(DetectArchiveType(scratch / L"missing.zip"), ArchiveKind::Ordinary);
    EXPECT_EQ(DetectArchiveType(SampleInstaller(L"offer2-setup.zip")), ArchiveKind::Zip);
    EXPECT_EQ(DetectArchiveType(SampleInstaller(L"offer2-setup.exe")), ArchiveKind::Ordinary);
}

TEST(MakeExtractionFolderTest, NamesTheFolderAfterTheArchive) {
    ScratchFolder scratch;
    std::wstring temp = scratch.path();
    WriteBytes(scratch / L"taken", "a file where the folder would go");
    struct Case {
        std::wstring archive;
        std::wstring tempFolder;
        std::wstring expected;
    } cases[] = {
        {L"C:\\downloads\\offer.pkg.zip", temp, temp + L"\\offer.pkg"},
        {L"C:\\downloads\\offer.pkg.zip", temp, temp},                   // already there: never adopted
        {L"C:\\downloads.d\\nodot", temp, temp + L"\\nodot"},
        {L"offer.zip", temp, temp},                                     // no backslash
        {L"C:\\downloads\\taken.zip", temp, temp},                      // a file is in the way
        {L"C:\\downloads\\offer.zip", temp + L"\\missing", temp + L"\\missing"},  // cannot be created
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeExtractionFolder(c.archive, c.tempFolder), c.expected) << c.archive;
    EXPECT_TRUE(std::filesystem::is_directory(scratch / L"offer.pkg"));
    EXPECT_TRUE(std::filesystem::is_directory(scratch / L"nodot"));
    EXPECT_FALSE(Exists(scratch / L"missing"));
}

TEST(FindFirstExecutableTest, TakesATopLevelFileNeverAFolder) {
    ScratchFolder scratch;
    EXPECT_EQ(FindFirstExecutable(scratch.path()), L"");
    std::filesystem::create_directories(scratch / L"folder.exe");
    WriteBytes(scratch / L"sub\\deep.exe", "MZ");
    WriteBytes(scratch / L"notes.txt", "text");
    EXPECT_EQ(FindFirstExecutable(scratch.path()), L"");
    WriteBytes(scratch / L"b.exe", "MZ");
    WriteBytes(scratch / L"a.EXE", "MZ");
    std::wstring found = FindFirstExecutable(scratch.path());
    EXPECT_TRUE(found == L"a.EXE" || found == L"b.exe") << found;
    EXPECT_EQ(FindFirstExecutable(scratch / L"missing"), L"");
}

TEST_F(RunnerTest, ZipIsExtractedWithItsSubfoldersAndTheTopLevelExecutableRuns) {
    std::wstring zip = scratch / L"offer.pkg.zip";
    WriteZip(zip, {{"bin/", ""},
                   {"bin/helper.exe", "MZ helper"},
                   {"setup.exe", offerBytes},
                   {"data/deeper/readme.txt", "hello"}});

    const Preparation prepared = PrepareInstaller(zip);
    const std::wstring& path = prepared.installer;

    EXPECT_EQ(path, scratch / L"offer.pkg\\setup.exe") << prepared.failure;
    EXPECT_EQ(ReadBytes(scratch / L"offer.pkg\\bin\\helper.exe"), "MZ helper");
    EXPECT_EQ(ReadBytes(scratch / L"offer.pkg\\data\\deeper\\readme.txt"), "hello");
    EXPECT_TRUE(Exists(zip));
    RunResult result = RunProcess(path, L"/S", true);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_THAT(ReadLogLines(log), ElementsAre(L"setup.exe\t\"" + path + L"\" /S"));
}

TEST_F(RunnerTest, BuiltSampleZipPreparesItsInstaller) {
    std::wstring zip = scratch / L"offer2-setup.zip";
    CopyFileW(SampleInstaller(L"offer2-setup.zip").c_str(), zip.c_str(), FALSE);

    const std::wstring path = PrepareInstaller(zip).installer;

    EXPECT_EQ(path, scratch / L"offer2-setup\\offer2-setup.exe");
    EXPECT_TRUE(Exists(scratch / L"offer2-setup\\docs\\README.txt"));
    EXPECT_EQ(RunProcess(path, L"/S", true).exitCode, 0u);
}

TEST_F(RunnerTest, WhatCannotBeStartedSaysWhy) {
    struct Case {
        const wchar_t* name;
        std::string bytes;  // empty: a zip with executables in subfolders only
        const wchar_t* failure;  // "": the download itself is started
    } cases[] = {
        {L"nested.zip", "", L"no executable at the top level of the archive"},
        {L"corrupt.zip", std::string("PK\x03\x04", 4) + std::string(200, '\x5A'), L"The zip archive"},
        {L"not-a-zip.exe", "MZ", L""},
        {L"packed.7z", std::string("7z\xBC\xAF\x27\x1C", 6), L"7z archives cannot be started"},
    };
    WriteZip(scratch / L"nested.zip", {{"tools/setup.exe", offerBytes}, {"readme.txt", "x"}});
    for (const auto& c : cases) {
        std::wstring download = scratch / c.name;
        if (!c.bytes.empty())
            WriteBytes(download, c.bytes);
        const Preparation prepared = PrepareInstaller(download);
        EXPECT_EQ(prepared.failure.rfind(c.failure, 0), 0u) << c.name;
        EXPECT_EQ(prepared.failure.empty(), !*c.failure) << c.name;
        EXPECT_EQ(prepared.installer, *c.failure ? L"" : download) << c.name;
    }
    EXPECT_TRUE(Exists(scratch / L"nested\\tools\\setup.exe"));
    // Only zips get an extraction folder.
    EXPECT_FALSE(Exists(scratch / L"not-a-zip"));
    EXPECT_FALSE(Exists(scratch / L"packed"));
}

TEST_F(RunnerTest, ZipWithAnEntryOutsideItsFolderIsNotExtractedAtAll) {
    const char* escapes[] = {"../escape.exe", "..\\escape.exe", "sub/../../escape.exe", "/escape.exe",
                             "\\escape.exe", "C:/escape.exe", "C:escape.exe", "setup.exe:stream", ".. /escape.exe",
                             "sub/.../escape.exe"};
    int n = 0;
    for (const char* escape : escapes) {
        std::wstring zip = scratch / (L"bad" + std::to_wstring(++n) + L".zip");
        WriteZip(zip, {{"setup.exe", "MZ"}, {escape, "MZ escaped"}});
        std::wstring folder = scratch / (L"bad" + std::to_wstring(n));

        EXPECT_EQ(PrepareInstaller(zip).installer, L"") << escape;
        std::wstring reason;
        EXPECT_FALSE(ExtractZip(zip, folder, reason)) << escape;
        EXPECT_EQ(FindFirstExecutable(folder), L"") << escape;
        EXPECT_FALSE(Exists(scratch / L"escape.exe")) << escape;
    }
    // A dotted name inside the folder is fine.
    std::wstring zip = scratch / L"dots.zip";
    WriteZip(zip, {{"./setup.exe", "MZ"}, {"a..b/..c.txt", "ok"}});
    EXPECT_EQ(PrepareInstaller(zip).installer, scratch / L"dots\\setup.exe");
    EXPECT_EQ(ReadBytes(scratch / L"dots\\a..b\\..c.txt"), "ok");
}

TEST(BuildProductArgumentsTest, EachFlagLandsInItsPositions) {
    struct Case {
        std::array<bool, 3> options;
        std::array<bool, 5> configurations;
        const wchar_t* digits;
    } cases[] = {
        {{}, {}, L"0000000101000000"},
        {{true, true, true}, {true, true, true, true, true}, L"1110010101111110"},
        {{}, {true, false, false, false, false}, L"0010000101000000"},
        {{}, {false, true, false, false, false}, L"0000010101000000"},
        {{}, {false, false, true, false, false}, L"1000000101010000"},
        {{}, {false, false, false, true, false}, L"0100000101000000"},
        {{}, {false, false, false, false, true}, L"0000000101100000"},
        {{true, false, false}, {}, L"0000000101000010"},
        {{false, true, false}, {}, L"0000000101001000"},
        {{false, false, true}, {}, L"0000000101000100"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildProductArguments(c.options, c.configurations), std::wstring(L"/S /FORCEINSTALL ") + c.digits);
}

TEST_F(RunnerTest, ExitCodesAndStartFailuresBecomeResults) {
    std::wstring offer = SampleInstaller(L"offer1-setup.exe");
    // A file that is no program fails to start.
    std::wstring zip = scratch / L"package.zip";
    WriteZip(zip, {{"tools/setup.exe", offerBytes}});
    struct Case {
        std::wstring path;
        std::wstring arguments;
        DWORD exitCode;
        std::wstring text;
    } cases[] = {
        {offer, L"/S", 0, L""},
        {offer, L"/S /EXIT=3", 3, L"exit code = 3"},
        {offer, L"/S /EXIT=1602", 1602, L"exit code = 1602"},
        {offer, L"/S /EXIT=1603", 1603, L"exit code = 1603"},
        {scratch / L"missing-setup.exe", L"/S", 4294967295u,
         L"Error launching executable: " + SystemMessage(ERROR_FILE_NOT_FOUND)},
        {zip, L"/S", 4294967295u, L"Error launching executable: " + SystemMessage(ERROR_BAD_EXE_FORMAT)},
    };
    for (const auto& c : cases) {
        RunResult result = RunProcess(c.path, c.arguments, true);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments;
        EXPECT_EQ(result.text, c.text) << c.arguments;
    }
    EXPECT_EQ(ReadLogLines(log).size(), 4u);  // the missing ones never ran
}

TEST_F(RunnerTest, UnwaitedInstallerReturnsAtOnceWithTheUnwaitedCode) {
    auto start = std::chrono::steady_clock::now();
    RunResult result = RunProcess(SampleInstaller(L"offer1-setup.exe"), L"/S /WAIT=4000 /EXIT=5", false);
    auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(result.exitCode, 4294967295u);
    EXPECT_EQ(result.text, L"exit code = 4294967295");
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
    EXPECT_TRUE(WaitForLogLines(log, 1, 10000));  // it did start
}

TEST_F(RunnerTest, CommandLineReachesTheInstallerExactly) {
    std::wstring installer = scratch / L"dir with spaces\\offer setup.exe";
    WriteBytes(installer, offerBytes);
    const wchar_t* argumentCases[] = {L"/S", L"", L"/S /D=C:\\Program Files\\Demo", L"/NAME=\"a b\"  --x \"\""};
    for (const wchar_t* arguments : argumentCases)
        EXPECT_EQ(RunProcess(installer, arguments, true).exitCode, 0u) << arguments;

    std::vector<std::wstring> expected;
    for (const wchar_t* arguments : argumentCases)
        expected.push_back(L"offer setup.exe\t\"" + installer + L"\" " + arguments);
    EXPECT_EQ(ReadLogLines(log), expected);
}

TEST_F(RunnerTest, PendingResultIsPolledAndReplacingItWaitsForTheEarlierTask) {
    std::wstring offer = SampleInstaller(L"offer1-setup.exe");
    std::future<RunResult> pending = StartInstallerAsync(offer, L"/S /WAIT=1500 /EXIT=7", true);
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    RunResult first = pending.get();
    EXPECT_TRUE(first.started);
    EXPECT_EQ(first.exitCode, 7u);
    EXPECT_EQ(first.text, L"exit code = 7");

    pending = StartInstallerAsync(offer, L"/S /WAIT=1500", true);
    auto start = std::chrono::steady_clock::now();
    pending = StartInstallerAsync(offer, L"/S", false);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(pending.get().exitCode, 4294967295u);

    pending = StartInstallerAsync(scratch / L"missing.exe", L"", true);
    const RunResult missing = pending.get();
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.text, L"Error launching executable: " + SystemMessage(ERROR_FILE_NOT_FOUND));
}

// An installer starts in its own folder, and the verified download stays unwritable until it has started.
TEST_F(RunnerTest, InstallersStartInTheirOwnFolderAndTheHeldFileIsReleasedAfterTheStart) {
    const std::wstring cwdLog = scratch / L"cwd.log";
    ScopedEnvironment cwdVariable{L"FENNIX_SAMPLE_CWD_LOG", cwdLog};
    const std::wstring installer = scratch / L"pkg\\offer1-setup.exe";
    WriteBytes(installer, offerBytes);
    const std::wstring zip = scratch / L"zipped\\offer.zip";
    WriteBytes(zip, "");
    DeleteFileW(zip.c_str());
    WriteZip(zip, {{"setup.exe", offerBytes}});

    UniqueFile held(CreateFileW(installer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(UniqueFile(CreateFileW(installer.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr)))
        << "held without write sharing";
    RunResult result = StartInstallerAsync(installer, L"/S", true, std::move(held)).get();
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(UniqueFile(CreateFileW(installer.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr)))
        << "released once started";
    EXPECT_TRUE(StartInstallerAsync(zip, L"/S", true).get().started);

    EXPECT_THAT(ReadLogLines(cwdLog), ElementsAre(L"offer1-setup.exe\t" + scratch / L"pkg",
                                                  L"setup.exe\t" + scratch / L"zipped\\offer"));
}

}  // namespace
