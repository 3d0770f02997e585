// The process-wide setup configuration: build constants, endpoints, run identifiers and the user's choices.
#pragma once
#include <windows.h>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/ExpectedPayload.h"
#include "config/PlaceholderTable.h"
#include "win32/Handle.h"

class Package;
namespace Gdiplus {
class Image;
}

constexpr char kMachineGuidKey[] = "SOFTWARE\\Microsoft\\Cryptography";

enum class WizardType : int { Unknown = 0, DLM = 1, ISV = 2 };

// Maps a wizard name ("DLM", "ISV") to its type; Unknown for any other name.
WizardType WizardTypeFromName(const std::wstring& name);

class ConfigurationManager {
public:
    static std::shared_ptr<ConfigurationManager> GetInstance();
    // For tests: GetInstance returns `replacement` from now on; returns the instance it replaces. Only
    // while no other thread asks for the instance.
    static std::shared_ptr<ConfigurationManager> ReplaceInstance(std::shared_ptr<ConfigurationManager> replacement);

    // GetInstance builds the one instance from the build's wizard name; tests build others directly.
    explicit ConfigurationManager(const std::wstring& wizardName);
    ConfigurationManager(const ConfigurationManager&) = delete;
    ConfigurationManager& operator=(const ConfigurationManager&) = delete;

    std::string GetSessionId();
    std::string GetMachineId();
    PlaceholderTable GetFolderPlaceholders();

    WizardType wizardType = WizardType::Unknown;
    bool showLicensePage = false;
    bool classicPages = false;
    bool failureEventCode = false;
    std::wstring productTitle;
    std::wstring productUrl;
    ExpectedPayload productPayload;  // the product installer's digest and size, when the backend gave them
    std::wstring productLogoUrl;
    std::wstring privacyUrl;
    std::wstring termsUrl;
    std::wstring sdkLicenseUrl;
    std::wstring downloadFolder;
    std::wstring productFileName;
    std::wstring tempFolder;  // the run's private folder: only administrators may change it
    UniqueFile tempFolderLock;  // held open so that the folder cannot be renamed away during the run
    std::wstring productInstallArgs;
    std::array<bool, 3> options{};
    std::array<bool, 5> configurations{};
    std::wstring productLaunchPath;
    std::wstring productLaunchArgs;
    std::wstring productId;
    std::wstring downloadedFilePath;
    bool restartRequired = false;  // the product's installer asked for a restart (window thread only)
    std::string setupVersion;
    std::wstring configUrl;
    std::wstring eventUrl;
    std::wstring brandName;
    std::wstring installerId;
    std::wstring channel;
    std::wstring flow;
    COLORREF backgroundColor = 0;
    COLORREF accentColor = 0;
    int maxOffers = 0;
    int extraOfferSlots = 0;
    int offerCount = 0;
    std::wstring imageBaseUrl;
    std::wstring languageName;
    std::wstring localeName;
    std::string countryCode;
    std::string publisherId;
    std::string ispbValue;
    std::vector<std::shared_ptr<Package>> acceptedPackages;
    std::vector<std::shared_ptr<Package>> shownPackages;
    std::shared_ptr<Package> productPackage;
    std::shared_ptr<Gdiplus::Image> productLogo;
    std::string sessionId;
    std::string machineId;
    std::string machineGuidKey = kMachineGuidKey;  // HKLM, 64-bit view; tests point it at a scratch key
    PlaceholderTable folderPlaceholders;
    PlaceholderTable folderPlaceholders64;
    bool placeholdersReady = false;
    std::atomic<bool> cancelRequested{false};
    bool offerDeclined = false;

private:
    void InitializeIsv();
    void InitializeDlm();

    // The ids and placeholders are first made on the loading worker while the window thread may ask too.
    std::mutex idsMutex_;
    std::mutex placeholdersMutex_;
};

// Four dot-separated numbers from the fixed file information of the program's own version resource;
// empty when there is none.
std::string GetSetupVersion();
// A new, empty, uniquely named folder ("ISV….tmp") in the user's temporary folder that only
// administrators may change (win32/SecureFolder.h); "" when none could be made.
std::wstring CreatePrivateTempFolder();
// The folder opened so that it cannot be renamed or deleted while the handle lives.
UniqueFile LockFolder(const std::wstring& folder);
// Milliseconds since 1970-01-01 00:00 UTC, in decimal.
std::string GetCurrentTimeMillis();
// The machine GUID (value MachineGuid of HKLM\<key>) from the 64-bit registry view, "" when it cannot be read.
std::string ReadMachineGuid(const std::string& key = kMachineGuidKey);
// ExpandFolderPlaceholders with the run's table from the configuration.
std::wstring ExpandFolderPlaceholders(const std::wstring& text);
