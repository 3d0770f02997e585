// Admits or rejects the offers of one configuration response, in response order: the offer limit,
// frequency rules, verticals, exclusivity, then the machine rules; the first rule that blocks is reported.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "eligibility/OfferRules.h"
#include "eligibility/RegistryAccess.h"
#include "eligibility/RegistryChecks.h"
#include "eligibility/RuleResult.h"
#include "eligibility/SystemChecks.h"

class ConfigurationManager;

// What the checker reads of an offer: plain data that the offer's package carries.
struct CheckedOffer {
    std::string offerId;
    int index = 0;  // place among the admitted offers when it was read
    OfferRules rules;
    std::string payloadProblem;  // what is wrong with the installer's digest or size; such an offer is never admitted
};

class EligibilityChecker {
public:
    using OfferList = std::vector<const CheckedOffer*>;
    // Sends a rejection (the wizard's: event 2 of the offer's package with {"13": text}); none is silent.
    using RejectionReporter = std::function<void(CheckedOffer& offer, const std::string& resultText)>;
    using Clock = std::function<std::time_t()>;

    EligibilityChecker(int maxOffers, std::shared_ptr<ConfigurationManager> config, RejectionReporter reporter = {},
                       Clock clock = {});

    // True admits the package (the caller appends it to `admitted`). limitReached is set only when the
    // offer limit ends the loop. Standard conversion errors from numbers on the machine escape.
    bool IsEligible(CheckedOffer& offer, bool& limitReached, const OfferList& admitted);
    // The same for a list of shared offers (the packages admitted so far).
    template <typename Pointer>
    bool IsEligible(const Pointer& offer, bool& limitReached, const std::vector<Pointer>& admitted) {
        OfferList earlier;
        earlier.reserve(admitted.size());
        for (const auto& other : admitted)
            earlier.push_back(&*other);
        return IsEligible(*offer, limitReached, earlier);
    }

    void RecordAdmission(const CheckedOffer& package);
    // Silent once the regular number of offers is admitted.
    void ReportRejection(CheckedOffer& package, const std::string& resultText);

    // The rules; true means blocked and already reported.
    bool CheckFrequency(CheckedOffer& package, const OfferList& admitted);
    bool CheckRegistryKeys(CheckedOffer& package);
    bool CheckDiskSpace(CheckedOffer& package);
    bool CheckRam(CheckedOffer& package);
    bool CheckCpu(CheckedOffer& package);
    bool CheckOsVersion(CheckedOffer& package);
    bool CheckSetupVersion(CheckedOffer& package);
    bool CheckRunningProcesses(CheckedOffer& package);
    bool CheckApps(CheckedOffer& package);
    bool CheckUninstallAge(CheckedOffer& package);
    bool CheckChrome(CheckedOffer& package);
    bool CheckInternetExplorer(CheckedOffer& package);
    bool CheckPartnerNoShow(CheckedOffer& package);

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

    // Machine facts, filled on first use for the life of the checker: one checker serves one run, so
    // each fact, registry key and path is asked of Windows once however many offers name it.
    MachineFacts machine;
    RegistryLookup registry;
    AppPathTable appTable;

private:
    bool PathExistsOnce(const std::wstring& path);
    bool AnyPathExistsOnce(const std::vector<std::wstring>& paths);
    bool WindowsVersionAtLeast(WORD major, WORD minor, WORD servicePackMajor);

    // Reports the text when the rule blocked.
    bool Blocked(CheckedOffer& package, const RuleResult& result);
    bool Reject(CheckedOffer& package, const std::string& resultText);

    std::shared_ptr<ConfigurationManager> config_;
    RejectionReporter reporter_;
    Clock clock_;

    std::map<std::wstring, bool> pathAnswers_;
    std::map<std::tuple<WORD, WORD, WORD>, bool> versionAnswers_;
    std::optional<bool> chromeInstalled_;
    std::optional<std::pair<bool, std::wstring>> ieVersion_;
    std::optional<std::wstring> brandValueName_;
};
