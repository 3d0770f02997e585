#include "install/ZipExtractor.h"

#include <windows.h>
#include <shldisp.h>

#include <exception>
#include <memory>
#include <type_traits>

// unzip.h first: it brings the zlib macros that iowin32.h uses.
#include <unzip.h>
#include <iowin32.h>

#include "install/InstallerRunner.h"
#include "win32/ComPtr.h"
#include "win32/Handle.h"
#include "win32/Narrow.h"

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

struct Entry {
    std::vector<std::wstring> path;
    bool isFolder = false;
};

// The current entry's name as Windows text: UTF-8 when the entry says so, else the zip's code page 437.
bool ReadEntryName(unzFile zip, std::wstring& name, bool& isFolder) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    std::string raw(info.size_filename, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return false;
    isFolder = !raw.empty() && (raw.back() == '/' || raw.back() == '\\');
    UINT codePage = (info.flag & kUtf8NameFlag) ? CP_UTF8 : 437;
    int length = MultiByteToWideChar(codePage, 0, raw.data(), CheckedNarrow<int>(raw.size()), nullptr, 0);
    if (length <= 0 && codePage != CP_UTF8) {
        codePage = CP_ACP;
        length = MultiByteToWideChar(codePage, 0, raw.data(), CheckedNarrow<int>(raw.size()), nullptr, 0);
    }
    if (length <= 0)
        return false;
    name.assign(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, raw.data(), CheckedNarrow<int>(raw.size()), name.data(), length);
    return true;
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

bool WriteEntry(unzFile zip, const std::wstring& path) {
    OpenEntry entry(zip);
    if (!entry.open())
        return false;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file)
        return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        int read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (read < 0)
            return false;
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), static_cast<DWORD>(read), &written, nullptr) ||
            written != static_cast<DWORD>(read))
            return false;
    }
    return entry.Close();
}

bool IsPlainNameCharacter(wchar_t c) { return c >= 0x20 && !wcschr(L"<>:\"|?*", c); }

}  // namespace

std::vector<std::wstring> SafeEntryPath(const std::wstring& entryName) {
    if (entryName.empty() || entryName[0] == L'/' || entryName[0] == L'\\')
        return {};
    std::vector<std::wstring> path;
    size_t start = 0;
    while (start <= entryName.size()) {
        size_t end = entryName.find_first_of(L"/\\", start);
        if (end == std::wstring::npos)
            end = entryName.size();
        std::wstring part = entryName.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".")
            continue;
        for (wchar_t c : part)
            if (!IsPlainNameCharacter(c))
                return {};  // also a drive ("C:") or a stream ("a.exe:x")
        // Windows drops trailing dots and spaces, so "..", ". ." and "... " all mean the parent.
        if (part.find_last_not_of(L". ") == std::wstring::npos)
            return {};
        path.push_back(part);
    }
    return path;
}

bool UnpackZip(const std::wstring& archivePath, const std::wstring& destination) {
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    UniqueUnzip zip(unzOpen2_64(archivePath.c_str(), &functions));
    if (!zip)
        return false;

    // Every name is checked before the first byte is written.
    std::vector<Entry> entries;
    for (int status = unzGoToFirstFile(zip.get()); status != UNZ_END_OF_LIST_OF_FILE;
         status = unzGoToNextFile(zip.get())) {
        if (status != UNZ_OK)
            return false;
        std::wstring name;
        Entry entry;
        if (!ReadEntryName(zip.get(), name, entry.isFolder))
            return false;
        entry.path = SafeEntryPath(name);
        if (entry.path.empty())
            return false;
        entries.push_back(std::move(entry));
    }
    if (entries.empty())
        return false;

    int status = unzGoToFirstFile(zip.get());
    for (const Entry& entry : entries) {
        if (status != UNZ_OK)
            return false;
        std::wstring full;
        if (!MakeFolders(destination, entry.path, entry.isFolder, full))
            return false;
        if (!entry.isFolder && !WriteEntry(zip.get(), full))
            return false;
        status = unzGoToNextFile(zip.get());
    }
    return true;
}

bool ExtractZip(const std::wstring& archivePath, const std::wstring& destination) {
    // The extraction's boundary: a failure of any kind means the download is run as it is.
    try {
        CoInitializeScope com;
        switch (ExtractWithShell(archivePath, destination)) {
        case ShellOutcome::Copied:
            return true;
        case ShellOutcome::Failed:
            return false;
        case ShellOutcome::ArchiveNotOpened:
            break;
        }
        return UnpackZip(archivePath, destination);
    } catch (const std::exception&) {
        return false;
    }
}
