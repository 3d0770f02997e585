// Creates content pages in the test process, on a plain top-level window, the way the wizard window
// does, with the program's own templates, texts and images.
#pragma once
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "pagebase/IPage.h"
#include "tests/support/ScopedConfiguration.h"

namespace contentpages_test {

// Processes pending window messages for about `milliseconds`.
void Pump(DWORD milliseconds = 50);
std::wstring Text(HWND control);
bool IsShown(HWND control);
// Presses a button as a user would.
void Click(HWND button);
// Clicks link `index` of a link control with the mouse; false when the link is not found.
bool ClickLink(HWND linkControl, int index);
// The colour drawn at a point given as fractions of the control's client area.
COLORREF PixelAt(HWND control, double x, double y);
LOGFONTW FontOf(HWND control);
RECT RectInParent(HWND control);

// Everything handed to the shell while it lives.
class OpenedUrls {
public:
    OpenedUrls();
    ~OpenedUrls();
    std::vector<std::wstring> urls;
};

using testing_support::ScopedConfiguration;

class PageHost {
public:
    PageHost();
    HWND Hwnd() const { return hwnd_; }

    // A language manager for the configuration's wizard type with the language of `localeName` loaded.
    std::shared_ptr<LanguageManager> Languages(const std::wstring& localeName);
    // Loads another language into the manager; every page is re-labelled.
    void SwitchLanguage(LanguageManager& languages, const std::wstring& localeName);

    // Creates the page's window as the wizard window does, shows it and records its button reports.
    template <typename Page>
    std::unique_ptr<Page> Show(std::shared_ptr<LanguageManager> languages) {
        auto page = std::make_unique<Page>(std::move(languages));
        Place(*page);
        return page;
    }

    std::vector<ButtonType> pressed;

private:
    void Place(IPage& page);

    HWND hwnd_ = nullptr;
    HWND combo_ = nullptr;
};

}  // namespace contentpages_test
