#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cwchar>

#include "config/ConfigurationManager.h"
#include "config/FolderPlaceholders.h"
#include "tests/support/Prefix.h"
#include "win32/KnownFolder.h"
#include "win32/ProgramView.h"

namespace {

PlaceholderTable MakeTable(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> entries) {
    PlaceholderTable table;
    for (const auto& [name, value] : entries)
        table.Insert(name, value);
    return table;
}

bool ExpectWindows64() { return testing_support::PrefixIs64BitWindows(); }

}  // namespace

TEST(FolderPlaceholders, ExpansionRules) {
    const PlaceholderTable table = MakeTable({{L"commonpf", L"{commonpf64}"},
                                              {L"localappdata", L"C:\\Local"},
                                              {L"programdata", L""},
                                              {L"loop", L"{loop}x"},
                                              {L"commonpf64", L"C:\\Program Files"}});
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"{commonpf}\\App\\app.exe", L"C:\\Program Files\\App\\app.exe"},  // a value that is itself a later token
        {L"{localappdata}\\a;{localappdata}\\b", L"C:\\Local\\a;C:\\Local\\b"},  // every occurrence
        {L"{LocalAppData}\\a", L"{LocalAppData}\\a"},                        // case-sensitive
        {L"{unknown}\\a", L"{unknown}\\a"},                                  // not in the table
        {L"{programdata}\\x", L"\\x"},                                       // unreadable folder
        {L"{loop}{loop}", L"{loop}x{loop}x"},                                // inserted text is not searched again
        {L"", L""},
        {L"{localappdata", L"{localappdata"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandFolderPlaceholders(c.text, table), c.expected) << c.text;
}

TEST(FolderPlaceholders, EarlierEntriesAreVisitedFirst) {
    // An entry inserted before the one its value names is expanded; one inserted after is not.
    const PlaceholderTable table = MakeTable({{L"b", L"B"}, {L"a", L"{b}"}});
    EXPECT_EQ(ExpandFolderPlaceholders(L"{a}", table), L"{b}");
}

TEST(FolderPlaceholders, MachineTableOrderAndValues) {
    ConfigurationManager config(L"ISV");
    RemoveDirectoryW(config.tempFolder.c_str());
    const PlaceholderTable table = config.GetFolderPlaceholders();
    EXPECT_TRUE(config.placeholdersReady);

    std::vector<std::wstring> names;
    for (const auto& entry : table)
        names.push_back(entry.first);
    std::vector<std::wstring> expected = {L"commonpf", L"localappdata", L"commonappdata", L"programdata",
                                          L"commonpf32"};
    if (ExpectWindows64())
        expected.push_back(L"commonpf64");
    EXPECT_EQ(names, expected);

    EXPECT_EQ(*table.Find(L"commonappdata"), KnownFolderPath(FOLDERID_RoamingAppData));
    EXPECT_EQ(*table.Find(L"localappdata"), KnownFolderPath(FOLDERID_LocalAppData));
    EXPECT_EQ(*table.Find(L"programdata"), KnownFolderPath(FOLDERID_ProgramData));
    EXPECT_EQ(config.folderPlaceholders64.Size(), ExpectWindows64() ? 1u : 0u);
}

TEST(FolderPlaceholders, ProgramFilesOnThisWindows) {
    ConfigurationManager config(L"ISV");
    RemoveDirectoryW(config.tempFolder.c_str());
    const PlaceholderTable table = config.GetFolderPlaceholders();
    const std::wstring x86 = KnownFolderPath(FOLDERID_ProgramFilesX86);
    ASSERT_FALSE(x86.empty());

    if (ExpectWindows64()) {
        wchar_t native[MAX_PATH] = {};
        ASSERT_GT(GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH), 0u);
        EXPECT_NE(std::wstring(native), x86);
        EXPECT_EQ(ExpandFolderPlaceholders(L"{commonpf}\\App\\app.exe", table), std::wstring(native) + L"\\App\\app.exe");
        EXPECT_EQ(ExpandFolderPlaceholders(L"{commonpf64}", table), native);
        EXPECT_EQ(ExpandFolderPlaceholders(L"{commonpf32}", table), x86);
    } else {
        EXPECT_EQ(ExpandFolderPlaceholders(L"{commonpf}\\App", table), x86 + L"\\App");
        EXPECT_EQ(ExpandFolderPlaceholders(L"{commonpf64}\\App", table), L"{commonpf64}\\App");
    }
}

TEST(FolderPlaceholders, ProductLaunchPathUsesRoamingAppData) {
    EXPECT_EQ(ExpandFolderPlaceholders(L"{commonappdata}\\Fennix Web\\fxweb.exe"),
              KnownFolderPath(FOLDERID_RoamingAppData) + L"\\Fennix Web\\fxweb.exe");
}

// 32-bit Windows cannot be shown by any prefix here: the system fact is injected.
TEST(FolderPlaceholders, ThirtyTwoBitWindowsHasNoSixtyFourBitFolder) {
    PlaceholderTable table;
    PlaceholderTable table64;
    FillFolderPlaceholders(table, table64, false);
    EXPECT_EQ(*table.Find(L"commonpf"), L"{commonpf32}");
    EXPECT_EQ(table.Find(L"commonpf64"), nullptr);
    EXPECT_EQ(table64.Size(), 0u);
    EXPECT_EQ(ExpandFolderPlaceholders(L"{commonpf}\\App", table), KnownFolderPath(FOLDERID_ProgramFilesX86) + L"\\App");
}

TEST(ProgramView, SystemFolderAsTheThirtyTwoBitProgramSeesIt) {
    struct Case {
        const wchar_t* path;
        bool redirect;
        const wchar_t* seen;
    };
    const Case cases[] = {
        {L"C:\\Windows\\System32\\x.dll", true, L"C:\\Windows\\SysWOW64\\x.dll"},
        {L"c:\\windows\\system32", true, L"C:\\Windows\\SysWOW64"},
        {L"C:\\Windows\\Sysnative\\x.dll", true, L"C:\\Windows\\System32\\x.dll"},
        {L"C:\\Windows\\System32\\drivers\\etc\\hosts", true, L"C:\\Windows\\System32\\drivers\\etc\\hosts"},
        {L"C:\\Windows\\System32\\spool", true, L"C:\\Windows\\System32\\spool"},
        {L"C:\\Windows\\System32\\drivers\\x.sys", true, L"C:\\Windows\\SysWOW64\\drivers\\x.sys"},
        {L"C:\\Windows\\System32x\\x.dll", true, L"C:\\Windows\\System32x\\x.dll"},
        {L"C:\\Program Files\\x.exe", true, L"C:\\Program Files\\x.exe"},
        {L"C:\\Windows\\System32\\x.dll", false, L"C:\\Windows\\System32\\x.dll"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramFileSystemPath(c.path, L"C:\\Windows", c.redirect), c.seen) << std::string(c.path, c.path + wcslen(c.path));
}

// Both builds on this prefix see one file system: a file only in SysWOW64 exists for them at System32.
TEST(ProgramView, BothBuildsSeeTheSameSystemFolder) {
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(GetSystemWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring system32 = std::wstring(windows) + L"\\System32\\";
    const std::wstring onlyThere = ExpectWindows64() ? L"syswow64-only-probe.txt" : L"system32-probe.txt";
    wchar_t syswow64[MAX_PATH] = {};
    if (ExpectWindows64()) {
        ASSERT_GT(GetSystemWow64DirectoryW(syswow64, MAX_PATH), 0u);
        const std::wstring file = std::wstring(syswow64) + L"\\" + onlyThere;
        HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(created, INVALID_HANDLE_VALUE);
        CloseHandle(created);
        EXPECT_NE(GetFileAttributesW(ProgramFileSystemPath(system32 + onlyThere).c_str()), INVALID_FILE_ATTRIBUTES);
        DeleteFileW(file.c_str());
    } else {
        EXPECT_EQ(ProgramFileSystemPath(system32 + onlyThere), system32 + onlyThere);
    }
}
