#include "tests/support/PrivateFolders.h"

#include <shellapi.h>

#include "win32/Handle.h"

namespace testing_support {

namespace {

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

}  // namespace

std::set<std::wstring> PrivateFolders(const std::wstring& in) {
    std::wstring temp = in.empty() ? TempFolder() : in;
    if (temp.back() != L'\\')
        temp += L'\\';
    std::set<std::wstring> folders;
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW((temp + L"ISV*.tmp").c_str(), &found));
    if (!search)
        return folders;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.insert(temp + found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return folders;
}

std::wstring WaitForPrivateFolder(const std::wstring& temp, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        const auto folders = PrivateFolders(temp);
        if (!folders.empty())
            return *folders.begin();
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return {};
}

void RemovePrivateFoldersSince(const std::set<std::wstring>& before) {
    for (const auto& folder : PrivateFolders())
        if (!before.count(folder))
            RemoveTree(folder);
}

void RemoveTree(const std::wstring& folder) {
    const std::wstring from = folder + L'\0';  // SHFileOperation takes a double-terminated list
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

TempFolderForChildren::TempFolderForChildren(const std::wstring& folder)
    : saved_{{L"TMP", false, {}}, {L"TEMP", false, {}}} {
    for (auto& saved : saved_) {
        wchar_t value[MAX_PATH * 2] = {};
        const DWORD length = GetEnvironmentVariableW(saved.name, value, _countof(value));
        saved.present = length > 0 && length < _countof(value);
        saved.value = saved.present ? value : L"";
        SetEnvironmentVariableW(saved.name, folder.c_str());
    }
}

TempFolderForChildren::~TempFolderForChildren() {
    for (const auto& saved : saved_)
        SetEnvironmentVariableW(saved.name, saved.present ? saved.value.c_str() : nullptr);
}

}  // namespace testing_support
