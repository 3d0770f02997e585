// Starts the real wizard and drives it from outside, as a user would.
#include <gtest/gtest.h>

#include "tests/support/WizardDriver.h"

using namespace testing_support;

namespace {

constexpr wchar_t kAlreadyRunning[] = L"Another setup is already running, please close it and try again";

// The ISV wizard window's title is the product title followed by one space.
HWND WaitForWizard(const WizardProcess& wizard) { return WaitForWindowTitled(wizard.Id(), L"Fennix Web "); }

// Closing on the first page asks first; the answer is OK.
void CloseWizard(WizardProcess& wizard, HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND question = WaitForMessageBox(wizard.Id());
    ASSERT_NE(question, nullptr) << "closing did not ask";
    EXPECT_EQ(MessageBoxText(question), L"Are you sure you want to exit the installer?");
    ClickButton(question, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(wizard.WaitForExit(15000, &code));
}

}  // namespace

TEST(Startup, SecondInstanceIsRefusedWhileTheFirstRuns) {
    const std::wstring exe = WindowsPathFromEnv("FENNIX_WIZARD_EXE");
    WizardProcess first;
    ASSERT_TRUE(first.Start(exe));
    HWND firstWindow = WaitForWizard(first);
    ASSERT_NE(firstWindow, nullptr) << "the wizard window did not appear";

    WizardProcess second;
    ASSERT_TRUE(second.Start(exe));
    HWND box = WaitForWindowTitled(second.Id(), L"Error");
    ASSERT_NE(box, nullptr) << "the second wizard showed no message";
    EXPECT_EQ(MessageBoxText(box), kAlreadyRunning);
    EXPECT_TRUE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST);  // system modal
    // The refused wizard shows nothing but its message.
    EXPECT_EQ(VisibleWindows(second.Id()).size(), 1u);

    ClickButton(box, IDOK);
    DWORD code = 1;
    ASSERT_TRUE(second.WaitForExit(15000, &code));
    EXPECT_EQ(code, 0u);

    EXPECT_TRUE(first.IsRunning());
    EXPECT_TRUE(IsWindowVisible(firstWindow));
    CloseWizard(first, firstWindow);

    // Closing the window released the guard: the next wizard runs normally.
    WizardProcess third;
    ASSERT_TRUE(third.Start(exe));
    HWND thirdWindow = WaitForWizard(third);
    ASSERT_NE(thirdWindow, nullptr);
    CloseWizard(third, thirdWindow);
}

TEST(Startup, UnrecognisedWizardNameShowsTwoMessagesAndNoPage) {
    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start(WindowsPathFromEnv("FENNIX_WIZARD_UNKNOWN_EXE")));

    for (const wchar_t* expected : {L"Unknown wizard type", L"Invalid wizard type"}) {
        HWND box = WaitForWindow(wizard.Id(), [&](HWND hwnd) { return MessageBoxText(hwnd) == expected; });
        ASSERT_NE(box, nullptr) << "missing message: " << testing::PrintToString(std::wstring(expected));
        EXPECT_EQ(WindowText(box), L"Error");  // the default caption
        for (HWND hwnd : VisibleWindows(wizard.Id()))
            EXPECT_EQ(hwnd, box) << "a window other than the message is visible";
        ClickButton(box, IDOK);
    }
    DWORD code = 1;
    ASSERT_TRUE(wizard.WaitForExit(15000, &code));
    EXPECT_EQ(code, 0u);
}

TEST(Startup, DlmWizardStartsWithSetupTitle) {
    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start(WindowsPathFromEnv("FENNIX_WIZARD_DLM_EXE")));
    HWND window = WaitForWindowTitled(wizard.Id(), L"Setup");
    ASSERT_NE(window, nullptr);
    CloseWizard(wizard, window);
}
