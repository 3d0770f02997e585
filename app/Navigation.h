// What the wizard window decides as it moves between pages, as plain functions over plain data; the
// window only carries them out.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

#include "config/ConfigurationManager.h"

// The window title of a wizard family; none for a family this program cannot run (it says so and ends).
std::optional<std::wstring> WizardTitle(WizardType family, const std::wstring& productTitle);

// Next goes one page on; Next on the first page after Back from the offers skips the loading page, since
// the offers are not fetched and event 1 is not sent again.
std::size_t PageAfterNext(std::size_t current, bool returnedToFirstPage);
// Back goes one page back; from the page after the loading page it goes to the first page.
std::size_t PageAfterBack(std::size_t current);

// What the product's reports name it by once the configuration is in: its title in the DLM family,
// its id in the branded one.
std::wstring ProductReportId(WizardType family, const std::wstring& productTitle, const std::wstring& productId);

// Whether closing must ask first: not after an error, and not on the last page once the list has
// grown beyond the pages made at start.
bool ClosingNeedsConfirmation(bool errorShown, std::size_t currentIndex, std::size_t pageCount,
                              std::size_t initialPageCount);

// The system menu's close entry as a page arrives: gone while downloads run, back on the finish page
// (and with the error page, which replaces whatever page was shown).
enum class CloseEntry { Keep, Remove, Restore };
CloseEntry CloseEntryOnArrival(const std::wstring& pageName);
