// What the backend says an installer must be: its SHA-256 and its size, each optional.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "win32/Handle.h"

struct ExpectedPayload {
    std::string sha256;             // 64 lower-case hex digits; "" when not given
    std::optional<uint64_t> size;   // bytes

    bool Given() const { return !sha256.empty() || size.has_value(); }
};

// Reads "sha256" (64 hex digits, either case) and "size" (a non-negative integer) from the object;
// members that are absent stay unset. Returns what is wrong with a member that is present but
// malformed, "" when both are fine; on a problem `payload` is left unset.
std::string ReadExpectedPayload(const nlohmann::json& object, ExpectedPayload& payload);

// Opens a downloaded file so that nobody may write, rename or delete it while `held` lives, and checks
// it when anything was expected. Returns what did not match, "" when it may run; a file that does not
// match is deleted.
std::wstring VerifyDownloadedFile(const std::wstring& path, const ExpectedPayload& payload, UniqueFile& held);

// Whether the open file is what was expected: size first, then the digest of its bytes. Returns what
// did not match, "" when everything given matched.
std::wstring CheckPayload(HANDLE file, const ExpectedPayload& payload);
