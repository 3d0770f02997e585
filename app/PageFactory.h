// The page class of each kind in the page list (app/PageList.h). A new page takes its dialog template,
// its id, its class, a line in MakePage and a line where the list is built; the window needs nothing.
#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "app/PageList.h"
#include "pagebase/IPage.h"

class LanguageManager;
class Package;

// What the window hears from the pages it makes.
struct PageHooks {
    std::function<void(std::vector<std::shared_ptr<Package>>)> offersLoaded;  // on the thread that loaded them
    std::function<void(bool)> installationRunning;
};

// The page of one entry of the list; a product page shows `offers[entry.offer]`.
std::unique_ptr<IPage> MakePage(const PageEntry& entry, WizardType family,
                                const std::shared_ptr<LanguageManager>& languages,
                                const std::vector<std::shared_ptr<Package>>& offers, const PageHooks& hooks);
