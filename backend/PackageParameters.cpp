#include "backend/PackageParameters.h"

#include <cmath>
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

bool EncodeBase62(const std::string& bytes, std::string& text) {
    static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    text.clear();
    size_t start = bytes.find_first_not_of('\0');
    if (start == std::string::npos)
        return true;
    size_t count = bytes.size() - start;
    // Digits needed for `count` bytes: count * log(256) / log(62), rounded up.
    size_t size = static_cast<size_t>(std::ceil(static_cast<double>(count) * std::log(256.0) / std::log(62.0)));
    std::vector<unsigned char> digits(size, 0);
    size_t length = 0;
    for (size_t i = start; i < bytes.size(); ++i) {
        unsigned carry = static_cast<unsigned char>(bytes[i]);
        size_t used = 0;
        for (auto it = digits.rbegin(); (carry != 0 || used < length) && it != digits.rend(); ++it, ++used) {
            carry += 256u * *it;
            *it = static_cast<unsigned char>(carry % 62);
            carry /= 62;
        }
        if (carry != 0)
            return false;  // "Non-zero carry": the buffer estimate was too small
        length = used;
    }
    size_t first = size - length;
    while (first < size && digits[first] == 0)
        ++first;
    for (size_t i = first; i < size; ++i)
        text += kAlphabet[digits[i]];
    return true;
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
