#include <gtest/gtest.h>

#include <stdexcept>

#include "eligibility/RegistryAccess.h"
#include "tests/eligibility/RegistryScratch.h"

using scratch::kView32;
using scratch::kView64;

TEST(ExpandKeySpec, FormsOfSpecification) {
    struct Case {
        const wchar_t* keySpec;
        bool wow64;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"hkey_local_machine\\system\\setup", true, {L"hkey_local_machine\\system\\setup"}},
        {L"hkey_users\\x", false, {L"hkey_users\\x"}},
        {L"hklm\\software\\vendor", true, {L"hkey_local_machine\\software\\vendor"}},
        {L"hkcu\\software\\vendor", false, {L"hkey_current_user\\software\\vendor"}},
        {L"hku\\s-1\\x", false, {L"hkey_users\\s-1\\x"}},
        {L"hkcr\\.txt", false, {L"hkey_classes_root\\.txt"}},
        {L"hkcc\\system", false, {L"hkey_current_config\\system"}},
        {L"vendor\\product", false,
         {L"hkey_local_machine\\software\\vendor\\product", L"hkey_current_user\\software\\vendor\\product"}},
        {L"vendor\\product", true,
         {L"hkey_local_machine\\software\\vendor\\product", L"hkey_current_user\\software\\vendor\\product",
          L"hkey_local_machine\\software\\wow6432node\\vendor\\product",
          L"hkey_current_user\\software\\wow6432node\\vendor\\product"}},
        // "hk" or a hive name without a following backslash is a relative vendor name.
        {L"hklm", false, {L"hkey_local_machine\\software\\hklm", L"hkey_current_user\\software\\hklm"}},
        {L"hkey_local_machine", false,
         {L"hkey_local_machine\\software\\hkey_local_machine", L"hkey_current_user\\software\\hkey_local_machine"}},
        {L"", true, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandKeySpec(c.keySpec, c.wow64), c.expected) << std::string(c.keySpec, c.keySpec + wcslen(c.keySpec)) << " "
                                                              << c.wow64;
}

TEST(ResolveRegistryView, MovesSoftwarePathsIntoTheirView) {
    struct Case {
        const wchar_t* path;
        bool wow64;
        bool skip;
        const wchar_t* resolved;
        REGSAM view;
    };
    const Case cases[] = {
        {L"hkey_local_machine\\software\\vendor", true, false, L"hkey_local_machine\\software\\vendor", KEY_WOW64_64KEY},
        {L"hkey_local_machine\\software\\vendor", false, false, L"hkey_local_machine\\software\\vendor", 0},
        {L"hkey_current_user\\software\\wow6432node\\vendor\\x", true, false, L"hkey_current_user\\software\\vendor\\x",
         0},
        {L"hkey_local_machine\\software\\wow6432node\\vendor", false, true, nullptr, 0},
        // Not a software prefix (case-sensitive): untouched, default view.
        {L"hkey_local_machine\\SOFTWARE\\vendor", true, false, L"hkey_local_machine\\SOFTWARE\\vendor", 0},
        {L"hkey_local_machine\\system\\setup", true, false, L"hkey_local_machine\\system\\setup", 0},
    };
    for (const auto& c : cases) {
        std::wstring path = c.path;
        REGSAM view = 0;
        const bool skip = ResolveRegistryView(path, view, c.wow64);
        EXPECT_EQ(skip, c.skip) << std::string(path.begin(), path.end());
        if (!c.skip) {
            EXPECT_EQ(path, c.resolved);
            EXPECT_EQ(view, c.view) << std::string(path.begin(), path.end());
        }
    }
}

TEST(RegistryLayer, ThisPrefixIsTheExpectedKindOfWindows) {
    EXPECT_EQ(Is64BitWindows(), scratch::ExpectWindows64());
    EXPECT_EQ(ExpandKeySpec(L"vendor\\product").size(), scratch::ExpectWindows64() ? 4u : 2u);
}

class RegistryLookupTest : public scratch::RegistryFixture {};

// A relative specification finds the vendor in whichever root and view it was installed.
TEST_F(RegistryLookupTest, RelativeSpecFindsKeyInEitherRootAndView) {
    const std::wstring keySpec = vendor + L"\\Product";
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (REGSAM view : {kView64, kView32}) {
            scratch::CreateKey(root, VendorPath(L"Product"), view);
            RegistryLookup lookup;
            EXPECT_TRUE(lookup.AnyKeyExists({keySpec})) << (root == HKEY_LOCAL_MACHINE ? "HKLM " : "HKCU ") << view;
            EXPECT_FALSE(lookup.AnyKeyExists({vendor + L"\\Other"}));
            TearDown();
        }
    }
}

TEST_F(RegistryLookupTest, Wow6432NodeSpecTestsTheThirtyTwoBitView) {
    const std::wstring keySpec = L"hklm\\software\\wow6432node\\" + vendor;
    scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(), kView64);
    {
        RegistryLookup lookup;
        EXPECT_FALSE(lookup.AnyKeyExists({keySpec})) << "a key of the 64-bit view only";
    }
    scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(), kView32);
    RegistryLookup lookup;
    // On 32-bit Windows there is no redirection, so the 32-bit key path never exists.
    EXPECT_EQ(lookup.AnyKeyExists({keySpec}), scratch::ExpectWindows64());
}

TEST_F(RegistryLookupTest, UpperCaseSpecIsLowerCasedAndFullPathsOpenDirectly) {
    scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(L"Sub"), kView64);
    RegistryLookup lookup;
    EXPECT_TRUE(lookup.AnyKeyExists({L"HKLM\\SOFTWARE\\" + vendor + L"\\SUB"}));
    EXPECT_TRUE(lookup.AnyKeyExists({L"HKLM\\Hardware\\Description\\System"}));
    EXPECT_FALSE(lookup.AnyKeyExists({L"HKLM\\Hardware\\" + vendor}));
    // A key path that the caller did not lower-case is tested directly, in the program's own view.
    scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(L"Default"), scratch::kProgramView);
    EXPECT_TRUE(lookup.KeyExists(L"hkey_local_machine\\SOFTWARE\\" + vendor + L"\\Default"));
}

TEST_F(RegistryLookupTest, EmptySpecificationEndsTheSearch) {
    scratch::CreateKey(HKEY_CURRENT_USER, VendorPath(), kView64);
    RegistryLookup lookup;
    EXPECT_FALSE(lookup.AnyKeyExists({L"", vendor}));
    EXPECT_TRUE(lookup.AnyKeyExists({L"missing" + vendor, vendor}));
}

// The first-level lists are enumerated once: later misses cost no open, and a vendor installed after the
// first test is not seen by the same lookup.
TEST_F(RegistryLookupTest, UnknownVendorCostsNoRegistryOpenAfterFirstLookup) {
    RegistryLookup lookup;
    EXPECT_FALSE(lookup.AnyKeyExists({L"missingvendor" + vendor}));
    const unsigned long opens = RegistryOpenCount();
    EXPECT_FALSE(lookup.AnyKeyExists({L"anothermissing" + vendor + L"\\product"}));
    EXPECT_FALSE(lookup.AnyKeyExists({L"third" + vendor, L"fourth" + vendor}));
    EXPECT_EQ(RegistryOpenCount(), opens);

    scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(), kView64);
    scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(), kView32);
    EXPECT_FALSE(lookup.AnyKeyExists({vendor}));
    EXPECT_TRUE(RegistryLookup().AnyKeyExists({vendor}));
}

TEST_F(RegistryLookupTest, ReadRegistryStringTypesAndViews) {
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView64, L"Text", L"sixty-four");
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Text", L"thirty-two");
    scratch::SetDword(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Dword", 4000000000u);
    scratch::SetQword(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Qword", 1700000000123ull);
    const BYTE binary[] = {1, 2, 3};
    scratch::SetRaw(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Binary", REG_BINARY, binary, sizeof binary);

    RegistryLookup lookup;
    const std::wstring lower = L"software\\" + Lower(vendor);
    const std::wstring mixed = L"SOFTWARE\\" + vendor;
    const bool wow64 = scratch::ExpectWindows64();
    // Lower-case "software": the 64-bit view first, then the 32-bit one. Capitals: the default view only.
    using Result = std::pair<bool, std::wstring>;
    EXPECT_EQ(lookup.ReadRegistryString(L"hkey_local_machine", lower, L"Text"),
              Result(true, wow64 ? L"sixty-four" : L"thirty-two"));
    EXPECT_EQ(lookup.ReadRegistryString(L"hkey_local_machine", mixed, L"Text"), Result(true, L"thirty-two"));
    EXPECT_EQ(lookup.ReadRegistryString(L"hkey_local_machine", lower, L"Dword"), Result(true, L"4000000000"));
    EXPECT_EQ(lookup.ReadRegistryString(L"hkey_local_machine", lower, L"Qword"), Result(true, L"1700000000123"));
    EXPECT_EQ(lookup.ReadRegistryString(L"hkey_local_machine", lower, L"Binary"), Result(false, L""));
    EXPECT_EQ(lookup.ReadRegistryString(L"hkey_local_machine", lower, L"Missing"), Result(false, L""));
    EXPECT_EQ(lookup.ReadRegistryString(L"hkey_current_user", lower, L"Text"), Result(false, L""));

    try {
        lookup.ReadRegistryString(L"hklm", lower, L"Text");
        ADD_FAILURE() << "an alias is not a hive name";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "invalid unordered_map<K, T> key");
    }
}

// One lookup holds each key once per hive, view and path: the same path answers from the view and hive
// each form names, in any order and as often as asked, and asking again opens nothing.
TEST_F(RegistryLookupTest, CachedKeysKeepEachHiveAndViewApart) {
    if (!scratch::ExpectWindows64())
        GTEST_SKIP() << "32-bit Windows has one view";
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView64, L"Text", L"sixty-four");
    scratch::SetString(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Text", L"thirty-two");
    scratch::SetString(HKEY_CURRENT_USER, VendorPath(), kView64, L"Text", L"user");
    scratch::SetDword(HKEY_LOCAL_MACHINE, VendorPath(), kView32, L"Only32", 32);
    scratch::SetDword(HKEY_CURRENT_USER, VendorPath(), kView64, L"UserOnly", 1);

    using Result = std::pair<bool, std::wstring>;
    const std::wstring lower = L"software\\" + Lower(vendor);
    const struct {
        const wchar_t* hive;
        std::wstring path;
        const wchar_t* name;
        Result expected;
    } cases[] = {
        {L"hkey_local_machine", lower, L"Text", {true, L"sixty-four"}},
        {L"hkey_local_machine", L"software\\wow6432node\\" + Lower(vendor), L"Text", {true, L"thirty-two"}},
        {L"hkey_local_machine", L"SOFTWARE\\" + vendor, L"Text", {true, L"thirty-two"}},  // the program's view
        {L"hkey_local_machine", lower, L"Only32", {true, L"32"}},  // not in the 64-bit key: the 32-bit one
        {L"hkey_current_user", lower, L"Text", {true, L"user"}},
        {L"hkey_current_user", lower, L"Only32", {false, L""}},
        {L"hkey_local_machine", lower, L"UserOnly", {false, L""}},
        {L"hkey_current_user", lower, L"UserOnly", {true, L"1"}},
    };
    RegistryLookup lookup;
    for (int round = 0; round < 2; ++round) {
        const unsigned long opens = RegistryOpenCount();
        // Backwards the second time: an answer must not depend on what was asked before it.
        for (size_t i = 0; i < std::size(cases); ++i) {
            const auto& c = cases[round == 0 ? i : std::size(cases) - 1 - i];
            EXPECT_EQ(lookup.ReadRegistryString(c.hive, c.path, c.name), c.expected)
                << "round " << round << ": " << std::string(c.path.begin(), c.path.end());
        }
        if (round == 1) {
            EXPECT_EQ(RegistryOpenCount(), opens);
        }
    }
    // The key rules see the views apart too: a key of the 32-bit view only.
    scratch::CreateKey(HKEY_LOCAL_MACHINE, VendorPath(L"Only32"), kView32);
    RegistryLookup fresh;
    for (int round = 0; round < 2; ++round) {
        EXPECT_FALSE(fresh.KeyExists(L"hkey_local_machine\\" + lower + L"\\only32"));
        EXPECT_TRUE(fresh.KeyExists(L"hkey_local_machine\\software\\wow6432node\\" + Lower(vendor) + L"\\only32"));
    }
}

TEST_F(RegistryLookupTest, LayerReadsAndItsErrors) {
    UniqueRegKey key = scratch::CreateKey(HKEY_CURRENT_USER, VendorPath(), kView64);
    scratch::CreateKey(HKEY_CURRENT_USER, VendorPath(L"MixedCase"), kView64);
    scratch::CreateKey(HKEY_CURRENT_USER, VendorPath(L"UPPER"), kView64);
    scratch::SetString(HKEY_CURRENT_USER, VendorPath(), kView64, L"", L"default text");
    scratch::SetDword(HKEY_CURRENT_USER, VendorPath(), kView64, L"Number", 7);

    auto names = EnumerateSubkeys(key.get());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"mixedcase", L"upper"}));
    EXPECT_EQ(ReadStringValue(key.get(), std::wstring(), std::wstring()), L"default text");
    EXPECT_TRUE(ValueExists(key.get(), L"Number"));
    EXPECT_FALSE(ValueExists(key.get(), L"Absent"));
    EXPECT_EQ(GetValueType(key.get(), L"Number"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(GetValueType(key.get(), L"Absent"), 0u);

    try {
        ReadStringValue(key.get(), std::wstring(), L"Number");
        ADD_FAILURE() << "a DWORD is not a string";
    } catch (const win32::RegistryError& error) {
        EXPECT_STREQ(error.what(), "Cannot read string from registry");
        EXPECT_NE(error.Code(), ERROR_SUCCESS);
    }
    try {
        ReadQwordValue(key.get(), L"Number");
        ADD_FAILURE() << "a DWORD is not a QWORD";
    } catch (const win32::RegistryError& error) {
        EXPECT_STREQ(error.what(), "Cannot read QWORD from registry.");
    }
}
