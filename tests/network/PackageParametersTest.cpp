#include <gtest/gtest.h>

#include "backend/PackageParameters.h"

using nlohmann::json;

TEST(EncodeBase62, Values) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "qMin"},
        {std::string("\0\0abc", 5), "qMin"},  // leading zero bytes are dropped
        {"", ""},
        {std::string("\0\0", 2), ""},
        {"\x01", "1"},
        {"\x3d", "Z"},           // 61, the last digit
        {"\x3e", "10"},          // 62
        {"\xff", "47"},          // 255 = 4 * 62 + 7
        {std::string("\x01\x00", 2), "48"},  // 256 = 4 * 62 + 8
        {"|offer|", "2ApPvg0qba"},
    };
    for (const auto& [bytes, text] : cases) {
        std::string out = "junk";
        EXPECT_TRUE(EncodeBase62(bytes, out));
        EXPECT_EQ(out, text) << bytes;
    }
    // The digit estimate holds for long inputs of the largest bytes too.
    std::string out;
    EXPECT_TRUE(EncodeBase62(std::string(200, '\xff'), out));
    EXPECT_EQ(out.size(), 269u);
}

TEST(ExpandParameters, OrderAndBounds) {
    PackageParameters parameters;
    parameters.Insert("cc", "{pubid}-US");
    parameters.Insert("pubid", "P{cc}");
    parameters.Insert("self", "<{self}>");
    parameters.Insert("wrap", "wrap");
    EXPECT_FALSE(parameters.Insert("cc", "again")) << "an insertion never replaces";

    const std::pair<std::string, std::string> cases[] = {
        {"x={cc}", "x=P{cc}-US"},            // a later entry expands what an earlier one inserted
        {"x={pubid}", "x=P{cc}"},            // but not the other way round
        {"{CC} {cc", "{CC} {cc"},            // case-sensitive; unknown and broken tokens stay
        {"{self}{self}", "<{self}><{self}>"},  // a value holding its own token ends
        {"{{wrap}}", "{wrap}"},
        {"", ""},
    };
    for (const auto& [text, expanded] : cases)
        EXPECT_EQ(ExpandParameters(text, parameters), expanded) << text;
}

TEST(GetAffiliateCode, Table) {
    const std::pair<const char*, const char*> cases[] = {
        {"US", "91088"}, {"CA", "91166"}, {"BR", "91199"}, {"AU", "91214"}, {"NZ", "91214"}, {"KR", "91214"},
        {"DZ", "91105"}, {"AE", "91105"}, {"TR", "91105"}, {"TH", "91215"}, {"SG", "91215"}, {"PS", "91215"},
        {"us", "91082"}, {"", "91082"},      {"USA", "91082"}, {"DE", "91082"}, {"GB", "91082"},
    };
    for (const auto& [country, code] : cases)
        EXPECT_EQ(GetAffiliateCode(country), code) << country;
}

TEST(ChoosePartnerParameter, ByWindowsVersion) {
    const json both = {{"default", "A"}, {"10.0", "B"}};
    EXPECT_EQ(ChoosePartnerParameter(both, "10.0"), "B");
    EXPECT_EQ(ChoosePartnerParameter(both, "6.1"), "A");
    EXPECT_EQ(ChoosePartnerParameter(both, ""), "A");
    EXPECT_EQ(ChoosePartnerParameter({{"6.1", "W7"}}, "6.1"), "W7");
    EXPECT_EQ(ChoosePartnerParameter({{"6.1", "W7"}}, "10.0"), "");
    EXPECT_THROW(ChoosePartnerParameter({{"default", 3}}, "6.1"), json::type_error);
}
