// The page list as data: which pages a run shows for each family and page switch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    };
    const Case cases[] = {
        {WizardType::ISV, true, false, 2, "Branded Loading", "License Product0 Product1 Download Finish"},
        {WizardType::ISV, true, true, 1, "Branded Loading",
         "Warning License Product0 Options Configurations Download Finish"},
        {WizardType::ISV, false, false, 0, "Language Loading", "Welcome Download Finish"},
        {WizardType::ISV, false, true, 0, "Language Loading", "Welcome Options Configurations Download Finish"},
        {WizardType::DLM, false, false, 3, "Language Loading", "Welcome Product0 Product1 Product2 Download Finish"},
        {WizardType::Unknown, false, false, 2, "Language Loading", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.family)) + (c.license ? " license" : "") +
                     (c.classic ? " classic" : "") + " offers " + std::to_string(c.offers));
        const PageSwitches switches{c.license, c.classic};
        EXPECT_EQ(Describe(BuildInitialPageList(switches)), c.initial);
        EXPECT_EQ(Describe(BuildRestOfPageList(c.family, switches, c.offers)), c.rest);
    }
}
