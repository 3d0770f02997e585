#include "tests/support/FolderWindow.h"

#include <commctrl.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>

#include "tests/support/WindowDriver.h"
#include "win32/Handle.h"

namespace testing_support {

namespace {

// Windows' folder windows and Wine's.
bool IsFolderWindowClass(const std::wstring& name) { return name == L"CabinetWClass" || name == L"ExplorerWClass"; }

struct FolderSearch {
    const std::wstring* title;
    std::vector<HWND> found;
};

// A named callback: the 32-bit callback convention takes no lambda.
BOOL CALLBACK CollectFolderWindow(HWND hwnd, LPARAM parameter) {
    auto* s = reinterpret_cast<FolderSearch*>(parameter);
    if (IsWindowVisible(hwnd) && IsFolderWindowClass(ClassName(hwnd)) && WindowText(hwnd) == *s->title)
        s->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> FolderWindows(const std::wstring& title) {
    FolderSearch search{&title, {}};
    EnumWindows(CollectFolderWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDescendant(HWND parent, const wchar_t* className) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == className)
            return child;
        if (HWND found = FindDescendant(child, className))
            return found;
    }
    return nullptr;
}

struct RemoteFree {
    HANDLE process;
    void operator()(void* memory) const noexcept { VirtualFreeEx(process, memory, 0, MEM_RELEASE); }
};

}  // namespace

std::wstring DownloadsFolder() {
    wchar_t* path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

std::wstring FolderDisplayName(const std::wstring& folder) {
    SHFILEINFOW info{};
    return SHGetFileInfoW(folder.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME) ? info.szDisplayName : L"";
}

std::vector<std::wstring> FolderWindowItems(HWND window) {
    HWND list = FindDescendant(window, L"SysListView32");
    DWORD processId = 0;
    if (!list || !GetWindowThreadProcessId(list, &processId))
        return {};
    // The list view answers with text in its own process's memory: the request and the text live there.
    UniqueKernelHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process)
        return {};
    constexpr int kTextChars = MAX_PATH;
    std::unique_ptr<void, RemoteFree> remote(
        VirtualAllocEx(process.get(), nullptr, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE),
        RemoteFree{process.get()});
    if (!remote)
        return {};
    auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(remote.get()) + sizeof(LVITEMW));
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LVITEMW item{};
        item.cchTextMax = kTextChars;
        item.pszText = remoteText;
        wchar_t text[kTextChars + 1] = {};
        if (!WriteProcessMemory(process.get(), remote.get(), &item, sizeof item, nullptr))
            break;
        const LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote.get()));
        if (length > 0 && ReadProcessMemory(process.get(), remoteText, text, kTextChars * sizeof(wchar_t), nullptr))
            items.emplace_back(text);
    }
    return items;
}

HWND WaitForFolderWindow(const std::wstring& title, const std::wstring& item, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        for (HWND window : FolderWindows(title))
            for (const std::wstring& name : FolderWindowItems(window))
                if (CompareStringOrdinal(name.c_str(), -1, item.c_str(), -1, TRUE) == CSTR_EQUAL)
                    return window;
        Sleep(100);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

void CloseFolderWindows(const std::wstring& title) {
    for (HWND window : FolderWindows(title))
        PostMessageW(window, WM_CLOSE, 0, 0);
}

}  // namespace testing_support
