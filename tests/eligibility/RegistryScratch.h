// Scratch registry keys for the eligibility tests: a vendor name unique to this run, written into the
// view each case needs and removed from every view afterwards.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/Prefix.h"
#include "win32/Handle.h"
#include "win32/ProgramView.h"

namespace scratch {

inline bool ExpectWindows64() { return testing_support::PrefixIs64BitWindows(); }

// "FennixTest" plus process id and tick count: unique per run, mixed case on purpose.
inline std::wstring UniqueName(const wchar_t* stem = L"FennixTest") {
    static unsigned counter = 0;
    return std::wstring(stem) + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(GetTickCount()) +
           L"x" + std::to_wstring(++counter);
}

constexpr REGSAM kView64 = KEY_WOW64_64KEY;
constexpr REGSAM kView32 = KEY_WOW64_32KEY;
// The view the 32-bit program reads when a rule names none.
constexpr REGSAM kProgramView = kProgramRegistryView;

inline UniqueRegKey CreateKey(HKEY root, const std::wstring& path, REGSAM view) {
    UniqueRegKey key;
    EXPECT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr),
              ERROR_SUCCESS)
        << "creating " << std::string(path.begin(), path.end());
    return key;
}

inline void SetString(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name,
                      const std::wstring& value) {
    UniqueRegKey key = CreateKey(root, path, view);
    EXPECT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

inline void SetRaw(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name, DWORD type,
                   const void* data, DWORD size) {
    UniqueRegKey key = CreateKey(root, path, view);
    EXPECT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

inline void SetDword(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name, DWORD value) {
    SetRaw(root, path, view, name, REG_DWORD, &value, sizeof value);
}

inline void SetQword(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name, ULONGLONG value) {
    SetRaw(root, path, view, name, REG_QWORD, &value, sizeof value);
}

inline void DeleteTree(HKEY root, const std::wstring& parent, const std::wstring& name) {
    for (REGSAM view : {kView64, kView32}) {
        UniqueRegKey key;
        if (RegOpenKeyExW(root, parent.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) == ERROR_SUCCESS)
            RegDeleteTreeW(key.get(), name.c_str());
    }
}

inline bool KeyPresent(HKEY root, const std::wstring& path, REGSAM view) {
    UniqueRegKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

// Keys created under Software\<vendor> of both roots; TearDown removes the vendor from every view.
class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override { vendor = UniqueName(); }
    void TearDown() override {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            DeleteTree(root, L"Software", vendor);
    }
    std::wstring VendorPath(const std::wstring& below = L"") const {
        return L"Software\\" + vendor + (below.empty() ? L"" : L"\\" + below);
    }
    std::wstring Lower(std::wstring text) const {
        for (auto& c : text)
            c = static_cast<wchar_t>(towlower(c));
        return text;
    }

    std::wstring vendor;
};

}  // namespace scratch
