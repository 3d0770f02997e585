// Conversions between the program's wide strings and 8-bit text.
#pragma once
#include <string>
#include <windows.h>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// Backend values arrive as 8-bit text and are shown with the thread's ANSI code page.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// Base-62 digits (0-9, a-z, A-Z) of the bytes read as one big-endian number, leading zero bytes dropped.
// False on an internal overflow ("Non-zero carry") and for more than kMaxBase62Bytes bytes; `text` is
// then empty.
constexpr size_t kMaxBase62Bytes = 4096;
bool EncodeBase62(const std::string& bytes, std::string& text);
