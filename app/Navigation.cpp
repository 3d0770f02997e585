#include "app/Navigation.h"

std::optional<std::wstring> WizardTitle(WizardType family, const std::wstring& productTitle) {
    switch (family) {
    case WizardType::DLM:
        return L"Setup";
    case WizardType::ISV:
        return productTitle + L" ";
    default:
        return std::nullopt;
    }
}

std::size_t PageAfterNext(std::size_t current, bool returnedToFirstPage) {
    return current == 0 && returnedToFirstPage ? 2 : current + 1;
}

std::size_t PageAfterBack(std::size_t current) { return current == 2 ? 0 : current - 1; }

std::wstring ProductReportId(WizardType family, const std::wstring& productTitle, const std::wstring& productId) {
    if (family == WizardType::DLM)
        return productTitle;
    return family == WizardType::ISV ? productId : std::wstring();
}

bool ClosingNeedsConfirmation(bool errorShown, std::size_t currentIndex, std::size_t pageCount,
                              std::size_t initialPageCount) {
    return !errorShown && (currentIndex + 1 < pageCount || pageCount <= initialPageCount);
}

CloseEntry CloseEntryOnArrival(const std::wstring& pageName) {
    if (pageName == L"DownloadPageDLM" || pageName == L"DownloadPageISV")
        return CloseEntry::Remove;
    if (pageName == L"FinishPageDLM" || pageName == L"FinishPageISV" || pageName == L"ErrorPage")
        return CloseEntry::Restore;
    return CloseEntry::Keep;
}
