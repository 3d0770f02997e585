#include "eligibility/RegistryAccess.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwctype>

#include "win32/Narrow.h"

const std::vector<std::wstring> hiveNames = {L"hkey_local_machine", L"hkey_current_user", L"hkey_classes_root",
                                             L"hkey_users", L"hkey_current_config"};
const std::vector<std::pair<std::wstring, std::wstring>> hiveAliases = {{L"hkcc", L"hkey_current_config"},
                                                                        {L"hkcr", L"hkey_classes_root"},
                                                                        {L"hkcu", L"hkey_current_user"},
                                                                        {L"hklm", L"hkey_local_machine"},
                                                                        {L"hku", L"hkey_users"}};
const std::vector<std::wstring> softwarePrefixes = {L"hkey_local_machine\\software\\",
                                                    L"hkey_current_user\\software\\"};
const std::vector<std::wstring> wow64Prefixes = {L"hkey_local_machine\\software\\wow6432node\\",
                                                 L"hkey_current_user\\software\\wow6432node\\"};
const std::unordered_map<std::wstring, HKEY> hiveHandles = {{L"hkey_local_machine", HKEY_LOCAL_MACHINE},
                                                            {L"hkey_current_user", HKEY_CURRENT_USER},
                                                            {L"hkey_classes_root", HKEY_CLASSES_ROOT},
                                                            {L"hkey_users", HKEY_USERS},
                                                            {L"hkey_current_config", HKEY_CURRENT_CONFIG}};

namespace {

std::atomic<unsigned long> openCount{0};

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool HasSoftwarePrefix(const std::wstring& path) {
    return std::any_of(softwarePrefixes.begin(), softwarePrefixes.end(),
                       [&](const std::wstring& prefix) { return StartsWith(path, prefix); });
}

std::vector<std::wstring> SplitPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t end = path.find(L'\\', start);
        parts.push_back(path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return parts;
        start = end + 1;
    }
}

// Hive name and subkey; a path without a backslash is a hive alone.
std::pair<std::wstring, std::wstring> SplitHive(const std::wstring& path) {
    size_t pos = path.find(L'\\');
    if (pos == std::wstring::npos)
        return {path, std::wstring()};
    return {path.substr(0, pos), path.substr(pos + 1)};
}

}  // namespace

HKEY HiveHandle(const std::wstring& hiveName) {
    auto it = hiveHandles.find(hiveName);
    if (it == hiveHandles.end())
        throw std::out_of_range("invalid unordered_map<K, T> key");
    return it->second;
}

std::wstring ToLowerText(std::wstring text) {
    for (auto& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

std::vector<std::wstring> ExpandKeySpec(const std::wstring& keySpec, bool windows64) {
    if (keySpec.empty())
        return {};
    if (StartsWith(keySpec, L"hkey")) {
        for (const auto& hive : hiveNames)
            if (StartsWith(keySpec, hive + L"\\"))
                return {keySpec};
    }
    if (StartsWith(keySpec, L"hk")) {
        for (const auto& [alias, hive] : hiveAliases)
            if (StartsWith(keySpec, alias + L"\\"))
                return {hive + keySpec.substr(alias.size())};
    }
    std::vector<std::wstring> candidates;
    for (const auto& prefix : softwarePrefixes)
        candidates.push_back(prefix + keySpec);
    if (windows64)
        for (const auto& prefix : wow64Prefixes)
            candidates.push_back(prefix + keySpec);
    return candidates;
}

std::vector<std::wstring> ExpandKeySpec(const std::wstring& keySpec) { return ExpandKeySpec(keySpec, Is64BitWindows()); }

bool ResolveRegistryView(std::wstring& path, REGSAM& view, bool windows64) {
    if (!HasSoftwarePrefix(path))
        return false;
    std::vector<std::wstring> parts = SplitPath(path);
    if (parts.size() < 3)
        return false;
    if (ToLowerText(parts[2]) == L"wow6432node") {
        if (!windows64)
            return true;
        // The 32-bit view is the program's own, which TryOpenKey adds: drop the redirection component.
        const size_t start = parts[0].size() + 1 + parts[1].size() + 1;
        path.erase(start, std::min(parts[2].size() + 1, path.size() - start));
        return false;
    }
    if (windows64)
        view |= KEY_WOW64_64KEY;
    return false;
}

bool ResolveRegistryView(std::wstring& path, REGSAM& view) { return ResolveRegistryView(path, view, Is64BitWindows()); }

UniqueRegKey TryOpenKey(HKEY root, const std::wstring& subkey, REGSAM access, LONG* error) {
    ++openCount;
    UniqueRegKey key;
    LONG result = RegOpenKeyExW(root, subkey.c_str(), 0, WithProgramRegistryView(access), key.put());
    if (result != ERROR_SUCCESS)
        key.reset();
    if (error)
        *error = result;
    return key;
}

unsigned long RegistryOpenCount() { return openCount.load(); }

// Any failure other than "not found" (access denied, ...) also counts as absent.
bool ValueExists(HKEY key, const std::wstring& name) {
    return RegGetValueW(key, nullptr, name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

DWORD GetValueType(HKEY key, const std::wstring& name) {
    DWORD type = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return type;
}

std::wstring ReadStringValue(HKEY key, const std::wstring& subkey, const std::wstring& name) {
    const wchar_t* sub = subkey.empty() ? nullptr : subkey.c_str();
    DWORD size = 0;
    LONG result = RegGetValueW(key, sub, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size);
    if (result != ERROR_SUCCESS)
        throw win32::RegistryError("Cannot read string from registry", result);
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    result = RegGetValueW(key, sub, name.c_str(), RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
    if (result != ERROR_SUCCESS)
        throw win32::RegistryError("Cannot read string from registry", result);
    const size_t chars = std::min<size_t>(size / sizeof(wchar_t), buffer.size());
    return std::wstring(buffer.data(), std::find(buffer.data(), buffer.data() + chars, L'\0'));
}

DWORD ReadDwordValue(HKEY key, const std::wstring& name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG result = RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (result != ERROR_SUCCESS)
        throw win32::RegistryError("Cannot read DWORD from registry.", result);
    return value;
}

ULONGLONG ReadQwordValue(HKEY key, const std::wstring& name) {
    ULONGLONG value = 0;
    DWORD size = sizeof value;
    LONG result = RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_QWORD, nullptr, &value, &size);
    if (result != ERROR_SUCCESS)
        throw win32::RegistryError("Cannot read QWORD from registry.", result);
    return value;
}

std::vector<std::wstring> EnumerateSubkeys(HKEY key) {
    DWORD count = 0;
    DWORD longest = 0;
    LONG result = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS)
        throw win32::RegistryError("RegQueryInfoKey failed while preparing for subkey enumeration.", result);
    std::vector<wchar_t> buffer(longest + 1, L'\0');
    std::vector<std::wstring> names;
    names.reserve(count);
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = CheckedNarrow<DWORD>(buffer.size());
        result = RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            throw win32::RegistryError("Cannot enumerate subkeys: RegEnumKeyEx failed.", result);
        names.push_back(ToLowerText(std::wstring(buffer.data(), length)));
    }
    return names;
}

HKEY RegistryLookup::OpenKey(HKEY root, REGSAM view, const std::wstring& subkey) {
    const REGSAM effective = WithProgramRegistryView(view) & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    auto [entry, added] = openKeys_.try_emplace(std::make_tuple(root, effective, ToLowerText(subkey)));
    if (added)
        entry->second = TryOpenKey(root, subkey, effective | KEY_READ);
    return entry->second.get();
}

RegistryValue QueryValue(HKEY key, const std::wstring& name) {
    RegistryValue value;
    value.data.resize(256);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = CheckedNarrow<DWORD>(value.data.size());
        const LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
        if (result == ERROR_SUCCESS) {
            value.data.resize(size);
            value.found = true;
            return value;
        }
        if (result != ERROR_MORE_DATA)
            break;
        value.data.resize(size);  // and again: the value may have grown in between
    }
    return RegistryValue{};
}

std::wstring RegistryValue::AsString() const {
    if (!found || type != REG_SZ)
        throw win32::RegistryError("Cannot read string from registry", ERROR_DATATYPE_MISMATCH);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
    const size_t chars = data.size() / sizeof(wchar_t);
    return std::wstring(text, std::find(text, text + chars, L'\0'));
}

DWORD RegistryValue::AsDword() const {
    DWORD value = 0;
    if (!found || type != REG_DWORD || data.size() != sizeof value)
        throw win32::RegistryError("Cannot read DWORD from registry.", ERROR_DATATYPE_MISMATCH);
    std::memcpy(&value, data.data(), sizeof value);
    return value;
}

ULONGLONG RegistryValue::AsQword() const {
    ULONGLONG value = 0;
    if (!found || type != REG_QWORD || data.size() != sizeof value)
        throw win32::RegistryError("Cannot read QWORD from registry.", ERROR_DATATYPE_MISMATCH);
    std::memcpy(&value, data.data(), sizeof value);
    return value;
}

const RegistryValue& RegistryLookup::Value(HKEY key, const std::wstring& name) {
    auto [entry, added] = values_.try_emplace(std::make_pair(key, ToLowerText(name)));
    if (added)
        entry->second = QueryValue(key, name);
    return entry->second;
}

bool RegistryLookup::KeyExists(const std::wstring& path) {
    if (HasSoftwarePrefix(path))
        return CachedKeyExists(path);
    auto [hive, subkey] = SplitHive(path);
    HKEY root = HiveHandle(hive);
    return OpenKey(root, 0, subkey) != nullptr;
}

bool RegistryLookup::CachedKeyExists(const std::wstring& path) {
    std::wstring resolved = path;
    REGSAM view = 0;
    if (ResolveRegistryView(resolved, view, windows64_))
        return false;

    // Split the path as given: the hive and the first-level key ("software") name the cached list.
    const std::vector<std::wstring> parts = SplitPath(path);
    const std::wstring& firstLevel = parts[1];
    const size_t prefixLength = parts[0].size() + 1 + firstLevel.size() + 1;
    HKEY root = HiveHandle(parts[0]);

    std::vector<std::wstring>& names = subkeyCache[root][view][firstLevel];
    if (names.empty()) {
        HKEY parent = OpenKey(root, view, firstLevel);
        if (!parent)
            return false;
        try {
            names = EnumerateSubkeys(parent);
        } catch (const win32::RegistryError&) {
            return false;
        }
    }

    const std::wstring remainder = resolved.substr(std::min(prefixLength, resolved.size()));
    const std::wstring vendor = remainder.substr(0, remainder.find(L'\\'));
    if (std::find(names.begin(), names.end(), vendor) == names.end())
        return false;
    return OpenKey(root, view, firstLevel + L"\\" + remainder) != nullptr;
}

bool RegistryLookup::AnyKeyExists(const std::vector<std::wstring>& keySpecs) {
    for (const auto& keySpec : keySpecs) {
        const std::vector<std::wstring> candidates = ExpandKeySpec(ToLowerText(keySpec), windows64_);
        if (candidates.empty())
            return false;
        for (const auto& candidate : candidates)
            if (KeyExists(candidate))
                return true;
    }
    return false;
}

HKEY RegistryLookup::OpenCandidate(const std::wstring& keyPath) {
    if (!KeyExists(keyPath))
        return nullptr;
    std::wstring path = keyPath;
    REGSAM view = 0;
    if (ResolveRegistryView(path, view, windows64_))
        return nullptr;
    auto [hive, subkey] = SplitHive(path);
    return OpenKey(HiveHandle(hive), view, subkey);
}

std::pair<bool, std::wstring> RegistryLookup::ReadRegistryString(const std::wstring& hiveName,
                                                                 const std::wstring& keyPath,
                                                                 const std::wstring& valueName) {
    std::vector<std::wstring> candidates = {hiveName + L"\\" + keyPath};
    if (windows64_ && keyPath.compare(0, 8, L"software") == 0)
        candidates.push_back(hiveName + L"\\" + keyPath.substr(0, 8) + L"\\wow6432node" + keyPath.substr(8));

    for (const auto& candidate : candidates) {
        HKEY key = OpenCandidate(candidate);
        if (!key)
            continue;
        const RegistryValue& value = Value(key, valueName);
        try {
            switch (value.type) {
                case REG_SZ:
                    return {true, value.AsString()};
                case REG_DWORD:
                    return {true, std::to_wstring(value.AsDword())};
                case REG_QWORD:
                    return {true, std::to_wstring(value.AsQword())};
                default:
                    break;
            }
        } catch (const win32::RegistryError&) {
            // An unreadable value counts as absent; try the next candidate.
        }
    }
    return {false, std::wstring()};
}
