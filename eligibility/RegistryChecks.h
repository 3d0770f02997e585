// Registry rules of an offer: keys, values, value data and applications registered under App Paths.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "eligibility/RegistryAccess.h"
#include "eligibility/RuleResult.h"

// Blocking keys, required keys, then the value rules.
RuleResult CheckRegistryKeys(RegistryLookup& registry, const std::vector<std::wstring>& blockingKeys,
                             const std::vector<std::wstring>& requiredKeys,
                             const std::vector<std::wstring>& blockingValues,
                             const std::vector<std::wstring>& blockingValueData);
RuleResult CheckRegistryValues(RegistryLookup& registry, const std::vector<std::wstring>& blockingValues);
RuleResult CheckRegistryValueData(RegistryLookup& registry, const std::vector<std::wstring>& blockingValueData);

// Case-insensitive for strings, numeric for DWORD and QWORD values. Expected data that is not a number
// throws the standard conversion errors; a failed read throws win32::RegistryError.
bool ValueDataMatches(DWORD type, HKEY key, const std::wstring& name, const std::wstring& expected);
bool ValueDataMatches(const RegistryValue& value, const std::wstring& expected);

struct AppPathEntry {
    HKEY root = nullptr;
    REGSAM view = 0;
    std::wstring path;
    bool resolved = false;
};

// Applications registered under App Paths of both roots and views, enumerated once and resolved per entry
// on first use.
class AppPathTable {
public:
    explicit AppPathTable(bool windows64 = Is64BitWindows()) : windows64_(windows64) {}

    // The name is matched exactly against the lower-cased registered names; the path must exist.
    bool IsAppInstalled(const std::wstring& name);

private:
    void Fill();

    bool windows64_;
    std::multimap<std::wstring, AppPathEntry> appTable;
};

RuleResult CheckApps(AppPathTable& apps, const std::vector<std::wstring>& requiredApps,
                     const std::vector<std::wstring>& excludedApps);
