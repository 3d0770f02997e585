// Digests through CryptoAPI, written as lower-case hexadecimal.
#pragma once
#include <string>

// SHA-256 of the bytes; "" when the platform cannot compute it.
std::string Sha256Hex(const std::string& bytes);
// MD5 of the bytes; "" when the platform cannot compute it.
std::string Md5Hex(const std::string& bytes);
