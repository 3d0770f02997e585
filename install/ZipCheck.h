// What makes a zip archive unfit to extract, decided from its central directory before anything is
// written: too many entries, too many bytes, an entry packed like a bomb, a name that leaves the folder
// or names a device. Each refusal is a sentence for the failure report.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t kMaxZipEntries = 10000;
constexpr uint64_t kMaxZipBytes = uint64_t{4} << 30;
constexpr uint64_t kMaxZipRatio = 1000;  // unpacked bytes per packed byte

// One entry as the central directory states it.
struct ZipEntry {
    std::wstring name;
    uint64_t packedSize = 0;
    uint64_t size = 0;  // unpacked
};

// The entry's path below the extraction folder as folder names and a last name, or what makes the name
// unsafe: absolute, climbing out with "..", a drive, a stream, a Windows device name, a character that
// Windows does not allow, nothing at all. `problem` is empty exactly when `parts` is not.
struct EntryPath {
    std::vector<std::wstring> parts;
    std::wstring problem;
};
EntryPath ParseEntryName(const std::wstring& entryName);

// The refusal for an archive whose directory counts this many entries; "" within the limit. Asked
// before the entries are read.
std::wstring TooManyZipEntries(uint64_t count);

// Why an archive of these entries must not be extracted onto a drive with `freeBytes` free; "" when it
// may be.
std::wstring ZipRefusal(const std::vector<ZipEntry>& entries, uint64_t freeBytes);
