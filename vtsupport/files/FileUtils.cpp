#include "vtsupport/files/FileUtils.h"

#include <cstdio>

#include "vtsupport/platform/detail/ExternalFileCommands.h"
#include "vtsupport/platform/detail/FileSystem.h"

namespace detail = vtsupport::detail;

namespace {

bool hasKind(const std::string& path, detail::FileKind kind) {
    detail::FileStatus status;
    return detail::queryFileStatus(path, status) && status.kind == kind;
}

} // namespace

FileUtils::~FileUtils() = default;

bool FileUtils::isFile(const std::string& path) {
    return hasKind(path, detail::FileKind::Regular);
}

bool FileUtils::isDirectory(const std::string& dir) {
    return hasKind(detail::directoryStatusPath(dir), detail::FileKind::Directory);
}

bool FileUtils::isWritableDirectory(const std::string& dir) {
    if (!isDirectory(dir))
        return false;
    const std::string probe = dir + detail::pathSeparator() + "veltraneTest.txt";
    const bool writable = detail::createOrEmptyPlainFile(probe);
    // Also after a failed open: a probe file left over from an earlier run goes
    // too, and a link of that name goes as a link.
    removeFile(probe);
    return writable;
}

bool FileUtils::makeDirectory(const std::string& path, int mode) {
    return detail::createDirectory(path, mode);
}

int FileUtils::removeFile(const std::string& path) {
    return detail::unlinkFile(path);
}

int FileUtils::removeIfEmpty(const std::string& path) {
    detail::FileStatus status;
    if (detail::queryFileStatus(path, status) && status.size == 0)
        return removeFile(path);
    return 0;
}

bool FileUtils::removeDirectoryTree(const std::string& dir) {
    if (!isDirectory(dir))
        return false;
    return detail::removeTree(dir);
}

int FileUtils::renameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 1 : 0;
}

int FileUtils::renameByCommand(const std::string& from, const std::string& to) {
    if (from == to)
        return 0;
    return detail::renameByCommand(from, to) == 0 ? 0 : -1;
}

int FileUtils::copyFile(const std::string& from, const std::string& to) {
    return detail::copyByCommand(from, to) == 0 ? 0 : -1;
}

bool FileUtils::listFiles(const char* pattern, std::vector<std::string>& names) {
    names.clear();
    if (pattern == nullptr) // a null pattern matches no name
        return false;
    const std::string text = pattern;
    const std::string::size_type cut = text.rfind(detail::pathSeparator());
    const std::string prefix = cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
    const detail::ListOutcome outcome = detail::listMatchingNames(pattern, names);
    for (std::string& name : names)
        name.insert(0, prefix);
    return outcome == detail::ListOutcome::Complete;
}
