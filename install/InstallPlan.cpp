#include "install/InstallPlan.h"

#include <algorithm>
#include <regex>

#include "win32/Strings.h"

namespace {

// Longer locations are not matched: the library's matcher recurses once per character and would run
// out of stack on a hostile address. No real host name comes near this.
constexpr size_t kLongestMatchedHost = 1024;

constexpr FamilyRules kIsvRules{L"DownloadPageISV", true, "PAGE_ERROR_TITLE", "PAGE_ERROR_TEXT"};
constexpr FamilyRules kDlmRules{L"DownloadPageDLM", false, "PAGE_DOWNLOAD_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_DESC"};

constexpr const char* kDownloadFailed = "DOWNLOAD FAILED: ";
constexpr const char* kExecFailed = "EXEC FAILED: ";

}  // namespace

bool IsAbsoluteUrl(const std::wstring& location) {
    static const std::regex pattern(R"(^((http|https):\/\/)?([\w.-]+)(\.[\w.-]+)+([\/?#].*)?$)");
    std::string text = WideToAnsi(location);
    // The tail after the host is ".*": only its line breaks matter, so the matcher sees the scheme, the
    // host and the tail's first character only.
    size_t hostStart = 0;
    if (text.compare(0, 7, "http://") == 0)
        hostStart = 7;
    else if (text.compare(0, 8, "https://") == 0)
        hostStart = 8;
    const size_t tailStart = text.find_first_of("/?#", hostStart);
    if (tailStart != std::string::npos) {
        if (text.find_first_of("\r\n", tailStart) != std::string::npos)
            return false;
        text.resize(tailStart + 1);
    }
    // A location that names its scheme is a URL even when its host has no dot (localhost, an intranet
    // name) or carries a port, neither of which the pattern allows.
    if (hostStart > 0)
        return true;
    if (text.size() > kLongestMatchedHost + 1)
        return false;
    return std::regex_match(text, pattern);
}

std::wstring ResolveDownloadUrl(const std::wstring& location, const std::wstring& baseUrl) {
    return IsAbsoluteUrl(location) ? location : baseUrl + location;
}

const FamilyRules& RulesFor(WizardType family) { return family == WizardType::ISV ? kIsvRules : kDlmRules; }

std::vector<InstallStep> BuildInstallPlan(const InstallPlanInput& input) {
    const bool isv = RulesFor(input.family).installsProduct;
    const int productFailure = input.failureEventCode ? 3 : -1;
    std::vector<InstallStep> steps;

    InstallStep product{StepKind::Download, 0};
    if (isv) {
        product.url = ResolveDownloadUrl(input.productUrl, input.imageBaseUrl);
    } else {
        product.url = input.productUrl;
        product.fileName = input.productFileName;
        product.useTempFolder = false;
        product.successCode = 3;
    }
    product.failureCode = productFailure;
    product.failurePrefix = kDownloadFailed;
    product.recordsPath = true;
    steps.push_back(product);

    for (std::size_t i = 0; i < input.offers.size(); ++i) {
        InstallStep offer{StepKind::Download, i + 1};
        offer.url = ResolveDownloadUrl(input.offers[i].location, input.imageBaseUrl);
        offer.failurePrefix = kDownloadFailed;
        steps.push_back(offer);
    }

    if (isv) {
        InstallStep install{StepKind::InstallAndWait, 0};
        install.arguments = input.productArguments;
        install.successCode = 3;
        install.failureCode = productFailure;
        install.failurePrefix = kExecFailed;
        install.recordsPath = true;
        steps.push_back(install);
    }
    // An offer counts as installed once its installer has started; its outcome is not examined.
    for (std::size_t i = 0; i < input.offers.size(); ++i) {
        InstallStep start{StepKind::Start, i + 1};
        start.arguments = input.offers[i].arguments;
        start.successCode = 3;
        start.failurePrefix = kExecFailed;
        steps.push_back(start);
    }
    return steps;
}
