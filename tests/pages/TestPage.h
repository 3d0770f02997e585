// A page for tests: any template, any name, the texts it is told to bind, and a count of arrivals.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "pagebase/IPage.h"

class TestPage : public IPage {
public:
    TestPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, std::wstring name,
             std::vector<std::pair<int, std::string>> bindings = {})
        : IPage(std::move(languageManager), templateId), name_(std::move(name)), bindings_(std::move(bindings)) {}

    void OnNavigateToPage() override { ++arrivals; }
    std::wstring GetPageName() const override { return name_; }

    void Press(ButtonType type) { buttonCallback(type); }
    void ReportError(const std::wstring& title, const std::wstring& text) { errorCallback(title, text); }
    size_t RegisteredTexts() const { return texts.size(); }

    int arrivals = 0;

protected:
    BOOL OnInitDialog() override {
        IPage::OnInitDialog();
        for (const auto& [id, key] : bindings_)
            RegisterText(id, key);
        UpdateTexts();
        return TRUE;
    }

private:
    std::wstring name_;
    std::vector<std::pair<int, std::string>> bindings_;
};
