// The run's log: lines from before it opened, hidden secrets, its size limit, and the /log= switch.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "tests/support/TestBackend.h"
#include "win32/RunLog.h"


// One log per process, so one test walks it from before it opens to past its limit.
TEST(RunLog, KeepsEarlyLinesHidesSecretsAndStopsAtItsLimit) {
    const std::wstring folder = TestBackend::ScratchFolder(L"run-log");
    LogLine("before the file: secret-id");
    HideInRunLog("secret-id");
    EXPECT_EQ(RunLogPath(), L"");
    OpenRunLog(L"", folder);
    const std::wstring path = RunLogPath();
    ASSERT_EQ(path.rfind(folder + L"\\run_log_test-", 0), 0u) << std::string(path.begin(), path.end());
    LogLine(L"wide text \u00d1and\u00fa \u5b89\u5168 secret-id");
    const std::string line(1000, 'x');
    for (unsigned long i = 0; i < kMaxRunLogBytes / line.size() + 10; ++i)
        LogLine(line);
    LogLine("after the limit");

    const std::string log = TestBackend::ReadFileBytes(path);
    EXPECT_NE(log.find(" before the file: [hidden]\r\n"), std::string::npos);
    EXPECT_NE(log.find(" wide text \xc3\x91" "and\xc3\xba \xe5\xae\x89\xe5\x85\xa8 [hidden]\r\n"), std::string::npos);
    EXPECT_EQ(log.find("secret-id"), std::string::npos);
    EXPECT_LE(log.size(), kMaxRunLogBytes);
    EXPECT_EQ(log.substr(log.size() - 40), "log stopped: it reached its size limit\r\n");
    EXPECT_EQ(log.find("after the limit"), std::string::npos);

    // The run has one log: opening again changes nothing.
    OpenRunLog(L"", folder);
    EXPECT_EQ(RunLogPath(), path);
}

TEST(RunLog, LogSwitch) {
    const struct {
        const wchar_t* commandLine;
        const wchar_t* path;
    } cases[] = {
        {L"setup.exe", L""},
        {L"setup.exe /log=C:\\x.log", L"C:\\x.log"},
        {L"setup.exe /LOG=\"C:\\a b\\x.log\"", L"C:\\a b\\x.log"},
        {L"\"C:\\p q\\setup.exe\" \"/log=C:\\a b\\x.log\" /other", L"C:\\a b\\x.log"},
        {L"setup.exe /log=first.log /log=second.log", L"second.log"},
        {L"setup.exe /lo /logfile /log", L""},
        {L"/log=C:\\program-name-is-not-an-argument.log", L""},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogPathArgument(c.commandLine), c.path) << std::wstring(c.commandLine).size();
}
