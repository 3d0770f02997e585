#include "backend/Package.h"

#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <ctime>
#include <thread>

#include "backend/ApiManager.h"
#include "config/BuildConfig.h"
#include "config/ConfigurationManager.h"
#include "config/FolderPlaceholders.h"
#include "eligibility/BrowserChecks.h"
#include "events/PostJson.h"
#include "events/ReportQueue.h"
#include "net/DownloadManager.h"
#include "pagebase/ImageResource.h"
#include "win32/Handle.h"
#include "win32/Narrow.h"
#include "win32/ProgramView.h"
#include "win32/RunLog.h"
#include "win32/Strings.h"

namespace {

constexpr int kReportAttempts = 2;
const DWORD kReportRetryPauseMs = build::ScaledPause(5000);
constexpr DWORD kReportWaitStepMs = 100;
constexpr long long kNoShowSeconds = 180LL * 86400;

std::string OptionalString(const nlohmann::json& object, const char* key) {
    return object.contains(key) ? object.at(key).get<std::string>() : std::string();
}

std::vector<std::wstring> Utf8List(const nlohmann::json& ps, const char* key) {
    std::vector<std::wstring> list;
    if (ps.contains(key))
        for (const auto& item : ps.at(key).get<std::vector<std::string>>())
            list.push_back(Utf8ToWideStrict(item));
    return list;
}

std::vector<std::wstring> PathList(const nlohmann::json& ps, const char* key) {
    std::vector<std::wstring> list;
    if (ps.contains(key))
        for (const auto& item : ps.at(key).get<std::vector<std::string>>())
            list.push_back(ExpandFolderPlaceholders(Utf8ToWide(item)));
    return list;
}

}  // namespace

struct Package::EventState {
    std::shared_ptr<Package> package;
    int code;
    nlohmann::json data;
};

bool IsTerminalEventCode(int code) { return code == -1 || code == 2 || code == 3 || code == 4 || code == 5; }

Package::Package(EventContext context, const nlohmann::json& offer, bool isProductArg, const std::string& initialChannel,
                 int indexArg)
    : CheckedOffer{std::string(), indexArg, {}},
      eventContext(std::move(context)),
      isProduct(isProductArg),
      channel(initialChannel) {
    auto config = ConfigurationManager::GetInstance();
    std::string machineId = config->GetMachineId();
    std::string sessionId = config->GetSessionId();
    if (!machineId.empty())
        parameters.Insert("userid", machineId);
    if (!sessionId.empty())
        parameters.Insert("sessionid", sessionId);
    if (!config->countryCode.empty())
        parameters.Insert("cc", config->countryCode);
    if (!config->publisherId.empty())
        parameters.Insert("pubid", config->publisherId);
    if (!config->ispbValue.empty())
        parameters.Insert("ispb", config->ispbValue);
    parameters.Insert("aflt", GetAffiliateCode(config->countryCode));

    const auto& ad = offer.at("ad");
    offerFlow = ad.at("f").get<std::string>();
    offerId = ad.at("o").get<std::string>();

    std::string pxl;
    if (!EncodeBase62(machineId + "|" + offerId + "|" + sessionId, pxl))
        pxl.clear();
    parameters.Insert("pxl", pxl);
    parameters.Insert("of", offerFlow);

    const auto& ps = offer.at("ps");
    imageName = ExpandParameters(ps.at("i").get<std::string>());
    displayName = ExpandParameters(ps.at("dn").get<std::string>());
    installerUrl = ExpandParameters(ps.at("u").get<std::string>());
    payloadProblem = ReadExpectedPayload(ps, payload);

    if (ps.contains("pn") && ps.at("pn").get<bool>())
        ReadPartner(ps);

    if (ps.contains("p"))
        installerParams = ExpandParameters(ps.at("p").get<std::string>());
    if (ps.contains("cp"))
        packagePrivacyUrl = ExpandParameters(ps.at("cp").get<std::string>());
    if (ps.contains("ctu"))
        packageEulaUrl = ExpandParameters(ps.at("ctu").get<std::string>());
    if (ps.contains("v"))
        rules.vertical = static_cast<int>(offer_json::Integer(ps.at("v")));
    if (ps.contains("exc"))
        rules.exclusive = ps.at("exc").get<bool>();
    if (ps.contains("c"))
        channel = ExpandParameters(ps.at("c").get<std::string>());

    ReadRules(ps);
    BuildEventData();
}

Package::Package(EventContext context, bool isProductArg, int productOrdinalArg, const std::wstring& productId,
                 const std::wstring& flow, const std::wstring& title, const std::wstring& channelArg, int indexArg)
    : CheckedOffer{WideToUtf8(productId), indexArg, {}},
      eventContext(std::move(context)),
      isProduct(isProductArg),
      productOrdinal(productOrdinalArg),
      displayName(WideToUtf8(title)),
      offerFlow(WideToUtf8(flow)),
      channel(WideToUtf8(channelArg)) {
    BuildEventData();
}

Package::~Package() {
    std::unique_lock<std::mutex> lock(packageMutex);
    while (pendingReports > 0) {
        lock.unlock();
        Sleep(kReportWaitStepMs);
        lock.lock();
    }
}

void Package::ReadPartner(const nlohmann::json& ps) {
    auto config = ConfigurationManager::GetInstance();
    auto& partner = rules.partner;
    partner.partnerOffer = true;
    partner.apiUrl = OptionalString(ps, "pnau");
    partner.apiKey = OptionalString(ps, "pnak");
    partner.noShowKey = OptionalString(ps, "pnr");
    partner.pnop = OptionalString(ps, "pnop");
    if (ps.contains("pnsi"))
        partner.pnsi = ps.at("pnsi").get<bool>();
    partner.la = OptionalString(ps, "la");

    std::string choice;
    if (ps.contains("pnrp")) {
        const auto& pnrp = ps.at("pnrp");
        if (!pnrp.is_object())
            throw nlohmann::json::type_error::create(
                302, "type must be object, but is " + std::string(pnrp.type_name()), &pnrp);
        choice = ChoosePartnerParameter(pnrp, GetOsMajorMinorString());
    }
    parameters.Insert("pnrparam", choice);
    if (ps.contains("sp"))
        partner.stubParams = ExpandParameters(ps.at("sp").get<std::string>());
    parameters.Insert("pnstubparams", partner.stubParams);
    parameters.Insert("pnapiurl", partner.apiUrl);
    parameters.Insert("pnapikey", partner.apiKey);
    parameters.Insert("pnop", partner.pnop);
    parameters.Insert("account", WideToUtf8(config->brandName));
    parameters.Insert("installer", WideToUtf8(config->productId));
    parameters.Insert("pnsid", GetCurrentTimeMillis());
    if (ps.contains("cfs"))
        partner.frequencyRules = ReadFrequencyRules(ps.at("cfs"));
}

void Package::ReadRules(const nlohmann::json& ps) {
    if (ps.contains("disk"))
        rules.minDiskMb = offer_json::Unsigned(ps.at("disk"));
    if (ps.contains("ram"))
        rules.minRamMb = offer_json::Unsigned(ps.at("ram"));
    if (ps.contains("cpu"))
        rules.minCpuMhz = offer_json::Unsigned(ps.at("cpu"));
    if (ps.contains("ov"))
        rules.minOsCode = static_cast<int>(offer_json::Integer(ps.at("ov")));
    if (ps.contains("pv"))
        rules.minSetupVersion = ps.at("pv").get<std::string>();
    if (ps.contains("win64"))
        rules.requires64Bit = ps.at("win64").get<bool>();
    if (ps.contains("x")) {
        rules.rulePreset = static_cast<int>(offer_json::Integer(ps.at("x")));
        ApplyRulePreset(rules, *rules.rulePreset);
    }

    rules.blockingFiles = PathList(ps, "fe");
    rules.requiredFiles = PathList(ps, "ife");
    if (ps.contains("a"))
        rules.blockingProcesses = ps.at("a").get<std::vector<std::string>>();
    rules.blockingKeys = Utf8List(ps, "r");
    rules.requiredKeys = Utf8List(ps, "ir");
    rules.blockingValues = Utf8List(ps, "rvn");
    rules.blockingValueData = Utf8List(ps, "rvd");
    if (ps.contains("cmdu"))
        rules.uninstallAgeRules = ReadUninstallAgeRules(ps.at("cmdu"));
    rules.excludedApps = Utf8List(ps, "eapp");
    rules.requiredApps = Utf8List(ps, "iapp");
}

void Package::BuildEventData() {
    nlohmann::json data = eventContext.commonData;
    if (isProduct) {
        data["5"] = data.contains("22") ? data["22"] : nlohmann::json("");
        data["10"] = 1;
        data["18"] = "";
    } else {
        data["5"] = offerId;
        data["10"] = 2;
        data["16"] = channel;
        data["17"] = std::to_string(index + 1);
        data["18"] = offerFlow;
    }
    eventData = std::move(data);
}

void Package::ResetAsProduct(EventContext context, const std::wstring& title, const std::wstring& flow,
                             const std::wstring& channelArg, const std::wstring& productId) {
    std::lock_guard<std::mutex> lock(packageMutex);
    eventContext = std::move(context);
    isProduct = true;
    productOrdinal = 0;
    index = 0;
    displayName = WideToUtf8(title);
    offerId = WideToUtf8(productId);
    offerFlow = WideToUtf8(flow);
    channel = WideToUtf8(channelArg);
    BuildEventData();
}

std::string Package::ExpandParameters(const std::string& text) const { return ::ExpandParameters(text, parameters); }

void Package::DownloadImage(std::function<void()> callback) {
    std::shared_ptr<Package> self = weak_from_this().lock();
    if (isProduct || !self) {
        if (callback)
            callback();
        return;
    }
    std::wstring url = ConfigurationManager::GetInstance()->imageBaseUrl + Utf8ToWide(imageName);
    DownloadManager::GetInstance()->DownloadToMemoryAsync(url, [self, callback](DownloadBuffer data) {
        if (data && !data->empty()) {
            if (std::shared_ptr<Gdiplus::Bitmap> bitmap = DecodeImage(data->data(), data->size())) {
                std::lock_guard<std::mutex> lock(self->packageMutex);
                self->image = std::move(bitmap);
            }
        }
        if (callback)
            callback();
    });
}

bool Package::RecordShownDate() {
    const std::string& keyPath = rules.partner.noShowKey;
    if (keyPath.empty())
        return false;
    __time64_t later = _time64(nullptr) + kNoShowSeconds;
    struct tm local {};
    char text[16] = {};
    if (_localtime64_s(&local, &later) != 0 || strftime(text, sizeof text, "%Y%m%d", &local) == 0)
        return false;
    DWORD date = static_cast<DWORD>(std::stoul(text));
    std::wstring key;
    try {
        key = Utf8ToWideStrict(keyPath);
    } catch (const std::runtime_error&) {
        return false;
    }
    UniqueRegKey handle;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kProgramRegistryView, nullptr,
                        handle.put(), nullptr) != ERROR_SUCCESS)
        return false;
    std::wstring valueName = BrandValueName(ConfigurationManager::GetInstance()->brandName);
    return RegSetValueExW(handle.get(), valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&date),
                          sizeof date) == ERROR_SUCCESS;
}

void Package::ReportEvent(int code, const nlohmann::json& data) {
    if (reportingClosed)
        return;
    std::shared_ptr<Package> self = weak_from_this().lock();
    if (!self)
        return;  // only a shared package can outlive its caller's reference while it reports
    {
        std::lock_guard<std::mutex> lock(packageMutex);
        ++pendingReports;
    }
    try {
        auto state = std::make_shared<EventState>(EventState{self, code, data});
        PostReport([state](const std::atomic<bool>& stopped) { SendReport(*state, stopped); },
                   [state] { state->package->FinishReport(); });
    } catch (...) {
        FinishReport();  // not queued: the report is lost, the count must still fall
    }
}

void Package::SendReport(const EventState& state, const std::atomic<bool>& stopped) {
    Package& package = *state.package;
    try {
        // A terminal report accepted since this one was queued closes the package's reporting.
        if (package.reportingClosed) {
            package.FinishReport();
            return;
        }
        nlohmann::json data;
        HttpHeaders headers;
        {
            std::lock_guard<std::mutex> lock(package.packageMutex);
            data = package.eventData;
            headers = package.eventContext.headers;
        }
        data["6"] = std::to_string(state.code);
        if (state.data.is_object())
            for (const auto& member : state.data.items())
                data[member.key()] = member.value();
        const std::string body = nlohmann::json{{"table", "qd_analytics"}, {"data", data.dump()}}.dump();
        const std::wstring url = ConfigurationManager::GetInstance()->eventUrl;

        // A refused status, a failed connection or handshake: once more after the pause, unless the
        // program is on its way out by then.
        const std::string who =
            "report " + (package.isProduct ? std::string("product") : package.offerId) + " event " +
            std::to_string(state.code);
        std::string outcome = "given up";
        int attempt = 0;
        for (; attempt < kReportAttempts && !stopped; ++attempt) {
            if (attempt > 0) {
                Sleep(kReportRetryPauseMs);
                if (stopped)
                    break;
            }
            try {
                std::string response;
                unsigned long status = 0;
                PostJson(url, body, headers, response, status);
                outcome = "status " + std::to_string(status);
                if (status >= 200 && status <= 299) {
                    if (IsTerminalEventCode(state.code))
                        package.reportingClosed = true;
                    ++attempt;
                    break;
                }
            } catch (const std::exception& e) {
                outcome = e.what();  // the transport failed: tried again like a refused status
            }
        }
        LogLine(who + ": " + outcome + ", " + std::to_string(attempt) + (attempt == 1 ? " attempt" : " attempts") +
                (stopped ? " (the program was ending)" : ""));
    } catch (...) {
        // A lost report is dropped silently; the pending count still falls below.
    }
    package.FinishReport();
}

void Package::FinishReport() {
    std::lock_guard<std::mutex> lock(packageMutex);
    if (--pendingReports == 0)
        reportsFinished.notify_all();
}

void Package::WaitForReports() {
    std::unique_lock<std::mutex> lock(packageMutex);
    reportsFinished.wait(lock, [this] { return pendingReports == 0; });
}
