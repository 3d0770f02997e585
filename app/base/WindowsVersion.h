// The running Windows version, as the wizard's rules and reports need it.
#pragma once
#include <windows.h>

#include <string>

// True when Windows is at least this version and service pack (VerifyVersionInfoW).
bool IsWindowsVersionAtLeast(WORD major, WORD minor, WORD servicePackMajor);
// Major, minor and build number of the running Windows joined by dots; "" when unavailable.
std::string GetOsVersionString();
// Major and minor number joined by a dot ("10.0", "6.1"); "" when unavailable.
std::string GetOsMajorMinorString();
