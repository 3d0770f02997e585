// A sample offer installer: records its command line and exits, after an optional pause, with 0 or
// the code asked for ("/EXIT=n" or FENNIX_SAMPLE_OFFER_EXIT; "/WAIT=ms" or FENNIX_SAMPLE_OFFER_DELAY_MS).
#include "tools/installers/SampleSupport.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    sample::LogCommandLine();
    auto arguments = sample::Arguments();
    Sleep(sample::NumberSetting(arguments, L"WAIT", L"FENNIX_SAMPLE_OFFER_DELAY_MS", 0));
    return static_cast<int>(sample::NumberSetting(arguments, L"EXIT", L"FENNIX_SAMPLE_OFFER_EXIT", 0));
}
