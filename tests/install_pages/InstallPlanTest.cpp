// The install plan as data: which steps run, in which order, and what each reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/InstallPlan.h"

namespace {

// One line per step: kind, package, and what it reports: "D0 ok3 fail-1 path", "W0 ...", "S1 ...".
std::vector<std::string> Describe(const std::vector<InstallStep>& steps) {
    std::vector<std::string> lines;
    for (const InstallStep& step : steps) {
        std::string line = step.kind == StepKind::Download ? "D" : step.kind == StepKind::InstallAndWait ? "W" : "S";
        line += std::to_string(step.package);
        if (step.successCode)
            line += " ok" + std::to_string(step.successCode);
        if (*step.failurePrefix)
            line += " fail" + std::to_string(step.failureCode) + " " + step.failurePrefix;
        if (step.recordsPath)
            line += " path";
        lines.push_back(line);
    }
    return lines;
}

InstallPlanInput TwoOffers(WizardType family, bool failureEventCode) {
    InstallPlanInput input;
    input.family = family;
    input.failureEventCode = failureEventCode;
    input.productUrl = L"https://download.test/product.exe";
    input.productFileName = L"Product.exe";
    input.productArguments = L"/S";
    input.imageBaseUrl = L"https://backend.test/f/";
    input.offers = {{L"12345/setup.exe", L"/a"}, {L"https://cdn.test/b.zip", L"/b"}};
    return input;
}

}  // namespace

TEST(InstallPlan, StepsAndEventsPerFamily) {
    struct Case {
        const char* name;
        WizardType family;
        bool failureEventCode;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"ISV: downloads, the product waited for, then the offers started",
         WizardType::ISV, false,
         {"D0 fail-1 DOWNLOAD FAILED:  path", "D1 fail-1 DOWNLOAD FAILED: ", "D2 fail-1 DOWNLOAD FAILED: ",
          "W0 ok3 fail-1 EXEC FAILED:  path", "S1 ok3 fail-1 EXEC FAILED: ", "S2 ok3 fail-1 EXEC FAILED: "}},
        {"ISV with the failure code: a failed product reports 3",
         WizardType::ISV, true,
         {"D0 fail3 DOWNLOAD FAILED:  path", "D1 fail-1 DOWNLOAD FAILED: ", "D2 fail-1 DOWNLOAD FAILED: ",
          "W0 ok3 fail3 EXEC FAILED:  path", "S1 ok3 fail-1 EXEC FAILED: ", "S2 ok3 fail-1 EXEC FAILED: "}},
        {"DLM: the product reports 3 once downloaded and is never run",
         WizardType::DLM, false,
         {"D0 ok3 fail-1 DOWNLOAD FAILED:  path", "D1 fail-1 DOWNLOAD FAILED: ", "D2 fail-1 DOWNLOAD FAILED: ",
          "S1 ok3 fail-1 EXEC FAILED: ", "S2 ok3 fail-1 EXEC FAILED: "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Describe(BuildInstallPlan(TwoOffers(c.family, c.failureEventCode))), c.expected);
    }
}

TEST(InstallPlan, WithoutOffersOnlyTheProduct) {
    InstallPlanInput input = TwoOffers(WizardType::ISV, false);
    input.offers.clear();
    EXPECT_EQ(Describe(BuildInstallPlan(input)),
              (std::vector<std::string>{"D0 fail-1 DOWNLOAD FAILED:  path", "W0 ok3 fail-1 EXEC FAILED:  path"}));
}

TEST(InstallPlan, WhereEachFileComesFromAndGoes) {
    const auto isv = BuildInstallPlan(TwoOffers(WizardType::ISV, false));
    // The ISV product is placed like an offer; a relative location gets the image base in front.
    EXPECT_EQ(isv[0].url, L"https://download.test/product.exe");
    EXPECT_EQ(isv[0].fileName, L"");
    EXPECT_TRUE(isv[0].useTempFolder);
    EXPECT_EQ(isv[1].url, L"https://backend.test/f/12345/setup.exe");
    EXPECT_EQ(isv[2].url, L"https://cdn.test/b.zip");
    EXPECT_EQ(isv[3].arguments, L"/S");
    EXPECT_EQ(isv[4].arguments, L"/a");
    EXPECT_EQ(isv[5].arguments, L"/b");

    // The DLM product goes to the download folder under its own name, from its URL unchanged.
    InstallPlanInput input = TwoOffers(WizardType::DLM, false);
    input.productUrl = L"product.exe";  // would be relative for an offer
    const auto dlm = BuildInstallPlan(input);
    EXPECT_EQ(dlm[0].url, L"product.exe");
    EXPECT_EQ(dlm[0].fileName, L"Product.exe");
    EXPECT_FALSE(dlm[0].useTempFolder);
}

TEST(InstallPlan, FamilyRules) {
    EXPECT_TRUE(RulesFor(WizardType::ISV).installsProduct);
    EXPECT_STREQ(RulesFor(WizardType::ISV).pageName, L"DownloadPageISV");
    EXPECT_STREQ(RulesFor(WizardType::ISV).errorTitleKey, "PAGE_ERROR_TITLE");
    EXPECT_FALSE(RulesFor(WizardType::DLM).installsProduct);
    EXPECT_STREQ(RulesFor(WizardType::DLM).pageName, L"DownloadPageDLM");
    EXPECT_STREQ(RulesFor(WizardType::DLM).errorTextKey, "PAGE_DOWNLOAD_ERROR_DESC");
}
