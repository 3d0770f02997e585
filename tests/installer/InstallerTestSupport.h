// Scratch folders, files, zips and the sample installers' log for the installer tests.
#pragma once
#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

namespace installer_test {

namespace fs = std::filesystem;

// A new folder under the user's temporary folder, removed with everything in it when the test ends.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Sets an environment variable for this process and the processes it starts, and restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name_;
    std::wstring previous_;
    bool hadPrevious_ = false;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);  // creates missing folders
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);

// Writes a zip; an entry whose name ends in "/" is a folder.
// `method`: Z_DEFLATED, or 0 to store the entries as they are.
void WriteZip(const std::wstring& path, const std::vector<std::pair<std::string, std::string>>& entries,
              int method = Z_DEFLATED);

// The sample installers built with the project (FENNIX_INSTALLERS_DIR).
std::wstring SampleInstaller(const wchar_t* fileName);

// The lines of a UTF-8 log, without line ends; none when it does not exist.
std::vector<std::wstring> ReadLogLines(const std::wstring& path);

// Polls until the log has at least `count` lines.
bool WaitForLogLines(const std::wstring& path, size_t count, DWORD milliseconds);

}  // namespace installer_test
