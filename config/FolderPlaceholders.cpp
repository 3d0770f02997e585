#include "config/FolderPlaceholders.h"

#include "win32/KnownFolder.h"
#include "win32/ProgramView.h"

void FillFolderPlaceholders(PlaceholderTable& table, PlaceholderTable& table64) {
    FillFolderPlaceholders(table, table64, Is64BitWindows());
}

void FillFolderPlaceholders(PlaceholderTable& table, PlaceholderTable& table64, bool windows64) {
    table.Insert(L"commonpf", windows64 ? L"{commonpf64}" : L"{commonpf32}");
    table.Insert(L"localappdata", KnownFolderPath(FOLDERID_LocalAppData));
    table.Insert(L"commonappdata", KnownFolderPath(FOLDERID_RoamingAppData));
    table.Insert(L"programdata", KnownFolderPath(FOLDERID_ProgramData));
    table.Insert(L"commonpf32", KnownFolderPath(FOLDERID_ProgramFilesX86));
    if (windows64) {
        wchar_t value[MAX_PATH] = {};
        DWORD length = GetEnvironmentVariableW(L"ProgramW6432", value, MAX_PATH);
        if (length >= 1 && length < MAX_PATH) {
            table.Insert(L"commonpf64", value);
            table64.Insert(L"commonpf64", value);
        }
    }
}

std::wstring ExpandFolderPlaceholders(const std::wstring& text, const PlaceholderTable& table) {
    std::wstring result = text;
    for (const auto& [name, value] : table) {
        const std::wstring token = L"{" + name + L"}";
        size_t pos = result.find(token);
        while (pos != std::wstring::npos) {
            result.replace(pos, token.size(), value);
            pos = result.find(token, pos + value.size());
        }
    }
    return result;
}
