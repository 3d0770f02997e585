#include "app/base/WindowsVersion.h"

namespace {

// RtlGetVersion tells the truth where GetVersionEx is shimmed by the manifest.
bool ReadWindowsVersion(RTL_OSVERSIONINFOW& info) {
    using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return rtlGetVersion && rtlGetVersion(&info) == 0;
}

}  // namespace

std::string GetOsVersionString() {
    RTL_OSVERSIONINFOW info;
    if (!ReadWindowsVersion(info))
        return {};
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
}

std::string GetOsMajorMinorString() {
    RTL_OSVERSIONINFOW info;
    if (!ReadWindowsVersion(info))
        return {};
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
}
