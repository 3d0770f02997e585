// Not a test: saves a picture of every content page in English and Spanish for a person to look at.
//   FENNIX_SCREENSHOT_DIR=<folder> wine contentpages_screens.exe   (under an X display, e.g. Xvfb)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "pages/ConfigurationsPageQVClassic.h"
#include "pages/LicensePageIsv.h"
#include "pages/OptionsPageQVClassic.h"
#include "pages/WarningPageQVClassic.h"
#include "pages/WelcomePageIsv.h"
#include "tests/contentpages/PageHost.h"
#include "tests/support/WindowDriver.h"

using namespace contentpages_test;

namespace {

// Writes what the window shows as a 24-bit bottom-up BMP file.
bool SaveWindowBitmap(HWND hwnd, const std::wstring& path) {
    RECT rect;
    GetClientRect(hwnd, &rect);
    const int width = rect.right, height = rect.bottom;
    HDC windowDc = GetDC(hwnd);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    UniqueGdi<HBITMAP> bitmap(CreateCompatibleBitmap(windowDc, width, height));
    HGDIOBJ previous = SelectObject(memoryDc, bitmap.get());
    BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, previous);

    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB};
    const int stride = ((width * 3 + 3) / 4) * 4;
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    GetDIBits(memoryDc, bitmap.get(), 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteDC(memoryDc);
    ReleaseDC(hwnd, windowDc);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return out.good();
}

}  // namespace

TEST(Screens, SaveEveryContentPage) {
    const std::wstring folder = testing_support::WindowsPathFromEnv("FENNIX_SCREENSHOT_DIR");
    if (folder.empty())
        GTEST_SKIP() << "FENNIX_SCREENSHOT_DIR not set";
    ConfigurationScope scope;
    PageHost host;
    const std::pair<const wchar_t*, std::function<std::unique_ptr<IPage>(std::shared_ptr<LanguageManager>)>> pages[] = {
        {L"welcome", [&](auto l) { return host.Show<WelcomePageIsv>(l); }},
        {L"license", [&](auto l) { return host.Show<LicensePageIsv>(l); }},
        {L"warning", [&](auto l) { return host.Show<WarningPageQVClassic>(l); }},
        {L"options", [&](auto l) { return host.Show<OptionsPageQVClassic>(l); }},
        {L"configurations", [&](auto l) { return host.Show<ConfigurationsPageQVClassic>(l); }},
    };
    for (const wchar_t* locale : {L"en_US", L"es"}) {
        auto languages = host.Languages(locale);
        for (const auto& [name, show] : pages) {
            auto page = show(languages);
            Pump(300);
            EXPECT_TRUE(SaveWindowBitmap(page->GetHwnd(), folder + L"\\" + name + L"-" + locale + L".bmp"));
        }
    }
}
