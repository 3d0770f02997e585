#include "locale/LanguageManager.h"

#include <algorithm>

#include "win32/Dialog.h"
#include "win32/Strings.h"

namespace {

constexpr wchar_t kParseFailure[] = L"Failed to parse language xml file, error code: ";
constexpr int kLocaleNameLength = 85;
// Far above what real documents need; only a text that refers to itself gets near them.
constexpr int kMaxReplacementsPerText = 1000;
constexpr size_t kMaxExpandedLength = 1 << 20;

std::wstring NativeLanguageName(const std::wstring& localeName) {
    wchar_t name[kLocaleNameLength] = {};
    if (GetLocaleInfoEx(localeName.c_str(), LOCALE_SNATIVELANGUAGENAME, name, kLocaleNameLength) == 0)
        return {};
    return name;
}

// The element's first character data; comments before it do not count.
const char* ElementText(const tinyxml2::XMLElement* element) {
    for (const tinyxml2::XMLNode* node = element->FirstChild(); node; node = node->NextSibling()) {
        if (const tinyxml2::XMLText* text = node->ToText())
            return text->Value();
    }
    return nullptr;
}

}  // namespace

void ExpandReferences(LocaleTexts& texts) {
    for (auto& [key, text] : texts) {
        size_t position = 0;
        for (int replacements = 0; replacements < kMaxReplacementsPerText && text.size() <= kMaxExpandedLength;) {
            const size_t open = text.find('{', position);
            if (open == std::string::npos)
                break;
            const size_t close = text.find('}', open + 1);
            if (close == std::string::npos)
                break;
            auto referenced = texts.find(text.substr(open + 1, close - open - 1));
            if (referenced == texts.end()) {
                position = close + 1;
                continue;
            }
            // A copy: the referenced text may be this very entry.
            const std::string replacement = referenced->second;
            text.replace(open, close - open + 1, replacement);
            position = open;  // the inserted text may hold references of its own
            ++replacements;
        }
    }
}

LanguageManager::LanguageManager(const Dialog* owner, std::shared_ptr<ConfigurationManager> config)
    : owner_(owner), config_(std::move(config)) {}

void LanguageManager::RegisterPage(TextClient* page) { pages_.push_back(page); }

void LanguageManager::UnregisterPage(TextClient* page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
}

std::vector<int> LanguageManager::GetResourceIds() {
    switch (config_->wizardType) {
    case WizardType::DLM:
        return {105, 106};
    case WizardType::ISV:
        return {101, 102};
    default:
        ShowFailure(L"Unknown wizard type (language manager");
        return {};
    }
}

std::wstring LanguageManager::LocaleDisplayName(const std::wstring& localeName) {
    std::wstring name = NativeLanguageName(localeName);
    // "en_US" is no platform locale name, but its language part is.
    if (name.empty() && localeName.size() > 2)
        name = NativeLanguageName(localeName.substr(0, 2));
    return name.empty() ? localeName : name;
}

void LanguageManager::FillLanguageCombo(HWND combo) { FillLanguageCombo(combo, GetResourceIds()); }

void LanguageManager::FillLanguageCombo(HWND combo, const std::vector<int>& resourceIds) {
    resourceByLanguage_.clear();
    localeByLanguage_.clear();
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);

    std::wstring userLanguage;
    wchar_t userLocale[kLocaleNameLength] = {};
    if (GetUserDefaultLocaleName(userLocale, kLocaleNameLength) > 0)
        userLanguage = LocaleDisplayName(userLocale);
    if (userLanguage.empty())
        userLanguage = L"English";

    int selected = 0;
    int entries = 0;
    for (int id : resourceIds) {
        const tinyxml2::XMLDocument* document = ParsedResource(id);
        if (!document)
            continue;
        const tinyxml2::XMLElement* root = document->FirstChildElement("Locale");
        if (!root)
            continue;
        const char* localeName = root->Attribute("name");
        if (!localeName) {
            ShowParseFailure("No name attribute");
            continue;
        }
        const std::wstring locale = Utf8ToWide(localeName);
        const std::wstring displayName = LocaleDisplayName(locale);
        if (displayName == userLanguage)
            selected = entries;
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(displayName.c_str()));
        ++entries;
        resourceByLanguage_[displayName] = id;
        localeByLanguage_[displayName] = locale;
    }
    SendMessageW(combo, CB_SETCURSEL, selected, 0);

    if (config_->showLicensePage)
        ShowWindow(combo, SW_HIDE);
}

bool LanguageManager::SetLanguage(const std::wstring& displayName) {
    auto resource = resourceByLanguage_.find(displayName);
    if (resource == resourceByLanguage_.end())
        return false;
    const tinyxml2::XMLDocument* document = ParsedResource(resource->second);
    if (!document)
        return false;
    LoadLocaleDocument(*document);

    // A copy: a page may, in principle, come or go while the texts are applied.
    const std::vector<TextClient*> pages = pages_;
    for (TextClient* page : pages)
        page->UpdateTexts();

    config_->languageName = displayName;
    auto locale = localeByLanguage_.find(displayName);
    config_->localeName = locale == localeByLanguage_.end() ? std::wstring() : locale->second;
    return true;
}

std::wstring LanguageManager::GetString(const std::string& key) const {
    auto it = texts_.find(key);
    return it == texts_.end() ? std::wstring() : Utf8ToWide(it->second);
}

bool LanguageManager::LoadLocaleResource(int id, tinyxml2::XMLDocument& document) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"LOCALE");
    if (!info) {
        ShowFailure(L"Failed to find resource with id: " + std::to_wstring(id));
        return false;
    }
    HGLOBAL loaded = LoadResource(module, info);  // resource memory: nothing to free
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, info);
    if (!bytes) {
        ShowFailure(L"Failed to load resource with id: " + std::to_wstring(id));
        return false;
    }
    if (document.Parse(static_cast<const char*>(bytes), size) != tinyxml2::XML_SUCCESS) {
        ShowParseFailure(document.ErrorStr() ? document.ErrorStr() : "");
        return false;
    }
    return true;
}

bool LanguageManager::LoadLocaleDocument(const tinyxml2::XMLDocument& document) {
    const tinyxml2::XMLElement* root = document.FirstChildElement("Locale");
    if (!root) {
        ShowParseFailure("No Locale element");
        return false;
    }
    texts_.clear();
    texts_["PRODUCT_TITLE"] = WideToUtf8(config_->productTitle);
    if (config_->showLicensePage)
        LoadSharedDocument();

    for (const tinyxml2::XMLElement* element = root->FirstChildElement(); element;
         element = element->NextSiblingElement()) {
        const char* name = element->Name();
        const char* text = ElementText(element);
        if (!name || !text) {
            ShowParseFailure("No name or text attribute");
            return false;
        }
        texts_[name] = text;  // the language's own text overrides the shared document's
    }
    ExpandReferences(texts_);
    return true;
}

const tinyxml2::XMLDocument* LanguageManager::ParsedResource(int id) {
    auto found = parsed_.find(id);
    if (found != parsed_.end())
        return found->second.get();
    auto document = std::make_unique<tinyxml2::XMLDocument>();
    if (!LoadLocaleResource(id, *document))
        return nullptr;
    return parsed_.emplace(id, std::move(document)).first->second.get();
}

void LanguageManager::LoadSharedDocument() {
    const tinyxml2::XMLDocument* shared = ParsedResource(kSharedDocumentId);
    if (!shared)
        return;
    for (const tinyxml2::XMLElement* element = shared->FirstChildElement(); element;
         element = element->NextSiblingElement()) {
        // An element without text would be no text at all: leave the key undefined.
        if (const char* text = ElementText(element))
            texts_[element->Name()] = text;
    }
}

void LanguageManager::ShowFailure(const std::wstring& message) const {
    HWND owner = owner_ ? owner_->GetHwnd() : nullptr;
    MessageBoxW(owner, message.c_str(), nullptr, MB_OK);
}

void LanguageManager::ShowParseFailure(const std::string& detail) const {
    ShowFailure(kParseFailure + Utf8ToWide(detail));
}
