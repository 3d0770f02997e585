// Our own zip reader, for where the shell's zip folders are missing.
#pragma once
#include <string>
#include <vector>

// The entry's path below the extraction folder as folder names and a last name; empty when the name
// is absolute, climbs out with "..", names a drive or a stream, or is otherwise not a plain relative path.
std::vector<std::wstring> SafeEntryPath(const std::wstring& entryName);

// Extracts every entry, keeping the archive's folders, into an existing folder. Checks every name
// before writing anything; false for an unreadable or empty archive, an unsafe name or a bad entry.
bool UnpackZip(const std::wstring& archivePath, const std::wstring& destination);
