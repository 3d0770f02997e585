#include "install/RunningInstallers.h"

#include <mutex>
#include <utility>

namespace {

struct Started {
    UniqueKernelHandle process;
    std::wstring folder;
};

// Installer tasks add from their own threads; the window reads at the end of the run.
std::mutex gLock;
std::vector<Started> gStarted;

}  // namespace

void RememberRunningInstaller(UniqueKernelHandle process, const std::wstring& folder) {
    if (!process || folder.empty())
        return;
    std::lock_guard<std::mutex> lock(gLock);
    gStarted.push_back({std::move(process), folder});
}

std::vector<std::wstring> FoldersOfRunningInstallers() {
    std::vector<std::wstring> folders;
    std::lock_guard<std::mutex> lock(gLock);
    for (const auto& started : gStarted)
        if (WaitForSingleObject(started.process.get(), 0) == WAIT_TIMEOUT)
            folders.push_back(started.folder);
    return folders;
}
