#include "tests/contentpages/PageHost.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "pages/LinkButton.h"
#include "win32/Handle.h"

namespace contentpages_test {
namespace {

// What the program's start-up provides before any page exists: common controls with the link
// class, the rich edit class and GDI+.
class PageEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_LINK_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&controls));
        richEdit_.reset(LoadLibraryW(L"RICHED32.DLL"));
        ASSERT_TRUE(richEdit_);
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

private:
    UniqueModule richEdit_;
    ULONG_PTR token_ = 0;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new PageEnvironment);

constexpr wchar_t kHostClass[] = L"ContentPagesTestHost";

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void Pump(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    } while (GetTickCount64() < end);
}

std::wstring Text(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

bool IsShown(HWND control) { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

void Click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
    Pump(10);
}

bool ClickLink(HWND linkControl, int index) {
    RECT client;
    GetClientRect(linkControl, &client);
    for (int y = 1; y < client.bottom; y += 2) {
        for (int x = 1; x < client.right; x += 2) {
            LHITTESTINFO hit{};
            hit.pt = {x, y};
            if (SendMessageW(linkControl, LM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) && hit.item.iLink == index) {
                SendMessageW(linkControl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
                SendMessageW(linkControl, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
                Pump(10);
                return true;
            }
        }
    }
    return false;
}

COLORREF PixelAt(HWND control, double x, double y) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Pump(30);
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    const COLORREF color = GetPixel(dc, static_cast<int>(client.right * x), static_cast<int>(client.bottom * y));
    ReleaseDC(control, dc);
    return color;
}

LOGFONTW FontOf(HWND control) {
    LOGFONTW description{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!font || GetObjectW(font, sizeof description, &description) != sizeof description)
        ADD_FAILURE() << "the control has no live font";
    return description;
}

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

OpenedUrls::OpenedUrls() {
    SetUrlOpener([this](HWND, const std::wstring& url) {
        urls.push_back(url);
        return true;
    });
}

OpenedUrls::~OpenedUrls() { SetUrlOpener(nullptr); }

PageHost::PageHost() {
    // One window for the whole run: without a window manager Wine waits about two seconds for every
    // top-level window that goes away.
    static HWND window = nullptr;
    static HWND combo = nullptr;
    if (!window) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kHostClass;
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, kHostClass, L"content pages", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 800,
                                 600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, window, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    hwnd_ = window;
    combo_ = combo;
    Pump(10);
}

std::shared_ptr<LanguageManager> PageHost::Languages(const std::wstring& localeName) {
    auto languages = std::make_shared<LanguageManager>(nullptr, ConfigurationManager::GetInstance());
    languages->FillLanguageCombo(combo_);
    SwitchLanguage(*languages, localeName);
    return languages;
}

void PageHost::SwitchLanguage(LanguageManager& languages, const std::wstring& localeName) {
    // The selector lists display names from the platform's locale data; find the one of this locale.
    const LRESULT count = SendMessageW(combo_, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t name[128] = {};
        SendMessageW(combo_, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
        if (languages.SetLanguage(name) && ConfigurationManager::GetInstance()->localeName == localeName)
            return;
    }
    FAIL() << "no language with locale " << std::string(localeName.begin(), localeName.end());
}

void PageHost::Place(IPage& page) {
    ASSERT_TRUE(page.Create(hwnd_));
    page.SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor, true);
    page.SetButtonCallback([this](ButtonType type) { pressed.push_back(type); });
    SetWindowPos(page.GetHwnd(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(page.GetHwnd(), SW_SHOW);
    Pump(20);
}

}  // namespace contentpages_test
