#include "win32/CryptoHash.h"

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "win32/Handle.h"
#include "win32/Narrow.h"

namespace {

struct CryptProviderTraits {
    using pointer = HCRYPTPROV;
    static pointer Invalid() noexcept { return 0; }
    static bool IsValid(pointer value) noexcept { return value != 0; }
    static void Close(pointer value) noexcept { CryptReleaseContext(value, 0); }
};

struct CryptHashTraits {
    using pointer = HCRYPTHASH;
    static pointer Invalid() noexcept { return 0; }
    static bool IsValid(pointer value) noexcept { return value != 0; }
    static void Close(pointer value) noexcept { CryptDestroyHash(value); }
};

// One digest fed in pieces.
class Hasher {
public:
    Hasher(DWORD providerType, ALG_ID algorithm) {
        if (CryptAcquireContextW(provider_.put(), nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT))
            CryptCreateHash(provider_.get(), algorithm, 0, 0, hash_.put());
    }
    bool Add(const void* bytes, size_t size) {
        return hash_ && CryptHashData(hash_.get(), static_cast<const BYTE*>(bytes), CheckedNarrow<DWORD>(size), 0);
    }
    std::string Hex() {
        BYTE digest[64] = {};
        DWORD size = sizeof digest;
        if (!hash_ || !CryptGetHashParam(hash_.get(), HP_HASHVAL, digest, &size, 0))
            return {};
        static const char kHex[] = "0123456789abcdef";
        std::string text;
        for (DWORD i = 0; i < size; ++i) {
            text += kHex[digest[i] >> 4];
            text += kHex[digest[i] & 15];
        }
        return text;
    }

private:
    UniqueHandle<CryptProviderTraits> provider_;
    UniqueHandle<CryptHashTraits> hash_;
};

std::string HashHex(DWORD providerType, ALG_ID algorithm, const std::string& bytes) {
    Hasher hasher(providerType, algorithm);
    return hasher.Add(bytes.data(), bytes.size()) ? hasher.Hex() : std::string();
}

}  // namespace

// The AES provider is the one that knows SHA-256.
std::string Sha256Hex(const std::string& bytes) { return HashHex(PROV_RSA_AES, CALG_SHA_256, bytes); }
std::string Md5Hex(const std::string& bytes) { return HashHex(PROV_RSA_FULL, CALG_MD5, bytes); }

std::string FileSha256Hex(HANDLE file) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return {};
    Hasher hasher(PROV_RSA_AES, CALG_SHA_256);
    static constexpr DWORD kChunk = 1 << 20;
    std::string buffer(kChunk, '\0');
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), kChunk, &read, nullptr))
            return {};
        if (read == 0)
            return hasher.Hex();
        if (!hasher.Add(buffer.data(), read))
            return {};
    }
}
