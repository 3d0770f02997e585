// The zip check: the decision over central-directory data, and real archives refused before extraction.
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include <unzip.h>
#include <iowin32.h>
#include <zip.h>

#include "install/ZipCheck.h"
#include "install/ZipExtractor.h"
#include "tests/installer/InstallerTestSupport.h"
#include "win32/Strings.h"

using namespace installer_test;

namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;

std::vector<ZipEntry> Entries(size_t count, uint64_t packedSize, uint64_t size) {
    std::vector<ZipEntry> entries(count);
    for (size_t i = 0; i < count; ++i)
        entries[i] = {L"f" + std::to_wstring(i), packedSize, size};
    return entries;
}

// A zip whose entries claim any unpacked size: each one holds `packedSize` bytes stored raw, so
// nothing bigger than those bytes is ever written to disk.
struct ClaimedEntry {
    std::string name;
    size_t packedSize;
    uint64_t claimedSize;
};

void WriteClaimingZip(const std::wstring& path, const std::vector<ClaimedEntry>& entries) {
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    zipFile zip = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (!zip)
        throw std::runtime_error("cannot create " + WideToUtf8(path));
    for (const ClaimedEntry& entry : entries) {
        const std::string bytes(entry.packedSize, '\x5A');
        zip_fileinfo info{};
        const int zip64 = entry.claimedSize > 0xFFFFFFFFu ? 1 : 0;
        if (zipOpenNewFileInZip2_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION, 1, zip64) != ZIP_OK ||
            zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) != ZIP_OK ||
            zipCloseFileInZipRaw64(zip, entry.claimedSize, 0) != ZIP_OK) {
            zipClose(zip, nullptr);
            throw std::runtime_error("cannot write an entry of " + WideToUtf8(path));
        }
    }
    if (zipClose(zip, nullptr) != ZIP_OK)
        throw std::runtime_error("cannot finish " + WideToUtf8(path));
}

bool IsEmptyFolder(const std::wstring& folder) {
    return fs::is_directory(folder) && fs::directory_iterator(folder) == fs::directory_iterator();
}

}  // namespace

TEST(ZipRefusalTest, CountsSizesAndRatiosAgainstTheirLimits) {
    const uint64_t plenty = std::numeric_limits<uint64_t>::max();
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    struct Case {
        const char* what;
        std::vector<ZipEntry> entries;
        uint64_t freeBytes;
        std::wstring refusal;  // "" when the archive may be extracted
    } cases[] = {
        {"the most entries", Entries(10000, 1, 1), plenty, L""},
        {"one entry too many", Entries(10001, 1, 1), plenty, L"The zip archive has 10001 entries, more than 10000."},
        {"no entries", {}, plenty, L"The zip archive has no entries."},
        {"packed 1000 to 1", {{L"a", 7, 7000}}, plenty, L""},
        {"packed beyond 1000 to 1", {{L"ok", 1, 1}, {L"a", 7, 7001}}, plenty,
         L"The zip archive's entry \"a\" unpacks 7001 bytes from 7, more than 1000 to 1."},
        {"nothing packed into something", {{L"a", 0, 1}}, plenty,
         L"The zip archive's entry \"a\" unpacks 1 bytes from 0, more than 1000 to 1."},
        {"empty file and folder", {{L"a", 0, 0}, {L"d/", 0, 0}}, plenty, L""},
        {"packed size near the top", {{L"a", max, 2}}, plenty, L""},
        {"exactly 4 GiB", Entries(4, kGiB / 1000 + 1, kGiB), plenty, L""},
        {"4 GiB and a byte", {{L"a", 4 * kGiB, 4 * kGiB}, {L"b", 1, 1}}, plenty,
         L"The zip archive unpacks to 4294967297 bytes, more than 4294967296."},
        {"a sum beyond 64 bits", {{L"a", max / 2, max / 2}, {L"b", max / 2, max / 2}, {L"c", 2, 2}}, plenty,
         L"The zip archive unpacks to 18446744073709551615 bytes, more than 4294967296."},
        {"as much as is free", {{L"a", 10, 5000}}, 5000, L""},
        {"more than is free", {{L"a", 10, 5000}}, 4999,
         L"The zip archive unpacks to 5000 bytes, more than the 4999 bytes free on the destination drive."},
        {"a bad name before a bad ratio", {{L"../a", 0, 1}}, plenty,
         L"The zip archive's entry \"../a\" climbs out of its folder."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZipRefusal(c.entries, c.freeBytes), c.refusal) << c.what;
    EXPECT_EQ(TooManyZipEntries(10000), L"");
    EXPECT_EQ(TooManyZipEntries(uint64_t{1} << 40), L"The zip archive has 1099511627776 entries, more than 10000.");
}

TEST(ZipRefusalTest, EntryNamesStayPlainRelativeFilesBelowTheFolder) {
    struct Case {
        const wchar_t* name;
        std::vector<std::wstring> parts;  // empty when refused
        const wchar_t* problem;
    } cases[] = {
        {L"setup.exe", {L"setup.exe"}, L""},
        {L"./bin//tool.exe", {L"bin", L"tool.exe"}, L""},
        {L"a..b/..c.txt", {L"a..b", L"..c.txt"}, L""},
        {L"data\\", {L"data"}, L""},
        // Names that only look like devices.
        {L"null.txt", {L"null.txt"}, L""},
        {L"com10", {L"com10"}, L""},
        {L"sub/console.exe", {L"sub", L"console.exe"}, L""},
        {L"lpt", {L"lpt"}, L""},
        {L"nul_/auxiliary", {L"nul_", L"auxiliary"}, L""},
        {L"/setup.exe", {}, L"is absolute"},
        {L"\\setup.exe", {}, L"is absolute"},
        {L"../setup.exe", {}, L"climbs out of its folder"},
        {L"sub\\..\\..\\setup.exe", {}, L"climbs out of its folder"},
        {L".. /setup.exe", {}, L"climbs out of its folder"},
        {L"sub/.../setup.exe", {}, L"climbs out of its folder"},
        {L"C:/setup.exe", {}, L"names a drive or a stream"},
        {L"C:setup.exe", {}, L"names a drive or a stream"},
        {L"setup.exe:payload", {}, L"names a drive or a stream"},
        {L"set?up.exe", {}, L"holds a character that Windows does not allow in names"},
        {L"tab\there", {}, L"holds a character that Windows does not allow in names"},
        {L"nul.txt", {}, L"names a Windows device"},
        {L"sub/COM1", {}, L"names a Windows device"},
        {L"CON", {}, L"names a Windows device"},
        {L"prn.tar.gz", {}, L"names a Windows device"},
        {L"Aux .log", {}, L"names a Windows device"},
        {L"lpt9/readme.txt", {}, L"names a Windows device"},
        {L"LPT\u00B9", {}, L"names a Windows device"},
        {L"conout$", {}, L"names a Windows device"},
        {L"", {}, L"names nothing to write"},
        {L"./", {}, L"names nothing to write"},
    };
    for (const Case& c : cases) {
        const EntryPath path = ParseEntryName(c.name);
        EXPECT_EQ(path.parts, c.parts) << c.name;
        EXPECT_EQ(path.problem, c.problem) << c.name;
    }
}

TEST(ExtractZipTest, RefusedArchivesWriteNothingAndSayWhy) {
    ScratchFolder scratch;
    // 20 MB of zeros deflate a little beyond 1000 to 1.
    WriteZip(scratch / L"bomb.zip", {{"readme.txt", "hello"}, {"zeros.bin", std::string(20 << 20, '\0')}});
    WriteZip(scratch / L"device.zip", {{"setup.exe", "MZ"}, {"nul.txt", "x"}});
    WriteZip(scratch / L"device-folder.zip", {{"setup.exe", "MZ"}, {"sub/COM1", "x"}});
    WriteZip(scratch / L"escape.zip", {{"setup.exe", "MZ"}, {"sub/../../escape.exe", "MZ"}});
    WriteZip(scratch / L"stream.zip", {{"setup.exe", "MZ"}, {"setup.exe:payload", "MZ"}});
    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i <= 10000; ++i)
        many.emplace_back("f" + std::to_string(i), "");
    WriteZip(scratch / L"many.zip", many);
    // Five entries claiming 1 GiB each, every one packed exactly 1000 to 1.
    std::vector<ClaimedEntry> large;
    for (char c = 'a'; c <= 'e'; ++c)
        large.push_back({std::string(1, c) + ".bin", static_cast<size_t>(kGiB / 1000 + 1), kGiB});
    WriteClaimingZip(scratch / L"large.zip", large);
    WriteClaimingZip(scratch / L"claimed-bomb.zip", {{"setup.exe", 100, 6 * kGiB}});
    WriteBytes(scratch / L"corrupt.zip", std::string("PK\x03\x04", 4) + std::string(200, '\x5A'));

    struct Case {
        const wchar_t* archive;
        std::wstring reason;
    } cases[] = {
        {L"bomb.zip", L"The zip archive's entry \"zeros.bin\" unpacks 20971520 bytes from "},
        {L"device.zip", L"The zip archive's entry \"nul.txt\" names a Windows device."},
        {L"device-folder.zip", L"The zip archive's entry \"sub/COM1\" names a Windows device."},
        {L"escape.zip", L"The zip archive's entry \"sub/../../escape.exe\" climbs out of its folder."},
        {L"stream.zip", L"The zip archive's entry \"setup.exe:payload\" names a drive or a stream."},
        {L"many.zip", L"The zip archive has 10001 entries, more than 10000."},
        {L"large.zip", L"The zip archive unpacks to 5368709120 bytes, more than 4294967296."},
        {L"claimed-bomb.zip", L"The zip archive's entry \"setup.exe\" unpacks 6442450944 bytes from 100, more "},
        {L"corrupt.zip", L"The zip archive cannot be read."},
    };
    for (const Case& c : cases) {
        const std::wstring destination = scratch / (std::wstring(c.archive) + L".out");
        fs::create_directories(destination);
        std::wstring reason;
        EXPECT_FALSE(ExtractZip(scratch / c.archive, destination, reason)) << c.archive;
        EXPECT_EQ(reason.substr(0, c.reason.size()), c.reason) << c.archive << ": " << WideToUtf8(reason);
        EXPECT_TRUE(IsEmptyFolder(destination)) << c.archive;
    }
    EXPECT_FALSE(Exists(scratch / L"escape.exe"));

    // The same archive without its bad entry is extracted, and no reason is left behind.
    WriteZip(scratch / L"fine.zip", {{"setup.exe", "MZ"}, {"sub/readme.txt", "hello"}});
    const std::wstring destination = scratch / L"fine";
    fs::create_directories(destination);
    std::wstring reason = L"stale";
    EXPECT_TRUE(ExtractZip(scratch / L"fine.zip", destination, reason));
    EXPECT_EQ(reason, L"");
    EXPECT_EQ(ReadBytes(destination + L"\\sub\\readme.txt"), "hello");
}

// Stored entries are copied from the archive as they are: whole across many reads, after a stub in front of
// the archive too, and not at all when their bytes no longer match the checksum the directory gives.
TEST(ExtractZipTest, StoredEntriesAreCopiedWholeAndCheckedAgainstTheirChecksum) {
    ScratchFolder scratch;
    std::string big((1 << 20) + 12345, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::string marker = "stored-marker";
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"setup.exe", "MZ" + marker}, {"empty.txt", ""}, {"data/big.bin", big}};
    WriteZip(scratch / L"stored.zip", entries, 0);
    const std::string archive = ReadBytes(scratch / L"stored.zip");
    WriteBytes(scratch / L"stub.zip", std::string(4096, 'S') + archive);
    std::string corrupt = archive;
    corrupt[corrupt.find(marker)] ^= 1;
    WriteBytes(scratch / L"corrupt.zip", corrupt);

    for (const wchar_t* name : {L"stored.zip", L"stub.zip"}) {
        const std::wstring destination = scratch / (std::wstring(name) + L".out");
        fs::create_directories(destination);
        std::wstring reason;
        ASSERT_TRUE(ExtractZip(scratch / name, destination, reason)) << WideToUtf8(reason);
        EXPECT_EQ(ReadBytes(destination + L"\\setup.exe"), "MZ" + marker) << name;
        EXPECT_EQ(ReadBytes(destination + L"\\empty.txt"), "") << name;
        EXPECT_TRUE(ReadBytes(destination + L"\\data\\big.bin") == big) << name;
    }
    const std::wstring destination = scratch / L"corrupt.out";
    fs::create_directories(destination);
    std::wstring reason;
    EXPECT_FALSE(ExtractZip(scratch / L"corrupt.zip", destination, reason));
    EXPECT_EQ(reason, L"The zip archive's entry \"setup.exe\" could not be extracted.");
}
