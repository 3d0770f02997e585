// Times the check engine over a configuration of 200 offers with a realistic mix of rules: one checker
// for the whole response (machine facts and registry lists cached) against a fresh checker per offer.
// Prints figures only.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "backend/Package.h"
#include "config/ConfigurationManager.h"
#include "eligibility/EligibilityChecker.h"
#include "eligibility/RegistryAccess.h"
#include "events/EventContext.h"
#include "win32/Handle.h"

using nlohmann::json;

namespace {

const int kOffers = 200;

json Offer(int n, const std::string& vendor) {
    const std::string id = "offer" + std::to_string(n);
    json ps = {{"i", "i.png"}, {"dn", id}, {"u", "https://localhost/" + id + ".exe"}, {"v", n}};
    // Most offers guard against their own earlier installation and a few competitors.
    ps["r"] = {"vendor" + std::to_string(n) + "\\product", "hklm\\software\\competitor" + std::to_string(n % 17),
               vendor + "\\absent" + std::to_string(n)};
    if (n % 3 == 0)
        ps["ir"] = {vendor, "hkcu\\software\\" + vendor};
    if (n % 4 == 0)
        ps["rvn"] = {vendor + "\\installed" + std::to_string(n)};
    if (n % 5 == 0)
        ps["rvd"] = {vendor + "\\mode\\off", vendor + "\\level\\9"};
    if (n % 2 == 0)
        ps["fe"] = {"{localappdata}\\Vendor" + std::to_string(n) + "\\app.exe", "{commonpf}\\Vendor\\app.exe"};
    if (n % 7 == 0)
        ps["ife"] = {"C:\\windows"};
    ps["a"] = {"vendor" + std::to_string(n) + ".exe", "updater" + std::to_string(n % 11)};
    if (n % 6 == 0)
        ps["eapp"] = {"vendor" + std::to_string(n) + ".exe"};
    ps["ram"] = 256 + n;
    ps["disk"] = 100 + n;
    ps["cpu"] = 1;
    ps["ov"] = 61;
    ps["pv"] = "2.0";
    if (n % 10 == 0) {
        ps["pn"] = true;
        ps["pnr"] = "Software\\" + vendor + "\\NoShow";
        ps["cfs"] = {{"mb", 1000}, {"ma", 1000}};
    }
    if (n % 8 == 0)
        ps["cmdu"] = {{{"utr", "HKEY_LOCAL_MACHINE"}, {"utk", "Software\\" + vendor}, {"utvn", "removed"},
                       {"utvt", "dword"}, {"umd", 3}}};
    return {{"ad", {{"o", "o" + std::to_string(n)}, {"f", "f"}}}, {"ps", ps}};
}

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main() {
    auto config = ConfigurationManager::GetInstance();
    const std::string vendor = "fennixbench" + std::to_string(GetCurrentProcessId());
    const std::wstring vendorKey = L"Software\\" + std::wstring(vendor.begin(), vendor.end());
    {
        UniqueRegKey key;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, vendorKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr);
        const wchar_t mode[] = L"on";
        RegSetValueExW(key.get(), L"mode", 0, REG_SZ, reinterpret_cast<const BYTE*>(mode), sizeof mode);
        DWORD level = 3;
        RegSetValueExW(key.get(), L"level", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
    }

    std::vector<std::shared_ptr<Package>> packages;
    for (int n = 0; n < kOffers; ++n)
        packages.push_back(std::make_shared<Package>(MakeEventContext(), Offer(n, vendor), false, "", 0));
    const auto silent = [](CheckedOffer&, const std::string&) {};

    // One checker for the response, as the loading page uses it.
    int admittedShared = 0;
    unsigned long opens = RegistryOpenCount();
    auto start = std::chrono::steady_clock::now();
    {
        EligibilityChecker checker(100000, config, silent);
        std::vector<std::shared_ptr<Package>> admitted;
        for (auto& package : packages) {
            bool limit = false;
            if (checker.IsEligible(package, limit, admitted))
                admitted.push_back(package);
        }
        admittedShared = static_cast<int>(admitted.size());
    }
    const double shared = Milliseconds(std::chrono::steady_clock::now() - start);
    const unsigned long sharedOpens = RegistryOpenCount() - opens;

    // A fresh checker per offer: nothing cached.
    int admittedFresh = 0;
    opens = RegistryOpenCount();
    start = std::chrono::steady_clock::now();
    for (auto& package : packages) {
        EligibilityChecker checker(100000, config, silent);
        bool limit = false;
        if (checker.IsEligible(package, limit, {}))
            ++admittedFresh;
    }
    const double fresh = Milliseconds(std::chrono::steady_clock::now() - start);
    const unsigned long freshOpens = RegistryOpenCount() - opens;

    std::printf("offers: %d\n", kOffers);
    std::printf("one checker:        %9.2f ms total  %7.3f ms/offer  %6lu registry opens  %d admitted\n", shared,
                shared / kOffers, sharedOpens, admittedShared);
    std::printf("checker per offer:  %9.2f ms total  %7.3f ms/offer  %6lu registry opens  %d admitted\n", fresh,
                fresh / kOffers, freshOpens, admittedFresh);
    std::printf("ratio (per offer / one): %.2f\n", shared > 0 ? fresh / shared : 0.0);

    UniqueRegKey software;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS, software.put()) == ERROR_SUCCESS)
        RegDeleteTreeW(software.get(), std::wstring(vendor.begin(), vendor.end()).c_str());
    RemoveDirectoryW(config->tempFolder.c_str());
    return 0;
}
