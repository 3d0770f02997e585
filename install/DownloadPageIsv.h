// Download page of the ISV wizard: everything goes to the temporary folder, then the product's
// installer runs and is waited for, then the offers' installers are started.
#pragma once
#include "install/DownloadPageBase.h"

class DownloadPageIsv : public DownloadPageBase {
public:
    explicit DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager);

protected:
    void ShowImage(CStaticFromImage& image) override;
};
