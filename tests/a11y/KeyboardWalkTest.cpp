// The real wizard walked from the language page to the end of the run with the keyboard alone, keys
// going to whichever control has the focus, as a user's would. On every page the focus starts on the
// page, Tab visits each control that acts in reading order, and every control that acts or informs
// has the name a screen reader reads. Pictures of the language, offer and finish pages go to the
// artefacts, named by the screen's DPI (the test runs again in a prefix at 144 DPI).
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/PrivateFolders.h"
#include "tests/support/Reports.h"
#include "tests/support/TestBackend.h"
#include "tests/support/WizardDriver.h"
#include "win32/ComPtr.h"
#include "win32/Handle.h"
#include "win32/Strings.h"

using namespace testing_support;
using nlohmann::json;

namespace {

constexpr char kProductRoute[] = "/endpoint/fxweb/os/riserollout/track/beta";

bool SpanishUser() {
    const char* expected = std::getenv("FENNIX_EXPECT_LANGUAGE");
    return expected && std::string(expected) == "es";
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// What a screen reader reads as the control's name; "<none>" when it gets none.
std::wstring AccessibleNameOf(HWND control) {
    ComPtr<IAccessible> object;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          object.put_void())) ||
        !object)
        return L"<none>";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (object->get_accName(self, &name) != S_OK || !name)
        return L"<none>";
    std::wstring text(name, SysStringLen(name));
    SysFreeString(name);
    return text;
}

std::wstring WithoutAmpersand(std::wstring text) {
    if (const size_t at = text.find(L'&'); at != std::wstring::npos)
        text.erase(at, 1);
    return text;
}

bool IsPicture(HWND control) {
    return ClassName(control) == L"Static" && (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP;
}

// Controls that neither act nor inform: the band, its line, frames.
bool IsDecoration(HWND control) {
    return ClassName(control) == L"Static" && !IsPicture(control) && WindowText(control).empty();
}

class KeyboardWalkTest : public testing::Test {
protected:
    void TearDown() override { wizard.Terminate(); }

    HWND Focus() const {
        GUITHREADINFO info{sizeof info};
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
    }
    int FocusId() const { return GetDlgCtrlID(Focus()); }

    // Where the keyboard is: the control with the focus and, in a link control, its focused link.
    struct Stop {
        HWND control = nullptr;
        int link = -1;
        bool operator==(const Stop& other) const { return control == other.control && link == other.link; }
        bool operator!=(const Stop& other) const { return !(*this == other); }
    };

    // Link states live in the wizard's memory: the item is asked for through a buffer there.
    int FocusedLink(HWND control, int* count = nullptr) const {
        if (count)
            *count = 0;
        if (ClassName(control) != L"SysLink")
            return -1;
        void* remote = VirtualAllocEx(process.get(), nullptr, sizeof(LITEM), MEM_COMMIT, PAGE_READWRITE);
        if (!remote)
            return -1;
        int focused = -1;
        for (int i = 0;; ++i) {
            LITEM item{};
            item.mask = LIF_ITEMINDEX | LIF_STATE;
            item.iLink = i;
            item.stateMask = LIS_FOCUSED;
            if (!WriteProcessMemory(process.get(), remote, &item, sizeof item, nullptr) ||
                !SendMessageW(control, LM_GETITEM, 0, reinterpret_cast<LPARAM>(remote)) ||
                !ReadProcessMemory(process.get(), remote, &item, sizeof item, nullptr))
                break;
            if (item.state & LIS_FOCUSED)
                focused = i;
            if (count)
                *count = i + 1;
        }
        VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
        return focused;
    }
    Stop Where() const {
        const HWND control = Focus();
        return {control, FocusedLink(control)};
    }

    // Polls a condition that a key press brings about in the wizard's thread.
    static bool WaitUntil(const std::function<bool()>& condition) {
        for (const ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(20))
            if (condition())
                return true;
        return condition();
    }

    // Best effort only: the wizard's thread also waits on its queue while it handles a key (for a sent
    // message's answer), so callers wait for what the key does.
    void Settle() const { WaitForInputIdle(process.get(), 15000); }

    void Press(UINT key) const {
        HWND target = Focus();
        ASSERT_NE(target, nullptr) << "nothing has the focus";
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
        Settle();
    }
    // Alt and a letter: the mnemonic of a control on the page.
    void PressAlt(wchar_t letter) const {
        HWND target = Focus();
        ASSERT_NE(target, nullptr) << "nothing has the focus";
        PostMessageW(target, WM_SYSCHAR, letter, 1 | (1 << 29));
        Settle();
    }
    // Tab, returning once the keyboard has moved on: to the next control, or the next link of one.
    void Tab() const {
        const Stop before = Where();
        int links = 0;
        FocusedLink(before.control, &links);
        const bool onlyStop = GetNextDlgTabItem(window, before.control, FALSE) == before.control && links < 2;
        Press(VK_TAB);
        if (!onlyStop) {
            EXPECT_TRUE(WaitUntil([&] { return Where() != before; })) << "Tab did not move from " << FocusId();
        }
    }

    // The controls that Tab visits from the one with the focus until it is back there, by id.
    std::vector<int> TabCycle() const {
        const Stop first = Where();
        std::vector<int> cycle{GetDlgCtrlID(first.control)};
        for (int presses = 0; presses < 20; ++presses) {
            Tab();
            const Stop now = Where();
            if (now.control == first.control && (now == first || cycle.size() > 1))
                break;
            if (GetDlgCtrlID(now.control) != cycle.back())  // a link control takes one Tab per link
                cycle.push_back(GetDlgCtrlID(now.control));
        }
        return cycle;
    }

    bool WaitForFocus(int id) const {
        for (const ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(50))
            if (FocusId() == id)
                return true;
        return false;
    }

    // Every visible control that acts or informs, with its name: a text's name is its text as shown.
    void ExpectNames(HWND page, const std::vector<std::pair<int, std::wstring>>& named = {}) const {
        for (HWND control = GetWindow(page, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
            if (!IsWindowVisible(control) || IsDecoration(control))
                continue;
            const int id = GetDlgCtrlID(control);
            const std::wstring name = AccessibleNameOf(control);
            SCOPED_TRACE(testing::Message() << "control " << id << " (" << WideToUtf8(ClassName(control))
                                            << ") named \"" << WideToUtf8(name) << "\"");
            EXPECT_FALSE(name.empty() || name == L"<none>");
            EXPECT_EQ(name.find(L'<'), std::wstring::npos);  // no link markup read aloud
            bool expected = false;
            for (const auto& [namedId, text] : named) {
                if (namedId == id) {
                    EXPECT_EQ(name, text);
                    expected = true;
                }
            }
            const std::wstring className = ClassName(control);
            if (!expected && (className == L"Button" || (className == L"Static" && !IsPicture(control)))) {
                EXPECT_EQ(name, WithoutAmpersand(WindowText(control)));
            }
        }
    }

    void Picture(const std::wstring& name) const {
        const std::wstring path = ArtefactPath(name + L"-" + std::to_wstring(ScreenDpi()) + L"dpi" +
                                               (SpanishUser() ? L"-es.png" : L"-en.png"));
        if (!path.empty()) {
            Settle();
            EXPECT_TRUE(SaveScreenshot(window, path));
        }
    }

    HWND WaitForVisible(int id) const {
        return WaitForPage(
            window, [id](HWND p) { return ControlVisible(p, id); }, 40000);
    }

    CoInitializeScope com;
    TestBackend backend;
    WizardProcess wizard;
    UniqueKernelHandle process;  // to wait for the wizard and read its link states
    HWND window = nullptr;
};

json Offer(const std::string& id, int picture) {
    return {{"ad", {{"o", id}, {"f", "flow-" + id}}},
            {"ps",
             {{"i", "offer" + std::to_string(picture) + ".png"},
              {"dn", "Offer " + id},
              {"u", "installers/offer1-setup.exe"},
              {"p", "/S"},
              {"cp", "https://localhost/legal/offer-privacy/"},
              {"ctu", "https://localhost/legal/offer-terms/"},
              {"c", "chan"},
              {"v", picture}}}};
}

}  // namespace

TEST_F(KeyboardWalkTest, AWholeRunByKeysAloneWithEveryControlNamed) {
    const char* installersDir = std::getenv("FENNIX_INSTALLERS_DIR");
    ASSERT_NE(installersDir, nullptr);
    if (const char* dpi = std::getenv("FENNIX_EXPECT_DPI")) {
        ASSERT_EQ(ScreenDpi(), std::atoi(dpi)) << "the prefix is not at this DPI";
    }
    const std::string installers = installersDir;
    // The configuration and the product come late, so the loading and download pages stay in view
    // while their names are read.
    backend.SetScenario(
        {{"config",
          {{"l", "US"}, {"f", {{"a", "a"}, {"m", 3}}}, {"o", json::array({Offer("one", 1), Offer("two", 2)})}}},
         {"files", backend.filesDir},
         {"routes",
          json::array(
              {{{"path", "/o"}, {"delay", 3}},
               {{"path", kProductRoute}, {"delay", 3}, {"body_file", installers + "/fxweb-setup.exe"}},
               {{"path", "/f/installers/offer1-setup.exe"}, {"body_file", installers + "/offer1-setup.exe"}}})}});
    const size_t mark = backend.Mark();
    const std::wstring temp = TestBackend::ScratchFolder(L"keyboard-temp");
    ASSERT_TRUE(wizard.StartWithTempFolder(WindowsPathFromEnv("FENNIX_WIZARD_EXE"), temp));
    process.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                  PROCESS_VM_WRITE,
                              FALSE, wizard.Id()));
    ASSERT_TRUE(process);
    window = WaitForWindowTitled(wizard.Id(), L"Fennix Web ");
    ASSERT_NE(window, nullptr);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);

    // Language page: Next is the default button and has the focus; Enter presses it.
    HWND page = WaitForVisible(IDC_NEXT_BUTTON);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(WaitForFocus(IDC_NEXT_BUTTON)) << "focus on " << FocusId();
    EXPECT_EQ(TabCycle(), std::vector<int>{IDC_NEXT_BUTTON});
    ExpectNames(page);
    Picture(L"language-page");
    Press(VK_RETURN);

    // Loading page: the progress bar is named by its label.
    page = WaitForVisible(IDC_PROGRESS_BAR);
    ASSERT_NE(page, nullptr) << "Enter did not leave the language page";
    ExpectNames(page, {{IDC_PROGRESS_BAR, L"Loading..."}});

    // License page: the focus starts in the licence text; Alt+A agrees.
    page = WaitForVisible(IDC_AGREE_BUTTON);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(WaitForFocus(IDC_LICENSE_EULA)) << "focus on " << FocusId();
    // The focus selects none of the licence text, which shows from its start.
    const HWND licence = GetDlgItem(page, IDC_LICENSE_EULA);
    EXPECT_TRUE(WaitUntil([licence] {
        return SendMessageW(licence, EM_GETSEL, 0, 0) == 0 && SendMessageW(licence, EM_GETFIRSTVISIBLELINE, 0, 0) == 0;
    })) << "selection " << std::hex << SendMessageW(licence, EM_GETSEL, 0, 0) << ", first line "
        << std::dec << SendMessageW(licence, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_EQ(TabCycle(),
              (std::vector<int>{IDC_LICENSE_EULA, IDC_LICENSE_DISCLAIMER, IDC_BACK_BUTTON, IDC_AGREE_BUTTON}));
    ExpectNames(page);
    PressAlt(L'a');

    // First offer: its picture is named by the offer; Alt+D declines.
    page = WaitForPage(
        window, [](HWND p) { return ControlText(p, IDC_PRODUCT_DISCLAIMER).find(L"Offer one") != std::wstring::npos; });
    ASSERT_NE(page, nullptr) << "Alt+A did not agree";
    ASSERT_TRUE(WaitForFocus(IDC_PRODUCT_DISCLAIMER)) << "focus on " << FocusId();
    EXPECT_EQ(TabCycle(),
              (std::vector<int>{IDC_PRODUCT_DISCLAIMER, IDC_DECLINE_BUTTON, IDC_SKIP_ALL_BUTTON, IDC_ACCEPT_BUTTON}));
    ExpectNames(page, {{IDC_OFFER_IMAGE, L"Offer one"}});
    Picture(L"offer-page");
    PressAlt(SpanishUser() ? L'r' : L'd');

    // Second and last offer: Tab to Accept, Enter.
    page = WaitForPage(
        window, [](HWND p) { return ControlText(p, IDC_PRODUCT_DISCLAIMER).find(L"Offer two") != std::wstring::npos; });
    ASSERT_NE(page, nullptr) << "the mnemonic did not decline";
    ASSERT_TRUE(WaitForFocus(IDC_PRODUCT_DISCLAIMER)) << "focus on " << FocusId();
    EXPECT_EQ(TabCycle(), (std::vector<int>{IDC_PRODUCT_DISCLAIMER, IDC_DECLINE_BUTTON, IDC_ACCEPT_BUTTON}));
    ExpectNames(page, {{IDC_OFFER_IMAGE, L"Offer two"}});
    for (int presses = 0; presses < 10 && FocusId() != IDC_ACCEPT_BUTTON; ++presses)
        Tab();
    ASSERT_EQ(FocusId(), IDC_ACCEPT_BUTTON);
    Press(VK_RETURN);

    // Download page: nothing to act on; the picture and the progress bar are named.
    page = WaitForVisible(IDC_PROGRESS_TITLE);
    ASSERT_NE(page, nullptr) << "Enter on Accept did not go on";
    ExpectNames(page, {{IDC_PAGE_IMAGE, WithoutAmpersand(ControlText(page, IDC_PROGRESS_TITLE))}});

    // Finish page: the launch box has the focus; Space clears it, Tab and Enter finish.
    page = WaitForVisible(IDC_FINISH_BUTTON);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(WaitForFocus(IDC_LAUNCH_CHECK)) << "focus on " << FocusId();
    EXPECT_EQ(TabCycle(), (std::vector<int>{IDC_LAUNCH_CHECK, IDC_FINISH_BUTTON}));
    std::wstring finishTitle = ControlText(page, IDC_FINISH_TITLE);
    ExpectNames(page, {{IDC_PAGE_IMAGE, finishTitle}});
    Picture(L"finish-page");
    Press(VK_SPACE);
    EXPECT_TRUE(WaitUntil(
        [&] { return SendMessageW(GetDlgItem(page, IDC_LAUNCH_CHECK), BM_GETCHECK, 0, 0) == BST_UNCHECKED; }));
    Tab();
    ASSERT_EQ(FocusId(), IDC_FINISH_BUTTON);
    Press(VK_RETURN);
    DWORD code = 1;
    ASSERT_TRUE(wizard.WaitForExit(20000, &code)) << "Enter on Finish did not end the wizard";
    EXPECT_EQ(code, 0u);

    // The keys did what their buttons do: the first offer declined, the second installed.
    const Reports expected{{"one", "4"}, {"product", "1"}, {"product", "3"}, {"two", "3"}};
    Reports reports;
    for (const ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(100)) {
        reports = Summary(Events(backend.Requests(mark)));
        if (reports.size() >= expected.size())
            break;
    }
    EXPECT_EQ(reports, expected);
}
