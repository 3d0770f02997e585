// Folder placeholders such as "{commonappdata}" in paths that the backend sends or the build fixes.
#pragma once
#include <string>

#include "config/PlaceholderTable.h"

// Fills both tables from the known folders and the environment, in the order expansion relies on, as
// the 32-bit program sees them on this Windows (or on one that is 64-bit or not, for tests).
void FillFolderPlaceholders(PlaceholderTable& table, PlaceholderTable& table64);
void FillFolderPlaceholders(PlaceholderTable& table, PlaceholderTable& table64, bool windows64);

// Replaces each token of the table, visiting entries in table order; case-sensitive, every occurrence,
// and text inserted by one entry is not searched again by that entry.
std::wstring ExpandFolderPlaceholders(const std::wstring& text, const PlaceholderTable& table);
