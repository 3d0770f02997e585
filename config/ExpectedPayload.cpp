#include "config/ExpectedPayload.h"

#include <cctype>

#include "win32/CryptoHash.h"
#include "win32/Strings.h"

std::string ReadExpectedPayload(const nlohmann::json& object, ExpectedPayload& payload) {
    payload = ExpectedPayload{};
    if (!object.is_object())
        return {};
    ExpectedPayload read;
    if (auto it = object.find("sha256"); it != object.end()) {
        if (!it->is_string())
            return "INVALID SHA256: NOT A STRING";
        const std::string& text = it->get_ref<const std::string&>();
        if (text.size() != 64)
            return "INVALID SHA256: NOT 64 HEX DIGITS";
        for (char c : text) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return "INVALID SHA256: NOT 64 HEX DIGITS";
            read.sha256 += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (auto it = object.find("size"); it != object.end()) {
        // Only JSON integers: a float, a string or a negative number is no size.
        if (!it->is_number_integer() || (!it->is_number_unsigned() && it->get<int64_t>() < 0))
            return "INVALID SIZE: NOT A NON-NEGATIVE INTEGER";
        read.size = it->get<uint64_t>();
    }
    payload = read;
    return {};
}

std::wstring CheckPayload(HANDLE file, const ExpectedPayload& payload) {
    if (payload.size) {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file, &size))
            return L"the size could not be read";
        if (static_cast<uint64_t>(size.QuadPart) != *payload.size)
            return L"size mismatch: expected " + std::to_wstring(*payload.size) + L" bytes, got " +
                   std::to_wstring(size.QuadPart);
    }
    if (!payload.sha256.empty()) {
        const std::string actual = FileSha256Hex(file);
        if (actual.empty())
            return L"the SHA-256 could not be computed";
        if (actual != payload.sha256)
            return L"SHA-256 mismatch: expected " + AnsiToWide(payload.sha256) + L", got " + AnsiToWide(actual);
    }
    return {};
}

std::wstring VerifyDownloadedFile(const std::wstring& path, const ExpectedPayload& payload, UniqueFile& held) {
    held.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!held)
        return payload.Given() ? L"the downloaded file could not be opened to be checked" : std::wstring();
    std::wstring problem = CheckPayload(held.get(), payload);
    if (!problem.empty()) {
        held.reset();
        DeleteFileW(path.c_str());
    }
    return problem;
}
