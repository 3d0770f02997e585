// Download page of the DLM wizard: the product file goes to the user's download folder and stays
// there for the finish page; the offers go to the temporary folder and their installers are started.
#pragma once
#include "install/DownloadPageBase.h"

class DownloadPageDlm : public DownloadPageBase {
public:
    explicit DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager);

protected:
    void ShowImage(CStaticFromImage& image) override;
};
