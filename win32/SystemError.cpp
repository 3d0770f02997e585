#include "win32/SystemError.h"

#include "win32/Handle.h"

std::wstring SystemErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    UniqueLocal owner(text);
    return length && text ? std::wstring(text, length) : std::wstring();
}

std::wstring FailureText(const wchar_t* operation, DWORD code) {
    return std::wstring(operation) + L": " + std::to_wstring(static_cast<int>(code)) + L" - " + SystemErrorText(code);
}
