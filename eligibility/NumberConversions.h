// Text-to-number conversions of the rules that read numbers from the machine. They behave like
// std::stoul, std::stoull and std::stof and fail with the texts the backend expects in reports:
// "invalid stoul argument", "stoul argument out of range", and the same for stoull and stof.
#pragma once
#include <string>

unsigned long StringToULong(const std::wstring& text);
unsigned long long StringToULongLong(const std::wstring& text);
float StringToFloat(const std::wstring& text);
