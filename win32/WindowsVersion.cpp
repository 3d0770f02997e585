#include "win32/WindowsVersion.h"

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

bool ReadWindowsMajorMinor(DWORD& major, DWORD& minor) {
    RTL_OSVERSIONINFOW info;
    if (!ReadWindowsVersion(info))
        return false;
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    return true;
}

std::string GetOsMajorMinorString() {
    RTL_OSVERSIONINFOW info;
    if (!ReadWindowsVersion(info))
        return {};
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
}

bool IsWindowsVersionAtLeast(WORD major, WORD minor, WORD servicePackMajor) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = servicePackMajor;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

bool IsWindows7() { return IsWindowsVersionAtLeast(6, 1, 0) && !IsWindowsVersionAtLeast(6, 2, 0); }
