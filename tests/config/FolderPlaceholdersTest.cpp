#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "config/ConfigurationManager.h"
#include "config/FolderPlaceholders.h"

namespace {

PlaceholderTable MakeTable(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> entries) {
    PlaceholderTable table;
    for (const auto& [name, value] : entries)
        table.Insert(name, value);
    return table;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        result = path;
    CoTaskMemFree(path);
    return result;
}

bool ExpectWow64() {
    const char* expected = std::getenv("FENNIX_EXPECT_WOW64");
    return expected && std::string(expected) == "1";
}

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
    if (ExpectWow64())
        expected.push_back(L"commonpf64");
    EXPECT_EQ(names, expected);

    EXPECT_EQ(*table.Find(L"commonappdata"), KnownFolder(FOLDERID_RoamingAppData));
    EXPECT_EQ(*table.Find(L"localappdata"), KnownFolder(FOLDERID_LocalAppData));
    EXPECT_EQ(*table.Find(L"programdata"), KnownFolder(FOLDERID_ProgramData));
    EXPECT_EQ(config.folderPlaceholders64.Size(), ExpectWow64() ? 1u : 0u);
}

TEST(FolderPlaceholders, ProgramFilesOnThisWindows) {
    ConfigurationManager config(L"ISV");
    RemoveDirectoryW(config.tempFolder.c_str());
    const PlaceholderTable table = config.GetFolderPlaceholders();
    const std::wstring x86 = KnownFolder(FOLDERID_ProgramFilesX86);
    ASSERT_FALSE(x86.empty());

    if (ExpectWow64()) {
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
              KnownFolder(FOLDERID_RoamingAppData) + L"\\Fennix Web\\fxweb.exe");
}
