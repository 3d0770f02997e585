#include "config/BuildConfig.h"

namespace build {
const wchar_t kWizardName[] = FENNIX_WIZARD_NAME;
const wchar_t kBackendOrigin[] = FENNIX_BACKEND_ORIGIN;
const wchar_t kDownloadOrigin[] = FENNIX_DOWNLOAD_ORIGIN;
const wchar_t kWebsiteOrigin[] = FENNIX_WEBSITE_ORIGIN;
const unsigned kPauseScalePercent = FENNIX_PAUSE_SCALE_PERCENT;
}  // namespace build
