// Constants fixed when the program is built (see the FENNIX_* cache variables).
#pragma once

namespace build {
extern const wchar_t kWizardName[];     // "ISV", "DLM", or anything else for a wizard that refuses to run
extern const wchar_t kBackendOrigin[];  // scheme and host of the backend, no trailing slash
extern const wchar_t kDownloadOrigin[];
extern const wchar_t kWebsiteOrigin[];
// Every network time limit and retry pause, in percent: 100 in every program that ships; a test build of
// the wizard shortens its waits with it, so that end-to-end tests wait for work, not for the clock.
extern const unsigned kPauseScalePercent;

inline unsigned long ScaledPause(unsigned long milliseconds) {
    return static_cast<unsigned long>(static_cast<unsigned long long>(milliseconds) * kPauseScalePercent / 100);
}
}  // namespace build
