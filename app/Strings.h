// Conversions between the program's wide strings and 8-bit text.
#pragma once
#include <string>
#include <windows.h>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// Backend values arrive as 8-bit text and are shown with the thread's ANSI code page.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
