// Admits or rejects the offers of one configuration response, in response order: the offer limit,
// frequency rules, verticals, exclusivity, then the machine rules; the first rule that blocks is reported.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "eligibility/RegistryAccess.h"
#include "eligibility/RegistryChecks.h"
#include "eligibility/RuleResult.h"
#include "eligibility/SystemChecks.h"

class ConfigurationManager;
class Package;

class EligibilityChecker {
public:
    using PackageList = std::vector<std::shared_ptr<Package>>;
    // Sends a rejection; by default event 2 of the package with {"13": text}.
    using RejectionReporter = std::function<void(Package& package, const std::string& resultText)>;
    using Clock = std::function<std::time_t()>;

    explicit EligibilityChecker(int maxOffers);
    EligibilityChecker(int maxOffers, std::shared_ptr<ConfigurationManager> config, RejectionReporter reporter = {},
                       Clock clock = {});

    // True admits the package (the caller appends it to `admitted`). limitReached is set only when the
    // offer limit ends the loop. Standard conversion errors from numbers on the machine escape.
    bool IsEligible(const std::shared_ptr<Package>& package, bool& limitReached, const PackageList& admitted);

    void RecordAdmission(const Package& package);
    // Silent once the regular number of offers is admitted.
    void ReportRejection(Package& package, const std::string& resultText);

    // The rules; true means blocked and already reported.
    bool CheckFrequency(Package& package, const PackageList& admitted);
    bool CheckRegistryKeys(Package& package);
    bool CheckDiskSpace(Package& package);
    bool CheckRam(Package& package);
    bool CheckCpu(Package& package);
    bool CheckOsVersion(Package& package);
    bool CheckSetupVersion(Package& package);
    bool CheckRunningProcesses(Package& package);
    bool CheckApps(Package& package);
    bool CheckUninstallAge(Package& package);
    bool CheckChrome(Package& package);
    bool CheckInternetExplorer(Package& package);
    bool CheckPartnerNoShow(Package& package);

    // Registry layer with this checker's subkey cache.
    bool KeyExists(const std::wstring& path) { return registry.KeyExists(path); }
    std::pair<bool, std::wstring> ReadRegistryString(const std::wstring& hive, const std::wstring& key,
                                                     const std::wstring& value) {
        return registry.ReadRegistryString(hive, key, value);
    }
    bool IsAppInstalled(const std::wstring& name) { return appTable.IsAppInstalled(name); }

    int32_t checkerMaxOffers;
    int32_t admittedCount = 0;
    std::set<int32_t> admittedVerticals;
    std::vector<std::string> admittedOfferIds;

    // Machine caches, filled on first use for the life of the checker.
    MachineFacts machine;
    RegistryLookup registry;
    AppPathTable appTable;

private:
    // Reports the text when the rule blocked.
    bool Blocked(Package& package, const RuleResult& result);
    bool Reject(Package& package, const std::string& resultText);

    std::shared_ptr<ConfigurationManager> config_;
    RejectionReporter reporter_;
    Clock clock_;
};
