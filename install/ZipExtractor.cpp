#include "install/ZipExtractor.h"

#include <windows.h>
#include <shldisp.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <type_traits>
#include <vector>

// unzip.h first: it brings the zlib macros that iowin32.h uses.
#include <unzip.h>
#include <iowin32.h>

#include "install/InstallerRunner.h"
#include "install/ZipCheck.h"
#include "win32/ComPtr.h"
#include "win32/Handle.h"
#include "win32/Narrow.h"
#include "win32/Strings.h"
#include "win32/SystemError.h"

namespace {

// The shell's automation object and its dispatch interface.
const CLSID kClsidShellApplication = {0x13709620, 0xC279, 0x11CE, {0xA4, 0x9E, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kIidShellDispatch = {0xD8F015C0, 0xC278, 0x11CE, {0xA4, 0x9E, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI
constexpr long kCopyOptions = 1556;

// A VARIANT holding a BSTR copy of a path, cleared when it goes.
class PathVariant {
public:
    explicit PathVariant(const std::wstring& path) {
        VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = SysAllocStringLen(path.data(), CheckedNarrow<UINT>(path.size()));
    }
    PathVariant(const PathVariant&) = delete;
    PathVariant& operator=(const PathVariant&) = delete;
    ~PathVariant() { VariantClear(&value_); }
    bool valid() const { return value_.bstrVal != nullptr; }
    const VARIANT& get() const { return value_; }

private:
    VARIANT value_;
};

enum class ShellOutcome { Copied, Failed, ArchiveNotOpened };

ShellOutcome ExtractWithShell(const std::wstring& archivePath, const std::wstring& destination) {
    ComPtr<IShellDispatch> shell;
    if (FAILED(CoCreateInstance(kClsidShellApplication, nullptr, CLSCTX_INPROC_SERVER, kIidShellDispatch,
                                shell.put_void())) ||
        !shell)
        return ShellOutcome::ArchiveNotOpened;

    PathVariant archiveName(archivePath);
    PathVariant destinationName(destination);
    if (!archiveName.valid() || !destinationName.valid())
        return ShellOutcome::Failed;
    // NameSpace answers S_FALSE without a folder when no namespace extension handles zips.
    ComPtr<Folder> archive;
    if (FAILED(shell->NameSpace(archiveName.get(), archive.put())) || !archive)
        return ShellOutcome::ArchiveNotOpened;
    ComPtr<Folder> target;
    if (FAILED(shell->NameSpace(destinationName.get(), target.put())) || !target)
        return ShellOutcome::Failed;

    ComPtr<FolderItems> items;
    if (FAILED(archive->Items(items.put())) || !items)
        return ShellOutcome::Failed;
    long count = 0;
    if (FAILED(items->get_Count(&count)) || count < 1)
        return ShellOutcome::Failed;
    ComPtr<IDispatch> itemsDispatch;
    if (FAILED(items->QueryInterface(kIidDispatch, itemsDispatch.put_void())) || !itemsDispatch)
        return ShellOutcome::Failed;

    VARIANT what;
    VariantInit(&what);
    what.vt = VT_DISPATCH;
    what.pdispVal = itemsDispatch.get();  // borrowed: itemsDispatch keeps the reference
    VARIANT options;
    VariantInit(&options);
    options.vt = VT_I4;
    options.lVal = kCopyOptions;
    return target->CopyHere(what, options) == S_OK ? ShellOutcome::Copied : ShellOutcome::Failed;
}

struct UnzipCloser {
    void operator()(std::remove_pointer_t<unzFile>* file) const noexcept { unzClose(file); }
};
using UniqueUnzip = std::unique_ptr<std::remove_pointer_t<unzFile>, UnzipCloser>;

UniqueUnzip OpenZip(const std::wstring& archivePath) {
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    return UniqueUnzip(unzOpen2_64(archivePath.c_str(), &functions));
}

// Closes the entry being read; Close reports the CRC check.
class OpenEntry {
public:
    explicit OpenEntry(unzFile zip) : zip_(zip), open_(unzOpenCurrentFile(zip) == UNZ_OK) {}
    OpenEntry(const OpenEntry&) = delete;
    OpenEntry& operator=(const OpenEntry&) = delete;
    ~OpenEntry() {
        if (open_)
            unzCloseCurrentFile(zip_);
    }
    bool open() const { return open_; }
    bool Close() {
        open_ = false;
        return unzCloseCurrentFile(zip_) == UNZ_OK;
    }

private:
    unzFile zip_;
    bool open_;
};

constexpr unsigned long kUtf8NameFlag = 0x800;  // general purpose bit 11
constexpr wchar_t kUnreadable[] = L"The zip archive cannot be read.";

// The current entry as the central directory states it, its name as Windows text: UTF-8 when the entry
// says so, else the zip's code page 437.
bool ReadEntry(unzFile zip, ZipEntry& entry) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    std::string raw(info.size_filename, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return false;
    entry.packedSize = info.compressed_size;
    entry.size = info.uncompressed_size;
    entry.name.clear();
    if (raw.empty())
        return true;
    UINT codePage = (info.flag & kUtf8NameFlag) ? CP_UTF8 : 437;
    int length = MultiByteToWideChar(codePage, 0, raw.data(), CheckedNarrow<int>(raw.size()), nullptr, 0);
    if (length <= 0 && codePage != CP_UTF8) {
        codePage = CP_ACP;
        length = MultiByteToWideChar(codePage, 0, raw.data(), CheckedNarrow<int>(raw.size()), nullptr, 0);
    }
    if (length <= 0)
        return false;
    entry.name.assign(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, raw.data(), CheckedNarrow<int>(raw.size()), entry.name.data(), length);
    return true;
}

bool IsFolderEntry(const ZipEntry& entry) {
    return !entry.name.empty() && (entry.name.back() == L'/' || entry.name.back() == L'\\');
}

// Reads the central directory and decides whether it may be extracted into `destination`; false with
// the reason when not. The entry count is judged before a single entry is read.
bool CheckDirectory(unzFile zip, const std::wstring& destination, std::vector<ZipEntry>& entries,
                    std::wstring& reason) {
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) {
        reason = kUnreadable;
        return false;
    }
    reason = TooManyZipEntries(global.number_entry);
    if (!reason.empty())
        return false;
    entries.clear();
    for (int status = unzGoToFirstFile(zip); status != UNZ_END_OF_LIST_OF_FILE; status = unzGoToNextFile(zip)) {
        ZipEntry entry;
        if (status != UNZ_OK || !ReadEntry(zip, entry)) {
            reason = kUnreadable;
            return false;
        }
        entries.push_back(std::move(entry));
    }
    ULARGE_INTEGER freeBytes{};
    if (!GetDiskFreeSpaceExW(destination.c_str(), &freeBytes, nullptr, nullptr)) {
        reason = FailureText(L"The free space of the destination drive cannot be read", GetLastError());
        return false;
    }
    reason = ZipRefusal(entries, freeBytes.QuadPart);
    return reason.empty();
}

bool CheckZip(const std::wstring& archivePath, const std::wstring& destination, std::wstring& reason) {
    UniqueUnzip zip = OpenZip(archivePath);
    if (!zip) {
        reason = kUnreadable;
        return false;
    }
    std::vector<ZipEntry> entries;
    return CheckDirectory(zip.get(), destination, entries, reason);
}

bool CreateFolder(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr))
        return true;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates the folders of the path below `root` (all of them, or all but the last name) and returns its full path.
bool MakeFolders(const std::wstring& root, const std::vector<std::wstring>& path, bool includingLast,
                 std::wstring& full) {
    full = root;
    for (size_t i = 0; i < path.size(); ++i) {
        full += L"\\" + path[i];
        bool last = i + 1 == path.size();
        if ((!last || includingLast) && !CreateFolder(full))
            return false;
    }
    return true;
}

bool WriteAll(HANDLE file, const char* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// A stored entry is copied straight from the archive: the reader's own loop copies a stored entry byte by
// byte, which doubled the time of a large installer's extraction. The CRC is checked as the reader would.
bool CopyStoredEntry(unzFile zip, HANDLE archive, const unz_file_info64& info, HANDLE file,
                     std::vector<char>& buffer) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(unzGetCurrentFileZStreamPos64(zip));
    if (!SetFilePointerEx(archive, at, nullptr, FILE_BEGIN))
        return false;
    uLong crc = crc32(0, nullptr, 0);
    for (uint64_t left = info.uncompressed_size; left > 0;) {
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(left, buffer.size()));
        DWORD read = 0;
        if (!ReadFile(archive, buffer.data(), want, &read, nullptr) || read != want)
            return false;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), read);
        if (!WriteAll(file, buffer.data(), read))
            return false;
        left -= read;
    }
    return crc == info.crc;
}

bool WriteEntry(unzFile zip, HANDLE archive, const std::wstring& path) {
    OpenEntry entry(zip);
    unz_file_info64 info{};
    if (!entry.open() || unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file)
        return false;
    // Large pieces: an installer's payload of tens of MiB is written in a few dozen calls.
    std::vector<char> buffer(1024 * 1024);
    constexpr uLong kEncrypted = 1;  // general purpose bit 0
    if (info.compression_method == 0 && !(info.flag & kEncrypted) && info.compressed_size == info.uncompressed_size)
        return CopyStoredEntry(zip, archive, info, file.get(), buffer);
    // The reader stops at the size that the directory states and checked.
    for (;;) {
        int read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (read < 0)
            return false;
        if (read == 0)
            break;
        if (!WriteAll(file.get(), buffer.data(), static_cast<DWORD>(read)))
            return false;
    }
    return entry.Close();
}

// Our own reader. It checks the directory again on the handle that it extracts from.
bool UnpackZip(const std::wstring& archivePath, const std::wstring& destination, std::wstring& reason) {
    UniqueUnzip zip = OpenZip(archivePath);
    if (!zip) {
        reason = kUnreadable;
        return false;
    }
    std::vector<ZipEntry> entries;
    if (!CheckDirectory(zip.get(), destination, entries, reason))
        return false;
    UniqueFile archive(CreateFileW(archivePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!archive) {
        reason = kUnreadable;
        return false;
    }

    int status = unzGoToFirstFile(zip.get());
    for (const ZipEntry& entry : entries) {
        std::wstring full;
        if (status != UNZ_OK ||
            !MakeFolders(destination, ParseEntryName(entry.name).parts, IsFolderEntry(entry), full) ||
            (!IsFolderEntry(entry) && !WriteEntry(zip.get(), archive.get(), full))) {
            reason = L"The zip archive's entry \"" + entry.name.substr(0, 200) + L"\" could not be extracted.";
            return false;
        }
        status = unzGoToNextFile(zip.get());
    }
    return true;
}

}  // namespace

bool ExtractZip(const std::wstring& archivePath, const std::wstring& destination, std::wstring& reason) {
    // The extraction's boundary: a failure of any kind is a reason, never an exception.
    try {
        reason.clear();
        // Before either route: nothing of a refused archive is written.
        if (!CheckZip(archivePath, destination, reason))
            return false;
        CoInitializeScope com;
        switch (ExtractWithShell(archivePath, destination)) {
        case ShellOutcome::Copied:
            return true;
        case ShellOutcome::Failed:
            reason = L"The shell's zip folders could not extract the archive.";
            return false;
        case ShellOutcome::ArchiveNotOpened:
            break;
        }
        return UnpackZip(archivePath, destination, reason);
    } catch (const std::exception& error) {
        reason = L"The zip archive could not be extracted: " + AnsiToWide(error.what());
        return false;
    }
}
