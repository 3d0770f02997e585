// Which pages a run shows, in order: a decision over plain data that the wizard window carries out.
#pragma once
#include <cstddef>
#include <vector>

#include "config/ConfigurationManager.h"

enum class PageKind {
    Language,         // with the language selector
    LanguageBranded,  // the branded welcome in its place
    Loading,
    Warning,
    License,
    Welcome,
    Product,          // one per admitted offer
    Options,
    Configurations,
    Download,
    Finish,
};

struct PageEntry {
    PageKind kind;
    std::size_t offer = 0;  // the admitted offer a product page shows, in response order
    bool operator==(const PageEntry& other) const { return kind == other.kind && offer == other.offer; }
};

struct PageSwitches {
    bool showLicensePage = false;
    bool classicPages = false;
};

// The pages made at start: the language page and the loading page.
std::vector<PageEntry> BuildInitialPageList(const PageSwitches& switches);
// The pages added once the offers are in; empty for a family that cannot run.
std::vector<PageEntry> BuildRestOfPageList(WizardType family, const PageSwitches& switches, std::size_t offerCount);
// The start of that list whose windows may be made while the configuration loads: they come whatever the
// answer says, and what they show of it their text update renews. (The welcome page reads the answer's
// logo and addresses when made.)
std::vector<PageEntry> BuildPagesAheadOfAnswer(WizardType family, const PageSwitches& switches);
