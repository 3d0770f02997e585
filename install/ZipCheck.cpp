#include "install/ZipCheck.h"

#include <cwchar>
#include <limits>

#include "win32/DeviceNames.h"

namespace {

// Entry names are the archive's to choose: a report quotes no more than this of one.
constexpr size_t kQuotedNameLength = 200;

std::wstring EntryText(const std::wstring& name) {
    if (name.size() <= kQuotedNameLength)
        return L"The zip archive's entry \"" + name + L"\"";
    return L"The zip archive's entry \"" + name.substr(0, kQuotedNameLength) + L"...\"";
}

// A problem with one name between separators, or "".
const wchar_t* PartProblem(const std::wstring& part) {
    if (part.find(L':') != std::wstring::npos)
        return L"names a drive or a stream";
    for (wchar_t c : part)
        if (c < 0x20 || std::wcschr(L"<>\"|?*", c))
            return L"holds a character that Windows does not allow in names";
    // Windows drops trailing dots and spaces, so "..", ". ." and "... " all mean the parent.
    if (part.find_last_not_of(L". ") == std::wstring::npos)
        return L"climbs out of its folder";
    if (IsDeviceName(part))
        return L"names a Windows device";
    return nullptr;
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

bool PackedBeyondRatio(const ZipEntry& entry) {
    // A packed size of 0 holding any byte is beyond every ratio.
    if (entry.packedSize > std::numeric_limits<uint64_t>::max() / kMaxZipRatio)
        return false;
    return entry.size > entry.packedSize * kMaxZipRatio;
}

}  // namespace

EntryPath ParseEntryName(const std::wstring& entryName) {
    EntryPath path;
    if (!entryName.empty() && (entryName[0] == L'/' || entryName[0] == L'\\')) {
        path.problem = L"is absolute";
        return path;
    }
    size_t start = 0;
    while (start <= entryName.size()) {
        size_t end = entryName.find_first_of(L"/\\", start);
        if (end == std::wstring::npos)
            end = entryName.size();
        std::wstring part = entryName.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".")
            continue;
        if (const wchar_t* problem = PartProblem(part)) {
            path.parts.clear();
            path.problem = problem;
            return path;
        }
        path.parts.push_back(std::move(part));
    }
    if (path.parts.empty())
        path.problem = L"names nothing to write";
    return path;
}

std::wstring TooManyZipEntries(uint64_t count) {
    if (count <= kMaxZipEntries)
        return {};
    return L"The zip archive has " + std::to_wstring(count) + L" entries, more than " +
           std::to_wstring(kMaxZipEntries) + L".";
}

std::wstring ZipRefusal(const std::vector<ZipEntry>& entries, uint64_t freeBytes) {
    if (std::wstring refusal = TooManyZipEntries(entries.size()); !refusal.empty())
        return refusal;
    if (entries.empty())
        return L"The zip archive has no entries.";
    uint64_t total = 0;
    for (const ZipEntry& entry : entries) {
        const EntryPath path = ParseEntryName(entry.name);
        if (!path.problem.empty())
            return EntryText(entry.name) + L" " + path.problem + L".";
        if (PackedBeyondRatio(entry))
            return EntryText(entry.name) + L" unpacks " + std::to_wstring(entry.size) + L" bytes from " +
                   std::to_wstring(entry.packedSize) + L", more than " + std::to_wstring(kMaxZipRatio) + L" to 1.";
        total = SaturatingAdd(total, entry.size);
    }
    if (total > kMaxZipBytes)
        return L"The zip archive unpacks to " + std::to_wstring(total) + L" bytes, more than " +
               std::to_wstring(kMaxZipBytes) + L".";
    if (total > freeBytes)
        return L"The zip archive unpacks to " + std::to_wstring(total) + L" bytes, more than the " +
               std::to_wstring(freeBytes) + L" bytes free on the destination drive.";
    return {};
}
