#include "backend/PackageParameters.h"

#include <mutex>

bool PackageParameters::Insert(const std::string& name, const std::string& value) {
    if (index_.count(name))
        return false;
    index_.emplace(name, entries_.size());
    entries_.emplace_back(name, value);
    return true;
}

const std::string* PackageParameters::Find(const std::string& name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

std::string ExpandParameters(const std::string& text, const PackageParameters& parameters) {
    std::string result = text;
    for (const auto& [name, value] : parameters) {
        const std::string token = "{" + name + "}";
        size_t position = 0;
        while ((position = result.find(token, position)) != std::string::npos) {
            result.replace(position, token.size(), value);
            position += value.size();
        }
    }
    return result;
}

std::string GetAffiliateCode(const std::string& countryCode) {
    static std::once_flag once;
    static std::unordered_map<std::string, std::string> table;
    std::call_once(once, [] {
        const std::pair<const char*, std::vector<const char*>> groups[] = {
            {"91088", {"US"}},
            {"91166", {"CA"}},
            {"91199", {"BR"}},
            {"91214", {"AU", "NZ", "KR"}},
            {"91105", {"DZ", "BG", "CY", "CZ", "EG", "GR", "HU", "IE", "IL", "KW", "MA", "PL",
                       "PT", "QA", "RO", "RU", "SA", "SK", "ZA", "TN", "TR", "UA", "AE"}},
            {"91215", {"TH", "MX", "PH", "AR", "VN", "TW", "PE", "CL", "CO", "VE", "RS", "LK", "DO", "JO", "HK", "LT",
                       "PS", "HR", "CR", "BA", "SV", "GE", "MD", "AL", "UY", "BY", "LB", "SN", "PA", "LV", "ID", "PK",
                       "SG"}},
        };
        for (const auto& [code, countries] : groups)
            for (const char* country : countries)
                table.emplace(country, code);
    });
    auto it = table.find(countryCode);
    return it == table.end() ? "91082" : it->second;
}

std::string ChoosePartnerParameter(const nlohmann::json& pnrp, const std::string& windowsVersion) {
    std::string choice;
    if (!pnrp.is_object())
        return choice;
    if (pnrp.contains("default"))
        choice = pnrp.at("default").get<std::string>();
    if (pnrp.contains(windowsVersion))
        choice = pnrp.at(windowsVersion).get<std::string>();
    return choice;
}
