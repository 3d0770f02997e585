// The eligibility rule fields of an offer, read from its "ps" object when its Package is built.
#pragma once
#include <atomic>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// One "cmdu" element: a registry time stamp that must be old enough.
struct UninstallAgeRule {
    std::wstring root;       // "utr"
    std::wstring key;        // "utk"
    std::wstring valueName;  // "utvn"
    std::wstring valueType;  // "utvt"
    int minDays = 0;         // "umd"
    bool inMilliseconds = false;  // "utms"
};

// "cfs" of a partner offer; the defaults never block.
struct FrequencyRules {
    int maxBefore = INT_MAX;                 // "mb"
    std::vector<std::string> allowedBefore;  // "ab": base-62 offer ids, empty = any
    int maxAfter = INT_MAX;                  // "ma"
    std::vector<std::string> allowedAfter;   // "aa"
    int maxShownWith = INT_MAX;              // "mo": read by the wizard window only
    bool saadFlag = false;                   // "saad": declining skips every later offer
    bool extraSlotFlag = false;              // "sied": admitting it grants one more slot
};

// Partner-network fields, read only when "pn" is true.
struct PartnerInfo {
    bool partnerOffer = false;  // "pn"
    std::string apiUrl;         // "pnau"
    std::string apiKey;         // "pnak"
    std::string noShowKey;      // "pnr": key under HKEY_LOCAL_MACHINE holding the no-show date
    std::string pnop;           // "pnop"
    bool pnsi = false;          // "pnsi"
    std::string stubParams;     // "sp", expanded
    std::string la;             // "la"
    FrequencyRules frequencyRules;  // "cfs"
};

struct OfferRules {
    std::atomic<int> vertical{0};  // "v"; -1: no vertical
    bool exclusive = false;        // "exc"
    std::uint64_t minDiskMb = 0;   // "disk"; 0: no rule
    std::uint64_t minRamMb = 0;    // "ram"
    std::uint64_t minCpuMhz = 0;   // "cpu"
    int minOsCode = 0;             // "ov"; below 1: no rule
    std::string minSetupVersion;   // "pv"
    bool requires64Bit = false;    // "win64"
    std::optional<int> rulePreset;  // "x", applied after the fields above
    std::vector<std::wstring> blockingFiles;   // "fe", placeholders expanded
    std::vector<std::wstring> requiredFiles;   // "ife", placeholders expanded
    std::vector<std::string> blockingProcesses;  // "a"
    std::vector<std::wstring> blockingKeys;       // "r"
    std::vector<std::wstring> requiredKeys;       // "ir"
    std::vector<std::wstring> blockingValues;     // "rvn"
    std::vector<std::wstring> blockingValueData;  // "rvd"
    std::vector<std::wstring> excludedApps;       // "eapp"
    std::vector<std::wstring> requiredApps;       // "iapp"
    bool needsChrome = false;    // only presets set these three
    bool needsNoChrome = false;
    bool needsModernIe = false;
    std::vector<UninstallAgeRule> uninstallAgeRules;  // "cmdu"
    PartnerInfo partner;
};

// Strict readers: a present value of another JSON type throws the library's type error.
namespace offer_json {
// Any JSON number, fractions truncated; booleans and strings are type errors.
std::int64_t Integer(const nlohmann::json& value);
std::uint64_t Unsigned(const nlohmann::json& value);
}  // namespace offer_json

// "x": 1, 2, 3, 10, 12, 13 override fields read before; any other value does nothing.
void ApplyRulePreset(OfferRules& rules, int preset);
FrequencyRules ReadFrequencyRules(const nlohmann::json& cfs);
// Strings converted from UTF-8; invalid UTF-8 throws.
std::vector<UninstallAgeRule> ReadUninstallAgeRules(const nlohmann::json& cmdu);
// Strict UTF-8 to UTF-16; throws std::runtime_error "MultiByteToWideChar() failed: <code>".
std::wstring Utf8ToWideStrict(const std::string& text);
