// The wizard window made inside the test: page list, navigation, system menu, error page, closing.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "app/TrelvoDlg.h"
#include "config/ConfigurationManager.h"
#include "install/ErrorPage.h"
#include "net/DownloadManager.h"
#include "resources/resource.h"
#include "tests/pages/TestPage.h"
#include "tests/support/TestBackend.h"
#include "tests/support/WizardDriver.h"

using namespace testing_support;

namespace {

bool HasCloseEntry(HWND wizard) {
    return GetMenuState(GetSystemMenu(wizard, FALSE), SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
}

int CloseEntries(HWND wizard) {
    HMENU menu = GetSystemMenu(wizard, FALSE);
    int count = 0;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        count += GetMenuItemID(menu, i) == SC_CLOSE;
    return count;
}

RECT ChildRect(HWND parent, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Runs the window thread's messages until `done` holds; false on time-out.
template <typename Done>
bool PumpUntil(Done done, DWORD milliseconds = 30000) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
    return true;
}

// A wizard window of the test's own, made modeless so the test can drive it between messages.
class WizardFrameTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        LoadLibraryW(L"RICHED32.DLL");  // the program loads it once loading ends; AddPages skips that
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(gdiplusToken); }

    void SetUp() override {
        ConfigurationManager::GetInstance()->cancelRequested = false;
        ConfigurationManager::GetInstance()->productPackage.reset();  // made only by Next on the first page
        DownloadManager::GetInstance()->cancelled = false;
        wizard = std::make_unique<CTrelvoDlg>();
        wizard->SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor);  // as the program does
        ASSERT_TRUE(wizard->Create(nullptr));
        hwnd = wizard->GetHwnd();
        SetWindowPos(hwnd, HWND_TOP, 574, 0, 0, 0, SWP_NOSIZE);  // clear of the real wizards of other tests
        ShowWindow(hwnd, SW_SHOW);
    }
    void TearDown() override {
        wizard.reset();
        EXPECT_TRUE(answerer.TakeTexts().empty()) << "an unexpected message box";
    }

    // What loading appends to a typical list, at indices 2 to 5: license, an offer, download, finish.
    void AddPages() {
        const wchar_t* names[] = {L"LicensePage", L"ProductPage", L"DownloadPageISV", L"FinishPageISV"};
        const UINT templates[] = {IDD_LICENSE_PAGE_ISV, IDD_PRODUCT_PAGE, IDD_DOWNLOAD_PAGE_ISV, IDD_FINISH_PAGE_ISV};
        for (size_t i = 0; i < std::size(names); ++i) {
            auto page = std::make_unique<TestPage>(wizard->GetLanguageManager(), templates[i], names[i]);
            added.push_back(page.get());
            wizard->CreateAndAddPage(std::move(page));
        }
    }
    TestPage& Page(size_t index) { return *static_cast<TestPage*>(wizard->GetPage(index)); }
    HWND Shown() { return VisiblePage(hwnd); }

    static ULONG_PTR gdiplusToken;
    MessageBoxAnswerer answerer;
    std::unique_ptr<CTrelvoDlg> wizard;
    HWND hwnd = nullptr;
    std::vector<TestPage*> added;
};
ULONG_PTR WizardFrameTest::gdiplusToken = 0;

}  // namespace

TEST(ClosingNeedsConfirmation, AsksUnlessFinishedOrFailed) {
    const struct {
        bool errorShown;
        size_t index, count, initial;
        bool asks;
    } cases[] = {
        {false, 0, 2, 2, true},   // choosing the language
        {false, 1, 2, 2, true},   // loading: the last of the initial pages
        {false, 0, 1, 1, true},   // only the first page exists yet
        {false, 3, 6, 2, true},   // presenting
        {false, 5, 6, 2, false},  // on the finish page
        {true, 1, 2, 2, false},   // the error page is shown
        {true, 3, 6, 2, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClosingNeedsConfirmation(c.errorShown, c.index, c.count, c.initial), c.asks)
            << c.errorShown << " " << c.index << "/" << c.count << " of " << c.initial;
}

TEST_F(WizardFrameTest, OpensOnTheBrandedLanguagePageInsideTheFrame) {
    ASSERT_EQ(wizard->GetPageCount(), 2u);
    EXPECT_EQ(wizard->GetCurrentIndex(), 0u);
    EXPECT_EQ(wizard->GetPage(0)->GetPageName(), L"LanguagePageQV");
    EXPECT_EQ(wizard->GetPage(1)->GetPageName(), L"LoadingPage");
    EXPECT_EQ(Shown(), wizard->GetPage(0)->GetHwnd());
    // The first page is made before the window shows, the loading and error pages just after.
    ASSERT_TRUE(PumpUntil([&] { return wizard->GetPage(1)->GetHwnd() && wizard->GetErrorPage()->GetHwnd(); }));
    EXPECT_EQ(Shown(), wizard->GetPage(0)->GetHwnd());
    EXPECT_FALSE(IsWindowVisible(wizard->GetPage(1)->GetHwnd()));
    EXPECT_FALSE(IsWindowVisible(wizard->GetErrorPage()->GetHwnd()));
    EXPECT_EQ(WindowText(hwnd), L"Fennix Web ");
    for (int id : {IDC_HEADER_IMAGE, IDC_HEADER_SEPARATOR, IDC_HEADER_TITLE})
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, id))) << id;

    const RECT frame = ChildRect(hwnd, GetDlgItem(hwnd, IDC_PAGE_FRAME));
    for (HWND page : {wizard->GetPage(0)->GetHwnd(), wizard->GetPage(1)->GetHwnd(), wizard->GetErrorPage()->GetHwnd()}) {
        const RECT rect = ChildRect(hwnd, page);
        EXPECT_EQ(rect.left, frame.left);
        EXPECT_EQ(rect.top, frame.top);
        EXPECT_EQ(rect.right, frame.right);
        EXPECT_EQ(rect.bottom, frame.bottom);
    }
}

TEST_F(WizardFrameTest, NextOnTheLanguagePageLoadsAndAppendsTheRestOfTheList) {
    TestBackend backend;
    nlohmann::json offers = nlohmann::json::array();
    for (const std::string id : {"a", "b"})
        offers.push_back({{"ad", {{"o", id}, {"f", "flow-" + id}}},
                          {"ps",
                           {{"i", "offer" + std::to_string(offers.size() + 1) + ".png"},
                            {"dn", "Offer " + id},
                            {"u", "installers/" + id + ".exe"},
                            {"cp", "https://localhost/legal/offer-privacy/"},
                            {"ctu", "https://localhost/legal/offer-terms/"},
                            {"c", "chan"},
                            {"v", static_cast<int>(offers.size()) + 1}}}});
    backend.SetScenario({{"config", {{"l", "US"}, {"f", {{"a", "a"}, {"m", 3}}}, {"o", offers}}},
                         {"files", backend.filesDir}});
    const size_t mark = backend.Mark();

    HWND language = wizard->GetPage(0)->GetHwnd();
    SendMessageW(language, WM_COMMAND, MAKEWPARAM(IDC_NEXT_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(language, IDC_NEXT_BUTTON)));
    // The answer reaches the window thread only through its messages, so loading is still under way.
    EXPECT_EQ(wizard->GetCurrentIndex(), 1u);
    EXPECT_EQ(Shown(), wizard->GetPage(1)->GetHwnd());
    EXPECT_EQ(wizard->GetPageCount(), 2u);
    EXPECT_NE(ConfigurationManager::GetInstance()->productPackage, nullptr);

    ASSERT_TRUE(PumpUntil([&] { return wizard->GetCurrentIndex() != 1; }))
        << "still loading; requests: " << backend.Requests(mark).size();
    const std::vector<std::wstring> expected = {L"LanguagePageQV", L"LoadingPage",     L"LicensePage",  L"ProductPage",
                                                L"ProductPage",    L"DownloadPageISV", L"FinishPageISV"};
    std::vector<std::wstring> names;
    for (size_t i = 0; i < wizard->GetPageCount(); ++i)
        names.push_back(wizard->GetPage(i)->GetPageName());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(wizard->GetCurrentIndex(), 2u);
    EXPECT_EQ(Shown(), wizard->GetPage(2)->GetHwnd());
    // The pages after the one shown get their windows between messages, with no page shown meanwhile.
    const auto allMade = [&] {
        for (size_t i = 0; i < wizard->GetPageCount(); ++i)
            if (!wizard->GetPage(i)->GetHwnd())
                return false;
        return true;
    };
    ASSERT_TRUE(PumpUntil(allMade));
    EXPECT_EQ(wizard->GetCurrentIndex(), 2u);
    EXPECT_EQ(Shown(), wizard->GetPage(2)->GetHwnd());
    // The product pages follow the offers' order.
    for (const auto& [index, offer] : {std::pair<size_t, std::wstring>{3, L"Offer a"}, {4, L"Offer b"}})
        if (IPage* page = wizard->GetPage(index)) {
            EXPECT_NE(ControlText(page->GetHwnd(), IDC_PRODUCT_DISCLAIMER).find(offer), std::wstring::npos) << index;
        }

    const auto requests = backend.Requests(mark);
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const nlohmann::json& r) { return r.value("path", "") == "/o"; }),
              1);
}

TEST_F(WizardFrameTest, ButtonsMoveThroughThePageList) {
    AddPages();
    wizard->ShowPage(2);  // where loading hands over
    EXPECT_EQ(Page(2).arrivals, 1);
    // Back from the page after loading returns to the language page ...
    Page(2).Press(ButtonType::Back);
    EXPECT_EQ(wizard->GetCurrentIndex(), 0u);
    EXPECT_EQ(Shown(), wizard->GetPage(0)->GetHwnd());
    // ... and its Next button there jumps over the loading page, without making the product again.
    SendMessageW(wizard->GetPage(0)->GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_NEXT_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(wizard->GetPage(0)->GetHwnd(), IDC_NEXT_BUTTON)));
    EXPECT_EQ(wizard->GetCurrentIndex(), 2u);
    EXPECT_EQ(Shown(), Page(2).GetHwnd());
    EXPECT_EQ(Page(2).arrivals, 2);
    EXPECT_EQ(ConfigurationManager::GetInstance()->productPackage, nullptr);

    Page(2).Press(ButtonType::Next);
    EXPECT_EQ(wizard->GetCurrentIndex(), 3u);
    Page(3).Press(ButtonType::Back);
    EXPECT_EQ(wizard->GetCurrentIndex(), 2u);

    // Indices beyond the list are ignored; showing the current page again keeps it shown.
    wizard->ShowPage(42);
    EXPECT_EQ(wizard->GetCurrentIndex(), 2u);
    wizard->ShowPage(2);
    EXPECT_EQ(Shown(), Page(2).GetHwnd());

    int visible = 0;
    for (size_t i = 0; i < wizard->GetPageCount(); ++i)
        visible += IsWindowVisible(wizard->GetPage(i)->GetHwnd()) ? 1 : 0;
    EXPECT_EQ(visible, 1);
}

TEST_F(WizardFrameTest, SystemMenuLosesCloseWhileDownloadingAndRegainsItOnce) {
    AddPages();
    EXPECT_TRUE(HasCloseEntry(hwnd));
    wizard->ShowPage(4);
    EXPECT_EQ(Page(4).GetPageName(), L"DownloadPageISV");
    EXPECT_FALSE(HasCloseEntry(hwnd));
    Page(4).Press(ButtonType::Next);
    EXPECT_EQ(Page(5).GetPageName(), L"FinishPageISV");
    EXPECT_EQ(CloseEntries(hwnd), 1);
    wizard->ShowPage(5);
    EXPECT_EQ(CloseEntries(hwnd), 1);
}

TEST_F(WizardFrameTest, ErrorPageTakesThePlaceOfThePageAndClosesWithoutAsking) {
    AddPages();
    wizard->ShowPage(4);  // downloading: no Close entry
    Page(4).ReportError(L"Error occurred while installing Fennix Web.", L"Click on \"Close\" and try again later.");

    ErrorPage& error = *wizard->GetErrorPage();
    EXPECT_EQ(Shown(), error.GetHwnd());
    EXPECT_FALSE(IsWindowVisible(Page(4).GetHwnd()));
    EXPECT_EQ(wizard->GetCurrentIndex(), 4u);
    EXPECT_EQ(ControlText(error.GetHwnd(), IDC_ERROR_TITLE), L"Error occurred while installing Fennix Web.");
    EXPECT_EQ(ControlText(error.GetHwnd(), IDC_ERROR_TEXT), L"Click on \"Close\" and try again later.");
    EXPECT_EQ(CloseEntries(hwnd), 1);

    // The red cross, scaled into its control.
    UpdateWindow(hwnd);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HWND image = GetDlgItem(error.GetHwnd(), IDC_PAGE_IMAGE);
    RECT imageRect;
    GetClientRect(image, &imageRect);
    HDC dc = GetDC(image);
    const COLORREF centre = GetPixel(dc, imageRect.right / 2, imageRect.bottom / 2);
    const COLORREF top = GetPixel(dc, imageRect.right / 2, imageRect.bottom / 8);
    ReleaseDC(image, dc);
    EXPECT_EQ(centre, RGB(255, 255, 255));
    EXPECT_GT(GetRValue(top), 170);
    EXPECT_LT(GetGValue(top), 110);

    const std::wstring picture = ArtefactPath(L"error-page.png");
    if (!picture.empty()) {
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        for (ULONGLONG end = GetTickCount64() + 300; GetTickCount64() < end;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            Sleep(10);
        }
        EXPECT_TRUE(SaveScreenshot(hwnd, picture));
    }

    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

// A page whose window cannot be made is an error, shown on the error page, not a frame left empty.
TEST_F(WizardFrameTest, APageThatCannotBeCreatedBringsTheErrorPage) {
    const size_t before = wizard->GetPageCount();
    constexpr UINT kNoSuchTemplate = 0x7FFE;
    wizard->CreateAndAddPage(std::make_unique<TestPage>(wizard->GetLanguageManager(), kNoSuchTemplate, L"Missing"));
    EXPECT_EQ(wizard->GetPageCount(), before) << "the page is not in the list";
    ErrorPage& error = *wizard->GetErrorPage();
    ASSERT_TRUE(IsWindowVisible(error.GetHwnd()));
    EXPECT_EQ(Shown(), error.GetHwnd());
    EXPECT_EQ(ControlText(error.GetHwnd(), IDC_ERROR_TEXT).rfind(L"A page of the setup could not be created: ", 0), 0u);
    wizard->ShowPage(0);
    EXPECT_EQ(Shown(), error.GetHwnd()) << "nothing shows over the error page";
}

TEST_F(WizardFrameTest, ErrorPageCloseButtonEndsTheRun) {
    wizard->ShowError(L"Something went wrong", L"Please try to download later");
    HWND error = wizard->GetErrorPage()->GetHwnd();
    EXPECT_EQ(ControlText(error, IDC_CLOSE_BUTTON), L"Close");  // labelled in the language chosen at start
    SendMessageW(error, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(error, IDC_CLOSE_BUTTON)));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WizardFrameTest, ClosingAsksAndCancelLeavesEverythingAsItWas) {
    AddPages();
    wizard->ShowPage(2);
    answerer.SetButton(IDCANCEL);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    auto seen = answerer.TakeSeen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Are you sure you want to exit the installer?");
    EXPECT_EQ(seen[0].caption, L"");
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(wizard->GetCurrentIndex(), 2u);
    EXPECT_EQ(Shown(), Page(2).GetHwnd());
    EXPECT_FALSE(ConfigurationManager::GetInstance()->cancelRequested);

    // Escape asks the same question.
    SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(answerer.TakeTexts(), std::vector<std::wstring>{L"Are you sure you want to exit the installer?"});
    // Enter on the frame never ends the wizard.
    SendMessageW(hwnd, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(IsWindow(hwnd));

    answerer.SetButton(IDOK);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(answerer.TakeTexts(), std::vector<std::wstring>{L"Are you sure you want to exit the installer?"});
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(ConfigurationManager::GetInstance()->cancelRequested);
    EXPECT_TRUE(DownloadManager::GetInstance()->cancelled);
}

TEST_F(WizardFrameTest, FinishPageClosesWithoutAskingAndFinishEndsTheRun) {
    AddPages();
    wizard->ShowPage(5);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));

    SetUp();  // a second wizard: its Finish button
    AddPages();
    wizard->ShowPage(5);
    Page(5).Press(ButtonType::Finish);
    EXPECT_FALSE(IsWindow(hwnd));
}
