#include "app/PageList.h"

std::vector<PageEntry> BuildInitialPageList(const PageSwitches& switches) {
    return {{switches.showLicensePage ? PageKind::LanguageBranded : PageKind::Language}, {PageKind::Loading}};
}

std::vector<PageEntry> BuildRestOfPageList(WizardType family, const PageSwitches& switches, std::size_t offerCount) {
    if (family != WizardType::ISV && family != WizardType::DLM)
        return {};
    std::vector<PageEntry> pages = BuildPagesAheadOfAnswer(family, switches);
    if (!switches.showLicensePage)
        pages.push_back({PageKind::Welcome});
    for (std::size_t offer = 0; offer < offerCount; ++offer)
        pages.push_back({PageKind::Product, offer});
    if (switches.classicPages) {
        pages.push_back({PageKind::Options});
        pages.push_back({PageKind::Configurations});
    }
    pages.push_back({PageKind::Download});
    pages.push_back({PageKind::Finish});
    return pages;
}

std::vector<PageEntry> BuildPagesAheadOfAnswer(WizardType family, const PageSwitches& switches) {
    if ((family != WizardType::ISV && family != WizardType::DLM) || !switches.showLicensePage)
        return {};
    if (switches.classicPages)
        return {{PageKind::Warning}, {PageKind::License}};
    return {{PageKind::License}};
}
