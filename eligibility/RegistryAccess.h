// Registry access for the eligibility rules: key specifications, the two views of 64-bit Windows,
// cached key-existence tests and single-value reads.
#pragma once
#include <windows.h>

#include <map>
#include <stdexcept>
#include <tuple>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "win32/Handle.h"
#include "win32/ProgramView.h"

namespace win32 {

// A failed registry call: one of the layer's fixed messages plus the Windows error code.
class RegistryError : public std::runtime_error {
public:
    RegistryError(const char* message, LONG code) : std::runtime_error(message), code_(code) {}
    LONG Code() const noexcept { return code_; }

private:
    LONG code_;
};

}  // namespace win32

// Lower-case tables; a full key path is a hive name, a backslash and a subkey path.
extern const std::vector<std::wstring> hiveNames;
extern const std::vector<std::pair<std::wstring, std::wstring>> hiveAliases;  // ordered by alias
extern const std::vector<std::wstring> softwarePrefixes;
extern const std::vector<std::wstring> wow64Prefixes;
extern const std::unordered_map<std::wstring, HKEY> hiveHandles;

// The root handle of a hive name; an unknown name throws std::out_of_range.
HKEY HiveHandle(const std::wstring& hiveName);

std::wstring ToLowerText(std::wstring text);

// Candidate full key paths of a lower-case key specification (full, alias or relative form).
std::vector<std::wstring> ExpandKeySpec(const std::wstring& keySpec, bool windows64);
std::vector<std::wstring> ExpandKeySpec(const std::wstring& keySpec);

// Moves a software path into the view where it lives; true means the path cannot exist on this system.
bool ResolveRegistryView(std::wstring& path, REGSAM& view, bool windows64);
bool ResolveRegistryView(std::wstring& path, REGSAM& view);

// An empty handle when the key cannot be opened. Every open of the layer goes through here.
UniqueRegKey TryOpenKey(HKEY root, const std::wstring& subkey, REGSAM access, LONG* error = nullptr);
// Keys opened by the layer since the process started: lets tests and the benchmark see the cache work.
unsigned long RegistryOpenCount();

// False also when the value cannot be queried.
bool ValueExists(HKEY key, const std::wstring& name);
// REG_SZ, REG_DWORD, ...; 0 when the type cannot be read.
DWORD GetValueType(HKEY key, const std::wstring& name);
// These throw win32::RegistryError.
std::wstring ReadStringValue(HKEY key, const std::wstring& subkey, const std::wstring& name);
DWORD ReadDwordValue(HKEY key, const std::wstring& name);
ULONGLONG ReadQwordValue(HKEY key, const std::wstring& name);
// Lower-cased names of the direct subkeys, in index order.
std::vector<std::wstring> EnumerateSubkeys(HKEY key);

// A value as one query gives it: absent (found false, type 0) or its type and bytes.
struct RegistryValue {
    bool found = false;
    DWORD type = 0;
    std::vector<BYTE> data;
    // The bytes as that type; win32::RegistryError when they are not (a DWORD of two bytes, say).
    std::wstring AsString() const;  // up to the first NUL
    DWORD AsDword() const;
    ULONGLONG AsQword() const;
};
RegistryValue QueryValue(HKEY key, const std::wstring& name);

// Key tests and value reads for one run of the checks. Each key is opened at most once per hive, view and
// path (absent keys are remembered too) and values are read from those handles; the first-level subkey
// lists (Software of each hive and view) are enumerated once, so a rule naming an unknown vendor costs no
// registry call after the first offer. Values are queried once per key and name. What the registry gains
// during the run is not seen.
class RegistryLookup {
public:
    explicit RegistryLookup(bool windows64 = Is64BitWindows()) : windows64_(windows64) {}
    RegistryLookup(const RegistryLookup&) = delete;
    RegistryLookup& operator=(const RegistryLookup&) = delete;

    bool KeyExists(const std::wstring& path);
    // Stops at the first empty specification, which counts as "none found".
    bool AnyKeyExists(const std::vector<std::wstring>& keySpecs);
    // The value as text (a DWORD or QWORD in decimal); found is false when no candidate holds it.
    std::pair<bool, std::wstring> ReadRegistryString(const std::wstring& hiveName, const std::wstring& keyPath,
                                                     const std::wstring& valueName);
    // Opens a candidate key as the value rules do: existence test first, then the view it lives in.
    // Null when it is absent; the handle belongs to the lookup and stays valid for its life.
    HKEY OpenCandidate(const std::wstring& keyPath);
    // `subkey` of `root` for reading in `view` (none: the program's own), opened on first use; null when
    // it cannot be opened. The handle belongs to the lookup.
    HKEY OpenKey(HKEY root, REGSAM view, const std::wstring& subkey);
    // The value `name` of a key this lookup opened, queried on first use.
    const RegistryValue& Value(HKEY key, const std::wstring& name);

    bool Windows64() const { return windows64_; }

private:
    bool CachedKeyExists(const std::wstring& path);

    bool windows64_;
    using SubkeyLists = std::map<std::wstring, std::vector<std::wstring>>;  // first-level key -> names
    std::map<HKEY, std::map<REGSAM, SubkeyLists>> subkeyCache;
    // Root, effective view and lower-cased path: the registry ignores case within one view.
    std::map<std::tuple<HKEY, REGSAM, std::wstring>, UniqueRegKey> openKeys_;
    std::map<std::pair<HKEY, std::wstring>, RegistryValue> values_;  // by lower-cased name
};
