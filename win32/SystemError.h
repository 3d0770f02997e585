// The one route from a Windows error code to its text.
#pragma once
#include <windows.h>

#include <string>

// The system's message for a Windows error code, usually ending in a line break; "" when it has none.
// Holds the only FormatMessageW of the program.
std::wstring SystemErrorText(DWORD code);

// "<operation>: <code> - <system text>", the code in signed decimal as the failure texts print it.
std::wstring FailureText(const wchar_t* operation, DWORD code);

// Error must be constructible from a std::wstring.
template <class Error>
[[noreturn]] void ThrowSystemError(const wchar_t* operation, DWORD code) {
    throw Error(FailureText(operation, code));
}

// Reads GetLastError at once, before anything else can change it.
template <class Error>
void ThrowLastErrorIf(bool failed, const wchar_t* operation) {
    if (!failed)
        return;
    const DWORD code = GetLastError();
    ThrowSystemError<Error>(operation, code);
}
