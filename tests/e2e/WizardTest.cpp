// The real wizard under Xvfb, driven from outside: its first page in the user's language, closing, and
// Next to the loading page.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "tests/support/Prefix.h"
#include "tests/support/PrivateFolders.h"
#include "tests/support/TestBackend.h"
#include "tests/support/WizardDriver.h"
#include "win32/Handle.h"

using namespace testing_support;

namespace {

// Control ids of the wizard window and of the branded language page.
constexpr int kBottomBand = 1001;
constexpr int kLanguageCombo = 1000;
constexpr int kNextButton = 1010;
constexpr int kSplashText = 1011;
constexpr int kSplashTextQv = 1012;
constexpr int kSplashTitleQv = 1013;
constexpr int kButtonBand = 1002;
constexpr int kProgressBar = 1043;
constexpr int kAgreeButton = 1050;

bool SpanishUser() {
    const char* expected = std::getenv("FENNIX_EXPECT_LANGUAGE");
    return expected && std::string(expected) == "es";
}

struct Language {
    const wchar_t* code;
    const wchar_t* next;
    const wchar_t* exitQuestion;
};

Language Expected() {
    if (SpanishUser())
        return {L"es", L"Siguiente", L"\u00bfEst\u00e1 seguro de que desea salir del instalador?"};
    return {L"en", L"Next", L"Are you sure you want to exit the installer?"};
}

// Tests of both prefixes share one display: each keeps its wizard on its own half of the screen, and
// the left end of its band clear of message boxes centred on the screen.
void MoveToOwnPlace(HWND window) {
    const int y = testing_support::PrefixIs64BitWindows() ? 0 : 500;
    SetWindowPos(window, HWND_TOP, 0, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

// What the screen shows at a client point; another program's window may pass over it for a moment.
COLORREF ScreenPixel(HWND window, POINT client, COLORREF expected) {
    ClientToScreen(window, &client);
    COLORREF colour = CLR_INVALID;
    for (int attempt = 0; attempt < 50 && colour != expected; ++attempt) {
        if (attempt > 0)
            Sleep(100);
        HDC screen = GetDC(nullptr);
        colour = GetPixel(screen, client.x, client.y);
        ReleaseDC(nullptr, screen);
    }
    return colour;
}

RECT RectIn(HWND parent, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class WizardTest : public testing::Test {
protected:
    void SetUp() override {
        const std::wstring wizardTemp = TestBackend::ScratchFolder(L"wizard-temp");
        ASSERT_TRUE(wizard.StartWithTempFolder(WindowsPathFromEnv("FENNIX_WIZARD_EXE"), wizardTemp));
        window = WaitForWindowTitled(wizard.Id(), L"Fennix Web ");
        ASSERT_NE(window, nullptr) << "the wizard window did not appear";
        // The page is there once its texts are.
        page = WaitForPage(window, [](HWND p) { return ControlText(p, kNextButton) == Expected().next; });
        ASSERT_NE(page, nullptr) << "no labelled page; shown: " << testing::PrintToString(DescribeControls(VisiblePage(window)));
        privateFolder = WaitForPrivateFolder(wizardTemp);
    }

    WizardProcess wizard;
    HWND window = nullptr;
    HWND page = nullptr;
    std::wstring privateFolder;  // the one this wizard made
};

}  // namespace

TEST_F(WizardTest, OpensOnTheBrandedLanguagePageInTheUsersLanguage) {
    const Language language = Expected();
    EXPECT_EQ(ControlText(page, kSplashTitleQv), L"Welcome to Fennix Web\u00ae Setup Wizard");
    const std::wstring text = ControlText(page, kSplashTextQv);
    EXPECT_EQ(text.rfind(L"This wizard will guide you through the installation of Fennix Web on your computer.", 0), 0u)
        << testing::PrintToString(text);
    EXPECT_NE(text.find(std::wstring(L"Click \"") + language.next + L"\" to continue."), std::wstring::npos)
        << testing::PrintToString(text);
    EXPECT_FALSE(ControlVisible(page, kLanguageCombo));
    EXPECT_EQ(GetDlgItem(page, kSplashText), nullptr);

    MoveToOwnPlace(window);
    Sleep(300);  // repainted where it now stands

    // Layout: the page's band and the window's band form one accent strip under the page's text,
    // with Next on it.
    RECT client;
    GetClientRect(window, &client);
    const RECT band = RectIn(window, GetDlgItem(page, kButtonBand));
    const RECT next = RectIn(window, GetDlgItem(page, kNextButton));
    const RECT textRect = RectIn(window, GetDlgItem(page, kSplashTextQv));
    EXPECT_LE(textRect.bottom, band.top);
    EXPECT_GE(next.top, band.top);
    EXPECT_LE(next.bottom, client.bottom);
    EXPECT_GT(next.left, (client.right - client.left) / 2);  // at the right
    const RECT windowBand = RectIn(window, GetDlgItem(window, kBottomBand));
    EXPECT_GE(windowBand.bottom, client.bottom);
    for (POINT point : {POINT{3, client.bottom - 4}, POINT{band.left + 20, band.top + 10},
                        POINT{200, (next.top + next.bottom) / 2}})
        EXPECT_EQ(ScreenPixel(window, point, RGB(127, 188, 66)), RGB(127, 188, 66)) << point.x << "," << point.y;
    EXPECT_EQ(ScreenPixel(window, POINT{200, band.top - 40}, RGB(255, 255, 255)), RGB(255, 255, 255));

    const std::wstring picture = ArtefactPath(std::wstring(L"language-page-") + language.code + L".png");
    if (!picture.empty()) {
        EXPECT_TRUE(SaveScreenshot(window, picture));
    }
}

TEST_F(WizardTest, ClosingAsksAndCancelLeavesItExactlyAsItWas) {
    const Language language = Expected();
    const std::vector<ControlInfo> before = ListControls(page);

    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard.Id());
    ASSERT_NE(box, nullptr) << "closing did not ask";
    EXPECT_EQ(MessageBoxText(box), language.exitQuestion);
    EXPECT_EQ(WindowText(box), L"");
    EXPECT_NE(GetDlgItem(box, IDCANCEL), nullptr);
    ClickButton(box, IDCANCEL);

    for (int i = 0; i < 100 && IsWindow(box); ++i)
        Sleep(50);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_TRUE(wizard.IsRunning());
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(VisiblePage(window), page);
    const std::vector<ControlInfo> after = ListControls(page);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].id, before[i].id);
        EXPECT_EQ(after[i].text, before[i].text);
        EXPECT_EQ(after[i].visible, before[i].visible);
    }

    // Escape asks too; this time the answer is OK and the wizard ends.
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    box = WaitForMessageBox(wizard.Id());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), language.exitQuestion);
    ClickButton(box, IDOK);
    DWORD code = 1;
    ASSERT_TRUE(wizard.WaitForExit(15000, &code));
    EXPECT_EQ(code, 0u);

    // Its private temporary folder went with it.
    ASSERT_FALSE(privateFolder.empty()) << "the wizard made no temporary folder";
    EXPECT_EQ(GetFileAttributesW(privateFolder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(WizardTest, NextShowsTheLoadingPageWhereClosingAsksAndLoadingGoesOn) {
    const Language language = Expected();
    TestBackend backend;
    // The configuration is late, so the loading page stays in view while the question is asked.
    backend.SetScenario({{"config", {{"l", "US"}, {"f", {{"a", "a"}, {"m", 3}}}, {"o", nlohmann::json::array()}}},
                         {"routes", {{{"path", "/o"}, {"delay", 5}}}}});
    const size_t mark = backend.Mark();

    ClickButton(page, kNextButton);
    // The page shows a moment before its arrival sets the marquee; both together mean it has arrived.
    HWND loading = WaitForPage(window, [](HWND p) {
        return ControlVisible(p, kProgressBar) &&
               (GetWindowLongW(GetDlgItem(p, kProgressBar), GWL_STYLE) & PBS_MARQUEE) != 0;
    });
    ASSERT_NE(loading, nullptr) << "no loading page with a marquee; shown: "
                                << testing::PrintToString(DescribeControls(VisiblePage(window)));
    EXPECT_FALSE(IsWindowVisible(page));
    // The product's start report travels beside the configuration request, in either order.
    bool asked = false;
    for (const ULONGLONG end = GetTickCount64() + 10000; !asked && GetTickCount64() < end; Sleep(50))
        for (const auto& request : backend.Requests(mark))
            asked = asked || request.value("path", "") == "/o";
    EXPECT_TRUE(asked) << "no configuration request";

    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(wizard.Id());
    ASSERT_NE(box, nullptr) << "closing during loading did not ask";
    EXPECT_EQ(MessageBoxText(box), language.exitQuestion);
    EXPECT_EQ(VisiblePage(window), loading);
    ClickButton(box, IDCANCEL);

    // Cancelled, the wizard carries on: the answer brings the license page.
    HWND license = WaitForPage(window, [](HWND p) { return ControlVisible(p, kAgreeButton); }, 30000);
    ASSERT_NE(license, nullptr) << "shown: " << testing::PrintToString(DescribeControls(VisiblePage(window)));
    EXPECT_TRUE(wizard.IsRunning());

    PostMessageW(window, WM_CLOSE, 0, 0);
    box = WaitForMessageBox(wizard.Id());
    ASSERT_NE(box, nullptr);
    ClickButton(box, IDOK);
    ASSERT_TRUE(wizard.WaitForExit(15000));
}
