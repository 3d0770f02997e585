// Removal of the run's temporary folder, which holds the downloads and the extracted packages.
#pragma once
#include <string>
#include <vector>

// Removes the run's temporary folder (the configuration's tempFolder) with everything in it; what is
// in use, and the folder of every installer still running, is left for the next restart. Reports
// nothing and never throws.
void RemoveTemporaryFolder();

// Deletes the folder and its contents. Files and folders that cannot be deleted now are scheduled for
// deletion at the next restart, as is everything in the `kept` folders; links to other folders are
// removed without touching their targets.
void DeleteFolderTree(const std::wstring& folder, const std::vector<std::wstring>& kept = {});
