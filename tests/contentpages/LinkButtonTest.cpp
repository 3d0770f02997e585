// Which addresses reach the shell.
#include <gtest/gtest.h>

#include "pages/LinkButton.h"
#include "tests/contentpages/PageHost.h"

using namespace contentpages_test;

TEST(OpenUrl, OnlyWebAddressesReachTheShell) {
    struct Case {
        const wchar_t* url;
        bool opened;
    };
    const Case cases[] = {
        {L"https://site.test/legal/privacy-policy/", true},
        {L"http://site.test/a?b=c", true},
        {L"HTTPS://SITE.TEST/", true},
        {L"", false},
        {L"https://", false},
        {L"C:\\Windows\\System32\\calc.exe", false},
        {L"calc.exe", false},
        {L"file:///C:/Windows/System32/calc.exe", false},
        {L"\\\\server\\share\\setup.exe", false},
        {L"javascript:alert(1)", false},
        {L" https://site.test/", false},
        {L"[LICENSE_TOS_URL]", false},
    };
    OpenedUrls opened;
    for (const Case& c : cases) {
        opened.urls.clear();
        EXPECT_EQ(OpenUrl(nullptr, c.url), c.opened) << testing::PrintToString(std::wstring(c.url));
        EXPECT_EQ(opened.urls.size(), c.opened ? 1u : 0u);
    }
}
