// The values that backend texts refer to by "{name}" tokens, and the helpers that make some of them.
#pragma once
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "win32/Strings.h"

// Name to value, iterated in insertion order; an insertion never replaces an earlier entry.
class PackageParameters {
public:
    bool Insert(const std::string& name, const std::string& value);
    const std::string* Find(const std::string& name) const;
    size_t Size() const { return entries_.size(); }
    std::vector<std::pair<std::string, std::string>>::const_iterator begin() const { return entries_.begin(); }
    std::vector<std::pair<std::string, std::string>>::const_iterator end() const { return entries_.end(); }

private:
    std::vector<std::pair<std::string, std::string>> entries_;
    std::unordered_map<std::string, size_t> index_;
};

// Replaces each entry's token, entries in insertion order, case-sensitive. Text an entry inserts is not
// searched again by that entry (a value holding its own token would never end), but later entries see it.
std::string ExpandParameters(const std::string& text, const PackageParameters& parameters);

// Five-digit affiliate code of an upper-case two-letter country code; "91082" for anything else.
std::string GetAffiliateCode(const std::string& countryCode);

// The "pnrp" value for a Windows version written "major.minor": its own member, else "default", else "".
std::string ChoosePartnerParameter(const nlohmann::json& pnrp, const std::string& windowsVersion);
