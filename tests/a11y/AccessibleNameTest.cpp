// What a screen reader reads of a link control's markup and of a text with a mnemonic.
#include <gtest/gtest.h>

#include <string>

#include "pagebase/AccessibleName.h"
#include "win32/Strings.h"

TEST(AccessibleName, LinkTextIsTheMarkupWithoutItsTags) {
    const struct {
        const wchar_t* markup;
        const wchar_t* read;
    } cases[] = {
        {L"By clicking, you accept its <a href=\"https://x.test/p\">Privacy Policy</a>.",
         L"By clicking, you accept its Privacy Policy."},
        {L"<A HREF=\"u\">Upper</A> and <a>bare</a>", L"Upper and bare"},
        {L"<a href=\"https://x.test/?q=a>b\">quoted</a>", L"quoted"},              // ">" inside the quotes ends no tag
        {L"Name <\u200Ca href=\"x\">as sent</a>", L"Name <a href=\"x\">as sent"},  // escaped: shown, so read
        {L"a <b> is no link, nor is <abbr>", L"a <b> is no link, nor is <abbr>"},
        {L"cut <a href=\"never closed", L"cut "},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LinkPlainText(c.markup), c.read) << WideToUtf8(c.markup);
}

TEST(AccessibleName, MnemonicAmpersandsAreNotRead) {
    EXPECT_EQ(WithoutMnemonic(L"&Decline"), L"Decline");
    EXPECT_EQ(WithoutMnemonic(L"Abrir &carpeta"), L"Abrir carpeta");
    EXPECT_EQ(WithoutMnemonic(L"Terms && Conditions"), L"Terms & Conditions");
    EXPECT_EQ(WithoutMnemonic(L"trailing&"), L"trailing");
}
