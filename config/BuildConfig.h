// Constants fixed when the program is built (see the FENNIX_* cache variables).
#pragma once

namespace build {
extern const wchar_t kWizardName[];     // "ISV", "DLM", or anything else for a wizard that refuses to run
extern const wchar_t kBackendOrigin[];  // scheme and host of the backend, no trailing slash
extern const wchar_t kDownloadOrigin[];
extern const wchar_t kWebsiteOrigin[];
}  // namespace build
