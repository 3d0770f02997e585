#include "events/CryptoHash.h"

#include <windows.h>
#include <wincrypt.h>

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

std::string HashHex(DWORD providerType, ALG_ID algorithm, const std::string& bytes) {
    UniqueHandle<CryptProviderTraits> provider;
    if (!CryptAcquireContextW(provider.put(), nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT))
        return {};
    UniqueHandle<CryptHashTraits> hash;
    if (!CryptCreateHash(provider.get(), algorithm, 0, 0, hash.put()))
        return {};
    if (!CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(bytes.data()), CheckedNarrow<DWORD>(bytes.size()), 0))
        return {};
    BYTE digest[64] = {};
    DWORD size = sizeof digest;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &size, 0))
        return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (DWORD i = 0; i < size; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

}  // namespace

// The AES provider is the one that knows SHA-256.
std::string Sha256Hex(const std::string& bytes) { return HashHex(PROV_RSA_AES, CALG_SHA_256, bytes); }
std::string Md5Hex(const std::string& bytes) { return HashHex(PROV_RSA_FULL, CALG_MD5, bytes); }
