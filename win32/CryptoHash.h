// Digests through CryptoAPI, written as lower-case hexadecimal.
#pragma once
#include <windows.h>

#include <string>

// SHA-256 of the bytes; "" when the platform cannot compute it.
std::string Sha256Hex(const std::string& bytes);
// MD5 of the bytes; "" when the platform cannot compute it.
std::string Md5Hex(const std::string& bytes);
// SHA-256 of an open file's bytes from its start to its end, read through `file`; "" when the file
// cannot be read or the platform cannot compute it.
std::string FileSha256Hex(HANDLE file);
