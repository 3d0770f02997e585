// WalkThrough <wizard.exe> <folder> [--open-folder <file name>]: runs the wizard from its first page to
// the end as a user who accepts everything would, saving a picture of every page as
// <folder>\NN-<page>.png. Prints one line per picture; exits 0 when the finish page was reached and
// Finish pressed. With --open-folder (a DLM wizard) the user asks the finish page to show the downloaded
// file's folder: the walk then waits for the shell's window of the Downloads folder listing that file,
// pictures it and closes it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "resources/resource.h"
#include "tests/support/FolderWindow.h"
#include "tests/support/WizardDriver.h"

using namespace testing_support;

namespace {

struct Step {
    int button;            // the control that moves on from this page
    const wchar_t* name;   // for the picture's file name
};

// The forward button tells the pages apart; the download page has none and moves on by itself.
Step Classify(HWND page) {
    if (ControlVisible(page, IDC_FINISH_BUTTON))
        return {IDC_FINISH_BUTTON, L"finish"};
    if (ControlVisible(page, IDC_CLOSE_BUTTON))
        return {IDC_CLOSE_BUTTON, L"error"};
    if (ControlVisible(page, IDC_ACCEPT_BUTTON))
        return {IDC_ACCEPT_BUTTON, L"product"};
    if (ControlVisible(page, IDC_AGREE_BUTTON))
        return {IDC_AGREE_BUTTON, L"license"};
    if (ControlVisible(page, IDC_NEXT_BUTTON))
        return {IDC_NEXT_BUTTON, L"language"};
    return {0, L"progress"};
}

// The shell's window of the Downloads folder once it lists `file`, pictured as <number>-folder.png.
bool PictureDownloadsFolder(const std::wstring& folder, int number, const std::wstring& file) {
    const std::wstring title = FolderDisplayName(DownloadsFolder());
    HWND shown = WaitForFolderWindow(title, file, 60000);
    if (!shown) {
        fwprintf(stderr, L"no folder window titled \"%ls\" lists %ls\n", title.c_str(), file.c_str());
        return false;
    }
    Sleep(500);  // the list paints after it is filled
    wchar_t name[64];
    swprintf(name, 64, L"%02d-folder.png", number);
    SaveScreenshot(shown, folder + L"\\" + name);
    wprintf(L"%ls\n", name);
    CloseFolderWindows(title);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool openFolder = argc == 5 && std::wstring(argv[3]) == L"--open-folder";
    if (argc != 3 && !openFolder) {
        fwprintf(stderr, L"usage: WalkThrough <wizard.exe> <folder> [--open-folder <file name>]\n");
        return 2;
    }
    const std::wstring folder = argv[2];
    CreateDirectoryW(folder.c_str(), nullptr);

    WizardProcess wizard;
    if (!wizard.Start(argv[1])) {
        fwprintf(stderr, L"cannot start %ls\n", argv[1]);
        return 1;
    }
    HWND window = WaitForWindow(wizard.Id(), [](HWND hwnd) { return !IsMessageBox(hwnd); }, 30000);
    if (!window) {
        fwprintf(stderr, L"the wizard window did not appear\n");
        return 1;
    }

    HWND previous = nullptr;
    for (int number = 1; number <= 40; ++number) {
        HWND page = WaitForPage(window, [&](HWND hwnd) { return hwnd != previous; }, 120000);
        if (!page) {
            fwprintf(stderr, L"no new page after page %d\n", number - 1);
            return 1;
        }
        Step step = Classify(page);
        const bool showFolder = openFolder && step.button == IDC_FINISH_BUTTON;
        if (showFolder)
            SendMessageW(GetDlgItem(page, IDC_OPEN_FOLDER_RADIO), BM_CLICK, 0, 0);
        // Loading or downloading pages are pictured once drawn; on the others images and texts paint
        // after the page is shown.
        Sleep(step.button == 0 ? 150 : 500);
        wchar_t file[64];
        swprintf(file, 64, L"%02d-%ls.png", number, step.name);
        SaveScreenshot(window, folder + L"\\" + file);
        wprintf(L"%ls\n", file);
        fflush(stdout);
        previous = page;
        if (step.button == 0)
            continue;  // wait for what follows
        ClickButton(page, step.button);
        if (step.button == IDC_FINISH_BUTTON || step.button == IDC_CLOSE_BUTTON) {
            DWORD code = 0;
            bool ended = wizard.WaitForExit(30000, &code);
            if (showFolder && !PictureDownloadsFolder(folder, number + 1, argv[4]))
                return 1;
            return ended && step.button == IDC_FINISH_BUTTON ? 0 : 1;
        }
    }
    return 1;
}
