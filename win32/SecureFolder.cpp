#include "win32/SecureFolder.h"

#include <sddl.h>

#include <random>

#include "win32/Handle.h"

const wchar_t kAdminOnlySddl[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)S:(ML;OICI;NWNRNX;;;HI)";

namespace {

// Without the label where the system refuses it (no right to set it here); the list is what matters.
constexpr wchar_t kAdminOnlySddlWithoutLabel[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

bool CreateWithDescriptor(const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    UniqueLocal owner(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    return CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

}  // namespace

bool CreateAdminOnlyFolder(const std::wstring& path) {
    if (CreateWithDescriptor(path, kAdminOnlySddl))
        return true;
    const DWORD error = GetLastError();
    if (error != ERROR_PRIVILEGE_NOT_HELD && error != ERROR_INVALID_OWNER)
        return false;
    return CreateWithDescriptor(path, kAdminOnlySddlWithoutLabel);
}

std::wstring CreateFreshAdminOnlyFolder(const std::wstring& parent, const std::wstring& prefix) {
    if (parent.empty())
        return {};
    const std::wstring base = parent.back() == L'\\' ? parent : parent + L"\\";
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[16] = {};
        swprintf(name, 16, L"%08X", static_cast<unsigned>(entropy()));
        const std::wstring path = base + prefix + name + L".tmp";
        if (CreateAdminOnlyFolder(path))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}
