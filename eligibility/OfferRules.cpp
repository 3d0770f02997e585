#include "eligibility/OfferRules.h"

#include <windows.h>

#include <stdexcept>

namespace {

void RequireNumber(const nlohmann::json& value) {
    // The library would quietly read a boolean as 0 or 1.
    if (!value.is_number())
        throw nlohmann::json::type_error::create(302, "type must be number, but is " + std::string(value.type_name()),
                                                 &value);
}

int Int32(const nlohmann::json& value) { return static_cast<int>(offer_json::Integer(value)); }

}  // namespace

namespace offer_json {

std::int64_t Integer(const nlohmann::json& value) {
    RequireNumber(value);
    return value.get<std::int64_t>();
}

std::uint64_t Unsigned(const nlohmann::json& value) {
    RequireNumber(value);
    return value.get<std::uint64_t>();
}

}  // namespace offer_json

void ApplyRulePreset(OfferRules& rules, int preset) {
    switch (preset) {
    case 1:
        rules.minDiskMb = 2500;
        rules.minRamMb = 250;
        break;
    case 2:
        rules.needsChrome = true;
        rules.needsModernIe = true;
        break;
    case 3:
        rules.minDiskMb = 512;
        rules.minRamMb = 1536;
        rules.minCpuMhz = 1500;
        break;
    case 10:
        rules.requires64Bit = true;
        break;
    case 12:
        rules.needsChrome = true;
        break;
    case 13:
        rules.needsNoChrome = true;
        break;
    default:
        break;
    }
}

FrequencyRules ReadFrequencyRules(const nlohmann::json& cfs) {
    FrequencyRules rules;
    if (cfs.contains("mb"))
        rules.maxBefore = Int32(cfs.at("mb"));
    if (cfs.contains("ab"))
        rules.allowedBefore = cfs.at("ab").get<std::vector<std::string>>();
    if (cfs.contains("ma"))
        rules.maxAfter = Int32(cfs.at("ma"));
    if (cfs.contains("aa"))
        rules.allowedAfter = cfs.at("aa").get<std::vector<std::string>>();
    if (cfs.contains("mo"))
        rules.maxShownWith = Int32(cfs.at("mo"));
    if (cfs.contains("saad"))
        rules.saadFlag = cfs.at("saad").get<bool>();
    if (cfs.contains("sied"))
        rules.extraSlotFlag = cfs.at("sied").get<bool>();
    return rules;
}

std::vector<UninstallAgeRule> ReadUninstallAgeRules(const nlohmann::json& cmdu) {
    std::vector<UninstallAgeRule> rules;
    for (const auto& item : cmdu.get_ref<const nlohmann::json::array_t&>()) {
        UninstallAgeRule rule;
        rule.root = Utf8ToWideStrict(item.at("utr").get<std::string>());
        rule.key = Utf8ToWideStrict(item.at("utk").get<std::string>());
        rule.valueName = Utf8ToWideStrict(item.at("utvn").get<std::string>());
        rule.valueType = Utf8ToWideStrict(item.at("utvt").get<std::string>());
        rule.minDays = Int32(item.at("umd"));
        if (item.contains("utms"))
            rule.inMilliseconds = item.at("utms").get<bool>();
        rules.push_back(std::move(rule));
    }
    return rules;
}

std::wstring Utf8ToWideStrict(const std::string& text) {
    if (text.empty())
        return {};
    int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length <= 0 ||
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, result.data(), length) != length)
        throw std::runtime_error("MultiByteToWideChar() failed: " + std::to_string(GetLastError()));
    return result;
}
