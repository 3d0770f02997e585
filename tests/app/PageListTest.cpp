// The page list as data: which pages a run shows for each family and page switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Navigation.h"
#include "app/PageList.h"

namespace {

std::string Describe(const std::vector<PageEntry>& pages) {
    static const char* const names[] = {"Language", "Branded", "Loading", "Warning", "License", "Welcome",
                                        "Product",  "Options", "Configurations", "Download", "Finish"};
    std::string text;
    for (const PageEntry& page : pages) {
        text += text.empty() ? "" : " ";
        text += names[static_cast<int>(page.kind)];
        if (page.kind == PageKind::Product)
            text += std::to_string(page.offer);
    }
    return text;
}

}  // namespace

TEST(PageList, PagesForEachFamilyAndSwitch) {
    struct Case {
        WizardType family;
        bool license, classic;
        std::size_t offers;
        const char* initial;
        const char* rest;
        const char* ahead;
    };
    const Case cases[] = {
        {WizardType::ISV, true, false, 2, "Branded Loading", "License Product0 Product1 Download Finish", "License"},
        {WizardType::ISV, true, true, 1, "Branded Loading",
         "Warning License Product0 Options Configurations Download Finish", "Warning License"},
        {WizardType::ISV, false, false, 0, "Language Loading", "Welcome Download Finish", ""},
        {WizardType::ISV, false, true, 0, "Language Loading", "Welcome Options Configurations Download Finish", ""},
        {WizardType::DLM, true, false, 1, "Branded Loading", "License Product0 Download Finish", "License"},
        {WizardType::DLM, false, false, 3, "Language Loading", "Welcome Product0 Product1 Product2 Download Finish",
         ""},
        {WizardType::Unknown, true, false, 2, "Branded Loading", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.family)) + (c.license ? " license" : "") +
                     (c.classic ? " classic" : "") + " offers " + std::to_string(c.offers));
        const PageSwitches switches{c.license, c.classic};
        EXPECT_EQ(Describe(BuildInitialPageList(switches)), c.initial);
        const std::vector<PageEntry> rest = BuildRestOfPageList(c.family, switches, c.offers);
        EXPECT_EQ(Describe(rest), c.rest);
        // Pages made ahead take the first places of the list the answer brings.
        const std::vector<PageEntry> ahead = BuildPagesAheadOfAnswer(c.family, switches);
        EXPECT_EQ(Describe(ahead), c.ahead);
        ASSERT_LE(ahead.size(), rest.size());
        EXPECT_TRUE(std::equal(ahead.begin(), ahead.end(), rest.begin()));
    }
}

TEST(Navigation, WhatTheWindowDecides) {
    EXPECT_EQ(WizardTitle(WizardType::ISV, L"Fennix Web"), std::optional<std::wstring>(L"Fennix Web "));
    EXPECT_EQ(WizardTitle(WizardType::DLM, L"Fennix Web"), std::optional<std::wstring>(L"Setup"));
    EXPECT_EQ(WizardTitle(WizardType::Unknown, L"Fennix Web"), std::nullopt) << "an unknown family does not run";

    EXPECT_EQ(ProductReportId(WizardType::ISV, L"Title", L"Id"), L"Id");
    EXPECT_EQ(ProductReportId(WizardType::DLM, L"Title", L"Id"), L"Title");
    EXPECT_EQ(ProductReportId(WizardType::Unknown, L"Title", L"Id"), L"");

    struct Move {
        std::size_t current;
        bool returned;
        std::size_t next;
        std::size_t back;
    };
    // Page 1 is the loading page: Back from page 2 and Next after such a return pass it by.
    const Move moves[] = {{0, false, 1, 0}, {0, true, 2, 0}, {2, false, 3, 0}, {2, true, 3, 0}, {5, true, 6, 4}};
    for (const Move& m : moves) {
        EXPECT_EQ(PageAfterNext(m.current, m.returned), m.next) << m.current << " " << m.returned;
        if (m.current > 0) {
            EXPECT_EQ(PageAfterBack(m.current), m.back) << m.current;
        }
    }

    const std::pair<const wchar_t*, CloseEntry> entries[] = {
        {L"DownloadPageISV", CloseEntry::Remove}, {L"DownloadPageDLM", CloseEntry::Remove},
        {L"FinishPageISV", CloseEntry::Restore},  {L"FinishPageDLM", CloseEntry::Restore},
        {L"ErrorPage", CloseEntry::Restore},      {L"ProductPage", CloseEntry::Keep},
        {L"LoadingPage", CloseEntry::Keep}};
    for (const auto& [name, change] : entries)
        EXPECT_EQ(CloseEntryOnArrival(name), change) << name;
}
