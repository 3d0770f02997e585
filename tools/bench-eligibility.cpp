// Times the check engine over a configuration of 200 offers with a realistic mix of rules: one checker for
// the whole response, as the loading worker uses it, against a bare loop that makes only the distinct
// reads of Windows those offers need, each once and with no rule logic. The two run as interleaved pairs
// after one warm-up pair. Prints figures only; the last line is the goal line.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "config/FolderPlaceholders.h"
#include "eligibility/EligibilityChecker.h"
#include "eligibility/RegistryAccess.h"
#include "events/EventContext.h"
#include "tools/bench/BenchSupport.h"
#include "win32/Handle.h"
#include "win32/KnownFolder.h"
#include "win32/WindowsVersion.h"

using nlohmann::json;

namespace {

const int kOffers = 200;
const int kPairs = 9;

const wchar_t kAppPaths[] = L"software\\microsoft\\windows\\currentversion\\app paths";

// What the offers' rules need of the registry and the file system, each item once: keys by root, view and
// path, values by key and name, files by path. Keys below Software and App Paths are looked for in their
// parent's list of subkeys (read once per root and view) before they are opened, as the checker does.
struct Reads {
    using Key = std::tuple<HKEY, REGSAM, std::wstring>;
    std::set<Key> keys;
    std::set<std::tuple<HKEY, REGSAM, std::wstring, std::wstring>> values;
    std::set<std::wstring> files;
    std::set<Key> lists;

    void Key4(const std::wstring& relative) {  // a vendor-relative key: both roots, both views
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
                keys.insert({root, view, L"software\\" + relative});
    }
    void Value4(const std::wstring& relative, const std::wstring& name) {
        Key4(relative);
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
                values.insert({root, view, L"software\\" + relative, name});
    }

    // Before timing: the parents' lists as they are on this machine decide which listed keys are opened
    // at all; the timed loop then reads the lists and opens only those keys.
    void KeepListedKeys() {
        std::set<Key> present;
        for (const auto& [root, view, parent] : lists) {
            UniqueRegKey key;
            if (RegOpenKeyExW(root, parent.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
                continue;
            wchar_t name[256];
            for (DWORD i = 0;; ++i) {
                DWORD length = 256;
                if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                present.insert({root, view, parent + L"\\" + ToLowerText(name)});
            }
        }
        const auto opened = [&](const Key& key) {
            const auto& [root, view, path] = key;
            const std::wstring* nearest = nullptr;  // the longest listed parent of the path
            for (const auto& [listRoot, listView, parent] : lists)
                if (listRoot == root && listView == view && path.compare(0, parent.size() + 1, parent + L"\\") == 0 &&
                    (!nearest || parent.size() > nearest->size()))
                    nearest = &parent;
            if (!nearest)
                return true;  // not below a list: opened directly
            const size_t end = path.find(L'\\', nearest->size() + 1);
            return present.count({root, view, path.substr(0, end)}) != 0;
        };
        for (auto it = keys.begin(); it != keys.end();)
            it = opened(*it) ? std::next(it) : keys.erase(it);
        for (auto it = values.begin(); it != values.end();) {
            const auto& [root, view, path, name] = *it;
            it = opened({root, view, path}) ? std::next(it) : values.erase(it);
        }
    }
};

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// One offer; every rule it carries passes on this machine, so the checker evaluates all of them and the
// reads listed for the bare loop are the reads the rules need.
json Offer(int n, const std::string& vendor, Reads& reads) {
    const std::string id = "offer" + std::to_string(n);
    const std::wstring v = Wide(vendor);
    json ps = {{"i", "i.png"}, {"dn", id}, {"u", "https://localhost/" + id + ".exe"}, {"v", n}};
    // Most offers guard against their own earlier installation and a few competitors.
    ps["r"] = {"vendor" + std::to_string(n) + "\\product", "hklm\\software\\competitor" + std::to_string(n % 17),
               vendor + "\\absent" + std::to_string(n)};
    reads.Key4(L"vendor" + std::to_wstring(n) + L"\\product");
    reads.keys.insert({HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"software\\competitor" + std::to_wstring(n % 17)});
    reads.Key4(v + L"\\absent" + std::to_wstring(n));
    if (n % 3 == 0) {
        ps["ir"] = {vendor, "hkcu\\software\\" + vendor};
        reads.keys.insert({HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"software\\" + v});  // found first
    }
    if (n % 4 == 0) {
        ps["rvn"] = {vendor + "\\installed" + std::to_string(n)};
        reads.Value4(v, L"installed" + std::to_wstring(n));
    }
    if (n % 5 == 0) {
        ps["rvd"] = {vendor + "\\mode\\off", vendor + "\\level\\9"};
        reads.Value4(v, L"mode");
        reads.Value4(v, L"level");
    }
    if (n % 2 == 0)
        ps["fe"] = {"{localappdata}\\Vendor" + std::to_string(n) + "\\app.exe", "{commonpf}\\Vendor\\app.exe"};
    if (n % 7 == 0)
        ps["ife"] = {"C:\\windows"};
    ps["a"] = {"vendor" + std::to_string(n) + ".exe", "updater" + std::to_string(n % 11)};
    if (n % 6 == 0) {
        ps["eapp"] = {"vendor" + std::to_string(n) + ".exe"};
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
                reads.keys.insert({root, view, std::wstring(kAppPaths) + L"\\vendor" + std::to_wstring(n) + L".exe"});
    }
    if (n % 9 == 0)
        ps["x"] = 13;  // no Chrome wanted: the browser is looked for
    else if (n % 11 == 0)
        ps["x"] = 10;  // 64-bit Windows only
    ps["ram"] = 256 + n;
    ps["disk"] = 100 + n;
    ps["cpu"] = 1;
    ps["ov"] = 61;
    ps["pv"] = "2.0";
    if (n % 10 == 0) {
        ps["pn"] = true;
        ps["pnr"] = "Software\\" + vendor + "\\NoShow";
        ps["cfs"] = {{"mb", 1000}, {"ma", 1000}};
        reads.keys.insert({HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"Software\\" + v + L"\\NoShow"});  // direct
    }
    if (n % 8 == 0) {
        ps["cmdu"] = {{{"utr", "HKEY_LOCAL_MACHINE"}, {"utk", "Software\\" + vendor}, {"utvn", "removed"},
                       {"utvt", "dword"}, {"umd", 3}}};
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
            reads.values.insert({HKEY_LOCAL_MACHINE, view, L"software\\" + v, L"removed"});
    }
    return {{"ad", {{"o", "o" + std::to_string(n)}, {"f", "f"}}}, {"ps", ps}};
}

unsigned long bareOpens = 0;

// The bare loop: each read once, nothing else.
void BareReads(const Reads& reads) {
    for (const auto& [root, view, path] : reads.lists) {
        HKEY key = nullptr;
        ++bareOpens;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
            continue;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(key);
    }
    for (const auto& [root, view, path] : reads.keys) {
        HKEY key = nullptr;
        ++bareOpens;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS)
            RegCloseKey(key);
    }
    HKEY open = nullptr;
    Reads::Key openKey;
    for (const auto& [root, view, path, name] : reads.values) {
        if (openKey != Reads::Key{root, view, path}) {
            if (open)
                RegCloseKey(open);
            open = nullptr;
            openKey = {root, view, path};
            ++bareOpens;
            RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &open);
        }
        BYTE data[512];
        DWORD type = 0, size = sizeof data;
        if (open)
            RegQueryValueExW(open, name.c_str(), nullptr, &type, data, &size);
    }
    if (open)
        RegCloseKey(open);
    for (const auto& path : reads.files)
        GetFileAttributesW(path.c_str());

    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    }
    ULARGE_INTEGER available{};
    GetDiskFreeSpaceExW(KnownFolderPath(FOLDERID_Desktop).substr(0, 3).c_str(), &available, nullptr, nullptr);
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    HKEY cpu = nullptr;
    ++bareOpens;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                      KEY_READ | KEY_WOW64_64KEY, &cpu) == ERROR_SUCCESS) {
        DWORD mhz = 0, size = sizeof mhz;
        RegQueryValueExW(cpu, L"~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&mhz), &size);
        RegCloseKey(cpu);
    }
    IsWindowsVersionAtLeast(6, 1, 0);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
}

}  // namespace

int main() {
    auto config = ConfigurationManager::GetInstance();
    const std::string vendor = "fennixbench" + std::to_string(GetCurrentProcessId());
    const std::wstring vendorKey = L"Software\\" + Wide(vendor);
    {
        UniqueRegKey key;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, vendorKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        nullptr, key.put(), nullptr);
        const wchar_t mode[] = L"on";
        RegSetValueExW(key.get(), L"mode", 0, REG_SZ, reinterpret_cast<const BYTE*>(mode), sizeof mode);
        DWORD level = 3;
        RegSetValueExW(key.get(), L"level", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
    }

    Reads reads;
    std::vector<std::shared_ptr<Package>> packages;
    for (int n = 0; n < kOffers; ++n)
        packages.push_back(std::make_shared<Package>(MakeEventContext(), Offer(n, vendor, reads), false, "", 0));
    // The browser: its usual folders and two registry values, read in the program's default view.
    for (const wchar_t* path : {L"{commonpf}\\Chromium\\Application\\chrome.exe",
                                L"{commonpf}\\Google\\Chrome\\Application\\chrome.exe",
                                L"{localappdata}\\Chromium\\Application\\chrome.exe"})
        reads.files.insert(ExpandFolderPlaceholders(path, config->GetFolderPlaceholders()));
    // Spelt in capitals by the rule, so opened directly rather than looked for in a list.
    reads.values.insert({HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY,
                         L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe", L"Path"});
    reads.values.insert({HKEY_CURRENT_USER, KEY_WOW64_32KEY, L"SOFTWARE\\Google\\Chrome\\BLBeacon", L"Path"});
    for (const auto& package : packages) {
        for (const auto& path : package->rules.blockingFiles)
            reads.files.insert(path);
        for (const auto& path : package->rules.requiredFiles)
            reads.files.insert(path);
    }
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            reads.lists.insert({root, view, L"software"});
            reads.lists.insert({root, view, kAppPaths});
        }
    reads.KeepListedKeys();
    const auto silent = [](CheckedOffer&, const std::string&) {};

    int admitted = 0;
    unsigned long checkerOpens = 0;
    const auto checkAll = [&] {
        const unsigned long before = RegistryOpenCount();
        EligibilityChecker checker(100000, config, silent);
        std::vector<std::shared_ptr<Package>> list;
        for (auto& package : packages) {
            bool limit = false;
            if (checker.IsEligible(package, limit, list))
                list.push_back(package);
        }
        admitted = static_cast<int>(list.size());
        checkerOpens = RegistryOpenCount() - before;
    };

    std::vector<double> ours, bare;
    for (int pair = 0; pair <= kPairs; ++pair) {
        double start = bench::NowMs();
        checkAll();
        const double a = bench::NowMs() - start;
        bareOpens = 0;
        start = bench::NowMs();
        BareReads(reads);
        const double b = bench::NowMs() - start;
        if (pair == 0)
            continue;  // warm-up: first loads of the shell, crypto and toolhelp code
        ours.push_back(a);
        bare.push_back(b);
        std::printf("pair %d: checker %.2f ms, bare reads %.2f ms\n", pair, a, b);
    }

    // Where the checker's time goes once its caches are full: each rule over all offers.
    {
        EligibilityChecker checker(100000, config, silent);
        for (auto& package : packages) {
            bool limit = false;
            checker.IsEligible(package, limit, {});
        }
        using Rule = bool (EligibilityChecker::*)(CheckedOffer&);
        const std::pair<const char*, Rule> rules[] = {
            {"registry keys", &EligibilityChecker::CheckRegistryKeys}, {"disk", &EligibilityChecker::CheckDiskSpace},
            {"ram", &EligibilityChecker::CheckRam}, {"cpu", &EligibilityChecker::CheckCpu},
            {"os version", &EligibilityChecker::CheckOsVersion}, {"setup version", &EligibilityChecker::CheckSetupVersion},
            {"processes", &EligibilityChecker::CheckRunningProcesses}, {"apps", &EligibilityChecker::CheckApps},
            {"uninstall age", &EligibilityChecker::CheckUninstallAge}, {"chrome", &EligibilityChecker::CheckChrome},
            {"internet explorer", &EligibilityChecker::CheckInternetExplorer},
            {"partner no-show", &EligibilityChecker::CheckPartnerNoShow},
        };
        std::printf("warm checker, each rule over all offers (ms):");
        for (const auto& [name, rule] : rules) {
            const double start = bench::NowMs();
            for (auto& package : packages)
                (checker.*rule)(*package);
            std::printf(" %s %.2f;", name, bench::NowMs() - start);
        }
        std::printf("\n");
    }

    const double oursMedian = bench::Median(ours), bareMedian = bench::Median(bare);
    std::printf("offers: %d, admitted by the checker: %d\n", kOffers, admitted);
    std::printf("distinct reads: %zu subkey lists, %zu keys, %zu values, %zu files, 1 process snapshot, disk, "
                "memory, processor, version, architecture\n",
                reads.lists.size(), reads.keys.size(), reads.values.size(), reads.files.size());
    std::printf("one checker:  median %8.2f ms  %5lu registry opens (+1 processor key)\n", oursMedian, checkerOpens);
    std::printf("bare loop:    median %8.2f ms  %5lu registry opens\n", bareMedian, bareOpens);

    UniqueRegKey software;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, software.put()) ==
        ERROR_SUCCESS)
        RegDeleteTreeW(software.get(), Wide(vendor).c_str());
    RemoveDirectoryW(config->tempFolder.c_str());
    std::printf("eligibility_ratio %.2f <= 1.5\n", bareMedian > 0 ? oursMedian / bareMedian : 0.0);
    return 0;
}
