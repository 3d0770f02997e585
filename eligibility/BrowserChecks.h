// Rules over browsers and earlier installations: uninstall age, Chrome presence, the Internet Explorer
// version and the partner no-show period.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

#include "config/PlaceholderTable.h"
#include "eligibility/RegistryAccess.h"
#include "eligibility/RuleResult.h"

// One uninstall-age rule: the time stamp (seconds or milliseconds since 1970, UTC) in the named value must
// be at least minDays old at `now` (seconds since 1970). A missing value passes; a stamp that is not a
// number throws the standard conversion errors; a hive name other than the five full names throws
// std::out_of_range.
RuleResult CheckUninstallAge(RegistryLookup& registry, const std::wstring& root, const std::wstring& key,
                             const std::wstring& valueName, int32_t minDays, bool inMilliseconds, uint64_t now);
bool UninstallStampTooRecent(uint64_t stampSeconds, int32_t minDays, uint64_t now);

// Looks for Chrome or Chromium in the usual folders (expanded with `placeholders`) and where the registry
// says it is installed.
RuleResult CheckChrome(RegistryLookup& registry, bool needsChrome, bool needsNoChrome,
                       const PlaceholderTable& placeholders);
// The two halves of that rule, so that a run looks for the browser once.
bool ChromeInstalled(RegistryLookup& registry, const PlaceholderTable& placeholders);
RuleResult ChromeRule(bool needsChrome, bool needsNoChrome, bool installed);

// Blocks when the registered version is below 9; a missing version passes.
RuleResult CheckInternetExplorer(RegistryLookup& registry, bool needsModernIe);
// The registered version as ReadRegistryString gives it, and the rule over it.
std::pair<bool, std::wstring> InternetExplorerVersion(RegistryLookup& registry);
RuleResult InternetExplorerRule(bool needsModernIe, const std::pair<bool, std::wstring>& version);
// Throws the standard stof errors when the text does not start with a number.
bool IsOldInternetExplorer(const std::wstring& version);

// Blocks while the stamp under HKEY_LOCAL_MACHINE\noShowKey is a later date than `today` ("YYYYMMDD").
RuleResult CheckPartnerNoShow(RegistryLookup& registry, bool partnerOffer, const std::wstring& noShowKey,
                              const std::wstring& valueName, const std::wstring& today);
// The local calendar date as "YYYYMMDD".
std::wstring LocalDateText(std::time_t when);

// The 32 lower-case hexadecimal digits of the MD5 of the brand name in the ANSI code page; "" when the
// platform cannot hash. Names the no-show value.
std::wstring BrandValueName(const std::wstring& brandName);
