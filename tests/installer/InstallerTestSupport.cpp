#include "tests/installer/InstallerTestSupport.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include <unzip.h>
#include <iowin32.h>
#include <zip.h>

#include "tests/support/WindowDriver.h"
#include "win32/Strings.h"

namespace installer_test {

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    path_ = std::wstring(temp) + L"fennix-installer-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    // Read-only files would stop remove_all.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(path_, ignored);
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t buffer[1024];
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    hadPrevious_ = length > 0 && length < 1024;
    if (hadPrevious_)
        previous_.assign(buffer, length);
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
    SetEnvironmentVariableW(name_.c_str(), hadPrevious_ ? previous_.c_str() : nullptr);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + WideToUtf8(path));
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteZip(const std::wstring& path, const std::vector<std::pair<std::string, std::string>>& entries, int method) {
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    zipFile zip = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (!zip)
        throw std::runtime_error("cannot create " + WideToUtf8(path));
    for (const auto& [name, content] : entries) {
        zip_fileinfo info{};
        bool folder = !name.empty() && name.back() == '/';
        if (zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, folder ? 0 : method,
                                  Z_DEFAULT_COMPRESSION, 0) != ZIP_OK ||
            (!content.empty() &&
             zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size())) != ZIP_OK) ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            zipClose(zip, nullptr);
            throw std::runtime_error("cannot write an entry of " + WideToUtf8(path));
        }
    }
    if (zipClose(zip, nullptr) != ZIP_OK)
        throw std::runtime_error("cannot finish " + WideToUtf8(path));
}

std::wstring SampleInstaller(const wchar_t* fileName) {
    std::wstring folder = testing_support::WindowsPathFromEnv("FENNIX_INSTALLERS_DIR");
    if (folder.empty())
        throw std::runtime_error("FENNIX_INSTALLERS_DIR is not set");
    return folder + L"\\" + fileName;
}

std::vector<std::wstring> ReadLogLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    std::string bytes = ReadBytes(path);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(Utf8ToWide(bytes.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

bool WaitForLogLines(const std::wstring& path, size_t count, DWORD milliseconds) {
    for (DWORD waited = 0;; waited += 50) {
        if (ReadLogLines(path).size() >= count)
            return true;
        if (waited >= milliseconds)
            return false;
        Sleep(50);
    }
}

}  // namespace installer_test
