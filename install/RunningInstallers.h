// Installers the wizard started and no longer waits for. Their files must outlive the run's folder
// while they run: an installer reads its own folder long after it started.
#pragma once
#include <string>
#include <vector>

#include "win32/Handle.h"

// Keeps the process until the run ends; `folder` is the one the installer was started from.
void RememberRunningInstaller(UniqueKernelHandle process, const std::wstring& folder);

// The folders of remembered installers whose process has not ended yet.
std::vector<std::wstring> FoldersOfRunningInstallers();
