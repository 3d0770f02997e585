#include "eligibility/EligibilityChecker.h"

#include "config/ConfigurationManager.h"
#include "eligibility/BrowserChecks.h"
#include "eligibility/FrequencyChecks.h"
#include "win32/Strings.h"
#include "win32/WindowsVersion.h"

EligibilityChecker::EligibilityChecker(int maxOffers, std::shared_ptr<ConfigurationManager> config,
                                       RejectionReporter reporter, Clock clock)
    : checkerMaxOffers(maxOffers), config_(std::move(config)), reporter_(std::move(reporter)), clock_(std::move(clock)) {
    if (!reporter_)
        reporter_ = [](CheckedOffer&, const std::string&) {};
    if (!clock_)
        clock_ = [] { return std::time(nullptr); };
}

bool EligibilityChecker::IsEligible(CheckedOffer& offer, bool& limitReached, const OfferList& admitted) {
    const OfferRules& rules = offer.rules;

    if (admittedCount >= checkerMaxOffers + config_->extraOfferSlots) {
        limitReached = true;
        return false;
    }
    // An offer the backend meant to be verified is never run unverified.
    if (!offer.payloadProblem.empty())
        return Reject(offer, offer.payloadProblem);
    if (CheckFrequency(offer, admitted))
        return false;
    const int32_t vertical = rules.vertical.load();
    if (admittedVerticals.count(vertical))
        return Reject(offer, vertical == -1 ? "MULTIPLE OFFERS W/O VERTICAL" : "SAME VERTICAL OFFER ALREADY PRESENT");
    if (rules.exclusive && admittedCount != 0)
        return Reject(offer, "EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT");

    if (CheckRegistryKeys(offer) || CheckDiskSpace(offer) || CheckRam(offer) || CheckCpu(offer) ||
        CheckOsVersion(offer) || CheckSetupVersion(offer))
        return false;
    if (rules.requires64Bit && !registry.Windows64())
        return Reject(offer, "64 BIT OS REQUIRED");
    if (!rules.blockingFiles.empty() && AnyPathExistsOnce(rules.blockingFiles))
        return Reject(offer, "FILE EXISTS");
    if (!rules.requiredFiles.empty() && !AnyPathExistsOnce(rules.requiredFiles))
        return Reject(offer, "NONE OF THE FILES EXISTS");
    if (CheckRunningProcesses(offer) || CheckApps(offer) || CheckUninstallAge(offer) || CheckChrome(offer) ||
        CheckInternetExplorer(offer) || CheckPartnerNoShow(offer))
        return false;

    RecordAdmission(offer);
    return true;
}

bool EligibilityChecker::PathExistsOnce(const std::wstring& path) {
    auto [answer, added] = pathAnswers_.try_emplace(path, false);
    if (added)
        answer->second = PathExists(path);
    return answer->second;
}

bool EligibilityChecker::AnyPathExistsOnce(const std::vector<std::wstring>& paths) {
    for (const auto& path : paths)
        if (PathExistsOnce(path))
            return true;
    return false;
}

bool EligibilityChecker::WindowsVersionAtLeast(WORD major, WORD minor, WORD servicePackMajor) {
    auto [answer, added] = versionAnswers_.try_emplace(std::make_tuple(major, minor, servicePackMajor), false);
    if (added)
        answer->second = IsWindowsVersionAtLeast(major, minor, servicePackMajor);
    return answer->second;
}

void EligibilityChecker::RecordAdmission(const CheckedOffer& package) {
    ++admittedCount;
    admittedVerticals.insert(package.rules.vertical.load());
    admittedOfferIds.push_back(package.offerId);
    // The first admitted offer never grants a slot.
    if (package.rules.partner.frequencyRules.extraSlotFlag && admittedCount > 1)
        ++config_->extraOfferSlots;
}

void EligibilityChecker::ReportRejection(CheckedOffer& package, const std::string& resultText) {
    if (admittedCount >= checkerMaxOffers)
        return;
    reporter_(package, resultText);
}

bool EligibilityChecker::Reject(CheckedOffer& package, const std::string& resultText) {
    ReportRejection(package, resultText);
    return false;
}

bool EligibilityChecker::Blocked(CheckedOffer& package, const RuleResult& result) {
    if (!result)
        return false;
    ReportRejection(package, *result);
    return true;
}

bool EligibilityChecker::CheckFrequency(CheckedOffer& package, const OfferList& admitted) {
    const FrequencyRules& own = package.rules.partner.frequencyRules;
    std::vector<AdmittedOfferRules> earlier;
    earlier.reserve(admitted.size());
    for (const auto& other : admitted) {
        const FrequencyRules& rules = other->rules.partner.frequencyRules;
        earlier.push_back({other->offerId, other->index, rules.maxAfter, &rules.allowedAfter});
    }
    const auto encode = [](const std::string& id) {
        std::string text;
        EncodeBase62(id, text);
        return text;
    };
    return Blocked(package, ::CheckFrequency({package.offerId, own.maxBefore, &own.allowedBefore}, admittedCount,
                                             admittedOfferIds, config_->extraOfferSlots, earlier, encode));
}

bool EligibilityChecker::CheckRegistryKeys(CheckedOffer& package) {
    const OfferRules& rules = package.rules;
    return Blocked(package, ::CheckRegistryKeys(registry, rules.blockingKeys, rules.requiredKeys,
                                                rules.blockingValues, rules.blockingValueData));
}

bool EligibilityChecker::CheckDiskSpace(CheckedOffer& package) {
    return Blocked(package, machine.CheckDiskSpace(package.rules.minDiskMb));
}

bool EligibilityChecker::CheckRam(CheckedOffer& package) { return Blocked(package, machine.CheckRam(package.rules.minRamMb)); }

bool EligibilityChecker::CheckCpu(CheckedOffer& package) { return Blocked(package, machine.CheckCpu(package.rules.minCpuMhz)); }

bool EligibilityChecker::CheckOsVersion(CheckedOffer& package) {
    return Blocked(package, ::CheckOsVersion(package.rules.minOsCode, [this](WORD major, WORD minor, WORD pack) {
                       return WindowsVersionAtLeast(major, minor, pack);
                   }));
}

bool EligibilityChecker::CheckSetupVersion(CheckedOffer& package) {
    return Blocked(package, ::CheckSetupVersion(package.rules.minSetupVersion, config_->setupVersion));
}

bool EligibilityChecker::CheckRunningProcesses(CheckedOffer& package) {
    return Blocked(package, machine.CheckRunningProcesses(package.rules.blockingProcesses));
}

bool EligibilityChecker::CheckApps(CheckedOffer& package) {
    return Blocked(package, ::CheckApps(appTable, package.rules.requiredApps, package.rules.excludedApps));
}

bool EligibilityChecker::CheckUninstallAge(CheckedOffer& package) {
    const uint64_t now = static_cast<uint64_t>(clock_());
    for (const auto& rule : package.rules.uninstallAgeRules)
        if (Blocked(package, ::CheckUninstallAge(registry, rule.root, rule.key, rule.valueName, rule.minDays,
                                                 rule.inMilliseconds, now)))
            return true;
    return false;
}

bool EligibilityChecker::CheckChrome(CheckedOffer& package) {
    const OfferRules& rules = package.rules;
    if (!rules.needsChrome && !rules.needsNoChrome)
        return false;
    if (!chromeInstalled_)
        chromeInstalled_ = ChromeInstalled(registry, config_->GetFolderPlaceholders());
    return Blocked(package, ChromeRule(rules.needsChrome, rules.needsNoChrome, *chromeInstalled_));
}

bool EligibilityChecker::CheckInternetExplorer(CheckedOffer& package) {
    if (!package.rules.needsModernIe)
        return false;
    if (!ieVersion_)
        ieVersion_ = InternetExplorerVersion(registry);
    return Blocked(package, InternetExplorerRule(true, *ieVersion_));
}

bool EligibilityChecker::CheckPartnerNoShow(CheckedOffer& package) {
    const PartnerInfo& partner = package.rules.partner;
    if (!partner.partnerOffer)
        return false;
    if (!brandValueName_)
        brandValueName_ = BrandValueName(config_->brandName);
    return Blocked(package, ::CheckPartnerNoShow(registry, true, Utf8ToWide(partner.noShowKey), *brandValueName_,
                                                 LocalDateText(clock_())));
}
