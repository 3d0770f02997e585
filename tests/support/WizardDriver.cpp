#include "tests/support/WizardDriver.h"

#include <shlobj.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "win32/Handle.h"

namespace testing_support {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

bool IsDialogClass(HWND hwnd) { return ClassName(hwnd) == L"#32770"; }

// Reads the stored text without sending a message, so a thread that is busy cannot stall the reader.
std::wstring StoredText(HWND hwnd) {
    wchar_t text[1024] = {};
    InternalGetWindowText(hwnd, text, _countof(text));
    return text;
}

bool PngEncoder(CLSID* clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(encoders[i].MimeType, L"image/png") == 0) {
            *clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

HWND VisiblePage(HWND wizard) {
    for (HWND child = GetWindow(wizard, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsDialogClass(child) && IsWindowVisible(child))
            return child;
    return nullptr;
}

HWND WaitForPage(HWND wizard, const std::function<bool(HWND)>& match, DWORD milliseconds, DWORD pollMs) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        HWND page = VisiblePage(wizard);
        if (page && match(page))
            return page;
        Sleep(pollMs);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

std::vector<ControlInfo> ListControls(HWND page) {
    std::vector<ControlInfo> controls;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back({GetDlgCtrlID(child), ClassName(child), WindowText(child), IsWindowVisible(child) != 0});
    return controls;
}

std::wstring ControlText(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    return control ? WindowText(control) : L"<no control " + std::to_wstring(id) + L">";
}

bool ControlVisible(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    return control && IsWindowVisible(control);
}

std::wstring DescribeControls(HWND page) {
    std::wstring text;
    for (const auto& control : ListControls(page))
        text += std::to_wstring(control.id) + L" " + control.className + (control.visible ? L" " : L" (hidden) ") +
                L"\"" + control.text + L"\"\n";
    return text;
}

bool IsMessageBox(HWND hwnd) { return IsDialogClass(hwnd) && GetDlgItem(hwnd, kMessageBoxTextId) != nullptr; }

HWND WaitForMessageBox(DWORD processId, DWORD milliseconds) { return WaitForWindow(processId, IsMessageBox, milliseconds); }

bool SaveScreenshot(HWND window, const std::wstring& path) {
    // The client area: without a window manager nobody draws the frame.
    RECT rect;
    if (!GetClientRect(window, &rect))
        return false;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    if (!screen)
        return false;
    UniqueHandle<NullHandleTraits<HDC, DeleteDC>> memory(CreateCompatibleDC(screen));
    UniqueGdi<HBITMAP> bitmap(CreateCompatibleBitmap(screen, width, height));
    bool copied = false;
    if (memory && bitmap) {
        HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
        copied = BitBlt(memory.get(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
        SelectObject(memory.get(), previous);
    }
    ReleaseDC(nullptr, screen);
    if (!copied)
        return false;

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool saved = false;
    {
        CLSID png;
        Gdiplus::Bitmap image(bitmap.get(), nullptr);
        saved = PngEncoder(&png) && image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

std::wstring ArtefactPath(const std::wstring& fileName) {
    std::wstring folder = WindowsPathFromEnv("FENNIX_ARTEFACT_DIR");
    if (folder.empty())
        return {};
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder + L"\\" + fileName;
}

MessageBoxAnswerer::MessageBoxAnswerer(int button) : button_(button), thread_([this] { Run(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
}

void MessageBoxAnswerer::Run() {
    const DWORD self = GetCurrentProcessId();
    while (!stop_) {
        for (HWND hwnd : VisibleWindows(self)) {
            if (!IsMessageBox(hwnd))
                continue;
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::find(answered_.begin(), answered_.end(), hwnd) != answered_.end())
                continue;  // already answered, not yet gone
            seen_.push_back({StoredText(hwnd), StoredText(GetDlgItem(hwnd, kMessageBoxTextId))});
            answered_.push_back(hwnd);
            ClickButton(hwnd, button_);
        }
        Sleep(20);
        // Handles of boxes that are gone may be reused by later boxes.
        std::lock_guard<std::mutex> lock(mutex_);
        answered_.erase(std::remove_if(answered_.begin(), answered_.end(), [](HWND h) { return !IsWindow(h); }),
                        answered_.end());
    }
}

std::vector<MessageBoxAnswerer::Seen> MessageBoxAnswerer::TakeSeen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(seen_, {});
}

std::vector<std::wstring> MessageBoxAnswerer::TakeTexts() {
    std::vector<std::wstring> texts;
    for (auto& seen : TakeSeen())
        texts.push_back(seen.text);
    return texts;
}

}  // namespace testing_support
