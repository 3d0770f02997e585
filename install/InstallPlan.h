// What the download page does, as plain data: the family's differences as values, and the ordered
// steps of a run with the event each step reports. The page only carries the steps out.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "config/ConfigurationManager.h"

// True when the location is used as it stands; otherwise the image base URL goes in front of it.
bool IsAbsoluteUrl(const std::wstring& location);
// The address to download an offer's installer (or the ISV product) from.
std::wstring ResolveDownloadUrl(const std::wstring& location, const std::wstring& baseUrl);

struct FamilyRules {
    const wchar_t* pageName;
    // The product's installer runs and is waited for; otherwise the product file is only downloaded.
    bool installsProduct;
    const char* errorTitleKey;
    const char* errorTextKey;
};
// Rules of the ISV and DLM families; a family that cannot run gets the DLM ones.
const FamilyRules& RulesFor(WizardType family);

enum class StepKind {
    Download,        // the package's file; the later steps of a package whose download failed are left out
    InstallAndWait,  // the product's installer, waited for
    Start,           // an offer's installer, started and not waited for
};

struct InstallStep {
    StepKind kind;
    std::size_t package;         // 0 the product, then the accepted offers in their order
    std::wstring url;            // Download
    std::wstring fileName;       // Download: "" takes the name from the URL
    bool useTempFolder = true;   // Download: the package's own folder in the run's folder, else the user's download folder
    std::wstring arguments;      // installs
    int successCode = 0;         // event on success; 0 reports nothing
    int failureCode = -1;        // event on failure, with {"12": failurePrefix + text}
    const char* failurePrefix = "";
    bool recordsPath = false;    // on success the path becomes the run's downloadedFilePath
};

struct InstallPlanInput {
    WizardType family = WizardType::ISV;
    bool failureEventCode = false;  // a failed product reports 3 instead of -1
    std::wstring productUrl;
    std::wstring productFileName;   // DLM: the name in the download folder
    std::wstring productArguments;
    std::wstring imageBaseUrl;
    struct Offer {
        std::wstring location;
        std::wstring arguments;
    };
    std::vector<Offer> offers;
};

// Every download first (the product, then the offers), then the installers: the product's (ISV, waited
// for), then the offers' in their order.
std::vector<InstallStep> BuildInstallPlan(const InstallPlanInput& input);
