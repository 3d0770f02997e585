// The wizard's only top-level window: the frame around the pages, navigation and closing.
#pragma once
#include <cstddef>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "app/Navigation.h"
#include "app/OfferNavigation.h"
#include "pagebase/AccessibleName.h"
#include "pagebase/IPage.h"
#include "pagebase/StaticFromImage.h"
#include "win32/ComPtr.h"
#include "win32/Dialog.h"
#include "win32/Handle.h"

class ErrorPage;
struct PageEntry;
class LanguageManager;
class Package;

class CTrelvoDlg : public Dialog {
public:
    CTrelvoDlg();
    ~CTrelvoDlg() override;

    // Adds a page to the end of the list, with its window created on the page frame; a page whose window
    // cannot be made brings the error page instead.
    void CreateAndAddPage(std::unique_ptr<IPage> page);
    // Makes page `index` the one shown; an index beyond the list is ignored.
    void ShowPage(std::size_t index);
    // Shows the error page with this title and text in place of the current page.
    void ShowError(const std::wstring& title, const std::wstring& text);
    // Moves through the page list as a page's button asks.
    void OnButton(ButtonType type);

    std::size_t GetCurrentIndex() const { return currentIndex_; }
    std::size_t GetPageCount() const { return pages_.size(); }
    IPage* GetPage(std::size_t index) const { return index < pages_.size() ? pages_[index].get() : nullptr; }
    ErrorPage* GetErrorPage() const { return errorPage_.get(); }
    const std::shared_ptr<LanguageManager>& GetLanguageManager() const { return languageManager_; }

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    // The dialog manager sends Enter and the mnemonics of the current page's buttons here, to the
    // outermost dialog; they go on to the page as its button's click.
    void OnCommand(int id, int notifyCode, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;
    void OnClose() override;
    // Enter never ends the wizard; Escape asks like the close button.
    void OnOK() override {}
    void OnCancel() override { OnClose(); }

private:
    // False when another wizard runs on this machine; the dialog is then ended.
    bool AcquireSingleInstance();
    // False for a wizard type this program cannot run; the dialog is then ended.
    bool CheckWizardType();
    bool CreateInitialPages();
    // The page of this entry of the page list, its window not yet made.
    std::unique_ptr<IPage> MakePageOf(const PageEntry& entry);
    // Makes the windows of every page up to `index` that has none yet; false when one cannot be made
    // (the error page then shows and that page leaves the list).
    bool MakePagesThrough(std::size_t index);
    // The error page's window, made when first needed at the latest; false (after saying so and ending
    // the dialog) when it cannot be made.
    bool MakeErrorPage();
    // Makes the next page still without a window, one per timer tick, until none is left, then the pages
    // that come ahead of the answer; the first tick also starts preparing the network for the
    // configuration request.
    void OnMakePagesTimer();
    // Makes the window of the next page ahead of the answer; false when none is left to make.
    bool MakeNextPageAhead();
    // The page's window, hidden in the page frame, with the error callback set.
    bool MakeWindowOf(IPage& page);
    void LoadRichEdit();
    // False when its window cannot be made (GetLastError tells why).
    bool CreatePage(IPage& page);
    // Runs on whichever thread delivers the offers, so it only stores them and posts.
    void OnOffersLoaded(std::vector<std::shared_ptr<Package>> offers);
    LRESULT OnLoadCompleteMessage();
    // Product pages after the current page that are skipped; each skip within the offer limit is reported.
    std::size_t CountSkippedProductPages();
    void SetCloseEntry(CloseEntry change);
    // The page in view: the error page once shown, else the current page; null before the first page.
    HWND ShownPage() const;
    // Puts the keyboard focus on a page just shown: its default button, else its first control in tab order.
    void FocusPage(HWND page);

    // Screen readers ask the window thread for the objects they read through COM; first, so it ends last.
    CoInitializeScope com_;
    UniqueModule richEdit_;  // for the license page's control; outlives every page
    HICON icon_ = nullptr;  // shared resource icon: not destroyed
    std::vector<std::unique_ptr<IPage>> pages_;
    std::size_t currentIndex_ = 0;
    std::size_t firstUnmade_ = 0;  // pages before this one have their windows
    std::unique_ptr<ErrorPage> errorPage_;
    // Made while the configuration loads; they take the first places of the list the answer brings.
    std::vector<std::unique_ptr<IPage>> pagesAhead_;
    bool answerListed_ = false;  // the answer's pages are in the list: nothing more is made ahead
    std::shared_ptr<LanguageManager> languageManager_;
    bool errorShown_ = false;
    bool installationRunning_ = false;
    bool returnedToFirstPage_ = false;
    std::size_t initialPageCount_ = 0;
    CStaticFromImage headerImage_;
    AccessibleName headerImageName_;
    RECT pageRect_{};
    UniqueBrush accentBrush_;
    // Loads the network and trust store while the first page waits for the user; waited for on destruction.
    std::future<void> networkPrepared_;
    std::vector<std::shared_ptr<Package>> offers_;
    OfferNavigation offerNavigation_;  // offerIndex, skipAll, stopAfterDecline, offerLimitReached
    UniqueKernelHandle instanceMutex_;
};
