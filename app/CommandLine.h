// What the wizard takes from its command line.
#pragma once
#include <string>

// The file named by "/log=PATH" (the last one wins; quotes as the shell splits them); "" without one.
std::wstring LogPathArgument(const wchar_t* commandLine);
