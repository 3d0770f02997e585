// The run's texts: lists the compiled-in locale documents, loads one into a key -> text table,
// expands references between texts and re-labels every page when the language changes.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <tinyxml2.h>

#include "config/ConfigurationManager.h"

class Dialog;

// What the language manager re-labels when the language changes (each page).
class TextClient {
public:
    virtual void UpdateTexts() = 0;

protected:
    ~TextClient() = default;
};

// Key -> UTF-8 text, ordered byte by byte.
using LocaleTexts = std::map<std::string, std::string>;

// Replaces every {KEY} whose key is in the table by that key's text, transitively. References to
// unknown keys keep their braces. A text that refers to itself stops after a bounded amount of work.
void ExpandReferences(LocaleTexts& texts);

class LanguageManager {
public:
    // The owner's window, once it has one, owns the failure messages.
    explicit LanguageManager(const Dialog* owner,
                             std::shared_ptr<ConfigurationManager> config = ConfigurationManager::GetInstance());
    LanguageManager(const LanguageManager&) = delete;
    LanguageManager& operator=(const LanguageManager&) = delete;

    void RegisterPage(TextClient* page);
    void UnregisterPage(TextClient* page);

    // The locale resources of the current wizard type, in listing order.
    std::vector<int> GetResourceIds();
    // Lists the languages, preselects the user's one and hides the box in the branded wizard.
    void FillLanguageCombo(HWND combo);
    void FillLanguageCombo(HWND combo, const std::vector<int>& resourceIds);
    // Loads the language with that display name and re-labels every page; false when unknown or unloadable.
    bool SetLanguage(const std::wstring& displayName);
    // The key's text; empty when the key is missing or its text is empty.
    std::wstring GetString(const std::string& key) const;

    bool LoadLocaleResource(int id, tinyxml2::XMLDocument& document);
    // On failure the table holds what was read before the fault (nothing changes without a root "Locale").
    bool LoadLocaleDocument(const tinyxml2::XMLDocument& document);

    // The platform's native language name of a locale name ("en_US" -> "English", "es" -> "español").
    static std::wstring LocaleDisplayName(const std::wstring& localeName);

    const LocaleTexts& Texts() const { return texts_; }

private:
    static constexpr int kSharedDocumentId = 108;

    void ShowFailure(const std::wstring& message) const;
    void ShowParseFailure(const std::string& detail) const;
    void LoadSharedDocument();
    // The resource's document, parsed on first use and kept for the run; null (message shown) when
    // it cannot be found or parsed.
    const tinyxml2::XMLDocument* ParsedResource(int id);

    const Dialog* owner_;
    std::shared_ptr<ConfigurationManager> config_;
    std::map<std::wstring, int> resourceByLanguage_;
    std::map<std::wstring, std::wstring> localeByLanguage_;
    std::vector<TextClient*> pages_;
    std::map<int, std::unique_ptr<tinyxml2::XMLDocument>> parsed_;
    LocaleTexts texts_;
};
