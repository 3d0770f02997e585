#include "tests/support/TestBackend.h"

#include <shlobj.h>

#include <cstdlib>
#include <sstream>

#include "tests/support/WindowDriver.h"
#include "win32/Handle.h"
#include "win32/WizardMessages.h"

namespace {

void WriteWhole(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throw std::runtime_error("cannot write the scenario");
}

}  // namespace

TestBackend::TestBackend() : dir(testing_support::WindowsPathFromEnv("FENNIX_BACKEND_DIR")) {
    const char* files = std::getenv("FENNIX_BACKEND_FILES");
    filesDir = files ? files : "";
}

void TestBackend::SetScenario(nlohmann::json scenario) {
    static int generation = 0;
    ++generation;
    if (scenario.contains("routes"))
        for (auto& route : scenario["routes"])
            route["tag"] = std::to_string(GetTickCount()) + "-" + std::to_string(generation);
    // The server may read the file at any moment: write beside it, then rename over it.
    std::wstring path = dir + L"\\scenario.json";
    std::wstring temporary = dir + L"\\scenario.tmp";
    WriteWhole(temporary, scenario.dump());
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw std::runtime_error("cannot replace the scenario");
}

std::string TestBackend::ReadFileBytes(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

std::vector<nlohmann::json> TestBackend::Requests(size_t mark) const {
    std::istringstream lines(ReadFileBytes(dir + L"\\requests.jsonl"));
    std::vector<nlohmann::json> entries;
    std::string line;
    size_t number = 0;
    while (std::getline(lines, line)) {
        if (line.empty())
            continue;
        if (number++ >= mark)
            entries.push_back(nlohmann::json::parse(line));
    }
    return entries;
}

size_t TestBackend::Mark() const { return Requests(0).size(); }

std::vector<nlohmann::json> TestBackend::WaitForRequests(size_t mark, size_t count, DWORD milliseconds) const {
    DWORD start = GetTickCount();
    for (;;) {
        auto entries = Requests(mark);
        if (entries.size() >= count || GetTickCount() - start > milliseconds)
            return entries;
        Sleep(50);
    }
}

std::wstring TestBackend::ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"fennix-net-" + name;
    SHFILEOPSTRUCTW remove{};
    std::wstring from = folder + L'\0';
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NO_UI;
    SHFileOperationW(&remove);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::string HeaderValue(const nlohmann::json& request, const std::string& name) {
    for (const auto& header : request.at("headers"))
        if (_stricmp(header[0].get<std::string>().c_str(), name.c_str()) == 0)
            return header[1].get<std::string>();
    return {};
}

std::vector<std::string> HeaderNames(const nlohmann::json& request) {
    std::vector<std::string> names;
    for (const auto& header : request.at("headers"))
        names.push_back(header[0].get<std::string>());
    return names;
}

MessageSink::MessageSink() {
    window_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

MessageSink::~MessageSink() {
    if (window_)
        DestroyWindow(window_);
}

std::vector<std::pair<UINT, WPARAM>> MessageSink::Drain() {
    std::vector<std::pair<UINT, WPARAM>> messages;
    MSG msg;
    while (PeekMessageW(&msg, window_, WM_DOWNLOAD_PROGRESS, WM_DOWNLOAD_INDETERMINATE, PM_REMOVE))
        messages.emplace_back(msg.message, msg.wParam);
    return messages;
}
