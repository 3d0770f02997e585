#include "eligibility/BrowserChecks.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "config/FolderPlaceholders.h"
#include "eligibility/NumberConversions.h"
#include "eligibility/SystemChecks.h"
#include "win32/CryptoHash.h"
#include "win32/Handle.h"
#include "win32/Strings.h"


bool UninstallStampTooRecent(uint64_t stampSeconds, int32_t minDays, uint64_t now) {
    // The day count is scaled in 32-bit signed arithmetic (wrapping, not undefined), then widened.
    const int32_t span = static_cast<int32_t>(static_cast<uint32_t>(minDays) * 86400u);
    const uint64_t limit = stampSeconds + static_cast<uint64_t>(static_cast<int64_t>(span));
    return now < limit;
}

RuleResult CheckUninstallAge(RegistryLookup& registry, const std::wstring& root, const std::wstring& key,
                             const std::wstring& valueName, int32_t minDays, bool inMilliseconds, uint64_t now) {
    auto [found, text] = registry.ReadRegistryString(ToLowerText(root), ToLowerText(key), ToLowerText(valueName));
    if (!found)
        return std::nullopt;
    uint64_t stamp = StringToULongLong(text);
    if (inMilliseconds)
        stamp /= 1000;
    if (UninstallStampTooRecent(stamp, minDays, now))
        return "MIN DAYS UNINSTALL CHECKER";
    return std::nullopt;
}

bool ChromeInstalled(RegistryLookup& registry, const PlaceholderTable& placeholders) {
    std::vector<std::wstring> candidates;
    for (const wchar_t* path : {L"{commonpf}\\Chromium\\Application\\chrome.exe",
                                L"{commonpf}\\Google\\Chrome\\Application\\chrome.exe",
                                L"{localappdata}\\Chromium\\Application\\chrome.exe"})
        candidates.push_back(ExpandFolderPlaceholders(path, placeholders));
    // Both keys are spelt in capitals, so they are read in this process's default view only.
    auto appPath = registry.ReadRegistryString(
        L"hkey_local_machine", L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe", L"Path");
    if (appPath.first)
        candidates.push_back(appPath.second + L"\\chrome.exe");
    auto beacon = registry.ReadRegistryString(L"hkey_current_user", L"SOFTWARE\\Google\\Chrome\\BLBeacon", L"Path");
    if (beacon.first)
        candidates.push_back(beacon.second);
    return AnyPathExists(candidates);
}

RuleResult ChromeRule(bool needsChrome, bool needsNoChrome, bool installed) {
    if (needsChrome && !installed)
        return "NO CHROME";
    if (needsNoChrome && installed)
        return "HAVE CHROME";
    return std::nullopt;
}

RuleResult CheckChrome(RegistryLookup& registry, bool needsChrome, bool needsNoChrome,
                       const PlaceholderTable& placeholders) {
    if (!needsChrome && !needsNoChrome)
        return std::nullopt;
    return ChromeRule(needsChrome, needsNoChrome, ChromeInstalled(registry, placeholders));
}

bool IsOldInternetExplorer(const std::wstring& version) {
    // Single precision throughout, also on the x87 unit.
    volatile float scaled = StringToFloat(version) * 10.0f;
    return scaled < 90.0f;
}

std::pair<bool, std::wstring> InternetExplorerVersion(RegistryLookup& registry) {
    return registry.ReadRegistryString(L"hkey_local_machine", L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version");
}

RuleResult InternetExplorerRule(bool needsModernIe, const std::pair<bool, std::wstring>& version) {
    if (needsModernIe && version.first && IsOldInternetExplorer(version.second))
        return "OLD IE VERSION";
    return std::nullopt;
}

RuleResult CheckInternetExplorer(RegistryLookup& registry, bool needsModernIe) {
    if (!needsModernIe)
        return std::nullopt;
    return InternetExplorerRule(needsModernIe, InternetExplorerVersion(registry));
}

RuleResult CheckPartnerNoShow(RegistryLookup& registry, bool partnerOffer, const std::wstring& noShowKey,
                              const std::wstring& valueName, const std::wstring& today) {
    if (!partnerOffer)
        return std::nullopt;
    auto [found, stamp] = registry.ReadRegistryString(L"hkey_local_machine", noShowKey, valueName);
    // The stamp is the first day on which the offer may show again.
    if (found && today < stamp)
        return "PN NO SHOW";
    return std::nullopt;
}

std::wstring LocalDateText(std::time_t when) {
    wchar_t text[16] = {};
    const std::tm* local = std::localtime(&when);
    if (!local || std::wcsftime(text, 16, L"%Y%m%d", local) == 0)
        return std::wstring();
    return text;
}

std::wstring BrandValueName(const std::wstring& brandName) {
    // Without a name no stamp can be found or written; the offer simply shows.
    const std::string digest = Md5Hex(WideToAnsi(brandName));
    return std::wstring(digest.begin(), digest.end());
}
