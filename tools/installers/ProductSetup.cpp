// The sample product installer: records its command line, then writes the sample product (carried as
// a resource) to "<roaming AppData>\Fennix Web\fxweb.exe" and exits 0. With a failure code asked for
// ("/EXIT=n" or FENNIX_SAMPLE_PRODUCT_EXIT) it installs nothing and exits with that code; "/WAIT=ms" or
// FENNIX_SAMPLE_PRODUCT_DELAY_MS makes it take its time. Without "/S" it says when it is done.
#include <shlobj.h>

#include "tools/installers/SampleSupport.h"

namespace {

constexpr int kProductResource = 101;
constexpr int kInstallFailed = 1603;

bool InstallProduct() {
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(kProductResource), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = resource ? SizeofResource(nullptr, resource) : 0;
    if (!bytes || size == 0)
        return false;

    wchar_t* roaming = nullptr;
    HRESULT hr = SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming);
    std::wstring folder = SUCCEEDED(hr) ? std::wstring(roaming) + L"\\Fennix Web" : std::wstring();
    CoTaskMemFree(roaming);
    if (folder.empty() || (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS))
        return false;

    UniqueFile file(CreateFileW((folder + L"\\fxweb.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes, size, &written, nullptr) && written == size;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    sample::LogCommandLine();
    auto arguments = sample::Arguments();
    bool silent = sample::HasSwitch(arguments, L"/S");
    Sleep(sample::NumberSetting(arguments, L"WAIT", L"FENNIX_SAMPLE_PRODUCT_DELAY_MS", 0));
    auto exitCode = sample::NumberSetting(arguments, L"EXIT", L"FENNIX_SAMPLE_PRODUCT_EXIT", 0);
    if (exitCode != 0)
        return static_cast<int>(exitCode);
    if (!InstallProduct())
        return kInstallFailed;
    if (!silent)
        MessageBoxW(nullptr, L"Fennix Web has been installed.", L"Fennix Web Setup", MB_OK | MB_ICONINFORMATION);
    return 0;
}
