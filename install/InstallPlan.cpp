#include "install/InstallPlan.h"

#include <algorithm>

#include "win32/Strings.h"

namespace {

// Far above any real host name (253 characters at most): a longer one is hostile, not an address.
constexpr size_t kLongestHost = 1024;

// The pattern's \w, '.' and '-', in the classic locale.
bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '-';
}

constexpr FamilyRules kIsvRules{L"DownloadPageISV", true, "PAGE_ERROR_TITLE", "PAGE_ERROR_TEXT"};
constexpr FamilyRules kDlmRules{L"DownloadPageDLM", false, "PAGE_DOWNLOAD_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_DESC"};

constexpr const char* kDownloadFailed = "DOWNLOAD FAILED: ";
constexpr const char* kExecFailed = "EXEC FAILED: ";

}  // namespace

// The address pattern ^((http|https)://)?([\w.-]+)(\.[\w.-]+)+([/?#].*)?$ without a regular expression
// engine: the host is the run of word characters, dots and hyphens up to the first '/', '?' or '#' (or
// the end), and it matches when a dot stands inside it with at least one character on either side;
// the tail, like ECMAScript's ".", may hold anything but a line break.
bool IsAbsoluteUrl(const std::wstring& location) {
    const std::string text = WideToAnsi(location);
    size_t hostStart = 0;
    if (text.compare(0, 7, "http://") == 0)
        hostStart = 7;
    else if (text.compare(0, 8, "https://") == 0)
        hostStart = 8;
    size_t tailStart = text.find_first_of("/?#", hostStart);
    if (tailStart == std::string::npos)
        tailStart = text.size();
    else if (text.find_first_of("\r\n", tailStart) != std::string::npos)
        return false;
    // A location that names its scheme is a URL even when its host has no dot (localhost, an intranet
    // name) or carries a port, neither of which the pattern allows.
    if (hostStart > 0)
        return true;
    const size_t hostLength = tailStart;
    if (hostLength > kLongestHost)
        return false;
    for (size_t i = 0; i < hostLength; ++i)
        if (!IsHostCharacter(text[i]))
            return false;
    const size_t innerDot = hostLength < 3 ? std::string::npos : text.find('.', 1);
    return innerDot != std::string::npos && innerDot + 1 < hostLength;
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
