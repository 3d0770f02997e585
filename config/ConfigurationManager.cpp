#include "config/ConfigurationManager.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <ctime>
#include <map>
#include <memory>

#include "config/BuildConfig.h"
#include "config/FolderPlaceholders.h"
#include "win32/Handle.h"
#include "win32/KnownFolder.h"
#include "win32/SecureFolder.h"
#include "win32/Strings.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kAccent = RGB(127, 188, 66);

}  // namespace

WizardType WizardTypeFromName(const std::wstring& name) {
    static const std::map<std::wstring, WizardType> table = {{L"DLM", WizardType::DLM}, {L"ISV", WizardType::ISV}};
    auto it = table.find(name);
    return it == table.end() ? WizardType::Unknown : it->second;
}

namespace {
std::shared_ptr<ConfigurationManager>& Instance() {
    static std::once_flag once;
    static std::shared_ptr<ConfigurationManager> instance;
    std::call_once(once, [] { instance = std::make_shared<ConfigurationManager>(build::kWizardName); });
    return instance;
}
}  // namespace

// Report and image threads read the slot while a test may swap it: every access is atomic.
std::shared_ptr<ConfigurationManager> ConfigurationManager::GetInstance() { return std::atomic_load(&Instance()); }

std::shared_ptr<ConfigurationManager> ConfigurationManager::ReplaceInstance(
    std::shared_ptr<ConfigurationManager> replacement) {
    return std::atomic_exchange(&Instance(), std::move(replacement));
}

ConfigurationManager::ConfigurationManager(const std::wstring& wizardName) {
    wizardType = WizardTypeFromName(wizardName);
    if (wizardType == WizardType::Unknown)
        MessageBoxW(nullptr, L"Unknown wizard type", nullptr, MB_OK);

    showLicensePage = true;
    classicPages = false;
    failureEventCode = true;
    setupVersion = GetSetupVersion();

    const std::wstring backend = build::kBackendOrigin;
    configUrl = backend + L"/o";
    eventUrl = backend + L"/qdd";
    imageBaseUrl = backend + L"/f/";
    brandName = L"Quorvane";
    productId = L"Fennix_Web";
    installerId = L"Fennix_Web_CPP";
    backgroundColor = kWhite;
    accentColor = kAccent;
    sdkLicenseUrl.clear();

    if (wizardType == WizardType::DLM)
        InitializeDlm();
    else if (wizardType == WizardType::ISV)
        InitializeIsv();
}

void ConfigurationManager::InitializeIsv() {
    const std::wstring website = build::kWebsiteOrigin;
    productTitle = L"Fennix Web";
    productUrl = std::wstring(build::kDownloadOrigin) + L"/endpoint/fxweb/os/riserollout/track/beta";
    privacyUrl = website + L"/legal/privacy-policy/";
    termsUrl = website + L"/legal/terms-of-use/";
    productInstallArgs = L"/S";
    productLaunchPath = L"{commonappdata}\\Fennix Web\\fxweb.exe";
    productLaunchArgs = L"/RUNONSTARTUP";

    std::wstring folder = CreatePrivateTempFolder();
    if (!folder.empty()) {
        downloadFolder = folder;
        tempFolder = folder;
        tempFolderLock = LockFolder(folder);
    }
}

void ConfigurationManager::InitializeDlm() {
    downloadFolder = KnownFolderPath(FOLDERID_Downloads);
    if (downloadFolder.empty()) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) {
            downloadFolder = path;
        } else if (GetTempPathW(MAX_PATH, path) != 0) {
            downloadFolder = path;
        } else {
            downloadFolder = L"C:\\";
        }
    }

    std::wstring folder = CreatePrivateTempFolder();
    if (!folder.empty()) {
        tempFolder = folder;
        tempFolderLock = LockFolder(folder);
    }
}

std::string ConfigurationManager::GetSessionId() {
    std::lock_guard<std::mutex> lock(idsMutex_);
    if (sessionId.empty()) {
        __time64_t now = _time64(nullptr);
        struct tm local {};
        if (_localtime64_s(&local, &now) == 0) {
            char text[32] = {};
            if (strftime(text, sizeof text, "%Y%m%d%H%M%S", &local) != 0)
                sessionId = text;
        }
    }
    return sessionId;
}

std::string ConfigurationManager::GetMachineId() {
    std::lock_guard<std::mutex> lock(idsMutex_);
    if (machineId.empty())
        machineId = ReadMachineGuid(machineGuidKey);
    return machineId;
}

PlaceholderTable ConfigurationManager::GetFolderPlaceholders() {
    std::lock_guard<std::mutex> lock(placeholdersMutex_);
    if (!placeholdersReady) {
        FillFolderPlaceholders(folderPlaceholders, folderPlaceholders64);
        placeholdersReady = true;
    }
    return folderPlaceholders;
}

std::string ReadMachineGuid(const std::string& keyPath) {
    UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                      key.put()) != ERROR_SUCCESS)
        return {};
    char buffer[255] = {};
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key.get(), "MachineGuid", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return {};
    buffer[sizeof buffer - 1] = '\0';  // a value that fills the buffer has no terminator of its own
    return buffer;
}

// Read in place rather than through VerQueryValueW, which would load version.dll before the window
// shows. The block opens with three WORDs and its key, "VS_VERSION_INFO"; the fixed part follows at
// the next 32-bit boundary.
std::string GetSetupVersion() {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    if (!info)
        return {};
    const DWORD size = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);
    const auto* block = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    constexpr wchar_t kKey[] = L"VS_VERSION_INFO";
    constexpr size_t kKeyOffset = 3 * sizeof(WORD);
    constexpr size_t kFixedOffset = (kKeyOffset + sizeof kKey + 3) & ~size_t{3};
    if (!block || size < kFixedOffset + sizeof(VS_FIXEDFILEINFO) ||
        memcmp(block + kKeyOffset, kKey, sizeof kKey) != 0)
        return {};
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, block + kFixedOffset, sizeof fixed);
    if (fixed.dwSignature != VS_FFI_SIGNATURE)
        return {};
    return std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed.dwFileVersionMS)) +
           "." + std::to_string(HIWORD(fixed.dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed.dwFileVersionLS));
}

std::wstring CreatePrivateTempFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH)
        return {};
    return CreateFreshAdminOnlyFolder(path, L"ISV");
}

UniqueFile LockFolder(const std::wstring& folder) {
    // No delete sharing: while this handle is open nobody can rename the folder and put another in its
    // place, which the user could otherwise do through the rights on the parent.
    return UniqueFile(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::string GetCurrentTimeMillis() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    constexpr long long kEpochTicks = 116444736000000000LL;  // 1601-01-01 to 1970-01-01 in 100 ns units
    long long millis = (static_cast<long long>(ticks.QuadPart) - kEpochTicks) / 10000;
    return std::to_string(millis);
}

std::wstring ExpandFolderPlaceholders(const std::wstring& text) {
    return ExpandFolderPlaceholders(text, ConfigurationManager::GetInstance()->GetFolderPlaceholders());
}
