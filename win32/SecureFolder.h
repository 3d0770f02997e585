// Folders only administrators can change, for files the elevated wizard will start.
#pragma once
#include <windows.h>

#include <string>

// The descriptor such a folder gets: owned by Administrators, full control for SYSTEM and
// Administrators only, inherited by everything made inside it, nothing inherited from the parent, and
// a high mandatory label so that no process below high integrity may write there.
extern const wchar_t kAdminOnlySddl[];

// Creates the folder with that descriptor. False when it cannot, and when anything (a folder, a file,
// a junction) already has that name: an existing object is never adopted, since someone else may hold
// rights on it. GetLastError() tells why.
bool CreateAdminOnlyFolder(const std::wstring& path);

// A new admin-only folder under `parent` named prefix + random hex + ".tmp"; the next name is tried
// while one is taken. "" when none could be made.
std::wstring CreateFreshAdminOnlyFolder(const std::wstring& parent, const std::wstring& prefix);
