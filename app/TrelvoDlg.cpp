#include "app/TrelvoDlg.h"

#include <optional>
#include <string>
#include <system_error>

#include "app/AboutDlg.h"
#include "app/Navigation.h"
#include "app/OfferNavigation.h"
#include "app/PageFactory.h"
#include "app/PageList.h"
#include "backend/LoadingPage.h"
#include "backend/Package.h"
#include "config/BuildConfig.h"
#include "config/ConfigurationManager.h"
#include "events/EventContext.h"
#include "install/ErrorPage.h"
#include "install/InstallerRunner.h"
#include "install/TemporaryFolder.h"
#include "locale/LanguageManager.h"
#include "net/DownloadManager.h"
#include "net/HttpClient.h"
#include "resources/resource.h"
#include "win32/RunLog.h"
#include "win32/SystemError.h"
#include "win32/SystemLibrary.h"
#include "win32/WizardMessages.h"

namespace {

constexpr UINT kAboutCommand = IDM_ABOUTBOX;  // 16; the system menu reserves the low four bits
// Pages after the one shown are made between messages: after the shown page has painted, since timer
// messages come last, and before any page is shown, which makes what it needs at once.
constexpr UINT_PTR kMakePagesTimer = 1;

PageSwitches CurrentPageSwitches() {
    auto config = ConfigurationManager::GetInstance();
    return {config->showLicensePage, config->classicPages};
}

}  // namespace

CTrelvoDlg::CTrelvoDlg()
    : Dialog(IDD_TRELVO_DIALOG), languageManager_(std::make_shared<LanguageManager>(this)) {
    icon_ = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CTrelvoDlg::~CTrelvoDlg() {
    // The pages go first: the loading page's callback may still run on an image download thread
    // and write the offers list that is read below, and the download page's tasks end with them.
    pages_.clear();
    pagesAhead_.clear();
    errorPage_.reset();
    // No GDI+ image may outlive GDI+, which ends right after this window.
    auto config = ConfigurationManager::GetInstance();
    config->productLogo.reset();
    for (const auto* list : {&config->acceptedPackages, &config->shownPackages, &offers_})
        for (const auto& offer : *list) {
            std::lock_guard<std::mutex> lock(offer->packageMutex);
            offer->image.reset();
        }
    headerImage_.SetImage(nullptr);
    // Every way out ends here, with no page left to write into the run's folder.
    RemoveTemporaryFolder();
    instanceMutex_.reset();  // the very last step: another wizard may start once this one is gone
}

BOOL CTrelvoDlg::OnInitDialog() {
    HWND hwnd = GetHwnd();
    wchar_t about[64] = {};
    if (HMENU menu = GetSystemMenu(hwnd, FALSE);
        menu && LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, _countof(about)) > 0) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand, about);
    }
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    if (!AcquireSingleInstance() || !CheckWizardType())
        return TRUE;

    auto config = ConfigurationManager::GetInstance();
    accentBrush_.reset(CreateSolidBrush(config->accentColor));
    SetDlgItemTextW(hwnd, IDC_HEADER_TITLE, config->productTitle.c_str());
    headerImage_.Attach(GetItem(IDC_HEADER_IMAGE));
    headerImageName_.Attach(GetItem(IDC_HEADER_IMAGE),
                            [title = GetItem(IDC_HEADER_TITLE)] { return SpokenText(title); });

    CreateInitialPages();

    if (config->wizardType == WizardType::ISV) {
        ShowWindow(GetItem(IDC_HEADER_IMAGE), SW_HIDE);
        ShowWindow(GetItem(IDC_HEADER_SEPARATOR), SW_HIDE);
    }
    ShowWindow(GetItem(IDC_HEADER_TITLE), SW_HIDE);
    if (HWND page = ShownPage()) {
        FocusPage(page);
        return FALSE;  // the focus is set
    }
    return TRUE;
}

bool CTrelvoDlg::AcquireSingleInstance() {
    const std::wstring name = std::wstring(L"Global\\Trelvo") + build::kWizardName + L"SingleInstanceMutex";
    instanceMutex_.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
    if (instanceMutex_ && GetLastError() == ERROR_ALREADY_EXISTS) {
        instanceMutex_.reset();
        MessageBoxW(GetHwnd(), L"Another setup is already running, please close it and try again", L"Error",
                    MB_ICONHAND | MB_SYSTEMMODAL);
        EndDialog(IDOK);
        return false;
    }
    return true;  // without a mutex the wizard runs as if it were alone
}

bool CTrelvoDlg::CheckWizardType() {
    auto config = ConfigurationManager::GetInstance();
    const std::optional<std::wstring> title = WizardTitle(config->wizardType, config->productTitle);
    if (!title) {
        MessageBoxW(nullptr, L"Invalid wizard type", nullptr, MB_ICONHAND | MB_SYSTEMMODAL);
        EndDialog(IDOK);
        return false;
    }
    SetWindowTextW(GetHwnd(), title->c_str());
    return true;
}

bool CTrelvoDlg::CreateInitialPages() {
    GetWindowRect(GetItem(IDC_PAGE_FRAME), &pageRect_);
    MapWindowPoints(nullptr, GetHwnd(), reinterpret_cast<POINT*>(&pageRect_), 2);

    // Only the first page is made before the window shows; the error page and the others follow.
    errorPage_ = std::make_unique<ErrorPage>(languageManager_);
    for (const PageEntry& entry : BuildInitialPageList(CurrentPageSwitches())) {
        if (pages_.empty())
            CreateAndAddPage(MakePageOf(entry));
        else
            pages_.push_back(MakePageOf(entry));
    }
    initialPageCount_ = pages_.size();
    currentIndex_ = 0;
    if (pages_.empty() || errorShown_)
        return false;
    ShowWindow(pages_[0]->GetHwnd(), SW_SHOW);
    LogLine(L"page: " + pages_[0]->GetPageName());
    SetTimer(GetHwnd(), kMakePagesTimer, USER_TIMER_MINIMUM, nullptr);
    return true;
}

bool CTrelvoDlg::MakeErrorPage() {
    if (errorPage_->GetHwnd())
        return true;
    if (CreatePage(*errorPage_))
        return true;
    MessageBoxW(GetHwnd(), (L"The setup window could not be created: " + SystemErrorText(GetLastError())).c_str(),
                L"Error", MB_ICONHAND | MB_SYSTEMMODAL);
    EndDialog(IDOK);
    return false;
}

std::unique_ptr<IPage> CTrelvoDlg::MakePageOf(const PageEntry& entry) {
    PageHooks hooks;
    hooks.offersLoaded = [this](PackageList offers) { OnOffersLoaded(std::move(offers)); };
    hooks.installationRunning = [this](bool running) { installationRunning_ = running; };
    return MakePage(entry, ConfigurationManager::GetInstance()->wizardType, languageManager_, offers_, hooks);
}

bool CTrelvoDlg::MakePagesThrough(std::size_t index) {
    for (; firstUnmade_ <= index && firstUnmade_ < pages_.size(); ++firstUnmade_) {
        IPage& page = *pages_[firstUnmade_];
        if (!page.GetHwnd() && !MakeWindowOf(page)) {
            // A run with a page missing cannot go on: the error page says so in its place.
            const std::wstring reason = SystemErrorText(GetLastError());
            pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(firstUnmade_));
            ShowError(languageManager_->GetString("PAGE_ERROR_TITLE"),
                      L"A page of the setup could not be created: " + reason);
            return false;
        }
    }
    return true;
}

bool CTrelvoDlg::MakeWindowOf(IPage& page) {
    if (!CreatePage(page))
        return false;
    page.SetErrorCallback([this](const std::wstring& title, const std::wstring& text) { ShowError(title, text); });
    return true;
}

// A page that cannot be made here stays without a window: made again in its place, it brings the error page.
bool CTrelvoDlg::MakeNextPageAhead() {
    auto config = ConfigurationManager::GetInstance();
    const std::vector<PageEntry> ahead = BuildPagesAheadOfAnswer(config->wizardType, CurrentPageSwitches());
    if (answerListed_ || pagesAhead_.size() >= ahead.size())
        return false;
    LoadRichEdit();
    pagesAhead_.push_back(MakePageOf(ahead[pagesAhead_.size()]));
    return MakeWindowOf(*pagesAhead_.back()) && pagesAhead_.size() < ahead.size();
}

// The license page's rich edit control is the first to need its library: loaded well after the first page
// has shown, and from System32 only. Without it that page cannot be made: the error page.
void CTrelvoDlg::LoadRichEdit() {
    if (!richEdit_)
        richEdit_.reset(LoadSystemLibrary(L"riched32.dll"));
}

void CTrelvoDlg::OnMakePagesTimer() {
    if (!networkPrepared_.valid()) {
        try {
            networkPrepared_ = std::async(std::launch::async, PrepareSecureRequests);
        } catch (const std::system_error&) {
            // No thread: the first request does this work on its way.
        }
    }
    bool more = false;
    if (!errorPage_->GetHwnd())
        more = MakeErrorPage();
    else if (!errorShown_)
        more = firstUnmade_ < pages_.size() ? MakePagesThrough(firstUnmade_) : MakeNextPageAhead();
    if (!more)
        KillTimer(GetHwnd(), kMakePagesTimer);
}

bool CTrelvoDlg::CreatePage(IPage& page) {
    if (!page.Create(GetHwnd()))
        return false;
    page.SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor, true);
    page.SetButtonCallback([this](ButtonType type) { OnButton(type); });
    ShowWindow(page.GetHwnd(), SW_HIDE);
    SetWindowPos(page.GetHwnd(), nullptr, pageRect_.left, pageRect_.top, pageRect_.right - pageRect_.left,
                 pageRect_.bottom - pageRect_.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CTrelvoDlg::CreateAndAddPage(std::unique_ptr<IPage> page) {
    pages_.push_back(std::move(page));
    MakePagesThrough(pages_.size() - 1);
}

void CTrelvoDlg::ShowPage(std::size_t index) {
    // The error page is where a run ends: nothing shows over it.
    if (index >= pages_.size() || errorShown_ || !MakePagesThrough(index))
        return;
    IPage& page = *pages_[index];
    ShowWindow(page.GetHwnd(), SW_SHOW);
    if (currentIndex_ < pages_.size() && currentIndex_ != index)
        ShowWindow(pages_[currentIndex_]->GetHwnd(), SW_HIDE);
    currentIndex_ = index;

    page.OnNavigateToPage();
    // After arrival, which may show or hide controls, or bring the error page.
    if (!errorShown_)
        FocusPage(page.GetHwnd());

    const std::wstring name = page.GetPageName();
    SetCloseEntry(CloseEntryOnArrival(name));
    LogLine(L"page: " + name);
}

// Without the entry the caption's close button is greyed out too.
void CTrelvoDlg::SetCloseEntry(CloseEntry change) {
    HMENU menu = GetSystemMenu(GetHwnd(), FALSE);
    if (!menu || change == CloseEntry::Keep)
        return;
    const bool present = change == CloseEntry::Restore;
    const bool exists = GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
    if (present && !exists)
        AppendMenuW(menu, MF_STRING, SC_CLOSE, L"Close");
    else if (!present && exists)
        DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
}

void CTrelvoDlg::OnButton(ButtonType type) {
    switch (type) {
    case ButtonType::Next:
        if (currentIndex_ == 0 && !returnedToFirstPage_) {
            auto config = ConfigurationManager::GetInstance();
            config->productPackage = std::make_shared<Package>(MakeEventContext(), true, 0, config->productId,
                                                               config->flow, config->productTitle, config->channel);
            config->productPackage->ReportEvent(1);
        }
        ShowPage(PageAfterNext(currentIndex_, returnedToFirstPage_));
        return;
    case ButtonType::SkipAll:
    case ButtonType::Decline:
    case ButtonType::Accept:
        RecordAnswer(offerNavigation_,
                     type == ButtonType::Accept    ? OfferAnswer::Accept
                     : type == ButtonType::Decline ? OfferAnswer::Decline
                                                   : OfferAnswer::SkipAll,
                     offers_);
        ShowPage(currentIndex_ + 1 + CountSkippedProductPages());
        return;
    case ButtonType::Close:
    case ButtonType::Finish:
        EndDialog(IDOK);
        return;
    case ButtonType::Back:
        returnedToFirstPage_ = true;
        ShowPage(PageAfterBack(currentIndex_));
        return;
    }
}

void CTrelvoDlg::ShowError(const std::wstring& title, const std::wstring& text) {
    LogLine(L"error page: " + title + L": " + text);
    if (!MakeErrorPage())
        return;
    if (currentIndex_ < pages_.size())
        ShowWindow(pages_[currentIndex_]->GetHwnd(), SW_HIDE);
    errorPage_->SetTitleAndText(title, text);
    ShowWindow(errorPage_->GetHwnd(), SW_SHOW);
    errorShown_ = true;
    FocusPage(errorPage_->GetHwnd());
    SetCloseEntry(CloseEntryOnArrival(errorPage_->GetPageName()));
}

void CTrelvoDlg::OnOffersLoaded(std::vector<std::shared_ptr<Package>> offers) {
    offers_ = std::move(offers);
    PostMessageW(GetHwnd(), WM_LOAD_COMPLETE, 0, 0);
}

LRESULT CTrelvoDlg::OnLoadCompleteMessage() {
    auto config = ConfigurationManager::GetInstance();
    // A product title from the backend reaches every page created so far.
    languageManager_->SetLanguage(config->languageName);

    if (config->wizardType == WizardType::DLM) {
        headerImage_.SetImage(config->productLogo);
        ShowWindow(headerImage_.GetHwnd(), SW_SHOW);
        SetDlgItemTextW(GetHwnd(), IDC_HEADER_TITLE, config->productTitle.c_str());
        SetWindowTextW(GetHwnd(), (config->productTitle + L" Setup").c_str());
        ShowWindow(GetItem(IDC_HEADER_TITLE), SW_SHOW);
    }
    if (config->productPackage)
        config->productPackage->ResetAsProduct(MakeEventContext(), config->productTitle, config->flow, config->channel,
                                               ProductReportId(config->wizardType, config->productTitle,
                                                               config->productId));

    LoadRichEdit();
    // Fifty offers take fifty pages: only the page shown next is made before it shows, the rest follow.
    // The pages made ahead take their places first.
    const std::vector<PageEntry> rest = BuildRestOfPageList(config->wizardType, CurrentPageSwitches(), offers_.size());
    for (std::size_t i = 0; i < rest.size(); ++i)
        pages_.push_back(i < pagesAhead_.size() ? std::move(pagesAhead_[i]) : MakePageOf(rest[i]));
    pagesAhead_.clear();
    answerListed_ = true;
    OnButton(ButtonType::Next);
    if (!errorShown_ && firstUnmade_ < pages_.size())
        SetTimer(GetHwnd(), kMakePagesTimer, USER_TIMER_MINIMUM, nullptr);
    return 0;
}

std::size_t CTrelvoDlg::CountSkippedProductPages() {
    auto config = ConfigurationManager::GetInstance();
    std::vector<SkippedOffer> skipped;
    const std::size_t count = ::CountSkippedProductPages(
        [this](std::size_t index) { return index < pages_.size() && pages_[index]->GetPageName() == L"ProductPage"; },
        currentIndex_, offers_, offerNavigation_, config->offerDeclined, config->maxOffers, config->extraOfferSlots,
        skipped);
    for (const auto& skip : skipped)
        if (skip.reported)
            skip.offer->ReportEvent(2, {{"13", skip.reason}});
    return count;
}

HWND CTrelvoDlg::ShownPage() const {
    if (errorShown_ && errorPage_)
        return errorPage_->GetHwnd();
    return currentIndex_ < pages_.size() ? pages_[currentIndex_]->GetHwnd() : nullptr;
}

void CTrelvoDlg::FocusPage(HWND page) {
    HWND target = nullptr;
    const LRESULT defaultId = SendMessageW(page, DM_GETDEFID, 0, 0);
    if (HIWORD(defaultId) == DC_HASDEFID)
        target = GetDlgItem(page, LOWORD(defaultId));
    if (!target || !IsWindowVisible(target) || !IsWindowEnabled(target))
        target = GetNextDlgTabItem(page, nullptr, FALSE);
    if (!target || !IsChild(page, target)) {
        SetFocus(page);  // a page with nothing to act on (loading, downloading)
        return;
    }
    // The dialog manager selects all of a text box it gives the focus to; the license text keeps the caret
    // its page's arrival put at the start, and stays scrolled there.
    DWORD start = 0, end = 0;
    const bool text = (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0;
    if (text)
        SendMessageW(target, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    SendMessageW(GetHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
    if (text) {
        SendMessageW(target, EM_SETSEL, start, end);
        SendMessageW(target, EM_SCROLLCARET, 0, 0);
    }
}

void CTrelvoDlg::OnCommand(int id, int notifyCode, HWND control) {
    const HWND page = ShownPage();
    const bool ownControl = control && GetParent(control) == GetHwnd();
    if (page && !ownControl && id != IDOK && id != IDCANCEL) {
        // Looked up in the page: the dialog manager finds a default button by id among every page.
        const HWND button = GetDlgItem(page, id);
        if (button && IsWindowVisible(button) && IsWindowEnabled(button))
            SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        return;
    }
    Dialog::OnCommand(id, notifyCode, control);
}

HBRUSH CTrelvoDlg::OnCtlColor(HDC dc, HWND control, UINT kind) {
    if (GetDlgCtrlID(control) == IDC_BOTTOM_BAND && accentBrush_) {
        SetBkMode(dc, TRANSPARENT);
        return accentBrush_.get();
    }
    return Dialog::OnCtlColor(dc, control, kind);
}

void CTrelvoDlg::OnClose() {
    if (ClosingNeedsConfirmation(errorShown_, currentIndex_, pages_.size(), initialPageCount_)) {
        const std::wstring question = languageManager_->GetString(installationRunning_ ? "PROGRESS_QUIT" : "MSG_EXIT");
        if (MessageBoxW(GetHwnd(), question.c_str(), L"", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
            return;
    }
    ShowWindow(GetHwnd(), SW_HIDE);

    auto config = ConfigurationManager::GetInstance();
    config->cancelRequested = true;  // nothing new starts, and a running product installer is let go
    DownloadManager::GetInstance()->cancelled = true;
    // Queued behind the run's other reports, which go out before the process ends (the application
    // flushes the queue once this dialog has ended).
    for (const auto& offer : config->shownPackages)
        offer->ReportEvent(5);
    if (config->productPackage)
        config->productPackage->ReportEvent(5);
    EndDialog(IDCANCEL);
}

INT_PTR CTrelvoDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != kAboutCommand)
            return FALSE;
        CAboutDlg().DoModal(GetHwnd());
        return TRUE;
    case WM_LOAD_COMPLETE:
        SetMessageResult(OnLoadCompleteMessage());
        return TRUE;
    case WM_TIMER:
        if (wParam != kMakePagesTimer)
            return FALSE;
        OnMakePagesTimer();
        return TRUE;
    case DM_GETDEFID:
        // Enter: the default button is the shown page's, if it has one.
        if (const HWND page = ShownPage()) {
            SetMessageResult(SendMessageW(page, DM_GETDEFID, 0, 0));
            return TRUE;
        }
        return FALSE;
    default:
        return Dialog::HandleMessage(message, wParam, lParam);
    }
}
