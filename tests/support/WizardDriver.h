// Looks into a running wizard (the real program or one made inside a test): its visible page and the
// page's controls, message boxes to answer, screenshots.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/WindowDriver.h"

namespace testing_support {

struct ControlInfo {
    int id;
    std::wstring className;
    std::wstring text;
    bool visible;
};

// The page dialog shown inside the wizard window; null when none is visible.
HWND VisiblePage(HWND wizard);
// Polls every `pollMs` until the visible page satisfies `match`; null on time-out. Timing tools poll
// more often than tests need to.
HWND WaitForPage(HWND wizard, const std::function<bool(HWND)>& match, DWORD milliseconds = 15000,
                 DWORD pollMs = 50);
std::vector<ControlInfo> ListControls(HWND page);
std::wstring ControlText(HWND page, int id);
bool ControlVisible(HWND page, int id);
// For failure output: every control of the page, one per line.
std::wstring DescribeControls(HWND page);

// A message box of the process (a dialog holding the message box's text control).
bool IsMessageBox(HWND hwnd);
HWND WaitForMessageBox(DWORD processId, DWORD milliseconds = 15000);

// The window's client area as it stands on the screen, saved as a PNG file.
bool SaveScreenshot(HWND window, const std::wstring& path);
// Where tests leave their pictures (FENNIX_ARTEFACT_DIR, created on demand); empty when unset.
std::wstring ArtefactPath(const std::wstring& fileName);

// Answers every message box this process shows while it lives, on a thread of its own, so that code
// that asks can run on the test's thread. What each box said is kept in order.
class MessageBoxAnswerer {
public:
    struct Seen {
        std::wstring caption;
        std::wstring text;
    };

    explicit MessageBoxAnswerer(int button = IDOK);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    void SetButton(int button) { button_ = button; }
    std::vector<Seen> TakeSeen();
    std::vector<std::wstring> TakeTexts();

private:
    void Run();

    std::atomic<int> button_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Seen> seen_;
    std::vector<HWND> answered_;
    std::thread thread_;
};

}  // namespace testing_support
