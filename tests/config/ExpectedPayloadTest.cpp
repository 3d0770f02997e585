// The installer digests the backend may send, and the private folders the installers live in.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "config/ConfigurationManager.h"
#include "config/ExpectedPayload.h"
#include "win32/Handle.h"
#include "win32/SecureFolder.h"

using nlohmann::json;

namespace {

// SHA-256("abc"), the standard's own example.
const std::string kAbcDigest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

std::wstring ScratchFile(const std::wstring& name, const std::string& bytes) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"fennix-payload-" + name;
    DeleteFileW(path.c_str());
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return path;
}

bool RunsUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION what) {
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, what, &text, nullptr))
        return L"?";
    UniqueLocal owner(text);
    return text;
}

}  // namespace

TEST(ExpectedPayload, MembersAreReadOrTheOfferIsRefusedWithTheReason) {
    const std::string upper = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    struct Case {
        json object;
        const char* problem;
        std::string sha256;
        long long size;  // -1: none
    };
    const Case cases[] = {
        {json::object(), "", "", -1},
        {{{"sha256", kAbcDigest}, {"size", 3}}, "", kAbcDigest, 3},
        {{{"sha256", upper}}, "", kAbcDigest, -1},
        {json::parse(R"({"size": 18446744073709551615})"), "", "", -1},  // checked below: the largest size
        {{{"sha256", kAbcDigest.substr(1)}}, "INVALID SHA256: NOT 64 HEX DIGITS", "", -1},
        {{{"sha256", kAbcDigest + "0"}}, "INVALID SHA256: NOT 64 HEX DIGITS", "", -1},
        {{{"sha256", "g" + kAbcDigest.substr(1)}}, "INVALID SHA256: NOT 64 HEX DIGITS", "", -1},
        {{{"sha256", 12}}, "INVALID SHA256: NOT A STRING", "", -1},
        {{{"sha256", nullptr}}, "INVALID SHA256: NOT A STRING", "", -1},
        {{{"size", -1}}, "INVALID SIZE: NOT A NON-NEGATIVE INTEGER", "", -1},
        {{{"size", 3.5}}, "INVALID SIZE: NOT A NON-NEGATIVE INTEGER", "", -1},
        {{{"size", "3"}}, "INVALID SIZE: NOT A NON-NEGATIVE INTEGER", "", -1},
        {{{"sha256", kAbcDigest}, {"size", true}}, "INVALID SIZE: NOT A NON-NEGATIVE INTEGER", "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object.dump());
        ExpectedPayload payload;
        EXPECT_EQ(ReadExpectedPayload(c.object, payload), c.problem);
        EXPECT_EQ(payload.sha256, c.sha256);
        if (c.size >= 0) {
            EXPECT_EQ(payload.size, static_cast<uint64_t>(c.size));
        } else if (c.object.contains("size") && !*c.problem) {
            EXPECT_EQ(payload.size, UINT64_MAX);
        } else {
            EXPECT_FALSE(payload.size.has_value());
        }
    }
}

TEST(ExpectedPayload, ADownloadThatDoesNotMatchIsDeletedAndOneThatMatchesStaysHeld) {
    struct Case {
        const char* name;
        ExpectedPayload payload;
        const wchar_t* problemStart;  // "" when it matches
    };
    const std::string wrong(64, '0');
    const Case cases[] = {
        {"nothing expected", {}, L""},
        {"both match", {kAbcDigest, 3}, L""},
        {"digest only", {kAbcDigest, std::nullopt}, L""},
        {"digest differs", {wrong, std::nullopt}, L"SHA-256 mismatch: expected 0000"},
        {"size differs", {kAbcDigest, 4}, L"size mismatch: expected 4 bytes, got 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = ScratchFile(L"abc", "abc");
        UniqueFile held;
        const std::wstring problem = VerifyDownloadedFile(path, c.payload, held);
        EXPECT_EQ(problem.rfind(c.problemStart, 0), 0u) << std::string(problem.begin(), problem.end());
        EXPECT_EQ(problem.empty(), !*c.problemStart);
        if (problem.empty()) {
            EXPECT_TRUE(held);
            // What was checked is what runs: no one may write, rename or delete it while it is held.
            EXPECT_FALSE(UniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr)));
            EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".moved").c_str()));
            EXPECT_FALSE(DeleteFileW(path.c_str()));
            held.reset();
            EXPECT_TRUE(DeleteFileW(path.c_str()));
        } else {
            EXPECT_FALSE(held);
            EXPECT_FALSE(Exists(path));
        }
    }
}

// Read back: owned by Administrators, SYSTEM and Administrators only, nothing from the parent, a high
// label; another object of the name is never taken over; the lock keeps the folder where it is.
TEST(PrivateFolder, OnlyAdministratorsMayChangeItAndNothingIsAdopted) {
    const std::wstring folder = CreatePrivateTempFolder();
    ASSERT_FALSE(folder.empty());

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                    nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    UniqueLocal owner(descriptor);
    const std::wstring read = Sddl(descriptor, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION);
    if (!RunsUnderWine()) {
        EXPECT_EQ(read, L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    } else {
        // Wine keeps no descriptor on files: it shows one made from the Unix mode, which the list we
        // gave narrowed to the owner. Nobody else may be in it.
        for (const wchar_t* other : {L";;;WD)", L";;;BU)", L";;;AU)", L";;;IU)"})
            EXPECT_EQ(read.find(other), std::wstring::npos) << std::string(read.begin(), read.end());
    }

    PSECURITY_DESCRIPTOR labelDescriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &labelDescriptor) == ERROR_SUCCESS) {
        UniqueLocal labelOwner(labelDescriptor);
        const std::wstring label = Sddl(labelDescriptor, LABEL_SECURITY_INFORMATION);
        if (!RunsUnderWine()) {
            EXPECT_EQ(label, L"S:(ML;OICI;NWNRNX;;;HI)");
        }
    }

    // A package's folder inside inherits the same list.
    const std::wstring package = folder + L"\\1";
    ASSERT_TRUE(CreateAdminOnlyFolder(package));
    EXPECT_FALSE(CreateAdminOnlyFolder(package));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    const std::wstring file = package + L"\\planted";
    UniqueFile(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_FALSE(CreateAdminOnlyFolder(file)) << "a file of the name is not adopted either";

    {
        UniqueFile lock = LockFolder(folder);
        ASSERT_TRUE(lock);
        EXPECT_FALSE(MoveFileW(folder.c_str(), (folder + L"-moved").c_str())) << "renamed away while locked";
    }
    DeleteFileW(file.c_str());
    RemoveDirectoryW(package.c_str());
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}
