// The file-system services under FileUtils: status, creation and deletion, the
// separators, temporary names, the program's own path, wildcard listing and the
// few ways in which text files differ between systems.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vtsupport {
namespace detail {

// The separator the platform writes ('\\' on Windows, '/' elsewhere).
char pathSeparator();
// A second separator that path operations also accept ('/' on Windows); on
// systems with only one separator this is the same as pathSeparator().
char alternativePathSeparator();

enum class FileKind { Other, Regular, Directory };

struct FileStatus {
    FileKind kind = FileKind::Other;
    std::int64_t size = 0;
};

// Queries the status of `path`; false when the query fails for any reason.
bool queryFileStatus(const std::string& path, FileStatus& status);
// `path` as the status query must see it to recognise a directory given with a
// trailing separator.
std::string directoryStatusPath(const std::string& path);

// Creates one directory; `mode` holds permission bits where the system takes them.
bool createDirectory(const std::string& path, int mode);
// Deletes a file: 0 on success, -1 on failure. A link goes, never its target.
int unlinkFile(const std::string& path);
// Opens `path` for writing as a regular file of its own, created or emptied,
// and closes it again: true when that worked. Never opens through a link (a
// symbolic or hard link, a reparse point) and never waits (a FIFO, a device):
// for such a name it answers false and leaves what lies behind it untouched.
bool createOrEmptyPlainFile(const std::string& path);

// A name in the temporary directory that begins with `prefix` and does not exist
// yet; nothing is created. Empty when no name can be made.
std::string temporaryFileName(const char* prefix);
// A name in the temporary directory for output that no other user may read or put anything in
// the way of: inside a new directory of this user's alone where that directory is shared (POSIX),
// else temporaryFileName's. Nothing is created at the name itself. Empty when no name can be made.
std::string privateFileName(const char* prefix);
// Removes what privateFileName made for `name` (not the file at it). Allocates
// nothing and never throws.
void releasePrivateFileName(const std::string& name);
// Full path of the running program's executable; empty when unknown. Every Unix
// finds it its own way, so the Linux half has it in linux/.
std::string programPath();
// True where text-mode reading leaves a carriage return before a line feed in
// place, so that the reader has to drop it itself.
bool textReadingKeepsCarriageReturns();

enum class ListOutcome { NothingFound, Complete, Interrupted };
// Appends the bare names matching the wildcard `pattern` in the order the system
// yields them. NothingFound when nothing matches or the directory cannot be read.
ListOutcome listMatchingNames(const char* pattern, std::vector<std::string>& names);

} // namespace detail
} // namespace vtsupport
