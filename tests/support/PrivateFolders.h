// The wizard's private folders ("ISV….tmp") in the temporary folder this user shares with it: which
// one a run made, and their removal when a run was cut short.
#pragma once
#include <windows.h>

#include <set>
#include <string>

namespace testing_support {

// In `temp`, or in this process's temporary folder when it is empty.
std::set<std::wstring> PrivateFolders(const std::wstring& temp = L"");
// Polls until a private folder is in `temp` (a wizard makes its own as it starts); "" on time-out.
std::wstring WaitForPrivateFolder(const std::wstring& temp, DWORD milliseconds = 15000);
// Removes every private folder made since `before` was taken.
void RemovePrivateFoldersSince(const std::set<std::wstring>& before);
// Removes a folder with everything in it.
void RemoveTree(const std::wstring& folder);

// Points TMP and TEMP at `folder` while it lives, for the programs started meanwhile: a wizard started
// so makes its private folder there, where no other test program makes one. The old values come back.
class TempFolderForChildren {
public:
    explicit TempFolderForChildren(const std::wstring& folder);
    ~TempFolderForChildren();
    TempFolderForChildren(const TempFolderForChildren&) = delete;
    TempFolderForChildren& operator=(const TempFolderForChildren&) = delete;

private:
    struct Saved {
        const wchar_t* name;
        bool present;
        std::wstring value;
    };
    Saved saved_[2];
};

}  // namespace testing_support
