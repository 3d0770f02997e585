// The branded first page: a welcome title and text; the language is chosen without asking.
#pragma once
#include "pages/LanguagePage.h"

class LanguagePageQV : public LanguagePage {
public:
    explicit LanguagePageQV(std::shared_ptr<LanguageManager> languageManager);

    std::wstring GetPageName() const override { return L"LanguagePageQV"; }

protected:
    void RegisterPageTexts() override;
};
