#include "vtsupport/platform/detail/FileSystem.h"

#include <direct.h>
#include <io.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <memory>

namespace vtsupport {
namespace detail {

namespace {

struct SearchCloser {
    void operator()(HANDLE search) const { ::FindClose(search); }
};

} // namespace

char pathSeparator() {
    return '\\';
}

char alternativePathSeparator() {
    return '/';
}

bool queryFileStatus(const std::string& path, FileStatus& status) {
    // The variant with 64-bit times and 32-bit sizes.
    struct _stat64i32 info;
    if (::_stat64i32(path.c_str(), &info) != 0)
        return false;
    status.kind = (info.st_mode & 0x4000) != 0   ? FileKind::Directory
                  : (info.st_mode & 0x8000) != 0 ? FileKind::Regular
                                                 : FileKind::Other;
    status.size = static_cast<std::int64_t>(info.st_size);
    return true;
}

std::string directoryStatusPath(const std::string& path) {
    // The runtime's status query rejects a directory named with a trailing backslash.
    if (!path.empty() && path.back() == '\\')
        return path.substr(0, path.size() - 1);
    return path;
}

bool createDirectory(const std::string& path, int /*mode*/) {
    return ::_mkdir(path.c_str()) == 0;
}

int unlinkFile(const std::string& path) {
    return ::_unlink(path.c_str()) == 0 ? 0 : -1;
}

bool createOrEmptyPlainFile(const std::string& path) {
    // A reparse point (a symbolic link, a junction) is refused unopened; the open
    // itself does not follow one that appears in between, and a file with a
    // second name is refused after it.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    const HANDLE file = ::CreateFileA(
        path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD notPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    const bool plain =
        ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & notPlain) == 0 && info.nNumberOfLinks == 1 && ::SetEndOfFile(file);
    ::CloseHandle(file);
    return plain;
}

std::string temporaryFileName(const char* prefix) {
    // An empty directory leaves the choice to the runtime (TMP first).
    // The runtime's buffer is released also when the copy runs out of memory.
    const std::unique_ptr<char, void (*)(void*)> name(::_tempnam("", prefix), ::free);
    if (name == nullptr)
        return std::string();
    return std::string(name.get());
}

// The temporary directory (TMP) is the user's own.
std::string privateFileName(const char* prefix) {
    return temporaryFileName(prefix);
}

void releasePrivateFileName(const std::string&) {}

std::string programPath() {
    const char* path = _pgmptr;
    return path != nullptr ? std::string(path) : std::string();
}

bool textReadingKeepsCarriageReturns() {
    return false;
}

ListOutcome listMatchingNames(const char* pattern, std::vector<std::string>& names) {
    WIN32_FIND_DATAA found;
    HANDLE handle = ::FindFirstFileA(pattern, &found);
    if (handle == INVALID_HANDLE_VALUE)
        return ListOutcome::NothingFound;
    // Closed also when appending a name runs out of memory.
    std::unique_ptr<void, SearchCloser> search(handle);
    do {
        names.emplace_back(found.cFileName);
    } while (::FindNextFileA(search.get(), &found));
    const DWORD error = ::GetLastError();
    search.reset();
    return error == ERROR_NO_MORE_FILES ? ListOutcome::Complete : ListOutcome::Interrupted;
}

} // namespace detail
} // namespace vtsupport
