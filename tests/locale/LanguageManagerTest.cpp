// The language manager against the program's real locale documents and a few broken ones.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "locale/LanguageManager.h"
#include "tests/support/WizardDriver.h"

using namespace testing_support;

namespace {

constexpr wchar_t kParseFailure[] = L"Failed to parse language xml file, error code: ";

bool SpanishUser() {
    const char* expected = std::getenv("FENNIX_EXPECT_LANGUAGE");
    return expected && std::string(expected) == "es";
}

// A configuration of its own per test; its private temporary folder goes with it.
std::shared_ptr<ConfigurationManager> MakeConfig(const wchar_t* wizardName = L"ISV") {
    auto config = std::make_shared<ConfigurationManager>(wizardName);
    return std::shared_ptr<ConfigurationManager>(config.get(), [config](ConfigurationManager*) mutable {
        if (!config->tempFolder.empty())
            RemoveDirectoryW(config->tempFolder.c_str());
        config.reset();
    });
}

std::set<std::string> Keys(const LocaleTexts& texts) {
    std::set<std::string> keys;
    for (const auto& entry : texts)
        keys.insert(entry.first);
    return keys;
}

LocaleTexts LoadDocument(LanguageManager& manager, int id) {
    tinyxml2::XMLDocument document;
    EXPECT_TRUE(manager.LoadLocaleResource(id, document)) << id;
    EXPECT_TRUE(manager.LoadLocaleDocument(document)) << id;
    return manager.Texts();
}

// A real combo box on a hidden window, as the language pages have.
struct ComboHost {
    ComboHost() {
        window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 200, 100,
                                window, nullptr, nullptr, nullptr);
    }
    ~ComboHost() { DestroyWindow(window); }
    std::vector<std::wstring> Entries() const {
        std::vector<std::wstring> entries;
        const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[128] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            entries.push_back(text);
        }
        return entries;
    }
    std::wstring Selected() const {
        const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        auto entries = Entries();
        return index >= 0 && static_cast<size_t>(index) < entries.size() ? entries[index] : L"<none>";
    }
    HWND window;
    HWND combo;
};

// Every message box a test causes is answered and must be one the test expects.
class LanguageManagerTest : public testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(answerer.TakeTexts().empty()) << "an unexpected message box"; }
    MessageBoxAnswerer answerer;
};

}  // namespace

TEST(ExpandReferences, ExpandsTransitivelyAndKeepsUnknownReferences) {
    LocaleTexts texts = {
        {"A_OUTER", "[{B_MIDDLE}]"},
        {"B_MIDDLE", "middle {C_INNER} and {C_INNER}"},
        {"C_INNER", "inner"},
        {"D_UNKNOWN", "a {MISPELT} b {C_INNER}"},
        {"E_OPEN", "brace { never closed {C_INNER"},
        {"F_LINK", "<a href=\"[PACKAGE_EULA_URL]\">{C_INNER}</a>"},
        {"G_EMPTY_NAME", "{} stays"},
    };
    ExpandReferences(texts);
    EXPECT_EQ(texts["A_OUTER"], "[middle inner and inner]");  // expanded before its referent was
    EXPECT_EQ(texts["B_MIDDLE"], "middle inner and inner");
    EXPECT_EQ(texts["D_UNKNOWN"], "a {MISPELT} b inner");
    EXPECT_EQ(texts["E_OPEN"], "brace { never closed {C_INNER");
    EXPECT_EQ(texts["F_LINK"], "<a href=\"[PACKAGE_EULA_URL]\">inner</a>");
    EXPECT_EQ(texts["G_EMPTY_NAME"], "{} stays");
}

TEST(ExpandReferences, CyclesEndAndLeaveTheRestAlone) {
    LocaleTexts texts = {
        {"A", "{B}"},
        {"B", "{A}"},
        {"GROWS", "x{GROWS}{GROWS}"},
        {"PLAIN", "{BUTTON}"},
        {"BUTTON", "Next"},
    };
    const ULONGLONG start = GetTickCount64();
    ExpandReferences(texts);
    EXPECT_LT(GetTickCount64() - start, 5000u);
    EXPECT_NE(texts["A"].find('{'), std::string::npos);  // some reference is left over, as it must be
    EXPECT_LE(texts["GROWS"].size(), 4u << 20);
    EXPECT_EQ(texts["PLAIN"], "Next");
}

TEST_F(LanguageManagerTest, DocumentsHoldTheSameKeysInBothLanguages) {
    auto config = MakeConfig();
    LanguageManager manager(nullptr, config);
    const std::set<std::string> isvEnglish = Keys(LoadDocument(manager, 101));
    const std::set<std::string> isvSpanish = Keys(LoadDocument(manager, 102));
    const std::set<std::string> dlmEnglish = Keys(LoadDocument(manager, 105));
    const std::set<std::string> dlmSpanish = Keys(LoadDocument(manager, 106));
    EXPECT_TRUE(answerer.TakeTexts().empty());

    std::set<std::string> missingInSpanish;
    for (const auto& key : isvEnglish)
        if (!isvSpanish.count(key))
            missingInSpanish.insert(key);
    EXPECT_EQ(missingInSpanish, (std::set<std::string>{"BUTTON_AGREE", "BUTTON_BACK", "SDK_LINK"}));
    for (const auto& key : isvSpanish)
        EXPECT_TRUE(isvEnglish.count(key)) << key;
    EXPECT_EQ(dlmEnglish, dlmSpanish);

    for (const char* key : {"PRODUCT_TITLE", "SPLASH_TEXT", "SPLASH_TITLE_QV", "SPLASH_TEXT_QV", "LICENSE_EULA",
                            "LICENSE_DISCLAIMER", "PAGE_ERROR_TITLE", "PAGE_ERROR_TEXT", "BUTTON_CLOSE", "MSG_EXIT",
                            "PROGRESS_QUIT"})
        EXPECT_TRUE(isvEnglish.count(key)) << key;
}

TEST_F(LanguageManagerTest, EveryReferenceInTheDocumentsResolves) {
    auto config = MakeConfig();
    LanguageManager manager(nullptr, config);
    for (int id : {101, 102, 105, 106}) {
        for (const auto& [key, text] : LoadDocument(manager, id)) {
            const size_t open = text.find('{');
            EXPECT_EQ(open, std::string::npos) << id << " " << key << ": " << text.substr(open, 40);
        }
    }
    EXPECT_TRUE(answerer.TakeTexts().empty());
}

TEST_F(LanguageManagerTest, TextsInBothLanguagesWithAProductTitleBeyondAscii) {
    auto config = MakeConfig();
    config->productTitle = L"F\u00e9nix W\u00ebb \u65e5\u672c";
    LanguageManager manager(nullptr, config);

    LoadDocument(manager, 101);
    EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
              L"To continue, please select your preferred language, and click \"Next\".");
    EXPECT_EQ(manager.GetString("SPLASH_TITLE_QV"), L"Welcome to F\u00e9nix W\u00ebb \u65e5\u672c\u00ae Setup Wizard");
    EXPECT_EQ(manager.GetString("PAGE_ERROR_TITLE"), L"Error occurred while installing F\u00e9nix W\u00ebb \u65e5\u672c.");
    EXPECT_EQ(manager.GetString("MSG_EXIT"), L"Are you sure you want to exit the installer?");
    EXPECT_EQ(manager.GetString("BUTTON_AGREE"), L"&Agree");
    EXPECT_EQ(manager.GetString("NO_SUCH_KEY"), L"");

    LoadDocument(manager, 102);
    EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"Siguiente");
    EXPECT_NE(manager.GetString("SPLASH_TEXT").find(L"\"Siguiente\""), std::wstring::npos);
    EXPECT_NE(manager.GetString("SPLASH_TEXT_QV").find(L"\"Siguiente\""), std::wstring::npos);
    EXPECT_NE(manager.GetString("PAGE_ERROR_TITLE").find(L"F\u00e9nix W\u00ebb \u65e5\u672c"), std::wstring::npos);
    EXPECT_EQ(manager.GetString("BUTTON_AGREE"), L"");  // the license page keeps its template text
    EXPECT_EQ(manager.GetString("BUTTON_BACK"), L"");
}

TEST_F(LanguageManagerTest, SharedDocumentOnlyWithTheLicensePageSet) {
    auto config = MakeConfig();
    LanguageManager manager(nullptr, config);
    EXPECT_TRUE(LoadDocument(manager, 101).count("LICENSE_EULA"));
    config->showLicensePage = false;
    EXPECT_FALSE(LoadDocument(manager, 101).count("LICENSE_EULA"));
}

TEST_F(LanguageManagerTest, CommentsAndCharacterReferences) {
    auto config = MakeConfig();
    config->showLicensePage = false;
    LanguageManager manager(nullptr, config);
    LoadDocument(manager, 905);
    EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"Go");
    EXPECT_EQ(manager.GetString("LINE"), L"one\r\ntwo <a href=\"[PACKAGE_EULA_URL]\">Go</a>");
}

TEST_F(LanguageManagerTest, FailuresShowTheirMessageAndKeepWhatTheyShould) {
    auto config = MakeConfig();
    config->showLicensePage = false;
    LanguageManager manager(nullptr, config);
    LoadDocument(manager, 101);
    const LocaleTexts english = manager.Texts();

    tinyxml2::XMLDocument document;
    EXPECT_FALSE(manager.LoadLocaleResource(999, document));
    EXPECT_EQ(answerer.TakeTexts(), std::vector<std::wstring>{L"Failed to find resource with id: 999"});

    EXPECT_FALSE(manager.LoadLocaleResource(901, document));
    auto texts = answerer.TakeTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(kParseFailure, 0), 0u) << testing::PrintToString(texts[0]);
    EXPECT_GT(texts[0].size(), wcslen(kParseFailure));  // followed by the parser's own text

    // No root "Locale": the texts loaded before stay as they were.
    ASSERT_TRUE(manager.LoadLocaleResource(902, document));
    EXPECT_FALSE(manager.LoadLocaleDocument(document));
    EXPECT_EQ(answerer.TakeTexts(), std::vector<std::wstring>{std::wstring(kParseFailure) + L"No Locale element"});
    EXPECT_EQ(manager.Texts(), english);

    // An element without text: what was read before it stays, unexpanded; nothing after it is read.
    ASSERT_TRUE(manager.LoadLocaleResource(903, document));
    EXPECT_FALSE(manager.LoadLocaleDocument(document));
    EXPECT_EQ(answerer.TakeTexts(),
              std::vector<std::wstring>{std::wstring(kParseFailure) + L"No name or text attribute"});
    EXPECT_EQ(manager.GetString("A_FIRST"), L"Press \"{BUTTON_NEXT}\"");
    EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"Onward");
    EXPECT_EQ(manager.GetString("Z_AFTER"), L"");
    EXPECT_EQ(manager.GetString("SPLASH_TEXT"), L"");
    EXPECT_EQ(manager.GetString("PRODUCT_TITLE"), L"Fennix Web");
}

TEST_F(LanguageManagerTest, SelectorListsOnlyTheLanguagesThatLoad) {
    auto config = MakeConfig();
    LanguageManager manager(nullptr, config);
    ComboHost host;

    manager.FillLanguageCombo(host.combo, {904, 999, 101, 901, 102});
    auto texts = answerer.TakeTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], std::wstring(kParseFailure) + L"No name attribute");
    EXPECT_EQ(texts[1], L"Failed to find resource with id: 999");
    EXPECT_EQ(texts[2].rfind(kParseFailure, 0), 0u);
    EXPECT_EQ(host.Entries(), (std::vector<std::wstring>{L"English", L"espa\u00f1ol"}));
}

TEST_F(LanguageManagerTest, UnknownWizardTypeListsNothing) {
    auto config = MakeConfig(L"XYZ");
    LanguageManager manager(nullptr, config);
    EXPECT_TRUE(manager.GetResourceIds().empty());
    auto seen = answerer.TakeSeen();
    ASSERT_EQ(seen.size(), 2u);  // the configuration's own message, then the language manager's
    EXPECT_EQ(seen[1].text, L"Unknown wizard type (language manager");
    EXPECT_EQ(seen[1].caption, L"Error");
}

TEST_F(LanguageManagerTest, DisplayNamesComeFromThePlatform) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"es", L"espa\u00f1ol"},
        {L"en_US", L"English"},
        {L"en", L"English"},
        {L"es-ES", L"espa\u00f1ol"},
        {L"qq_ZZ", L"qq_ZZ"},  // nothing the platform knows: the name itself
    };
    for (const auto& [locale, expected] : cases)
        EXPECT_EQ(LanguageManager::LocaleDisplayName(locale), expected) << testing::PrintToString(std::wstring(locale));
}

TEST_F(LanguageManagerTest, UserLanguageIsPreselectedAndLoaded) {
    for (const wchar_t* wizard : {L"ISV", L"DLM"}) {
        auto config = MakeConfig(wizard);
        LanguageManager manager(nullptr, config);
        ComboHost host;
        manager.FillLanguageCombo(host.combo);
        EXPECT_TRUE(answerer.TakeTexts().empty());
        EXPECT_EQ(host.Entries(), (std::vector<std::wstring>{L"English", L"espa\u00f1ol"}));
        EXPECT_EQ(host.Selected(), SpanishUser() ? L"espa\u00f1ol" : L"English");

        ASSERT_TRUE(manager.SetLanguage(host.Selected()));
        EXPECT_EQ(config->languageName, host.Selected());
        EXPECT_EQ(config->localeName, SpanishUser() ? L"es" : L"en_US");
        EXPECT_EQ(manager.GetString("BUTTON_NEXT"), SpanishUser() ? L"Siguiente" : L"Next");

        EXPECT_FALSE(manager.SetLanguage(L"Klingon"));
        EXPECT_EQ(config->languageName, host.Selected());
    }
}

// Documents are parsed once per run and kept: each switch still gives that language's texts alone.
TEST_F(LanguageManagerTest, SwitchingBackAndForthGivesEachLanguageItsOwnTexts) {
    auto config = MakeConfig();
    LanguageManager manager(nullptr, config);
    ComboHost host;
    manager.FillLanguageCombo(host.combo);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(manager.SetLanguage(L"espa\u00f1ol"));
        EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"Siguiente");
        EXPECT_EQ(manager.GetString("BUTTON_AGREE"), L"");  // nothing left from the English texts
        EXPECT_EQ(config->localeName, L"es");
        ASSERT_TRUE(manager.SetLanguage(L"English"));
        EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"Next");
        EXPECT_EQ(manager.GetString("BUTTON_AGREE"), L"&Agree");
        EXPECT_TRUE(manager.Texts().count("LICENSE_EULA"));  // the shared document, every time
    }
}

TEST_F(LanguageManagerTest, SelectorHiddenOnlyInTheBrandedWizard) {
    for (bool branded : {true, false}) {
        auto config = MakeConfig();
        config->showLicensePage = branded;
        LanguageManager manager(nullptr, config);
        ComboHost host;
        manager.FillLanguageCombo(host.combo);
        EXPECT_EQ((GetWindowLongW(host.combo, GWL_STYLE) & WS_VISIBLE) == 0, branded);
        EXPECT_EQ(host.Entries().size(), 2u);
    }
}

TEST_F(LanguageManagerTest, SpanishRunReallyHasASpanishUser) {
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    ASSERT_GT(GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH), 0);
    EXPECT_EQ(std::wstring(locale).rfind(L"es", 0) == 0, SpanishUser()) << testing::PrintToString(std::wstring(locale));
}
