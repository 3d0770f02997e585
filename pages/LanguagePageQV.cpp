#include "pages/LanguagePageQV.h"

#include "resources/resource.h"

LanguagePageQV::LanguagePageQV(std::shared_ptr<LanguageManager> languageManager)
    : LanguagePage(std::move(languageManager), IDD_LANGUAGE_PAGE_QV) {}

// The language manager hides the selector in this wizard when it fills it.
void LanguagePageQV::RegisterPageTexts() {
    RegisterText(IDC_SPLASH_TITLE_QV, "SPLASH_TITLE_QV");
    RegisterText(IDC_SPLASH_TEXT_QV, "SPLASH_TEXT_QV");
}
