#include "vtsupport/platform/detail/FileSystem.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <thread>

namespace vtsupport {
namespace detail {

char pathSeparator() {
    return '/';
}

char alternativePathSeparator() {
    return '/';
}

bool queryFileStatus(const std::string& path, FileStatus& status) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return false;
    status.kind = S_ISDIR(info.st_mode)   ? FileKind::Directory
                  : S_ISREG(info.st_mode) ? FileKind::Regular
                                          : FileKind::Other;
    status.size = static_cast<std::int64_t>(info.st_size);
    return true;
}

std::string directoryStatusPath(const std::string& path) {
    // The root is nothing but its separator; it keeps it.
    if (path.size() > 1 && path.back() == '/')
        return path.substr(0, path.size() - 1);
    return path;
}

bool createDirectory(const std::string& path, int mode) {
    return ::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

int unlinkFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : -1;
}

bool createOrEmptyPlainFile(const std::string& path) {
    // Nothing but a plain file is opened: a FIFO or device could block or act
    // on the open itself. The open repeats the refusals for a name that changes
    // in between, and the check after it for what the open cannot refuse.
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && !(S_ISREG(info.st_mode) && info.st_nlink == 1))
        return false;
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd == -1)
        return false;
    const bool plain = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1 &&
                       ::ftruncate(fd, 0) == 0;
    ::close(fd);
    return plain;
}

namespace {

std::string temporaryDirectory() {
    const char* candidate = ::getenv("TMPDIR");
    FileStatus status;
    if (candidate != nullptr && queryFileStatus(candidate, status) &&
        status.kind == FileKind::Directory) {
        std::string dir = candidate;
        if (dir.size() > 1 && dir.back() == '/')
            dir.pop_back();
        return dir;
    }
    if (queryFileStatus("/tmp", status) && status.kind == FileKind::Directory)
        return "/tmp";
    return std::string();
}

} // namespace

std::string temporaryFileName(const char* prefix) {
    const std::string dir = temporaryDirectory();
    if (dir.empty())
        return std::string();
    // Seeded per call from the clock, the process and the thread: no state is
    // kept between calls, and the existence test settles any collision.
    std::seed_seq seed{
        static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count()),
        static_cast<unsigned long long>(::getpid()),
        static_cast<unsigned long long>(std::hash<std::thread::id>()(std::this_thread::get_id()))};
    std::mt19937 random(seed);
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> pick(0, sizeof letters - 2);
    // The root already ends in its separator.
    const std::string start = dir + (dir.back() == '/' ? "" : "/") + prefix;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = start;
        for (int i = 0; i < 6; ++i)
            name += letters[pick(random)];
        struct stat info;
        if (::lstat(name.c_str(), &info) != 0 && errno == ENOENT)
            return name;
    }
    return std::string();
}

std::string privateFileName(const char* prefix) {
    const std::string dir = temporaryDirectory();
    if (dir.empty())
        return std::string();
    std::string made = dir + (dir.back() == '/' ? "" : "/") + prefix + "XXXXXX";
    if (::mkdtemp(&made[0]) == nullptr) // mode 0700: the file in it is this user's alone
        return std::string();
    return made + "/output";
}

void releasePrivateFileName(const std::string& name) {
    // Without allocating: it runs as the capture's output goes, also when memory ran out.
    char dir[PATH_MAX];
    const std::string::size_type cut = name.rfind('/');
    if (cut == std::string::npos || cut >= sizeof dir)
        return;
    name.copy(dir, cut);
    dir[cut] = '\0';
    ::rmdir(dir);
}

bool textReadingKeepsCarriageReturns() {
    return true;
}

ListOutcome listMatchingNames(const char* pattern, std::vector<std::string>& names) {
    const std::string text = pattern;
    const std::string::size_type cut = text.rfind('/');
    const std::string dir = cut == std::string::npos ? "." : cut == 0 ? "/" : text.substr(0, cut);
    const std::string namePattern = cut == std::string::npos ? text : text.substr(cut + 1);
    // Closed also when appending a name runs out of memory.
    const std::unique_ptr<DIR, int (*)(DIR*)> stream(::opendir(dir.c_str()), ::closedir);
    if (stream == nullptr)
        return ListOutcome::NothingFound;
    const std::size_t before = names.size();
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream.get());
        if (entry == nullptr) {
            error = errno;
            break;
        }
        if (::fnmatch(namePattern.c_str(), entry->d_name, 0) == 0)
            names.emplace_back(entry->d_name);
    }
    if (names.size() == before)
        return ListOutcome::NothingFound;
    return error == 0 ? ListOutcome::Complete : ListOutcome::Interrupted;
}

} // namespace detail
} // namespace vtsupport
