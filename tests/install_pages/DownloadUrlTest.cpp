#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "install/DownloadPageBase.h"
#include "install/FinishPageDlm.h"

namespace {

struct UrlCase {
    const wchar_t* location;
    bool absolute;
};

// The scheme is optional and only a dot before the first slash makes a location absolute.
const UrlCase kUrlCases[] = {
    {L"https://cdn.example.test/offers/setup.exe", true},
    {L"http://cdn.example.test", true},
    {L"cdn.example.test/a?b#c", true},
    {L"setup.exe", true},
    {L"12345/setup.exe", false},
    {L"installers/offer1-setup.exe", false},
    {L"setup", false},
    {L"https://localhost/f/setup.exe", true},     // a named scheme is enough: no dot needed
    {L"https://cdn.example.test:8443/setup.exe", true},
    {L"localhost/f/setup.exe", false},
    {L"ftp://cdn.example.test/setup.exe", false},
    {L".exe", false},
    {L"a.", false},
    {L"https://cdn.example.test/a\nb", false},  // "." does not cross a line break
    {L"", false},
    {L"a..b", true},          // the dot's neighbours may be dots themselves
    {L"-._/x", true},
    {L"ab.?x", false},        // the host ends at '?', leaving its dot last
    {L"a.b#frag", true},
    {L"a b.c/setup.exe", false},
    {L"a.b\r", false},
    {L"\u00e9.example.test/setup.exe", false},  // \w is ASCII only
    {L"cdn.example.test:8443/setup.exe", false},
};

TEST(DownloadUrlTest, AbsoluteLocationsFollowThePattern) {
    for (const auto& c : kUrlCases)
        EXPECT_EQ(IsAbsoluteUrl(c.location), c.absolute) << std::string(c.location, c.location + wcslen(c.location));
}

// Every short location over the characters that steer the pattern is judged as the regular expression
// judges it (the library's matcher serves as the reference here only).
TEST(DownloadUrlTest, SchemelessLocationsMatchThePatternExactly) {
    const std::regex pattern(R"(^((http|https):\/\/)?([\w.-]+)(\.[\w.-]+)+([\/?#].*)?$)");
    const char alphabet[] = "a_.-/?# \n";
    const size_t letters = sizeof alphabet - 1;
    for (size_t length = 0; length <= 5; ++length) {
        size_t combinations = 1;
        for (size_t i = 0; i < length; ++i)
            combinations *= letters;
        for (size_t n = 0; n < combinations; ++n) {
            std::string text;
            for (size_t rest = n, i = 0; i < length; ++i, rest /= letters)
                text += alphabet[rest % letters];
            const bool expected = std::regex_match(text, pattern);
            ASSERT_EQ(IsAbsoluteUrl(std::wstring(text.begin(), text.end())), expected) << text;
        }
    }
}

TEST(DownloadUrlTest, RelativeLocationsGetTheBaseUrl) {
    EXPECT_EQ(ResolveDownloadUrl(L"12345/setup.exe", L"https://localhost/f/"), L"https://localhost/f/12345/setup.exe");
    EXPECT_EQ(ResolveDownloadUrl(L"https://h.test/s.exe", L"https://localhost/f/"), L"https://h.test/s.exe");
}

// A hostile address from the backend must not exhaust the stack in the matcher.
TEST(DownloadUrlTest, VeryLongLocationsAreMatchedSafely) {
    const std::wstring longTail = L"https://cdn.example.test/" + std::wstring(200000, L'a');
    EXPECT_TRUE(IsAbsoluteUrl(longTail));
    const std::wstring longHost = std::wstring(200000, L'a') + L".test/setup.exe";
    EXPECT_FALSE(IsAbsoluteUrl(longHost));
    EXPECT_FALSE(IsAbsoluteUrl(std::wstring(200000, L'1') + L"/setup.exe"));
    EXPECT_FALSE(IsAbsoluteUrl(std::wstring(200000, L'a') + L"."));
}

TEST(DownloadUrlTest, ExplorerSelectsTheQuotedPath) {
    EXPECT_EQ(ExplorerSelectArguments(L"C:\\Users\\me\\My Downloads\\Fennix Web.exe"),
              L"/select,\"C:\\Users\\me\\My Downloads\\Fennix Web.exe\"");
}

}  // namespace
