// Zip extraction on both routes: the shell's zip folders, and our own reader where those are missing.
#pragma once
#include <string>

// Extracts the whole archive (top level and subfolders) into an existing folder. The central directory
// is checked first (install/ZipCheck.h) and nothing of a refused archive is written; then the shell's
// zip folders extract it, or our own reader where the shell cannot open the archive. False with
// `reason` set to a sentence that says what was wrong.
bool ExtractZip(const std::wstring& archivePath, const std::wstring& destination, std::wstring& reason);
