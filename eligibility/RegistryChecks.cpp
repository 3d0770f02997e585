#include "eligibility/RegistryChecks.h"

#include "eligibility/NumberConversions.h"
#include "eligibility/SystemChecks.h"

namespace {

const wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// Splits at the last backslash; false when there is none.
bool SplitLast(const std::wstring& text, std::wstring& head, std::wstring& tail) {
    size_t pos = text.rfind(L'\\');
    if (pos == std::wstring::npos)
        return false;
    head = text.substr(0, pos);
    tail = text.substr(pos + 1);
    return true;
}

}  // namespace

RuleResult CheckRegistryKeys(RegistryLookup& registry, const std::vector<std::wstring>& blockingKeys,
                             const std::vector<std::wstring>& requiredKeys,
                             const std::vector<std::wstring>& blockingValues,
                             const std::vector<std::wstring>& blockingValueData) {
    if (!blockingKeys.empty() && registry.AnyKeyExists(blockingKeys))
        return "REGISTRY KEY EXISTS";
    if (!requiredKeys.empty() && !registry.AnyKeyExists(requiredKeys))
        return "NONE OF THE REGISTRY KEYS EXISTS";
    if (RuleResult blocked = CheckRegistryValues(registry, blockingValues))
        return blocked;
    return CheckRegistryValueData(registry, blockingValueData);
}

RuleResult CheckRegistryValues(RegistryLookup& registry, const std::vector<std::wstring>& blockingValues) {
    for (const auto& keySpec : blockingValues) {
        const std::vector<std::wstring> candidates = ExpandKeySpec(ToLowerText(keySpec), registry.Windows64());
        if (candidates.empty())
            return std::nullopt;
        for (const auto& candidate : candidates) {
            std::wstring keyPath, valueName;
            if (!SplitLast(candidate, keyPath, valueName))
                continue;
            HKEY key = registry.OpenCandidate(keyPath);
            if (key && registry.Value(key, valueName).found)
                return "REGISTRY VALUE EXISTS";
        }
    }
    return std::nullopt;
}

RuleResult CheckRegistryValueData(RegistryLookup& registry, const std::vector<std::wstring>& blockingValueData) {
    for (const auto& keySpec : blockingValueData) {
        for (const auto& candidate : ExpandKeySpec(ToLowerText(keySpec), registry.Windows64())) {
            std::wstring rest, expected, keyPath, valueName;
            if (!SplitLast(candidate, rest, expected) || !SplitLast(rest, keyPath, valueName))
                continue;
            HKEY key = registry.OpenCandidate(keyPath);
            if (!key)
                continue;
            const RegistryValue& value = registry.Value(key, valueName);
            if (!value.found || value.type == 0)
                continue;
            try {
                if (ValueDataMatches(value, expected))
                    return "REGISTRY VALUE DATA MATCHES";
            } catch (const win32::RegistryError&) {
                // A value that cannot be read as its own type (a DWORD of two bytes, say) holds no data to
                // match; it must not end the offer loop.
            }
        }
    }
    return std::nullopt;
}

bool ValueDataMatches(DWORD type, HKEY key, const std::wstring& name, const std::wstring& expected) {
    switch (type) {
        case REG_SZ:
            return ToLowerText(ReadStringValue(key, std::wstring(), name)) == expected;
        case REG_DWORD: {
            const DWORD value = ReadDwordValue(key, name);
            return value == StringToULong(expected);
        }
        case REG_QWORD: {
            const ULONGLONG value = ReadQwordValue(key, name);
            return value == StringToULongLong(expected);
        }
        default:
            return false;
    }
}

bool ValueDataMatches(const RegistryValue& value, const std::wstring& expected) {
    switch (value.type) {
        case REG_SZ:
            return ToLowerText(value.AsString()) == expected;
        case REG_DWORD: {
            const DWORD data = value.AsDword();
            return data == StringToULong(expected);
        }
        case REG_QWORD: {
            const ULONGLONG data = value.AsQword();
            return data == StringToULongLong(expected);
        }
        default:
            return false;
    }
}

void AppPathTable::Fill() {
    std::vector<REGSAM> views = {0};
    if (windows64_)
        views.push_back(KEY_WOW64_64KEY);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (REGSAM view : views) {
            UniqueRegKey key = TryOpenKey(root, kAppPaths, view | KEY_READ);
            if (!key)
                continue;
            try {
                for (auto& name : EnumerateSubkeys(key.get()))
                    appTable.emplace(std::move(name), AppPathEntry{root, view, std::wstring(), false});
            } catch (const win32::RegistryError&) {
                // This root and view contribute nothing.
            }
        }
    }
}

bool AppPathTable::IsAppInstalled(const std::wstring& name) {
    if (appTable.empty())
        Fill();
    auto [first, last] = appTable.equal_range(name);
    for (auto it = first; it != last; ++it) {
        AppPathEntry& entry = it->second;
        if (!entry.resolved) {
            UniqueRegKey key = TryOpenKey(entry.root, std::wstring(kAppPaths) + L"\\" + it->first,
                                          entry.view | KEY_READ);
            if (key) {
                try {
                    entry.path = ReadStringValue(key.get(), std::wstring(), std::wstring());
                } catch (const win32::RegistryError&) {
                    entry.path.clear();
                }
            }
            entry.resolved = true;
        }
        if (PathExists(entry.path))
            return true;
    }
    return false;
}

RuleResult CheckApps(AppPathTable& apps, const std::vector<std::wstring>& requiredApps,
                     const std::vector<std::wstring>& excludedApps) {
    for (const auto& name : requiredApps)
        if (!apps.IsAppInstalled(name))
            return "REGISTRY INCLUDE APP NOT FOUND";
    for (const auto& name : excludedApps)
        if (apps.IsAppInstalled(name))
            return "REGISTRY EXCLUDE APP FOUND";
    return std::nullopt;
}
